#include "AutoAnswerShow.h"

#include "AutoAnswer.h"
#include "ReceiveCycle.h"
#include "SessionRecord.h"
#include "StatusPanel.h"

namespace quorvane {

AutoAnswerShow::AutoAnswerShow(Parts parts, QObject* parent)
    : QObject(parent), notePanel_(std::move(parts.notePanel))
{
    connect(&parts.answers, &AutoAnswer::receptionAnswered, this,
            [&receive = parts.receive](const QString& rule) {
                receive.AppendAfterReception(" [已应答 " + rule.toStdString() + "]");
            });
    connect(&parts.answers, &AutoAnswer::answered, this,
            [&record = parts.record](const QString& rule, const ByteList& bytes) {
                record.note(RecordEvent::AutoAnswer, bytes, rule.toStdString() + ":");
            });
    // The note stays until answering is enabled again.
    connect(&parts.answers, &AutoAnswer::paused, this, [this](AutoAnswer::Pause why) {
        shown_ = AutoAnswer::PauseNote(why);
        notePanel_().setPanelText(shown_);
    });
    connect(&parts.answers, &AutoAnswer::enabledChanged, this, [this](bool on) {
        if (on && !shown_.isEmpty() && notePanel_().fullText() == shown_) {
            notePanel_().setPanelText({}); // unless another note took its place
        }
        if (on) {
            shown_.clear();
        }
    });
}

} // namespace quorvane
