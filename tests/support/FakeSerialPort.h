#pragma once

#include "SerialPort.h"

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

    // Opening fails while refusing; an open port stays open.
    void setRefuseOpen(bool refuse) { refuseOpen_ = refuse; }
    // Bytes the next Input returns, after what is already waiting.
    void queueInput(const ByteList& bytes);
    // Raises OnComm with the given event code.
    void raise(int code);
    // queueInput then raise 2.
    void raiseBytes(const ByteList& bytes);
    // The device goes away: the port closes and raises closedByHangUp.
    void hangUp();
    // A stalled device takes nothing: what is written waits (OutBufferCount)
    // until it is discarded or the device reads again and takes it all.
    void setStalled(bool stalled);
    bool inputHeld() const { return inputHeld_; }

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
    bool stalled_ = false;
    bool inputHeld_ = false;
    std::size_t waiting_ = 0;
    int commEvent_ = 0;
    int openCount_ = 0;
    int closeCount_ = 0;
    int refusedCount_ = 0;
    int outputsWhileClosed_ = 0;
    ByteList input_;
    std::vector<ByteList> outputs_;
    std::vector<std::string> calls_;
};

} // namespace quorvane
