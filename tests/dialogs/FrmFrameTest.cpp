#include "DialogFixture.h"

#include <QTextLayout>

using namespace quorvane;

namespace
{

class FrameDialog : public DialogTest
{
protected:
    void open() { clickMain("cmdFrame"); }
    QLineEdit* box(int i)
    {
        return in<QLineEdit>("frmFrame",
                             QStringLiteral("txtframe_%1").arg(i).toLatin1().constData());
    }
    QComboBox* list(const char* name) { return in<QComboBox>("frmFrame", name); }
    QRadioButton* option(const char* name) { return in<QRadioButton>("frmFrame", name); }
    QCheckBox* check() { return in<QCheckBox>("frmFrame", "Check1"); }
};

TEST_F(FrameDialog, FirstOpeningShowsTheStartupFrame)
{
    open();
    QWidget* d = dialog("frmFrame");
    ASSERT_NE(d, nullptr);
    Snapshot(d, "frmFrame.png");
    EXPECT_EQ(d->windowTitle(), "发送帧格式");
    EXPECT_EQ(d->size(), QSize(486, 267));
    EXPECT_EQ(box(0)->text(), "00");
    EXPECT_EQ(box(1)->text(), "");
    EXPECT_EQ(box(2)->text(), "");
    EXPECT_EQ(box(3)->text(), "FF");
    EXPECT_EQ(list("cmbLen")->currentText(), "有");
    EXPECT_EQ(list("cmbFcs")->currentText(), "有");
    EXPECT_TRUE(option("optFcs_0")->isChecked());
    EXPECT_TRUE(option("OptStart_0")->isChecked());
    EXPECT_EQ(option("OptStart_1")->text(), "起始字节以后");
    EXPECT_FALSE(check()->isChecked());
    EXPECT_TRUE(check()->isEnabled());
    EXPECT_FALSE(in<QGroupBox>("frmFrame", "Frame4")->isEnabled());
    EXPECT_TRUE(option("OptHandel_0")->isChecked());
    EXPECT_FALSE(option("OptHandel_0")->isEnabled());
    EXPECT_EQ(
        in<QLabel>("frmFrame", "Label9")->text().remove(QChar(0x2060)), // word joiners
        "   说明： 请在帧格式文本框内填入十六进制数据(00-FF)。若空白，表示发送帧中无此字节。");
}

// What the eye reads in order, the keyboard visits in order; the note keeps
// "(00-FF)" on one line.
TEST_F(FrameDialog, TabOrderAndNoteFollowTheEye)
{
    open();
    QStringList visited;
    QWidget* w = box(0);
    do {
        if (w->focusPolicy() & Qt::TabFocus) {
            visited << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != box(0));
    EXPECT_EQ(visited.join(u' '), "txtframe_0 txtframe_1 txtframe_2 cmbLen cmbFcs txtframe_3 "
                                  "optFcs_0 optFcs_1 optFcs_2 cmbFcsMethod optFcsOrder_0 "
                                  "optFcsOrder_1 OptStart_0 OptStart_1 OptStart_2 Check1 "
                                  "OptHandel_0 OptHandel_1 cmdOK cmdcancel");

    auto* note = in<QLabel>("frmFrame", "Label9");
    QTextLayout layout(note->text(), note->font());
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(wrapping);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(note->contentsRect().width());
        const QString text = note->text().mid(line.textStart(), line.textLength());
        EXPECT_EQ(text.count(u'('), text.count(u')')) << "a line ends inside (00-FF): " << text.toStdString();
    }
    layout.endLayout();
}

TEST_F(FrameDialog, OkStoresEveryFieldAndClosesTheDialog)
{
    open();
    box(0)->setText("  68");
    box(1)->setText("01 ");
    box(2)->setText("03");
    box(3)->setText("16");
    list("cmbLen")->setCurrentIndex(0);
    clickIn("frmFrame", "optFcs_1");
    clickIn("frmFrame", "OptStart_2");
    clickIn("frmFrame", "Check1");
    EXPECT_TRUE(option("OptHandel_1")->isEnabled());
    clickIn("frmFrame", "OptHandel_1");
    clickIn("frmFrame", "cmdOK");
    EXPECT_EQ(dialog("frmFrame"), nullptr) << "destroyed on close";
    const SharedSettings& s = Shared();
    EXPECT_EQ(s.frame.StartByte, "68");
    EXPECT_EQ(s.frame.SlaveAddr, "01 ");
    EXPECT_EQ(s.frame.CmdByte, "03");
    EXPECT_EQ(s.frame.EndByte, "16");
    EXPECT_EQ(s.frame.LenOption, 0);
    EXPECT_EQ(s.frame.FcsOption, 1);
    EXPECT_EQ(s.FcsMethod, 1);
    EXPECT_EQ(s.FcsStart, 2);
    EXPECT_EQ(s.PreprocessOn, 1);
    EXPECT_EQ(s.PreprocessKind, 1);
    EXPECT_TRUE(s.FrameDirty);

    open(); // every opening starts from the settings
    EXPECT_EQ(box(0)->text(), "68");
    EXPECT_TRUE(option("OptStart_2")->isChecked());
    EXPECT_TRUE(option("OptHandel_1")->isChecked());
    EXPECT_TRUE(check()->isChecked());
}

TEST_F(FrameDialog, OneTextOutsideAByteStoresNothing)
{
    open();
    box(0)->setText("68");
    box(1)->setText("0FF"); // three digits, worth 255: fine
    box(3)->setText("100");
    clickIn("frmFrame", "optFcs_1");
    clickIn("frmFrame", "cmdOK");
    ASSERT_EQ(recorder.texts(), std::vector<std::string>{"超出字节范围"});
    EXPECT_EQ(recorder.messages()[0].title, "警告");
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Critical);
    ASSERT_NE(dialog("frmFrame"), nullptr);
    EXPECT_TRUE(dialog("frmFrame")->isVisible());
    EXPECT_EQ(box(3)->text(), "100");
    EXPECT_EQ(Shared().frame.StartByte, "00");
    EXPECT_EQ(Shared().FcsMethod, 0);
    EXPECT_FALSE(Shared().FrameDirty);

    // Text that is not hex digits is refused like 100, never read as 00.
    box(3)->setText("");
    for (const char* typed : {"xyz", "GG", "1G", "0x01"}) {
        recorder.clear();
        box(2)->setText(QString::fromLatin1(typed));
        clickIn("frmFrame", "cmdOK");
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{"超出字节范围"}) << typed;
        EXPECT_EQ(Shared().frame.StartByte, "00") << typed;
    }
    box(2)->setText(" 0 3");
    clickIn("frmFrame", "cmdOK");
    EXPECT_EQ(Shared().frame.SlaveAddr, "0FF");
    EXPECT_EQ(Shared().frame.CmdByte, "0 3");
    EXPECT_EQ(Shared().frame.EndByte, "");
}

TEST_F(FrameDialog, StringInputDisablesPreprocessing)
{
    Shared().opt2 = 0;
    Shared().PreprocessOn = 1;
    Shared().PreprocessKind = 1;
    open();
    EXPECT_FALSE(check()->isChecked());
    EXPECT_FALSE(check()->isEnabled());
    EXPECT_FALSE(in<QGroupBox>("frmFrame", "Frame4")->isEnabled());
    EXPECT_TRUE(option("OptHandel_0")->isChecked()) << "kind not shown while off";
    clickIn("frmFrame", "cmdOK");
    EXPECT_EQ(Shared().PreprocessOn, 0);
    EXPECT_EQ(Shared().PreprocessKind, 1);
}

TEST_F(FrameDialog, TickingWithoutChoosingWritesTheFirstKind)
{
    Shared().PreprocessKind = 1;
    open();
    clickIn("frmFrame", "Check1");
    clickIn("frmFrame", "cmdOK");
    EXPECT_EQ(Shared().PreprocessOn, 1);
    EXPECT_EQ(Shared().PreprocessKind, 0);
}

TEST_F(FrameDialog, CancelEscAndCloseBoxWriteNothing)
{
    open();
    box(0)->setText("55");
    clickIn("frmFrame", "cmdcancel");
    EXPECT_EQ(dialog("frmFrame"), nullptr);
    open();
    box(0)->setText("56");
    QTest::keyClick(box(0), Qt::Key_Escape);
    EXPECT_EQ(dialog("frmFrame"), nullptr);
    open();
    box(0)->setText("57");
    QTest::keyClick(box(0), Qt::Key_Return); // no button answers Enter
    ASSERT_NE(dialog("frmFrame"), nullptr);
    dialog("frmFrame")->close();
    EXPECT_EQ(dialog("frmFrame"), nullptr);
    EXPECT_EQ(Shared().frame.StartByte, "00");
    EXPECT_FALSE(Shared().FrameDirty);
}

TEST_F(FrameDialog, AskingAgainBringsTheOpenDialogToTheFront)
{
    open();
    box(0)->setText("AA");
    open();
    EXPECT_EQ(window->findChildren<QDialog*>("frmFrame").size(), 1);
    EXPECT_EQ(box(0)->text(), "AA") << "not reloaded";
}

TEST_F(FrameDialog, OkIsRefusedWhileTimedSendingRuns)
{
    open();
    window->setTimeRcvInterval(0);
    window->setTimer1Interval(1000);
    window->setSendCaption(QStringLiteral("开始发送"));
    window->findChild<QPlainTextEdit*>("txtSend")->setPlainText("1");
    clickMain("cmdSend");
    EXPECT_FALSE(in<QPushButton>("frmFrame", "cmdOK")->isEnabled());
    clickMain("cmdSend");
    EXPECT_TRUE(in<QPushButton>("frmFrame", "cmdOK")->isEnabled());
}

// Choosing a further check selects its option and brings the byte order it
// is usually sent in; the order can be chosen for the wider checks only.
TEST_F(FrameDialog, FurtherChecksBringTheirUsualByteOrder)
{
    open();
    auto* order = in<QGroupBox>("frmFrame", "Frame6");
    EXPECT_FALSE(order->isEnabled());
    const struct {
        const char* method;
        bool multiByte;
        const char* usual;
    } rows[] = {{"CRC-16/CCITT-FALSE", true, "optFcsOrder_1"},
                {"CRC-16/Modbus", true, "optFcsOrder_0"},
                {"CRC-8", false, "optFcsOrder_1"}, // greyed, as CRC-8 is sent
                {"16位求和", true, "optFcsOrder_1"}};
    for (const auto& row : rows) {
        list("cmbFcsMethod")->setCurrentText(QString::fromUtf8(row.method));
        EXPECT_TRUE(option("optFcs_2")->isChecked()) << row.method;
        EXPECT_EQ(order->isEnabled(), row.multiByte) << row.method;
        EXPECT_TRUE(option(row.usual)->isChecked()) << row.method;
    }
    list("cmbFcsMethod")->setCurrentText("CRC-16/Modbus");
    clickIn("frmFrame", "optFcsOrder_1");
    clickIn("frmFrame", "cmdOK");
    EXPECT_EQ(Shared().FcsMethod, FcsCrc16Modbus);
    EXPECT_EQ(Shared().FcsByteOrder, FcsHighFirst);
    ASSERT_EQ(dialog("frmFrame"), nullptr);

    open(); // the stored order, not the usual one
    EXPECT_EQ(list("cmbFcsMethod")->currentText(), "CRC-16/Modbus");
    EXPECT_TRUE(option("optFcsOrder_1")->isChecked());
    clickIn("frmFrame", "optFcs_0");
    EXPECT_FALSE(in<QGroupBox>("frmFrame", "Frame6")->isEnabled());
    clickIn("frmFrame", "cmdOK");
    EXPECT_EQ(Shared().FcsMethod, FcsXor);
}

TEST_F(FrameDialog, ClickingTheCaptionClicksTheCheckBox)
{
    open();
    auto* caption = in<QLabel>("frmFrame", "Label10");
    QTest::mouseClick(caption, Qt::LeftButton);
    EXPECT_TRUE(in<QGroupBox>("frmFrame", "Frame4")->isEnabled());
    QTest::mouseClick(caption, Qt::LeftButton);
    EXPECT_FALSE(check()->isChecked());
    clickIn("frmFrame", "cmdcancel");
    ASSERT_EQ(dialog("frmFrame"), nullptr);

    Shared().opt2 = 0; // string input: the box is disabled
    open();
    QTest::mouseClick(in<QLabel>("frmFrame", "Label10"), Qt::LeftButton);
    EXPECT_FALSE(check()->isChecked());
}

} // namespace
