#include "NetworkPort.h"

#include "PortPath.h"

#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace quorvane {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Codec = Rfc2217Codec;

constexpr auto kConnectTime = 3s;
constexpr auto kConfirmTime = 1s;
// How long a raw pipe is watched for a server that turns the client away.
constexpr auto kTurnedAwayTime = 150ms;
constexpr auto kWaitTick = 2ms;
constexpr std::size_t kReadChunk = 64 * 1024;

// Runs the connection's making on a thread of its own while the caller's
// events flow (user input waits). A lookup or connect that outlives its
// time is left to finish alone; it closes what it made.
Connection EstablishOffThread(const NetworkAddress& address, const LineRequest& request,
                              std::chrono::milliseconds settleFor)
{
    struct Shared {
        std::mutex lock;
        bool done = false;
        bool abandoned = false;
        Connection result;
    };
    const auto shared = std::make_shared<Shared>();
    const Deadline connectBy = Clock::now() + kConnectTime;
    const Deadline giveUp = connectBy + settleFor + 200ms;
    std::thread([shared, address, request, connectBy, settleFor] {
        Connection made = EstablishConnection(address, request, connectBy, settleFor);
        const std::lock_guard hold(shared->lock);
        if (shared->abandoned) {
            if (made.fd >= 0) {
                close(made.fd);
            }
            return;
        }
        shared->result = std::move(made);
        shared->done = true;
    }).detach();

    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const std::lock_guard hold(shared->lock);
        if (shared->done || Clock::now() >= giveUp) {
            loop.quit();
        }
    });
    tick.start(kWaitTick);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    const std::lock_guard hold(shared->lock);
    if (!shared->done) {
        shared->abandoned = true;
        Connection late;
        late.failure = ConnectFailure::TimedOut;
        return late;
    }
    return std::move(shared->result);
}

std::string StopText(StopBits stop)
{
    switch (stop) {
    case StopBits::Two:
        return "2";
    case StopBits::OneAndHalf:
        return "1.5";
    case StopBits::One:
        break;
    }
    return "1";
}

void Retire(QSocketNotifier*& notifier)
{
    if (notifier == nullptr) {
        return;
    }
    notifier->setEnabled(false);
    QObject::disconnect(notifier, nullptr, nullptr, nullptr);
    notifier->deleteLater(); // it may be the one being handled now
    notifier = nullptr;
}

} // namespace

NetworkPort::NetworkPort(QObject* parent) : SerialPort(parent)
{
    confirmWait_.setSingleShot(true);
    confirmWait_.setInterval(std::chrono::duration_cast<std::chrono::milliseconds>(kConfirmTime));
    connect(&confirmWait_, &QTimer::timeout, this, &NetworkPort::noteUnconfirmed);
}

NetworkPort::~NetworkPort()
{
    closeConnection();
}

std::string NetworkPort::DevicePath() const
{
    if (fd_ >= 0) {
        return openedPath_;
    }
    return devicePath_.empty() ? ComDevicePath(commPort_) : devicePath_;
}

bool NetworkPort::setPortOpen(bool open)
{
    if (!open) {
        cancelOpening_ = connecting_; // a connection being made is let go once made
        closeConnection();
        return true;
    }
    if (fd_ >= 0) {
        return true;
    }
    if (connecting_) {
        openFailure_ = "正在连接 " + address_.hostAndPort();
        return false;
    }
    return openConnection();
}

bool NetworkPort::openConnection()
{
    openFailure_.clear();
    rs485Refusal_.clear();
    const std::string path = DevicePath();
    const auto address = ParseNetworkAddress(path);
    if (!address) {
        openFailure_ = "网络端口地址无效: " + path + "（应为 rfc2217://主机:端口 或 socket://主机:端口）";
        return false;
    }
    auto line = ParseLineSettings(settings_);
    if (!line) {
        openFailure_ = FramingProblem(settings_);
        return false;
    }
    line->flow = handshaking_ == Handshaking::RtsCts    ? FlowControl::RtsCts
                 : handshaking_ == Handshaking::XonXoff ? FlowControl::XonXoff
                                                        : FlowControl::None;
    address_ = *address;
    const auto settle = address_.kind == NetworkAddress::Kind::Rfc2217 ? kConfirmTime
                                                                       : kTurnedAwayTime;
    connecting_ = true;
    cancelOpening_ = false;
    const QPointer<NetworkPort> alive(this);
    Connection made = EstablishOffThread(address_, {*line, dtr_, rts_},
                                         std::chrono::duration_cast<std::chrono::milliseconds>(settle));
    if (!alive) {
        if (made.fd >= 0) {
            close(made.fd);
        }
        return false;
    }
    connecting_ = false;
    if (cancelOpening_ && made.fd >= 0) {
        close(made.fd);
        made.fd = -1;
        made.failure = ConnectFailure::Closed;
    }
    if (made.fd < 0) {
        openFailure_ = "无法连接 " + address_.hostAndPort() + ": " +
                       ConnectFailureText(made.failure, made.detail);
        return false;
    }
    line_ = *line;
    openedPath_ = path;
    startSession(std::move(made));
    emit openChanged(true);
    if (!input_.empty()) {
        // What the server sent while the line was being set up.
        arrived_ = true;
        QTimer::singleShot(0, this, &NetworkPort::deliver);
    }
    return true;
}

void NetworkPort::startSession(Connection connection)
{
    fd_ = connection.fd;
    ++session_;
    codec_ = connection.codec;
    confirmed_ = connection.confirmed;
    comPortRefused_ = connection.comPortRefused;
    modemState_ = connection.modemState;
    dtrConfirmed_ = false;
    rtsConfirmed_ = line_.flow == FlowControl::RtsCts;
    input_ = std::move(connection.data);
    waiting_.clear();
    lastOut_ = {};
    if (rs485_.enabled) {
        rs485Refusal_ = "网络端口不能控制 RS-485 方向";
    }
    readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &NetworkPort::onReadable);
    readNotifier_->setEnabled(!inputHeld_);
    writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &NetworkPort::onWritable);
    if (address_.kind == NetworkAddress::Kind::Socket) {
        setNote("原始 TCP 连接：串口设置未应用");
    } else if (comPortRefused_) {
        setNote("服务器不支持 RFC 2217：串口设置未应用");
    } else {
        setNote({});
        confirmWait_.start();
        noteUnconfirmed();
    }
}

void NetworkPort::closeConnection()
{
    if (fd_ < 0) {
        return;
    }
    confirmWait_.stop();
    Retire(readNotifier_);
    Retire(writeNotifier_);
    close(fd_);
    fd_ = -1;
    waiting_.clear();
    modemState_.reset();
    emit openChanged(false);
}

// What the server has not confirmed, once the time for it is up, and
// the framing at once (its time passed while the connection was made).
void NetworkPort::noteUnconfirmed()
{
    if (fd_ < 0 || !carriesLine()) {
        return;
    }
    std::string missing;
    auto add = [&missing](bool confirmed, const char* what) {
        if (!confirmed) {
            missing += (missing.empty() ? "" : "、") + std::string(what);
        }
    };
    add(confirmed_.rate.has_value(), "波特率");
    add(confirmed_.dataBits.has_value(), "数据位");
    add(confirmed_.parity.has_value(), "校验位");
    add(confirmed_.stopBits.has_value(), "停止位");
    add(confirmed_.flow.has_value(), "流控");
    if (!confirmWait_.isActive()) {
        add(dtrConfirmed_, "DTR");
        add(rtsConfirmed_, "RTS");
    }
    if (!missing.empty()) {
        setNote("服务器未确认 " + missing);
    }
}

void NetworkPort::setNote(std::string note)
{
    if (note == note_) {
        return;
    }
    note_ = std::move(note);
    emit lineNoteChanged();
}

std::string NetworkPort::SettingsInForce() const
{
    if (fd_ < 0) {
        return settings_;
    }
    if (!carriesLine()) {
        return {};
    }
    const LineSettings& asked = line_;
    return std::to_string(asked.baud) + "," + std::string(1, confirmed_.parity.value_or(asked.parity)) +
           "," + std::to_string(confirmed_.dataBits.value_or(asked.dataBits)) + "," +
           StopText(confirmed_.stopBits.value_or(asked.stopBits));
}

unsigned NetworkPort::BaudRate() const
{
    return fd_ >= 0 && carriesLine() ? confirmed_.rate.value_or(0) : 0;
}

SerialPort::ModemLines NetworkPort::modemLines() const
{
    if (fd_ < 0 || !modemState_) {
        return {};
    }
    const std::uint8_t state = *modemState_;
    return {true, (state & Codec::kCts) != 0, (state & Codec::kDsr) != 0,
            (state & Codec::kDcd) != 0, (state & Codec::kRi) != 0};
}

void NetworkPort::sendCommand(std::uint8_t command, std::uint8_t value)
{
    if (fd_ < 0 || !carriesLine()) {
        return;
    }
    waiting_.push_back({Codec::Subnegotiation(command, {value}), 0, 0});
    writeWaiting();
}

void NetworkPort::setDTREnable(bool on)
{
    dtr_ = on;
    sendCommand(Codec::SetControl, on ? Codec::DtrOn : Codec::DtrOff);
}

// Under RTS/CTS the server's end drives RTS.
void NetworkPort::setRTSEnable(bool on)
{
    rts_ = on;
    if (line_.flow != FlowControl::RtsCts) {
        sendCommand(Codec::SetControl, on ? Codec::RtsOn : Codec::RtsOff);
    }
}

bool NetworkPort::setBreak(bool on)
{
    if (fd_ < 0 || !carriesLine()) {
        return false;
    }
    sendCommand(Codec::SetControl, on ? Codec::BreakOn : Codec::BreakOff);
    return true;
}

void NetworkPort::setOutBufferCount(int count)
{
    if (count != 0) {
        return;
    }
    // The frame on its way finishes; commands stay, in order.
    std::erase_if(waiting_, [](const Waiting& frame) { return frame.number != 0 && frame.sent == 0; });
}

void NetworkPort::setInBufferCount(int count)
{
    if (count != 0) {
        return;
    }
    input_.clear();
    sendCommand(Codec::PurgeData, 1);
}

std::size_t NetworkPort::OutBufferCount() const
{
    std::size_t count = 0;
    for (const Waiting& frame : waiting_) {
        if (frame.number != 0) {
            count += frame.wire.size() - frame.sent;
        }
    }
    return count;
}

bool NetworkPort::Output(const ByteList& bytes)
{
    if (fd_ < 0) {
        return false;
    }
    Waiting frame;
    frame.number = NumberNextOutput();
    if (address_.kind == NetworkAddress::Kind::Rfc2217) {
        Codec::AppendData(bytes.data(), bytes.size(), frame.wire);
    } else {
        frame.wire = bytes;
    }
    waiting_.push_back(std::move(frame));
    writeWaiting();
    return true;
}

void NetworkPort::writeWaiting()
{
    while (fd_ >= 0 && !waiting_.empty()) {
        Waiting& head = waiting_.front();
        const ssize_t count =
            send(fd_, head.wire.data() + head.sent, head.wire.size() - head.sent, MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                writeNotifier_->setEnabled(true);
                return;
            }
            // Reset or closed under the frame: the device is gone.
            hangUpLater();
            waiting_.clear();
            return;
        }
        head.sent += static_cast<std::size_t>(count);
        if (head.sent < head.wire.size()) {
            continue;
        }
        if (head.number != 0) {
            lastOut_ = Clock::now();
            NoteHandedOver(head.number, lastOut_);
        }
        waiting_.pop_front();
    }
    if (writeNotifier_ != nullptr) {
        writeNotifier_->setEnabled(false);
    }
}

void NetworkPort::onWritable()
{
    writeWaiting();
}

ByteList NetworkPort::Input()
{
    ByteList bytes;
    bytes.swap(input_);
    return bytes;
}

void NetworkPort::setInputHeld(bool held)
{
    inputHeld_ = held;
    if (readNotifier_ != nullptr) {
        readNotifier_->setEnabled(!held);
    }
}

void NetworkPort::onReadable()
{
    if (fd_ < 0) {
        return;
    }
    std::uint8_t buffer[kReadChunk];
    const ssize_t count = recv(fd_, buffer, sizeof buffer, 0);
    if (count > 0) {
        lastReadAt_ = Clock::now();
        // Acknowledged at once: a server that holds its next segment until
        // the last is acknowledged (Nagle) would otherwise cut a reply in
        // two by the 40 ms of a delayed acknowledgement.
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        takeIn(buffer, static_cast<std::size_t>(count));
        return;
    }
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return;
    }
    // Closed by the server, or reset: the device has gone away.
    readNotifier_->setEnabled(false);
    hangUpLater();
}

void NetworkPort::takeIn(const std::uint8_t* bytes, std::size_t count)
{
    if (address_.kind == NetworkAddress::Kind::Socket) {
        input_.insert(input_.end(), bytes, bytes + count);
    } else {
        Codec::Decoded decoded;
        codec_.feed(bytes, count, decoded);
        input_.insert(input_.end(), decoded.data.begin(), decoded.data.end());
        ByteList answers;
        for (const auto& negotiation : decoded.negotiations) {
            const ByteList answer = codec_.answer(negotiation);
            answers.insert(answers.end(), answer.begin(), answer.end());
        }
        if (!answers.empty()) {
            waiting_.push_back({answers, 0, 0});
            writeWaiting();
        }
        for (const auto& reply : decoded.replies) {
            const std::uint8_t value = reply.value.empty() ? 0 : reply.value.front();
            if (reply.command == Codec::kServerOffset + Codec::SetControl &&
                (value == Codec::DtrOn || value == Codec::DtrOff)) {
                dtrConfirmed_ = true;
            } else if (reply.command == Codec::kServerOffset + Codec::SetControl &&
                       (value == Codec::RtsOn || value == Codec::RtsOff)) {
                rtsConfirmed_ = true;
            } else {
                NoteReply(reply, confirmed_, modemState_);
            }
        }
        if (decoded.data.empty()) {
            return;
        }
    }
    arrived_ = true;
    deliver();
}

// One event per arrival. A handler may run a nested loop (a modal box) in
// which more arrives: that is raised after the handler returns.
void NetworkPort::deliver()
{
    if (delivering_) {
        return;
    }
    delivering_ = true;
    const QPointer<NetworkPort> alive(this);
    while (arrived_ && !input_.empty()) {
        arrived_ = false;
        emit OnComm();
        if (!alive) {
            return;
        }
    }
    arrived_ = false;
    delivering_ = false;
}

// Closing from inside Output or a read would surprise the caller; the
// event loop finishes it, unless the port was opened anew meanwhile.
void NetworkPort::hangUpLater()
{
    QTimer::singleShot(0, this, [this, session = session_] {
        if (session == session_) {
            hangUp();
        }
    });
}

void NetworkPort::hangUp()
{
    if (fd_ < 0) {
        return;
    }
    closeConnection();
    emit closedByHangUp();
}

} // namespace quorvane
