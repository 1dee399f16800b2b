#include "EditMenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

namespace quorvane {

EditMenu::EditMenu(QMenuBar* bar, QAction* before, TextView send, TextView receive)
    : QObject(bar), send_(send), receive_(receive)
{
    auto* menu = new QMenu(QStringLiteral("编辑(&E)"), bar);
    menu->setObjectName(QStringLiteral("Edit"));
    bar->insertMenu(before, menu);
    const struct {
        const char* caption;
        const char* name;
        QKeySequence key;
        void (EditMenu::*handler)();
    } items[] = {{"查找...", "Find", QKeySequence(Qt::CTRL | Qt::Key_F), &EditMenu::Find_Click},
                 {"全选", "SelectAll", QKeySequence(Qt::CTRL | Qt::Key_A), &EditMenu::SelectAll_Click},
                 {"复制", "Copy", {}, &EditMenu::Copy_Click}};
    for (const auto& item : items) {
        QAction* action = menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setShortcut(item.key);
        connect(action, &QAction::triggered, this, item.handler);
    }
}

const TextView& EditMenu::CurrentView() const
{
    const QWidget* focus = QApplication::focusWidget();
    const bool inSend = focus != nullptr && (focus == send_.widget || send_.widget->isAncestorOf(focus) ||
                                             (send_.findBar && send_.findBar->isAncestorOf(focus)));
    return inSend ? send_ : receive_;
}

void EditMenu::Find_Click()
{
    OpenFindBar(CurrentView());
}

void EditMenu::SelectAll_Click()
{
    SelectAllIn(CurrentView());
}

void EditMenu::Copy_Click()
{
    CopyFrom(CurrentView());
}

} // namespace quorvane
