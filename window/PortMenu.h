#pragma once

#include <QObject>
#include <QTimer>

class QAction;
class QMenu;

namespace quorvane {

class MainControls;
class ReceiveCycle;
class SendCycle;
class SessionRecord;

// The port's own items in "串口设置(S)": "打开串口" (open and listen
// without writing), the output lines "DTR" and "RTS", "发送Break", the
// pulses "DTR 脉冲" and "RTS 脉冲" (the line inverted for 100 ms and put
// back, which resets most boards with an auto-reset circuit),
// "断线自动重连" (checked: a lost device is waited for and reopened) and
// "低延迟模式" (an FTDI adapter's latency timer lowered to 1 ms).
class PortMenu : public QObject {
    Q_OBJECT
public:
    struct Parts {
        MainControls& main;
        SendCycle& send;
        ReceiveCycle& receive;
        SessionRecord& record;
    };

    // Puts "打开串口" before `close` and the other items after it.
    PortMenu(Parts parts, QMenu* menu, QAction* close);

    void OpenPort_Click();
    void DTR_Toggled(bool on);
    void RTS_Toggled(bool on);
    void SendBreak_Click();
    enum class Line { Dtr, Rts };
    void Pulse_Click(Line line);
    // The port dialog has confirmed: under RTS/CTS the driver owns RTS.
    void PortSettingsApplied();
    // Lowers the latency timer of the port's device (open, or the one COMn
    // opens next) to 1 ms; a device without one, or a file the user may not
    // write, is told in a message box.
    void LowLatency_Click();

    QAction* openPortItem() const { return OpenPort; }
    QAction* dtrItem() const { return DTR; }
    QAction* rtsItem() const { return RTS; }
    QAction* sendBreakItem() const { return SendBreak; }
    QAction* dtrPulseItem() const { return DtrPulse; }
    QAction* rtsPulseItem() const { return RtsPulse; }
    QAction* reconnectItem() const { return Reconnect; }
    QAction* lowLatencyItem() const { return LowLatency; }

signals:
    // The latency timer is 1 ms now.
    void latencyLowered();

private:
    void EndBreak();
    void EndPulse();
    void SwitchPulsed();
    void EnablePulses();

    Parts parts_;
    QAction* OpenPort = nullptr;
    QAction* DTR = nullptr;
    QAction* RTS = nullptr;
    QAction* SendBreak = nullptr;
    QAction* DtrPulse = nullptr;
    QAction* RtsPulse = nullptr;
    QAction* Reconnect = nullptr;
    QAction* LowLatency = nullptr;
    QTimer breakHeld_; // how long the line stays in break
    QTimer pulseHeld_; // how long a pulsed line stays inverted
    Line pulsed_ = Line::Dtr;
};

} // namespace quorvane
