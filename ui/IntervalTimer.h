#pragma once

#include <QObject>
#include <QTimer>

namespace quorvane {

// A timer with an interval of 0..65535 ms and an on/off switch. While on it
// raises timeout() once per interval; with interval 0 it raises nothing.
// Switching it on while it runs does not restart the interval (the receive
// time-out counts from the first frame still unanswered); a new interval
// starts afresh.
class IntervalTimer : public QObject {
    Q_OBJECT
public:
    explicit IntervalTimer(QObject* parent = nullptr);

    int interval() const { return interval_; }
    void setInterval(int ms);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool on);
    // Switches it on to raise one timeout() after `ms` (the rest of a
    // deadline, whatever the interval); whoever started it sets it again
    // when it fires.
    void startWithin(int ms);

signals:
    void timeout();

private:
    void apply();

    QTimer timer_;
    int interval_ = 0;
    bool enabled_ = false;
};

} // namespace quorvane
