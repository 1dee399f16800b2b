#pragma once

#include "BreakMarkDecoder.h"
#include "SerialPort.h"

#include <cstddef>
#include <deque>

class QSocketNotifier;

namespace quorvane {

// A serial port on a POSIX terminal device: COMn is the device named by
// ComDevicePath(n). The device is held exclusively while open, set to raw
// mode with the framing of Settings(), read and written without blocking
// through socket notifiers on the owner's thread.
class TermiosPort : public SerialPort {
    Q_OBJECT
public:
    explicit TermiosPort(QObject* parent = nullptr);
    ~TermiosPort() override;

    int CommPort() const override { return commPort_; }
    void setCommPort(int port) override { commPort_ = port; }
    std::string Settings() const override { return settings_; }
    void setSettings(const std::string& settings) override { settings_ = settings; }
    void setInputMode(InputModes mode) override { inputMode_ = mode; }
    void setRThreshold(int threshold) override { rThreshold_ = threshold; }
    void setInputLen(int length) override { inputLen_ = length; }
    void setOutBufferCount(int count) override;
    void setInBufferCount(int count) override;
    std::size_t OutBufferCount() const override { return outQueue_.size() - outHead_; }

    bool PortOpen() const override { return fd_ >= 0; }
    bool setPortOpen(bool open) override;

    bool Output(const ByteList& bytes) override;
    ByteList Input() override;
    int CommEvent() const override { return commEvent_; }
    void setInputHeld(bool held) override;

protected:
    // Raises the events for received segments in order, exactly as bytes read
    // from the device are raised: data joins the input buffer and raises 2,
    // a break raises 1001.
    void deliver(ReceivedSegments segments);

private:
    bool openDevice();
    void closeDevice();
    void onReadable();
    void onWritable();
    bool readAvailable();
    void queueSegments(ReceivedSegments segments);
    void deliverPending();
    void updateReading();
    bool flushOutput();
    void dropOutput();
    void beginHangUp();
    void finishHangUpIfDue();

    int commPort_ = 1;
    std::string settings_ = "9600,n,8,1";
    // Kept for the caller's sake: every event carries all waiting bytes.
    [[maybe_unused]] InputModes inputMode_ = InputModes::Text;
    [[maybe_unused]] int rThreshold_ = 0;
    [[maybe_unused]] int inputLen_ = 0;

    int fd_ = -1;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;

    BreakMarkDecoder decoder_;
    std::deque<ReceivedSegment> pending_;
    std::size_t pendingSize_ = 0; // what pending_ holds, in bytes
    bool inputHeld_ = false;
    ByteList input_;
    ByteList outQueue_;
    std::size_t outHead_ = 0;
    ByteList readBuffer_;
    int commEvent_ = 0;
    bool delivering_ = false;
    bool hangUpDue_ = false;
};

} // namespace quorvane
