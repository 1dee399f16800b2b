#include "MessageSeam.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace quorvane {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageSeam& MessageSeam::instance()
{
    static MessageSeam seam;
    return seam;
}

void MessageSeam::show(MessageId id, int port)
{
    if (id != MessageId::None) {
        show(MessageFor(id, port));
    }
}

void MessageSeam::show(const Message& message)
{
    ++openBoxes_;
    if (recorder_) {
        recorder_(message);
    } else {
        showBox(message);
    }
    --openBoxes_;
    emit closed();
}

void MessageSeam::showBox(const Message& message)
{
    QMessageBox box(ToQtIcon(message.icon), QString::fromStdString(message.title),
                    QString::fromStdString(message.text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("messageBox"));
    if (!message.detail.empty()) {
        box.setInformativeText(QString::fromStdString(message.detail));
    }
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    // A box the window manager let the user minimise would block the window
    // with nothing on screen: it comes back while the window it blocks is shown.
    QTimer watch;
    watch.setInterval(250);
    QObject::connect(&watch, &QTimer::timeout, &box, [&box] {
        const QWidget* owner = box.parentWidget();
        if (box.isMinimized() && (owner == nullptr || !owner->isMinimized())) {
            box.showNormal();
            box.raise();
            box.activateWindow();
        }
    });
    watch.start();
    box.exec();
}

} // namespace quorvane
