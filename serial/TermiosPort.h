#pragma once

#include "BreakMarkDecoder.h"
#include "BreakTally.h"
#include "FrameWriter.h"
#include "LineControl.h"
#include "LineSettings.h"
#include "SerialPort.h"

#include <QPointer>

#include <cstddef>
#include <deque>
#include <memory>
#include <set>

class QSocketNotifier;

namespace quorvane {

class LineLinger;
class ModemLinePoller;

// A serial port on a POSIX terminal device: COMn is the device named by
// ComDevicePath(n). The device is held exclusively while open, set to raw
// mode with the framing of Settings() and the flow control of handshaking(),
// read without blocking through a socket notifier on the owner's thread and
// written one frame at a time (FrameWriter). Closing lets the frame on the
// wire finish (LineLinger) while the port already reads as closed.
class TermiosPort : public SerialPort {
    Q_OBJECT
public:
    explicit TermiosPort(QObject* parent = nullptr);
    // With another line control: tests put a recording one here.
    explicit TermiosPort(std::unique_ptr<LineControl> control, QObject* parent = nullptr);
    ~TermiosPort() override;

    int CommPort() const override { return commPort_; }
    void setCommPort(int port) override
    {
        commPort_ = port;
        devicePath_.clear();
    }
    std::string Settings() const override { return settings_; }
    void setSettings(const std::string& settings) override { settings_ = settings; }
    void setInputMode(InputModes mode) override { inputMode_ = mode; }
    void setRThreshold(int threshold) override { rThreshold_ = threshold; }
    void setInputLen(int length) override { inputLen_ = length; }
    void setOutBufferCount(int count) override;
    void setInBufferCount(int count) override;
    std::size_t OutBufferCount() const override { return writer_ ? writer_->waitingBytes() : 0; }

    bool PortOpen() const override { return fd_ >= 0; }
    bool setPortOpen(bool open) override;

    bool Output(const ByteList& bytes) override;
    ByteList Input() override;
    int CommEvent() const override { return commEvent_; }
    void setInputHeld(bool held) override;

    void setHandshaking(Handshaking handshaking) override { handshaking_ = handshaking; }
    Handshaking handshaking() const override { return handshaking_; }
    void setDTREnable(bool on) override;
    bool DTREnable() const override { return dtr_; }
    void setRTSEnable(bool on) override;
    bool RTSEnable() const override { return rts_; }
    ModemLines modemLines() const override;
    ModemLines lastModemLines() const override;
    bool setBreak(bool on) override;
    unsigned BaudRate() const override { return baudRate_; }
    TimePoint LastFrameHandedOver() const override;
    TimePoint LastReadAt() const override { return lastReadAt_; }
    bool Draining() const override;
    std::string OpenFailureReason() const override { return openFailure_; }
    std::string DevicePath() const override;
    void setDevicePath(const std::string& path) override { devicePath_ = path; }
    void setRs485(const Rs485Settings& settings) override { rs485_ = settings; }
    Rs485Settings rs485() const override { return rs485_; }
    std::string Rs485Refusal() const override { return rs485Refusal_; }
    std::optional<Rs485Settings> Rs485Held() const override { return rs485Held_; }
    std::size_t FlawedInInput() const override { return lastInputFlawed_; }
    std::uint64_t FlawedSinceOpen() const override { return flawedSinceOpen_; }

protected:
    // Raises the events for received segments in order, exactly as bytes read
    // from the device are raised: data joins the input buffer and raises 2,
    // a break raises 1001.
    void deliver(ReceivedSegments segments);

private:
    // What was read and waits to be raised, with when it was read.
    struct Pending {
        ReceivedSegment segment;
        TimePoint readAt;
    };

    bool openDevice();
    void applyRs485(int fd);
    void startSession(int fd, const LineSettings& line, unsigned rate);
    void closeDevice();
    void letGoOfLine(int fd);
    void onReadable();
    bool readAvailable();
    void queueSegments(ReceivedSegments segments, TimePoint readAt);
    void deliverPending();
    void updateReading();
    void applyOutputLines();
    void onWriterHungUp();
    void beginHangUp();
    void finishHangUpIfDue();

    std::shared_ptr<LineControl> control_;
    int commPort_ = 1;
    std::string settings_ = "9600,n,8,1";
    // Kept for the caller's sake: every event carries all waiting bytes.
    [[maybe_unused]] InputModes inputMode_ = InputModes::Text;
    [[maybe_unused]] int rThreshold_ = 0;
    [[maybe_unused]] int inputLen_ = 0;
    Handshaking handshaking_ = Handshaking::None;
    bool dtr_ = true;
    bool rts_ = true;
    std::string devicePath_; // instead of COMn's device, when given
    Rs485Settings rs485_;

    int fd_ = -1;
    std::string openedPath_;                   // the device the port has open
    std::string rs485Refusal_;                 // why the driver turned RS-485 down
    std::optional<Rs485Settings> rs485Held_;
    std::set<std::string> rs485SwitchedOn_; // devices this port put in RS-485 mode   // what it holds, while open
    std::string openFailure_; // why the last opening failed, where it is known
    LineSettings line_;     // as the open port was set up
    unsigned baudRate_ = 0; // as the driver set it
    bool breakHeld_ = false;
    QSocketNotifier* readNotifier_ = nullptr;
    std::unique_ptr<FrameWriter> writer_;
    std::unique_ptr<ModemLinePoller> lines_;
    QPointer<LineLinger> linger_;

    BreakMarkDecoder decoder_;
    BreakTally tally_;
    std::deque<Pending> pending_;
    std::size_t pendingSize_ = 0; // what pending_ holds, in bytes
    bool inputHeld_ = false;
    ByteList input_;
    std::size_t inputFlawed_ = 0;     // of input_, came with a parity or framing error
    std::size_t lastInputFlawed_ = 0; // of what the last Input() returned
    std::uint64_t flawedSinceOpen_ = 0;
    ByteList readBuffer_;
    int commEvent_ = 0;
    TimePoint lastReadAt_{};
    bool delivering_ = false;
    bool hangUpDue_ = false;
};

} // namespace quorvane
