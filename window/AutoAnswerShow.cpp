#include "AutoAnswerShow.h"

#include "AutoAnswer.h"
#include "ReceiveCycle.h"
#include "SessionRecord.h"

#include <QMainWindow>
#include <QStatusBar>

namespace quorvane {

AutoAnswerShow::AutoAnswerShow(Parts parts, QObject* parent) : QObject(parent)
{
    connect(&parts.answers, &AutoAnswer::receptionAnswered, this,
            [&receive = parts.receive](const QString& rule) {
                receive.AppendAfterReception(" [已应答 " + rule.toStdString() + "]");
            });
    connect(&parts.answers, &AutoAnswer::answered, this,
            [&record = parts.record](const QString& rule, const ByteList& bytes) {
                record.note(RecordEvent::AutoAnswer, bytes, rule.toStdString() + ":");
            });
    connect(&parts.answers, &AutoAnswer::paused, this, [&window = parts.window] {
        window.statusBar()->showMessage(QStringLiteral("自动应答过多,已暂停"), 5000);
    });
}

} // namespace quorvane
