#pragma once

#include "LineSettings.h"
#include "NetworkConnect.h"
#include "SerialPort.h"

#include <QTimer>

#include <cstddef>
#include <deque>

class QSocketNotifier;

namespace quorvane {

// A serial port served over TCP (ser2net and the like): COMn's device path
// is "rfc2217://host:port", where the Telnet COM port option carries the
// rate, framing, flow control, the output lines, break and purge and tells
// the input lines, or "socket://host:port", a raw byte pipe whose line is
// set at the server's end. Name lookup and connecting run on a thread of
// their own while the caller's events go on flowing (bounded by 3 s, and a
// second for the server to confirm the line). A connection the server
// closes or resets is a device gone away: the port closes itself and says
// so (closedByHangUp). Frames are written in order without blocking; each
// frame's last byte handed to the system is its hand-over.
class NetworkPort : public SerialPort {
    Q_OBJECT
public:
    explicit NetworkPort(QObject* parent = nullptr);
    ~NetworkPort() override;

    int CommPort() const override { return commPort_; }
    void setCommPort(int port) override
    {
        commPort_ = port;
        devicePath_.clear();
    }
    std::string Settings() const override { return settings_; }
    void setSettings(const std::string& settings) override { settings_ = settings; }
    void setInputMode(InputModes) override {}
    void setRThreshold(int) override {}
    void setInputLen(int) override {}
    void setOutBufferCount(int count) override;
    void setInBufferCount(int count) override;
    std::size_t OutBufferCount() const override;

    bool PortOpen() const override { return fd_ >= 0; }
    bool setPortOpen(bool open) override;

    bool Output(const ByteList& bytes) override;
    ByteList Input() override;
    int CommEvent() const override { return comEvReceive; }
    void setInputHeld(bool held) override;

    void setHandshaking(Handshaking handshaking) override { handshaking_ = handshaking; }
    Handshaking handshaking() const override { return handshaking_; }
    void setDTREnable(bool on) override;
    bool DTREnable() const override { return dtr_; }
    void setRTSEnable(bool on) override;
    bool RTSEnable() const override { return rts_; }
    ModemLines modemLines() const override;
    bool setBreak(bool on) override;
    unsigned BaudRate() const override;
    TimePoint LastReadAt() const override { return lastReadAt_; }
    std::string OpenFailureReason() const override { return openFailure_; }
    std::string DevicePath() const override;
    void setDevicePath(const std::string& path) override { devicePath_ = path; }
    void setRs485(const Rs485Settings& settings) override { rs485_ = settings; }
    Rs485Settings rs485() const override { return rs485_; }
    std::string Rs485Refusal() const override { return rs485Refusal_; }
    std::string SettingsInForce() const override;
    std::string LineNote() const override { return note_; }

private:
    struct Waiting {
        ByteList wire;
        std::size_t sent = 0;
        std::uint64_t number = 0;
    };

    bool openConnection();
    void startSession(Connection connection);
    void closeConnection();
    void onReadable();
    void onWritable();
    void writeWaiting();
    void takeIn(const std::uint8_t* bytes, std::size_t count);
    void deliver();
    void sendCommand(std::uint8_t command, std::uint8_t value);
    void hangUpLater();
    void hangUp();
    void noteUnconfirmed();
    void setNote(std::string note);
    bool carriesLine() const { return address_.kind == NetworkAddress::Kind::Rfc2217 && !comPortRefused_; }

    int commPort_ = 1;
    std::string devicePath_;
    std::string settings_ = "9600,n,8,1";
    Handshaking handshaking_ = Handshaking::None;
    bool dtr_ = true;
    bool rts_ = true;
    Rs485Settings rs485_;

    int fd_ = -1;
    bool connecting_ = false;
    bool cancelOpening_ = false; // closed while the connection was being made
    std::uint64_t session_ = 0;  // counts openings
    NetworkAddress address_;
    std::string openedPath_;
    std::string openFailure_;
    std::string rs485Refusal_;
    std::string note_;
    LineSettings line_;
    Rfc2217Codec codec_;
    LineConfirmed confirmed_;
    bool comPortRefused_ = false;
    std::optional<std::uint8_t> modemState_;
    bool dtrConfirmed_ = false;
    bool rtsConfirmed_ = false;
    QTimer confirmWait_; // the output lines' confirmations, once per opening
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    std::deque<Waiting> waiting_;
    ByteList input_;
    bool inputHeld_ = false;
    bool delivering_ = false;
    bool arrived_ = false;
    TimePoint lastReadAt_{};
};

} // namespace quorvane
