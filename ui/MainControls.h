#pragma once

#include <QObject>
#include <QString>

namespace quorvane {

class SerialPort;

// Raised when timed sending starts or stops, so open dialogs can refuse
// their OK while it runs.
class SendStateSignal : public QObject {
    Q_OBJECT
signals:
    void timedSendingChanged(bool running);
};

// What the dialogs may change on the main window when the user confirms
// them: the send button's caption (which carries the send state), the mode
// label, the two timers' intervals, the port status panel and the port.
class MainControls {
public:
    virtual ~MainControls() = default;

    virtual QString sendCaption() const = 0;
    virtual void setSendCaption(const QString& caption) = 0;
    virtual void setSendsetLabel(const QString& caption) = 0;
    virtual void setTimer1Interval(int ms) = 0;
    virtual void stopTimer1() = 0;
    virtual void setTimeRcvInterval(int ms) = 0;
    virtual void setPortStatus(const QString& text) = 0;
    virtual SerialPort& port() = 0;
    // True while timed sending runs (caption "停止发送").
    virtual bool timedSendingRunning() const = 0;
    // True while timed sending is chosen (caption "开始发送" or "停止发送").
    virtual bool timedSendingChosen() const { return timedSendingRunning(); }
    virtual SendStateSignal& sendState() = 0;
    // The port dialog has handed new settings to the port (after its OK).
    virtual void portSettingsApplied() {}
    // The send mode dialog has committed its choices (after its OK).
    virtual void sendChoicesApplied() {}
};

} // namespace quorvane
