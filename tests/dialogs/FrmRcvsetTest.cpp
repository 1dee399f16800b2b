#include "DialogFixture.h"

using namespace quorvane;

namespace
{

class Rcvset : public DialogTest
{
protected:
    void open() { clickMain("cmdRcvset"); }
    QLineEdit* timeout() { return in<QLineEdit>("frmRcvset", "txtRcvtime"); }
    QLineEdit* limit() { return in<QLineEdit>("frmRcvset", "txtRcvMax"); }
};

TEST_F(Rcvset, ShowsTheLimitsAndOkWritesThem)
{
    open();
    QWidget* d = dialog("frmRcvset");
    ASSERT_NE(d, nullptr);
    Snapshot(d, "frmRcvset.png");
    EXPECT_EQ(d->windowTitle(), "接收参数设置");
    EXPECT_EQ(d->size(), QSize(311, 131));
    EXPECT_EQ(timeout()->text(), "50");
    EXPECT_EQ(limit()->text(), "150");
    EXPECT_EQ(in<QPushButton>("frmRcvset", "OKButton")->text(), "确 定");
    EXPECT_EQ(in<QPushButton>("frmRcvset", "cmdcancel")->text(), "取 消");

    timeout()->setText("200");
    limit()->setText("2147483647");
    clickIn("frmRcvset", "OKButton");
    EXPECT_EQ(dialog("frmRcvset"), nullptr);
    EXPECT_EQ(Shared().RcvTimeoutMs, 200);
    EXPECT_EQ(Shared().RcvMaxChars, 2147483647);
    EXPECT_EQ(window->timeRcv().interval(), 200);
    EXPECT_FALSE(window->timeRcv().isEnabled());
    EXPECT_FALSE(Shared().FrameDirty);

    open();
    EXPECT_EQ(timeout()->text(), "200");
    EXPECT_EQ(limit()->text(), "2147483647");
}

TEST_F(Rcvset, OutOfRangeTextsAreRefusedAndNothingIsWritten)
{
    open();
    timeout()->setText("70000");
    limit()->setText("10");
    clickIn("frmRcvset", "OKButton");
    limit()->setText("2147483648");
    timeout()->setText("10");
    clickIn("frmRcvset", "OKButton");
    EXPECT_EQ(recorder.texts(),
              (std::vector<std::string>{"接收超时时间应为0-65535之间的整数",
                                        "最大接收字符数应为0-2147483647之间的整数"}));
    EXPECT_EQ(Shared().RcvTimeoutMs, 50);
    EXPECT_EQ(Shared().RcvMaxChars, 150);
    EXPECT_NE(dialog("frmRcvset"), nullptr);
}

TEST_F(Rcvset, CancelAndEscChangeNothing)
{
    open();
    timeout()->setText("1");
    QTest::keyClick(timeout(), Qt::Key_Return); // no button answers Enter
    EXPECT_NE(dialog("frmRcvset"), nullptr);
    QTest::keyClick(timeout(), Qt::Key_Escape);
    EXPECT_EQ(dialog("frmRcvset"), nullptr);
    EXPECT_EQ(Shared().RcvTimeoutMs, 50);
}

// A label never touches the box it names.
TEST_F(Rcvset, LabelsKeepClearOfTheirBoxes)
{
    clickMain("cmdRcvset");
    clickMain("cmdSendset");
    const std::pair<const char*, const char*> dialogs[] = {{"frmRcvset", "txtRcvtime"},
                                                           {"frmRcvset", "txtRcvMax"},
                                                           {"frmSendset", "txtTimer"}};
    const char* labels[] = {"Label1", "Label2", "Label1"};
    for (int i = 0; i < 3; ++i) {
        auto* label = in<QLabel>(dialogs[i].first, labels[i]);
        auto* box = in<QWidget>(dialogs[i].first, dialogs[i].second);
        EXPECT_LE(label->x() + label->sizeHint().width() + 4, box->x()) << labels[i];
        EXPECT_GE(label->width(), label->sizeHint().width()) << "the caption is not cut";
        EXPECT_GE(label->x(), 0);
    }
}

TEST_F(Rcvset, CheckBoxesAreWrittenWithTheLimits)
{
    Shared().ShowMillis = true;
    open();
    EXPECT_FALSE(in<QCheckBox>("frmRcvset", "chkCheckReply")->isChecked());
    EXPECT_TRUE(in<QCheckBox>("frmRcvset", "chkShowMillis")->isChecked());
    EXPECT_FALSE(in<QCheckBox>("frmRcvset", "chkContinue")->isChecked());
    clickIn("frmRcvset", "chkCheckReply");
    clickIn("frmRcvset", "chkShowMillis");
    clickIn("frmRcvset", "chkContinue");
    limit()->setText("-1");
    clickIn("frmRcvset", "OKButton");
    EXPECT_FALSE(Shared().CheckReply) << "a refused OK writes nothing";
    limit()->setText("10");
    clickIn("frmRcvset", "OKButton");
    EXPECT_TRUE(Shared().CheckReply);
    EXPECT_FALSE(Shared().ShowMillis);
    EXPECT_TRUE(Shared().ContinueAfterTimeout);
}

} // namespace
