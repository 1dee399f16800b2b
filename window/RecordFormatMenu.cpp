#include "RecordFormatMenu.h"

#include "SessionRecord.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace quorvane {

RecordFormatMenu::RecordFormatMenu(QMenu* log, SessionRecord& record)
    : QObject(log), record_(record), menu_(log->addMenu(QStringLiteral("记录格式")))
{
    menu_->setObjectName(QStringLiteral("RecordFormat"));
    auto* group = new QActionGroup(menu_);
    text_ = menu_->addAction(QStringLiteral("文本"));
    text_->setObjectName(QStringLiteral("RecordText"));
    csv_ = menu_->addAction(QStringLiteral("CSV"));
    csv_->setObjectName(QStringLiteral("RecordCsv"));
    for (QAction* item : {text_, csv_}) {
        item->setCheckable(true);
        group->addAction(item);
    }
    text_->setChecked(true);
    connect(csv_, &QAction::toggled, this, [this](bool on) {
        record_.setFormat(on ? RecordFormat::Csv : RecordFormat::Text);
    });
}

void RecordFormatMenu::RecordingChanged(bool on)
{
    menu_->setEnabled(!on);
}

} // namespace quorvane
