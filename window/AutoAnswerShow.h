#pragma once

#include <QObject>
#include <QPointer>

class QMainWindow;

namespace quorvane {

class AutoAnswer;
class ReceiveCycle;
class SessionRecord;
class StatusPanel;

// Where the window tells of the automatic answers: the rule's words after
// the reception it answered in the receive view, each answer written in the
// session record, and a pause (too many answers, answers echoed back) in the
// status bar until answering is enabled again.
class AutoAnswerShow : public QObject {
    Q_OBJECT
public:
    struct Parts {
        AutoAnswer& answers;
        ReceiveCycle& receive;
        SessionRecord& record;
        QMainWindow& window; // its status bar
    };

    AutoAnswerShow(Parts parts, QObject* parent = nullptr);

private:
    StatusPanel* NotePanel();

    QMainWindow& window_;
    QPointer<StatusPanel> note_; // where the pause is told, while it is
    QString shown_;
};

} // namespace quorvane
