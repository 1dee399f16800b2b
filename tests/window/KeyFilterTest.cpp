#include "MainWindowFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QGuiApplication>

using namespace quorvane;

namespace {

class KeyFilter : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        txtSend()->setFocus();
    }
    void type(const char* keys) { QTest::keyClicks(txtSend(), QString::fromUtf8(keys)); }
    QString text() const { return txtSend()->toPlainText(); }
};

TEST_F(KeyFilter, DecimalAcceptsDigitsSemicolonBlankAndEnter)
{
    type("12 3;");
    QTest::keyClick(txtSend(), Qt::Key_Return);
    type("4");
    QTest::keyClick(txtSend(), Qt::Key_Backspace);
    EXPECT_EQ(text(), "12 3;\n");
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(KeyFilter, DecimalRefusesLettersAndLeavesTheTextAsItWas)
{
    type("12");
    type("a");
    EXPECT_EQ(text(), "12");
    ASSERT_EQ(recorder.texts(), std::vector<std::string>{"请输入数字量"});
    EXPECT_EQ(recorder.messages()[0].title, "提示");
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Warning);

    txtSend()->selectAll(); // a refused key replaces no selection
    type("x");
    EXPECT_EQ(text(), "12");
    QTest::keyClick(txtSend(), Qt::Key_Escape);
    EXPECT_EQ(recorder.messages().size(), 3u);
}

TEST_F(KeyFilter, DeleteAndArrowsAreNotFiltered)
{
    type("12");
    QTest::keyClick(txtSend(), Qt::Key_Left);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(txtSend(), &del);
    EXPECT_EQ(text(), "1");
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(KeyFilter, InputMethodTextIsFilteredLikeKeys)
{
    auto commit = [&](const QString& s) {
        QInputMethodEvent event;
        event.setCommitString(s);
        QApplication::sendEvent(txtSend(), &event);
    };
    commit(QStringLiteral("12"));
    commit(QStringLiteral("１"));
    EXPECT_EQ(text(), "12");
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"请输入数字量"});
    Shared().opt2 = 2;
    commit(QStringLiteral(" ab"));
    EXPECT_EQ(text(), "12 AB");
    Shared().opt2 = 0;
    commit(QStringLiteral("中文"));
    EXPECT_EQ(text(), "12 AB中文");
}

TEST_F(KeyFilter, HexEntersUpperCaseAndRefusesOthers)
{
    Shared().opt2 = 2;
    type("0a ff;");
    EXPECT_EQ(text(), "0A FF;");
    type("g");
    EXPECT_EQ(text(), "0A FF;");
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"请输入十六进制数"});
}

TEST_F(KeyFilter, StringFormatAcceptsEverything)
{
    Shared().opt2 = 0;
    type("Hello, ");
    QKeyEvent chinese(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("世"));
    QApplication::sendEvent(txtSend(), &chinese);
    type("!");
    EXPECT_EQ(text(), "Hello, 世!");
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(KeyFilter, FormatIsReadAtEveryKey)
{
    Shared().opt2 = 0;
    type("ab");
    Shared().opt2 = 1;
    type("1");
    EXPECT_EQ(text(), "ab1");
}

TEST_F(KeyFilter, EditingShortcutsAreNotFiltered)
{
    QGuiApplication::clipboard()->setText("xyz");
    QTest::keyClick(txtSend(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text(), "xyz");
    QTest::keyClick(txtSend(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(txtSend(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text(), "");
    QTest::keyClick(txtSend(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), "xyz");
    EXPECT_TRUE(recorder.messages().empty());
}

} // namespace
