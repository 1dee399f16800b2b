#include "MainWindowFixture.h"
#include "SendBox.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMimeData>

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
    QGuiApplication::clipboard()->setText("1 2");
    QTest::keyClick(txtSend(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text(), "1 2");
    QTest::keyClick(txtSend(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(txtSend(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text(), "");
    QTest::keyClick(txtSend(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), "1 2");
    EXPECT_TRUE(recorder.messages().empty());
}

class PasteFilter : public KeyFilter {
protected:
    void paste(const QString& clip)
    {
        QGuiApplication::clipboard()->setText(clip);
        QTest::keyClick(txtSend(), Qt::Key_V, Qt::ControlModifier);
    }
    void drop(const QString& clip)
    {
        QMimeData data;
        data.setText(clip);
        QWidget* viewport = txtSend()->viewport();
        const QPoint at = viewport->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &dropped);
    }
};

TEST_F(PasteFilter, TextAKeyWouldBeRefusedForIsRefusedWhole)
{
    struct Row {
        int format;
        const char16_t* clip;
        const char* message;
        qsizetype length = -1;
    };
    const Row rows[] = {
        {1, u"1 2 \u00FF\u00FE 3", "请输入数字量"},
        {1, u"1\u200F2", "请输入数字量"},  // right-to-left mark
        {1, u"7 \U0001F600", "请输入数字量"}, // emoji
        {1, u"1 2 a", "请输入数字量"},
        {2, u"a\u0000b\u0000c", "请输入十六进制数", 5},
        {2, u"0A 0G", "请输入十六进制数"},
    };
    for (const Row& row : rows) {
        const QString clip = QString::fromUtf16(row.clip, row.length);
        SCOPED_TRACE(clip.toStdString());
        Shared().opt2 = row.format;
        txtSend()->setPlainText("9 9");
        txtSend()->selectAll();
        recorder.clear();
        paste(clip);
        EXPECT_EQ(text(), "9 9");
        EXPECT_EQ(txtSend()->textCursor().selectedText(), "9 9") << "the selection stays";
        drop(clip);
        ASSERT_TRUE(WaitUntil([&] { return recorder.messages().size() == 2; }));
        EXPECT_EQ(text(), "9 9");
        EXPECT_EQ(recorder.texts(), (std::vector<std::string>{row.message, row.message}));
        EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Warning);
    }
}

TEST_F(PasteFilter, BlanksTabsAndLineBreaksPassAndHexGoesInUpperCase)
{
    paste("1\t2\r\n3 ;");
    EXPECT_EQ(text(), "1\t2\n3 ;");
    Shared().opt2 = 2;
    txtSend()->clear();
    drop("0a ff\n");
    EXPECT_EQ(text(), "0A FF\n");
    Shared().opt2 = 0;
    txtSend()->clear();
    paste(QStringLiteral("AT+\U0001F600\t"));
    EXPECT_EQ(text(), QStringLiteral("AT+\U0001F600\t"));
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(PasteFilter, TheBoxHoldsAtMostItsLengthTypedOrPasted)
{
    const QString full(SendBox::MaxChars, u'1');
    paste(full + "1");
    EXPECT_EQ(text(), "");
    ASSERT_EQ(recorder.texts(), std::vector<std::string>{"发送数据应不超过8192个字符"});
    EXPECT_EQ(recorder.messages()[0].title, "提示");
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Warning);

    paste(full);
    EXPECT_EQ(text().size(), SendBox::MaxChars);
    type("2");
    QTest::keyClick(txtSend(), Qt::Key_Return);
    drop("3");
    ASSERT_TRUE(WaitUntil([&] { return recorder.messages().size() == 4; }));
    EXPECT_EQ(text(), full);
    txtSend()->selectAll(); // replacing the selection fits
    paste(full);
    EXPECT_EQ(text(), full);
    EXPECT_EQ(recorder.messages().size(), 4u);
}

} // namespace
