#include "FrmSendset.h"
#include "DialogFixture.h"

#include <QCloseEvent>

using namespace quorvane;

namespace
{

class Sendset : public DialogTest
{
protected:
    void open() { clickMain("cmdSendset"); }
    QLineEdit* timer() { return in<QLineEdit>("frmSendset", "txtTimer"); }
};

TEST_F(Sendset, FirstOpeningShowsTheDefaults)
{
    EXPECT_EQ(dialog("frmSendset"), nullptr) << "built at its first opening";
    open();
    QWidget* d = dialog("frmSendset");
    ASSERT_NE(d, nullptr);
    Snapshot(d, "frmSendset.png");
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->windowTitle(), "发送形式");
    EXPECT_EQ(d->size(), QSize(406, 197));
    EXPECT_TRUE(in<QRadioButton>("frmSendset", "Optsend_0")->isChecked());
    EXPECT_EQ(in<QRadioButton>("frmSendset", "Optsend_1")->text(), "定时发送");
    EXPECT_TRUE(in<QRadioButton>("frmSendset", "Optformat_1")->isChecked());
    EXPECT_EQ(in<QRadioButton>("frmSendset", "Optformat_2")->text(), "十六进制字节串(空格隔开)");
    EXPECT_EQ(timer()->text(), "100");
    EXPECT_FALSE(timer()->isEnabled());
    EXPECT_EQ(in<QGroupBox>("frmSendset", "Frame2")->title(), "发送方式");
    EXPECT_EQ(in<QGroupBox>("frmSendset", "Frame3")->title(), "输入数据格式");
    EXPECT_TRUE(in<QPushButton>("frmSendset", "cmdOK")->isDefault());
}

TEST_F(Sendset, TimedOkSetsCaptionIntervalAndLabelWithoutStartingTheTimer)
{
    open();
    clickIn("frmSendset", "Optsend_1");
    EXPECT_TRUE(timer()->isEnabled());
    timer()->setText(" 250 ");
    clickIn("frmSendset", "Optformat_2");
    clickIn("frmSendset", "cmdOK");
    EXPECT_FALSE(dialog("frmSendset")->isVisible());
    EXPECT_EQ(mainCaption("cmdSend"), "开始发送");
    EXPECT_EQ(window->timer1().interval(), 250);
    EXPECT_FALSE(window->timer1().isEnabled());
    EXPECT_EQ(window->findChild<QLabel*>("lblSendset")->text(),
              "(定时发送十六进制字节串(空格隔开))");
    EXPECT_EQ(Shared().opt1, 1);
    EXPECT_EQ(Shared().opt2, 2);
    EXPECT_TRUE(Shared().FrameDirty);

    open(); // hidden, not destroyed: shown as it was left
    EXPECT_TRUE(in<QRadioButton>("frmSendset", "Optsend_1")->isChecked());
    EXPECT_EQ(timer()->text(), " 250 ");
    clickIn("frmSendset", "Optsend_0");
    clickIn("frmSendset", "cmdOK");
    EXPECT_EQ(mainCaption("cmdSend"), "发送");
    EXPECT_EQ(window->findChild<QLabel*>("lblSendset")->text(),
              "(单次发送十六进制字节串(空格隔开))");
    EXPECT_EQ(Shared().opt1, 0);
    EXPECT_EQ(window->findChildren<QDialog*>("frmSendset").size(), 1);
}

TEST_F(Sendset, CancelRestoresTheCommittedChoicesAndInterval)
{
    open();
    clickIn("frmSendset", "Optsend_1");
    timer()->setText("500");
    clickIn("frmSendset", "Optformat_0");
    clickIn("frmSendset", "cmdcancel");
    EXPECT_FALSE(dialog("frmSendset")->isVisible());
    EXPECT_EQ(mainCaption("cmdSend"), "发 送");
    EXPECT_EQ(Shared().opt2, 1);
    open();
    EXPECT_TRUE(in<QRadioButton>("frmSendset", "Optsend_0")->isChecked());
    EXPECT_TRUE(in<QRadioButton>("frmSendset", "Optformat_1")->isChecked());
    EXPECT_EQ(timer()->text(), "100");
    EXPECT_FALSE(timer()->isEnabled());

    // The interval text is saved by every OK, also in single sending.
    timer()->setText("40");
    clickIn("frmSendset", "cmdOK");
    open();
    timer()->setText("41");
    QTest::keyClick(dialog("frmSendset"), Qt::Key_Escape);
    EXPECT_FALSE(dialog("frmSendset")->isVisible());
    open();
    EXPECT_EQ(timer()->text(), "40");
}

TEST_F(Sendset, CloseBoxActsAsCancel)
{
    open();
    clickIn("frmSendset", "Optformat_2");
    dialog("frmSendset")->close();
    EXPECT_NE(dialog("frmSendset"), nullptr);
    EXPECT_FALSE(dialog("frmSendset")->isVisible());
    open();
    EXPECT_TRUE(in<QRadioButton>("frmSendset", "Optformat_1")->isChecked());
}

TEST_F(Sendset, AnIntervalOutsideTheTimerRangeIsRefused)
{
    open();
    clickIn("frmSendset", "Optsend_1");
    for (const char* bad : {"65536", "-5", "1.5", "abc", ""}) {
        timer()->setText(QString::fromLatin1(bad));
        clickIn("frmSendset", "cmdOK");
        EXPECT_TRUE(dialog("frmSendset")->isVisible()) << bad;
    }
    ASSERT_EQ(recorder.messages().size(), 5u);
    EXPECT_EQ(recorder.messages()[0].text, "定时间隔应为0-65535之间的整数");
    EXPECT_EQ(recorder.messages()[0].title, "提示");
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(mainCaption("cmdSend"), "发 送");
    EXPECT_EQ(Shared().opt1, 0);
    EXPECT_FALSE(Shared().FrameDirty);
    timer()->setText("65535");
    clickIn("frmSendset", "cmdOK");
    EXPECT_EQ(window->timer1().interval(), 65535);
}

TEST_F(Sendset, SingleSendingKeepsTheLastGoodIntervalText)
{
    open();
    clickIn("frmSendset", "Optsend_1");
    timer()->setText("x1");
    clickIn("frmSendset", "Optsend_0"); // the box is disabled now
    clickIn("frmSendset", "cmdOK");
    EXPECT_TRUE(recorder.messages().empty());
    EXPECT_FALSE(dialog("frmSendset")->isVisible());
    open();
    EXPECT_EQ(timer()->text(), "100");
}

TEST_F(Sendset, OkIsRefusedWhileTimedSendingRuns)
{
    window->setTimeRcvInterval(0);
    open();
    clickIn("frmSendset", "Optsend_1");
    clickIn("frmSendset", "cmdOK");
    open();
    window->findChild<QPlainTextEdit*>("txtSend")->setPlainText("1");
    clickMain("cmdSend");
    ASSERT_EQ(mainCaption("cmdSend"), "停止发送");
    EXPECT_FALSE(in<QPushButton>("frmSendset", "cmdOK")->isEnabled());
    clickIn("frmSendset", "Optsend_0");
    in<QPushButton>("frmSendset", "cmdOK")->click();
    EXPECT_EQ(mainCaption("cmdSend"), "停止发送");
    clickMain("cmdSend");
    EXPECT_TRUE(in<QPushButton>("frmSendset", "cmdOK")->isEnabled());
}

TEST_F(Sendset, TextListsAreCommittedByOkAndSetupsGoThroughOk)
{
    open();
    auto* encoding = in<QComboBox>("frmSendset", "cmbEncoding");
    auto* lineBreak = in<QComboBox>("frmSendset", "cmbLineBreak");
    EXPECT_EQ(encoding->currentText() + lineBreak->currentText(), "单字节CR LF");
    encoding->setCurrentText("UTF-8");
    lineBreak->setCurrentText("LF");
    clickIn("frmSendset", "cmdcancel");
    EXPECT_EQ(Shared().TextEncoding, EncodingSingleByte);
    open();
    EXPECT_EQ(encoding->currentIndex(), 0) << "Cancel shows the committed choice";
    encoding->setCurrentText("GBK");
    lineBreak->setCurrentText("CR");
    clickIn("frmSendset", "cmdOK");
    EXPECT_EQ(std::pair(Shared().TextEncoding, Shared().LineBreak), std::pair(1, 2));

    auto* d = window->findChild<FrmSendset*>("frmSendset");
    EXPECT_EQ(d->ConfirmChoices({1, 0, "65536", 2, 1}), 2);
    EXPECT_EQ(Shared().opt1, 0) << "a refused setup changes nothing";
    EXPECT_EQ(d->ConfirmChoices({1, 0, "250", 2, 1}), FrmSendset::kCommitted);
    EXPECT_EQ(mainCaption("cmdSend"), "开始发送");
    EXPECT_EQ(window->timer1().interval(), 250);
    EXPECT_EQ(window->findChild<QLabel*>("lblSendset")->text(), "(定时发送字符串)");
    EXPECT_EQ(std::pair(Shared().TextEncoding, Shared().LineBreak), std::pair(2, 1));
}

} // namespace
