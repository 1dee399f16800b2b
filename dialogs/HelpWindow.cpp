#include "HelpWindow.h"

#include "DialogWindow.h"

#include <QScrollBar>
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
    browser_->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
    browser_->verticalScrollBar()->setValue(0);
    RestoreIfMinimised(this);
    show();
    raise();
    activateWindow();
}

} // namespace quorvane
