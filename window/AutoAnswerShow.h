#pragma once

#include <QObject>

class QMainWindow;

namespace quorvane {

class AutoAnswer;
class ReceiveCycle;
class SessionRecord;

// Where the window tells of the automatic answers: the rule's words after
// the reception it answered in the receive view, each answer written in the
// session record, and a pause for too many answers in the status bar.
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
};

} // namespace quorvane
