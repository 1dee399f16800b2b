#pragma once

#include "DeviceWatch.h"

#include <QObject>
#include <QTimer>

class QAction;

namespace quorvane {

class LineEngine;
class LinePanel;
class MainControls;
class ReceiveCycle;
class SessionRecord;

// "断线自动重连": after the port's device went away (the port has closed
// itself), waits for the same device to come back (its by-id name, else
// its path) and opens the port again with the same settings, within a
// moment of its return. Listening goes on; timed sending or a sequence the
// loss stopped stays stopped. The line panel and the session record tell
// the loss, the wait and the return. Nothing is done while a message box is
// open: the box is answered first.
class Reconnection : public QObject {
    Q_OBJECT
public:
    struct Parts {
        MainControls& main; // the port and the port status panel
        ReceiveCycle& receive;
        LineEngine& engine;
        SessionRecord& record;
        LinePanel& panel;
        QAction& item; // "断线自动重连", checked while it applies
    };

    Reconnection(Parts parts, QObject* parent = nullptr);

    // The port's device went away; the port has closed itself.
    void PortLost();
    // "关闭串口", or the item unchecked: the wait ends.
    void Cancel();
    // The port dialog chose a port: another one than the lost one ends the wait.
    void PortChosen(int comPort);
    bool waiting() const { return watch_.watching(); }

private:
    void PortOpenChanged(bool open);
    void TryReopen(const QString& path);
    void RetryIfThere();
    void StopWaiting();
    std::string PortName() const;

    Parts parts_;
    DeviceWatch watch_;
    DeviceIdentity identity_; // of the device the port had open last
    int identityPort_ = 0;    // its COMn
    QTimer retry_;            // a device there that did not open yet (udev, ModemManager)
    bool reopening_ = false;
};

} // namespace quorvane
