#pragma once

#include <QObject>
#include <QString>

namespace quorvane {

class SerialPort;
class StatusPanel;

// What the open line could not be given (a port server that did not confirm
// a setting, a raw network pipe that carries none) is a note in the status
// bar, not a box: shown when it comes, gone when the port no longer has it,
// unless another note took its place meanwhile.
class LineNoteShow : public QObject {
    Q_OBJECT
public:
    LineNoteShow(SerialPort& port, StatusPanel& notePanel, QObject* parent = nullptr);

private:
    void Show();

    SerialPort& port_;
    StatusPanel& notePanel_;
    QString shown_;
};

} // namespace quorvane
