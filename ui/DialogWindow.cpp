#include "DialogWindow.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace quorvane
{

void SetUpDialogWindow(QDialog* dialog, int clientWidth, int clientHeight)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setModal(false);
    dialog->setFixedSize(clientWidth, clientHeight);
}

void RestoreIfMinimised(QWidget* window)
{
    if (window->windowState() & Qt::WindowMinimized) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
}

void ShowCentredOver(QDialog* dialog, const QWidget* owner)
{
    dialog->move(owner->mapToGlobal(QPoint((owner->width() - dialog->width()) / 2,
                                           (owner->height() - dialog->height()) / 2)));
    RestoreIfMinimised(dialog);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void ShowCentredOrRaise(QDialog* dialog, bool centre)
{
    RestoreIfMinimised(dialog);
    if (dialog->isVisible()) {
        dialog->raise();
        dialog->activateWindow();
        return;
    }
    if (centre) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (dialog->parentWidget() && dialog->parentWidget()->screen()) {
            screen = dialog->parentWidget()->screen();
        }
        if (screen) {
            const QRect area = screen->geometry();
            dialog->move(area.x() + (area.width() - dialog->width()) / 2,
                         area.y() + (area.height() - dialog->height()) / 2);
        }
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace quorvane

#include "MainControls.h"

#include <QPushButton>

namespace quorvane
{

void DisableWhileTimedSending(QPushButton* ok, MainControls& main)
{
    ok->setEnabled(!main.timedSendingRunning());
    QObject::connect(&main.sendState(), &SendStateSignal::timedSendingChanged, ok,
                     [ok](bool running) { ok->setEnabled(!running); });
}

} // namespace quorvane
