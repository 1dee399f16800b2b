#include "AutoAnswerShow.h"

#include "AutoAnswer.h"
#include "ReceiveCycle.h"
#include "SessionRecord.h"
#include "StatusPanel.h"

#include <QMainWindow>
#include <QStatusBar>

namespace quorvane {

AutoAnswerShow::AutoAnswerShow(Parts parts, QObject* parent)
    : QObject(parent), window_(parts.window)
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
        note_ = NotePanel();
        shown_ = AutoAnswer::PauseNote(why);
        note_->setPanelText(shown_);
    });
    connect(&parts.answers, &AutoAnswer::enabledChanged, this, [this](bool on) {
        if (on && note_ != nullptr && note_->fullText() == shown_) {
            note_->setPanelText({}); // unless another note took its place
        }
    });
}

// The bar's panel for notes when it has one; otherwise one of its own, made
// at the first pause so that the bar's other panels keep their places.
StatusPanel* AutoAnswerShow::NotePanel()
{
    QStatusBar* bar = window_.statusBar();
    if (auto* shared = bar->findChild<StatusPanel*>(QStringLiteral("NotePanel"),
                                                    Qt::FindDirectChildrenOnly)) {
        return shared;
    }
    auto* own = bar->findChild<StatusPanel*>(QStringLiteral("AnswerPause"),
                                             Qt::FindDirectChildrenOnly);
    if (own == nullptr) {
        own = new StatusPanel(QStringLiteral("AnswerPause"), QStringLiteral("自动应答"), bar);
        bar->addWidget(own);
    }
    return own;
}

} // namespace quorvane
