#pragma once

#include "SerialPort.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// A serial port for window tests: remembers how it was configured and what
// was written, opens unless told to refuse, and raises whatever events the
// test asks for.
class FakeSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit FakeSerialPort(QObject* parent = nullptr);

    int CommPort() const override { return commPort_; }
    void setCommPort(int port) override;
    std::string Settings() const override { return settings_; }
    void setSettings(const std::string& settings) override;
    void setInputMode(InputModes mode) override;
    void setRThreshold(int threshold) override;
    void setInputLen(int length) override;
    void setOutBufferCount(int count) override;
    void setInBufferCount(int count) override;
    std::size_t OutBufferCount() const override { return waiting_; }

    bool PortOpen() const override { return open_; }
    bool setPortOpen(bool open) override;

    bool Output(const ByteList& bytes) override;
    ByteList Input() override;
    int CommEvent() const override { return commEvent_; }
    void setInputHeld(bool held) override { inputHeld_ = held; }

    void setHandshaking(Handshaking handshaking) override;
    Handshaking handshaking() const override { return handshaking_; }
    void setDTREnable(bool on) override { lineCalls_.push_back("setDTREnable " + Bit(dtr_ = on)); }
    bool DTREnable() const override { return dtr_; }
    void setRTSEnable(bool on) override { lineCalls_.push_back("setRTSEnable " + Bit(rts_ = on)); }
    bool RTSEnable() const override { return rts_; }
    ModemLines modemLines() const override { return open_ ? modemLines_ : ModemLines{}; }
    bool setBreak(bool on) override;
    unsigned BaudRate() const override;
    TimePoint LastReadAt() const override { return pinnedReadAt_.value_or(lastReadAt_); }
    bool Draining() const override { return draining_; }

    // Opening fails while refusing, for the reason given; an open port stays open.
    void setRefuseOpen(bool refuse, std::string reason = {})
    {
        refuseOpen_ = refuse;
        refuseReason_ = std::move(reason);
    }
    std::string OpenFailureReason() const override { return refuseReason_; }
    // Each opening turns RS-485 down for this reason (empty: nothing to refuse).
    void setRs485(const Rs485Settings& settings) override { rs485_ = settings; }
    Rs485Settings rs485() const override { return rs485_; }
    void setRs485Refusal(std::string reason) { rs485Refusal_ = std::move(reason); }
    std::string Rs485Refusal() const override { return rs485Refusal_; }
    // Bytes the next Input returns, after what is already waiting.
    void queueInput(const ByteList& bytes);
    // Raises OnComm with the given event code.
    void raise(int code);
    // queueInput then raise 2; `flawed` of the bytes came with a parity error.
    void raiseBytes(const ByteList& bytes, std::size_t flawed = 0);
    std::size_t FlawedInInput() const override { return lastFlawed_; }
    // The device goes away: the port closes and raises closedByHangUp.
    void hangUp();
    // A stalled device takes nothing: what is written waits (OutBufferCount)
    // until it is discarded or the device reads again and takes it all.
    void setStalled(bool stalled);
    bool inputHeld() const { return inputHeld_; }
    // What modemLines() and BaudRate() (0: the rate of Settings()) report
    // while open; setBreak fails while refused, and always while closed.
    void setModemLines(const ModemLines& lines) { modemLines_ = lines; }
    void setBaudRate(unsigned rate) { baudRate_ = rate; }
    void setRefuseBreak(bool refuse) { refuseBreak_ = refuse; }
    // The device is hanging up: the port still reads as open, Output fails.
    void setHangingUp(bool hangingUp) { hangingUp_ = hangingUp; }
    // Closing leaves Draining() true until finishDraining() emits drained().
    void setDrainOnClose(bool drain) { drainOnClose_ = drain; }
    void finishDraining();
    // What LastReadAt() reports from now on; until set, the time of the last raise.
    void setLastReadAt(TimePoint at) { pinnedReadAt_ = at; }
    // The clock of the port's read and hand-over times (the steady clock by default).
    void setClock(std::function<TimePoint()> clock) { clock_ = std::move(clock); }
    // Every call of the lines beyond the documented ones, in order:
    // "setHandshaking rtscts", "setDTREnable 0", "setRTSEnable 1", "setBreak 1".
    const std::vector<std::string>& lineCalls() const { return lineCalls_; }

    // Every configuration call in order, e.g. "setCommPort 2",
    // "setSettings 9600,n,8,1", "setInputMode binary", "setOutBufferCount 0".
    const std::vector<std::string>& configurationCalls() const { return calls_; }
    InputModes inputMode() const { return inputMode_; }
    int rThreshold() const { return rThreshold_; }
    int inputLen() const { return inputLen_; }

    int openCount() const { return openCount_; }           // closed -> open
    int closeCount() const { return closeCount_; }         // open -> closed
    int refusedOpenCount() const { return refusedCount_; } // openings refused
    // Each Output call made while open, in order.
    const std::vector<ByteList>& outputs() const { return outputs_; }
    // All bytes written while open, joined.
    ByteList outputBytes() const;
    // Output calls made while closed (a real port drops those bytes).
    int outputsWhileClosed() const { return outputsWhileClosed_; }
    void clearOutputs() { outputs_.clear(); }

private:
    int commPort_ = 1;
    std::string settings_ = "9600,n,8,1";
    InputModes inputMode_ = InputModes::Text;
    int rThreshold_ = 0;
    int inputLen_ = 0;
    bool open_ = false;
    bool refuseOpen_ = false;
    std::string refuseReason_;
    std::string rs485Refusal_;
    Rs485Settings rs485_;
    bool stalled_ = false;
    bool inputHeld_ = false;
    std::size_t waiting_ = 0;
    int commEvent_ = 0;
    int openCount_ = 0;
    int closeCount_ = 0;
    int refusedCount_ = 0;
    int outputsWhileClosed_ = 0;
    static std::string Bit(bool on) { return on ? "1" : "0"; }
    TimePoint now() const { return clock_ ? clock_() : std::chrono::steady_clock::now(); }
    std::function<TimePoint()> clock_;

    Handshaking handshaking_ = Handshaking::None;
    bool dtr_ = true;
    bool rts_ = true;
    ModemLines modemLines_;
    unsigned baudRate_ = 0;
    bool refuseBreak_ = false;
    bool hangingUp_ = false;
    bool drainOnClose_ = false;
    bool draining_ = false;
    TimePoint lastReadAt_{};
    std::optional<TimePoint> pinnedReadAt_;
    ByteList input_;
    std::size_t flawed_ = 0;
    std::size_t lastFlawed_ = 0;
    std::vector<ByteList> outputs_;
    std::vector<std::uint64_t> notHandedOver_; // frames a stalled device has not taken
    std::vector<std::string> calls_;
    std::vector<std::string> lineCalls_;
};

} // namespace quorvane
