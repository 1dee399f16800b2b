#include "HelpWindow.h"

#include "DialogWindow.h"

#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace quorvane
{

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Quorvane 帮助"));
    resize(640, 560);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setAccessibleName(QStringLiteral("帮助内容"));
    browser_->setOpenExternalLinks(false);
    browser_->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
}

void HelpWindow::showFromStart()
{
    if (!isVisible()) {
        // Never taller or wider than the screen it opens on (at 200 % a
        // laptop's screen holds less than 560 pixels of text).
        const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
        if (screen != nullptr) {
            const QRect room = screen->availableGeometry();
            resize(std::min(width(), room.width() - 40), std::min(height(), room.height() - 60));
        }
    }
    browser_->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
    browser_->verticalScrollBar()->setValue(0);
    RestoreIfMinimised(this);
    show();
    raise();
    activateWindow();
}

} // namespace quorvane
