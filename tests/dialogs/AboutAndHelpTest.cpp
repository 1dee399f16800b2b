#include "DialogFixture.h"

#include <QAction>
#include <QScrollBar>
#include <QTextBrowser>

using namespace quorvane;

namespace
{

using AboutAndHelp = DialogTest;

TEST_F(AboutAndHelp, AboutBoxShowsTheVersionAndClosesOnEnterOrEsc)
{
    window->findChild<QAction*>("about")->trigger();
    QWidget* d = dialog("frmAbout");
    ASSERT_NE(d, nullptr);
    Snapshot(d, "frmAbout.png");
    EXPECT_EQ(d->windowTitle(), "关于Quorvane");
    EXPECT_EQ(d->size(), QSize(344, 230));
    EXPECT_EQ(in<QLabel>("frmAbout", "lblTitle")->text(), "          Quorvane");
    EXPECT_EQ(in<QLabel>("frmAbout", "lblVersion")->text(), "版本: 1.0");
    EXPECT_FALSE(in<QLabel>("frmAbout", "picIcon")->pixmap().isNull());
    EXPECT_TRUE(in<QLabel>("frmAbout", "lblDescription")->text().startsWith("    "));
    QTest::keyClick(d, Qt::Key_Escape);
    EXPECT_EQ(dialog("frmAbout"), nullptr);

    window->findChild<QAction*>("about")->trigger();
    window->findChild<QAction*>("about")->trigger();
    EXPECT_EQ(window->findChildren<QDialog*>("frmAbout").size(), 1);
    QTest::keyClick(dialog("frmAbout"), Qt::Key_Return);
    EXPECT_EQ(dialog("frmAbout"), nullptr);
}

TEST_F(AboutAndHelp, HelpShowsTheBundledDocumentFromItsStart)
{
    window->findChild<QAction*>("shm")->trigger();
    auto* help = window->findChild<QWidget*>("helpWindow");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    auto* browser = help->findChild<QTextBrowser*>("helpBrowser");
    ASSERT_NE(browser, nullptr);
    const QString text = browser->toPlainText();
    for (const char* topic :
         {"QUORVANE_COM", "dialout", "quorvane-device", "发送帧格式", "接收超时", "定时发送"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(topic))) << topic;
    }
    Snapshot(help, "help.png");
    browser->verticalScrollBar()->setValue(browser->verticalScrollBar()->maximum());
    window->findChild<QAction*>("shm")->trigger();
    EXPECT_EQ(browser->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(window->isEnabled()) << "the main window stays usable";
}

} // namespace
