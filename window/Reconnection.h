#pragma once

#include "Reconnector.h"

#include <QObject>

class QAction;

namespace quorvane {

class LineEngine;
class LinePanel;
class MainControls;
class ReceiveCycle;
class SessionRecord;

// "断线自动重连" in the window: after the port's device went away (the port
// has closed itself), the engine's reconnector waits for the same device to
// come back and opens the port again with the same settings. Listening goes
// on; timed sending or a sequence the loss stopped stays stopped. The line
// panel and the session record tell the loss, the wait and the return.
// Nothing is opened while a message box is open: the box is answered first.
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
    bool waiting() const { return reconnector_.waiting(); }

private:
    void Reconnected(const QString& device);
    std::string PortName() const;

    Parts parts_;
    Reconnector reconnector_;
};

} // namespace quorvane
