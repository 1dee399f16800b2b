#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorvane {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread, so
// the session ending or a package test stopping the program closes the main
// window the ordinary way (timers off, port released) and exits 0, and a run
// without a window ends its sequence and writes its reports.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    // The number of the (last) signal that came.
    void terminationRequested(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace quorvane
