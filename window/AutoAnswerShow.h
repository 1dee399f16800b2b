#pragma once

#include <QObject>
#include <QString>
#include <functional>

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
        // The status bar's panel for notes (made after this).
        std::function<StatusPanel&()> notePanel;
    };

    AutoAnswerShow(Parts parts, QObject* parent = nullptr);

private:
    std::function<StatusPanel&()> notePanel_;
    QString shown_; // the pause's note, while it is told
};

} // namespace quorvane
