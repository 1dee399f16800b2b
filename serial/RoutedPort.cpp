#include "RoutedPort.h"

#include "NetworkAddress.h"

namespace quorvane {

RoutedPort::RoutedPort(QObject* parent) : RoutedPort(std::make_unique<TermiosPort>(), parent) {}

RoutedPort::RoutedPort(std::unique_ptr<TermiosPort> terminal, QObject* parent)
    : SerialPort(parent), terminal_(std::move(terminal)), network_(std::make_unique<NetworkPort>())
{
    relay(*terminal_);
    relay(*network_);
}

void RoutedPort::relay(SerialPort& backEnd)
{
    connect(&backEnd, &SerialPort::OnComm, this, &SerialPort::OnComm);
    connect(&backEnd, &SerialPort::closedByHangUp, this, &SerialPort::closedByHangUp);
    connect(&backEnd, &SerialPort::openChanged, this, &SerialPort::openChanged);
    connect(&backEnd, &SerialPort::drained, this, &SerialPort::drained);
    connect(&backEnd, &SerialPort::lineNoteChanged, this, &SerialPort::lineNoteChanged);
}

SerialPort& RoutedPort::active() const
{
    if (terminal_->PortOpen()) {
        return *terminal_;
    }
    if (network_->PortOpen() || IsNetworkPath(terminal_->DevicePath())) {
        return *network_;
    }
    return *terminal_;
}

void RoutedPort::setCommPort(int port)
{
    terminal_->setCommPort(port);
    network_->setCommPort(port);
}

void RoutedPort::setSettings(const std::string& settings)
{
    terminal_->setSettings(settings);
    network_->setSettings(settings);
}

void RoutedPort::setInputMode(InputModes mode)
{
    terminal_->setInputMode(mode);
    network_->setInputMode(mode);
}

void RoutedPort::setRThreshold(int threshold)
{
    terminal_->setRThreshold(threshold);
    network_->setRThreshold(threshold);
}

void RoutedPort::setInputLen(int length)
{
    terminal_->setInputLen(length);
    network_->setInputLen(length);
}

bool RoutedPort::setPortOpen(bool open)
{
    if (!open) {
        terminal_->setPortOpen(false);
        network_->setPortOpen(false);
        return true;
    }
    return PortOpen() || active().setPortOpen(true);
}

bool RoutedPort::Output(const ByteList& bytes)
{
    SerialPort& backEnd = active();
    if (!backEnd.Output(bytes)) {
        return false;
    }
    const std::uint64_t frame = NumberNextOutput();
    taken_[frame % kHandOversKept] = {frame, &backEnd, backEnd.LastOutputNumber()};
    return true;
}

std::optional<SerialPort::TimePoint> RoutedPort::HandedOverAt(std::uint64_t frame) const
{
    const Taken& taken = taken_[frame % kHandOversKept];
    if (frame == 0 || taken.frame != frame) {
        return std::nullopt;
    }
    return taken.backEnd->HandedOverAt(taken.number);
}

void RoutedPort::setInputHeld(bool held)
{
    terminal_->setInputHeld(held);
    network_->setInputHeld(held);
}

void RoutedPort::setHandshaking(Handshaking handshaking)
{
    terminal_->setHandshaking(handshaking);
    network_->setHandshaking(handshaking);
}

void RoutedPort::setDTREnable(bool on)
{
    terminal_->setDTREnable(on);
    network_->setDTREnable(on);
}

void RoutedPort::setRTSEnable(bool on)
{
    terminal_->setRTSEnable(on);
    network_->setRTSEnable(on);
}

void RoutedPort::setDevicePath(const std::string& path)
{
    terminal_->setDevicePath(path);
    network_->setDevicePath(path);
}

void RoutedPort::setRs485(const Rs485Settings& settings)
{
    terminal_->setRs485(settings);
    network_->setRs485(settings);
}

} // namespace quorvane
