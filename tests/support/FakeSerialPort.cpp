#include "FakeSerialPort.h"

#include <cstdlib>

namespace quorvane {

FakeSerialPort::FakeSerialPort(QObject* parent) : SerialPort(parent) {}

void FakeSerialPort::setCommPort(int port)
{
    commPort_ = port;
    calls_.push_back("setCommPort " + std::to_string(port));
}

void FakeSerialPort::setSettings(const std::string& settings)
{
    settings_ = settings;
    calls_.push_back("setSettings " + settings);
}

void FakeSerialPort::setInputMode(InputModes mode)
{
    inputMode_ = mode;
    calls_.push_back(mode == InputModes::Binary ? "setInputMode binary" : "setInputMode text");
}

void FakeSerialPort::setRThreshold(int threshold)
{
    rThreshold_ = threshold;
    calls_.push_back("setRThreshold " + std::to_string(threshold));
}

void FakeSerialPort::setInputLen(int length)
{
    inputLen_ = length;
    calls_.push_back("setInputLen " + std::to_string(length));
}

void FakeSerialPort::setOutBufferCount(int count)
{
    calls_.push_back("setOutBufferCount " + std::to_string(count));
    if (count == 0) {
        waiting_ = 0;
        notHandedOver_.clear(); // dropped before they started
    }
}

void FakeSerialPort::setInBufferCount(int count)
{
    calls_.push_back("setInBufferCount " + std::to_string(count));
    if (count == 0) {
        input_.clear();
    }
}

bool FakeSerialPort::setPortOpen(bool open)
{
    if (open == open_) {
        return true;
    }
    if (open && refuseOpen_) {
        ++refusedCount_;
        return false;
    }
    open_ = open;
    ++(open ? openCount_ : closeCount_);
    waiting_ = 0;
    draining_ = !open && drainOnClose_;
    emit openChanged(open);
    return true;
}

void FakeSerialPort::finishDraining()
{
    if (draining_) {
        draining_ = false;
        emit drained();
    }
}

void FakeSerialPort::setHandshaking(Handshaking handshaking)
{
    handshaking_ = handshaking;
    const char* names[] = {"none", "rtscts", "xonxoff"};
    lineCalls_.push_back(std::string("setHandshaking ") + names[static_cast<int>(handshaking)]);
}

bool FakeSerialPort::setBreak(bool on)
{
    lineCalls_.push_back("setBreak " + std::to_string(on));
    return open_ && !refuseBreak_;
}

unsigned FakeSerialPort::BaudRate() const
{
    const unsigned fromSettings = static_cast<unsigned>(std::atoi(settings_.c_str()));
    return !open_ ? 0 : baudRate_ != 0 ? baudRate_ : fromSettings;
}

bool FakeSerialPort::Output(const ByteList& bytes)
{
    if (!open_) {
        ++outputsWhileClosed_;
        return false;
    }
    if (hangingUp_) {
        return false;
    }
    outputs_.push_back(bytes);
    const std::uint64_t number = NumberNextOutput();
    if (stalled_) {
        waiting_ += bytes.size();
        notHandedOver_.push_back(number);
        lastOut_ = {}; // on its way
    } else {
        lastOut_ = now();
        NoteHandedOver(number, lastOut_);
    }
    return true;
}

ByteList FakeSerialPort::Input()
{
    ByteList bytes;
    bytes.swap(input_);
    lastFlawed_ = flawed_;
    flawed_ = 0;
    return bytes;
}

void FakeSerialPort::queueInput(const ByteList& bytes)
{
    input_.insert(input_.end(), bytes.begin(), bytes.end());
}

void FakeSerialPort::raise(int code)
{
    lastReadAt_ = now();
    commEvent_ = code;
    emit OnComm();
}

void FakeSerialPort::raiseBytes(const ByteList& bytes, std::size_t flawed)
{
    queueInput(bytes);
    flawed_ += flawed;
    raise(comEvReceive);
}

void FakeSerialPort::hangUp()
{
    if (!open_) {
        return;
    }
    open_ = false;
    ++closeCount_;
    waiting_ = 0;
    emit openChanged(false);
    emit closedByHangUp();
}

void FakeSerialPort::setStalled(bool stalled)
{
    stalled_ = stalled;
    if (!stalled && waiting_ > 0) {
        waiting_ = 0;
        lastOut_ = now();
        for (const std::uint64_t number : notHandedOver_) {
            NoteHandedOver(number, lastOut_);
        }
    }
    if (!stalled) {
        notHandedOver_.clear();
    }
}

ByteList FakeSerialPort::outputBytes() const
{
    ByteList joined;
    for (const ByteList& bytes : outputs_) {
        joined.insert(joined.end(), bytes.begin(), bytes.end());
    }
    return joined;
}

} // namespace quorvane
