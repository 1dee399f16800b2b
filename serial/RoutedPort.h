#pragma once

#include "NetworkPort.h"
#include "TermiosPort.h"

#include <memory>

namespace quorvane {

// The port the program holds: each opening goes to the back end the device
// path names, a terminal device (TermiosPort) or a port served over the
// network (NetworkPort, "rfc2217://" or "socket://"). Settings reach both;
// everything else is the open back end's, or while closed the one the path
// names. Frames keep one numbering across back ends.
class RoutedPort : public SerialPort {
    Q_OBJECT
public:
    explicit RoutedPort(QObject* parent = nullptr);
    // With a terminal back end of the caller's (tests: a recording line control).
    explicit RoutedPort(std::unique_ptr<TermiosPort> terminal, QObject* parent = nullptr);

    int CommPort() const override { return terminal_->CommPort(); }
    void setCommPort(int port) override;
    std::string Settings() const override { return terminal_->Settings(); }
    void setSettings(const std::string& settings) override;
    void setInputMode(InputModes mode) override;
    void setRThreshold(int threshold) override;
    void setInputLen(int length) override;
    void setOutBufferCount(int count) override { active().setOutBufferCount(count); }
    void setInBufferCount(int count) override { active().setInBufferCount(count); }
    std::size_t OutBufferCount() const override { return active().OutBufferCount(); }

    bool PortOpen() const override { return terminal_->PortOpen() || network_->PortOpen(); }
    bool setPortOpen(bool open) override;

    bool Output(const ByteList& bytes) override;
    ByteList Input() override { return active().Input(); }
    int CommEvent() const override { return active().CommEvent(); }
    void setInputHeld(bool held) override;

    void setHandshaking(Handshaking handshaking) override;
    Handshaking handshaking() const override { return terminal_->handshaking(); }
    void setDTREnable(bool on) override;
    bool DTREnable() const override { return terminal_->DTREnable(); }
    void setRTSEnable(bool on) override;
    bool RTSEnable() const override { return terminal_->RTSEnable(); }
    ModemLines modemLines() const override { return active().modemLines(); }
    ModemLines lastModemLines() const override { return active().lastModemLines(); }
    bool setBreak(bool on) override { return active().setBreak(on); }
    unsigned BaudRate() const override { return active().BaudRate(); }
    TimePoint LastFrameHandedOver() const override { return active().LastFrameHandedOver(); }
    TimePoint LastReadAt() const override { return active().LastReadAt(); }
    std::optional<TimePoint> HandedOverAt(std::uint64_t frame) const override;
    bool Draining() const override { return terminal_->Draining() || network_->Draining(); }
    std::string OpenFailureReason() const override { return active().OpenFailureReason(); }
    std::string DevicePath() const override { return active().DevicePath(); }
    void setDevicePath(const std::string& path) override;
    void setRs485(const Rs485Settings& settings) override;
    Rs485Settings rs485() const override { return terminal_->rs485(); }
    std::string Rs485Refusal() const override { return active().Rs485Refusal(); }
    std::optional<Rs485Settings> Rs485Held() const override { return active().Rs485Held(); }
    std::size_t FlawedInInput() const override { return active().FlawedInInput(); }
    std::uint64_t FlawedSinceOpen() const override { return active().FlawedSinceOpen(); }
    std::string SettingsInForce() const override { return active().SettingsInForce(); }
    std::string LineNote() const override { return active().LineNote(); }

private:
    // The open back end, else the one the device path names.
    SerialPort& active() const;
    void relay(SerialPort& backEnd);

    std::unique_ptr<TermiosPort> terminal_;
    std::unique_ptr<NetworkPort> network_;
    // Which back end took each frame, and under what number there.
    struct Taken {
        std::uint64_t frame = 0;
        const SerialPort* backEnd = nullptr;
        std::uint64_t number = 0;
    };
    std::array<Taken, kHandOversKept> taken_{};
};

} // namespace quorvane
