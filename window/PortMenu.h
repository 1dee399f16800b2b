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
// without writing), the output lines "DTR" and "RTS", and "发送Break".
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
    // The port dialog has confirmed: under RTS/CTS the driver owns RTS.
    void PortSettingsApplied();

    QAction* openPortItem() const { return OpenPort; }
    QAction* dtrItem() const { return DTR; }
    QAction* rtsItem() const { return RTS; }
    QAction* sendBreakItem() const { return SendBreak; }

private:
    void EndBreak();

    Parts parts_;
    QAction* OpenPort = nullptr;
    QAction* DTR = nullptr;
    QAction* RTS = nullptr;
    QAction* SendBreak = nullptr;
    QTimer breakHeld_; // how long the line stays in break
};

} // namespace quorvane
