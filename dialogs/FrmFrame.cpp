#include "FrmFrame.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "ReadNumber.h"
#include "SharedSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace quorvane
{

namespace
{

QString WithoutLeadingBlanks(const QString& text)
{
    qsizetype first = 0;
    while (first < text.size() && text[first] == u' ') {
        ++first;
    }
    return text.mid(first);
}

QComboBox* MakePresenceList(QWidget* parent, const QString& name, int y, const QString& accessible)
{
    auto* list = new QComboBox(parent);
    list->addItems({QStringLiteral("无"), QStringLiteral("有")});
    return Place(list, name, 66, y, 58, 20, accessible);
}

} // namespace

FrmFrame::FrmFrame(MainControls& main, QWidget* parent) : QDialog(parent), main_(main)
{
    setObjectName(QStringLiteral("frmFrame"));
    setWindowTitle(QStringLiteral("发送帧格式"));
    setAttribute(Qt::WA_DeleteOnClose);
    SetUpDialogWindow(this, 308, 267);
    buildTemplateColumn();
    buildOptionColumn();

    // Word joiners keep "(00-FF)" on one line; screen readers get the plain text.
    const QString noteText = QStringLiteral("   说明： 请在帧格式文本框内填入十六进制数据(00-FF)。"
                                            "若空白，表示发送帧中无此字节。");
    QString shown = noteText;
    shown.replace(QStringLiteral("(00-FF)"), QStringLiteral("(00\u2060-\u2060FF)"));
    auto* note = MakeLabel(this, QStringLiteral("Label9"), shown, 12, 204, 281, 29);
    note->setAccessibleName(noteText);
    note->setWordWrap(true);
    cmdOK = MakeButton(this, QStringLiteral("cmdOK"), QStringLiteral("确定"), 62, 236, 64, 22);
    cmdcancel =
        MakeButton(this, QStringLiteral("cmdcancel"), QStringLiteral("取消"), 182, 236, 64, 22);
    connect(cmdOK, &QPushButton::clicked, this, &FrmFrame::cmdOK_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &FrmFrame::cmdcancel_Click);
    DisableWhileTimedSending(cmdOK, main_);

    setTabOrder();
    Form_Load();
    txtframe[0]->setFocus();
}

// The keyboard follows the eye: down the template column, down the option
// column, then the buttons.
void FrmFrame::setTabOrder()
{
    const QList<QWidget*> order = {txtframe[0], txtframe[1], txtframe[2], cmbLen,
                                   cmbFcs,      txtframe[3], optFcs[0],   optFcs[1],
                                   OptStart[0], OptStart[1], OptStart[2], Check1,
                                   OptHandel[0], OptHandel[1], cmdOK,     cmdcancel};
    for (qsizetype i = 0; i + 1 < order.size(); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }
}

void FrmFrame::buildTemplateColumn()
{
    auto* frame1 =
        Place(new QGroupBox(QStringLiteral("帧格式(十六进制)"), this), QStringLiteral("Frame1"), 10,
              6, 132, 189, QStringLiteral("帧格式(十六进制)"));
    const struct {
        const char* label;
        int labelY;
        int boxY;
    } rows[] = {{"起始字节:", 21, 17},
                {"从站地址:", 45, 41},
                {"命令字节:", 69, 65},
                {"结束字节:", 166, 164}};
    const int labelNumbers[] = {1, 2, 3, 7};
    for (int i = 0; i < 4; ++i) {
        const QString caption = QString::fromUtf8(rows[i].label);
        MakeLabel(frame1, QStringLiteral("Label%1").arg(labelNumbers[i]), caption, 6,
                  rows[i].labelY, 60, 14);
        txtframe[i] = Place(new QLineEdit(frame1), QStringLiteral("txtframe_%1").arg(i), 66,
                            rows[i].boxY, 58, 18, caption.chopped(1));
    }
    auto* count = MakeLabel(frame1, QStringLiteral("Label4"), QStringLiteral("数据区字   节 数  :"),
                            6, 88, 58, 28);
    count->setWordWrap(true);
    cmbLen = MakePresenceList(frame1, QStringLiteral("cmbLen"), 92, QStringLiteral("数据区字节数"));
    MakeLabel(frame1, QStringLiteral("Label5"), QStringLiteral("数 据 区    … …"), 6, 118, 102, 14);
    MakeLabel(frame1, QStringLiteral("Label6"), QStringLiteral("校 验 码:"), 6, 143, 60, 14);
    cmbFcs = MakePresenceList(frame1, QStringLiteral("cmbFcs"), 140, QStringLiteral("校验码"));
}

void FrmFrame::buildOptionColumn()
{
    auto* frame2 = Place(new QGroupBox(QStringLiteral("校验方式"), this), QStringLiteral("Frame2"),
                         152, 6, 148, 48, QStringLiteral("校验方式"));
    optFcs[0] = MakeOption(frame2, QStringLiteral("optFcs_0"), QStringLiteral("异或校验"), 9, 12);
    optFcs[1] = MakeOption(frame2, QStringLiteral("optFcs_1"), QStringLiteral("求和校验"), 9, 30);

    auto* frame3 =
        Place(new QGroupBox(QStringLiteral("校验开始位置"), this), QStringLiteral("Frame3"), 153,
              57, 148, 72, QStringLiteral("校验开始位置"));
    const QString starts[] = {QStringLiteral("帧首字节"), QStringLiteral("起始字节以后"),
                              QStringLiteral("数据区首字节")};
    for (int i = 0; i < 3; ++i) {
        OptStart[i] =
            MakeOption(frame3, QStringLiteral("OptStart_%1").arg(i), starts[i], 7, 15 + 18 * i);
    }

    Check1 = Place(new QCheckBox(this), QStringLiteral("Check1"), 152, 129, 16, 16,
                   QStringLiteral("数据区各字节预处理"));
    MakeLabelAt(this, QStringLiteral("Label10"), QStringLiteral("数据区各字节预处理"), 170, 130);
    Frame4 = Place(new QGroupBox(QStringLiteral("转换为"), this), QStringLiteral("Frame4"), 153,
                   144, 148, 52, QStringLiteral("转换为"));
    OptHandel[0] = MakeOption(Frame4, QStringLiteral("OptHandel_0"),
                              QStringLiteral("十六进制对应ASCII码"), 4, 12, 142);
    OptHandel[1] =
        MakeOption(Frame4, QStringLiteral("OptHandel_1"), QStringLiteral("BCD码"), 9, 31);

    optFcs[0]->setChecked(true);
    OptStart[0]->setChecked(true);
    OptHandel[0]->setChecked(true);
    Frame4->setEnabled(false);

    for (int i = 0; i < 2; ++i) {
        connect(optFcs[i], &QRadioButton::clicked, this, [this, i] { fcsMethodIndex_ = i; });
        connect(OptHandel[i], &QRadioButton::clicked, this, [this, i] { handelIndex_ = i; });
    }
    for (int i = 0; i < 3; ++i) {
        connect(OptStart[i], &QRadioButton::clicked, this, [this, i] { fcsStartIndex_ = i; });
    }
    connect(Check1, &QCheckBox::toggled, this, &FrmFrame::Check1_Click);
}

void FrmFrame::ChooseOption(std::array<QRadioButton*, 3>& group, int count, int index,
                            int& recorded)
{
    if (index >= 0 && index < count) {
        group[index]->setChecked(true);
        recorded = index;
    }
}

void FrmFrame::Form_Load()
{
    const SharedSettings& s = Shared();
    txtframe[0]->setText(QString::fromStdString(s.frame.StartByte));
    txtframe[1]->setText(QString::fromStdString(s.frame.SlaveAddr));
    txtframe[2]->setText(QString::fromStdString(s.frame.CmdByte));
    txtframe[3]->setText(QString::fromStdString(s.frame.EndByte));
    cmbLen->setCurrentIndex(s.frame.LenOption);
    cmbFcs->setCurrentIndex(s.frame.FcsOption);
    ChooseOption(optFcs, 2, s.FcsMethod, fcsMethodIndex_);
    ChooseOption(OptStart, 3, s.FcsStart, fcsStartIndex_);
    Check1->setChecked(s.PreprocessOn == 1);
    Check1_Click();
    if (s.opt2 == 0) {
        // No preprocessing for string input.
        Check1->setChecked(false);
        Check1->setEnabled(false);
    }
    if (Check1->isChecked()) {
        ChooseOption(OptHandel, 2, s.PreprocessKind, handelIndex_);
    } else {
        Frame4->setEnabled(false);
    }
}

void FrmFrame::Check1_Click()
{
    const bool on = Check1->isChecked();
    Frame4->setEnabled(on);
    OptHandel[0]->setEnabled(on);
    OptHandel[1]->setEnabled(on);
}

void FrmFrame::showAndRaise()
{
    ShowCentredOrRaise(this, true);
}

void FrmFrame::cmdOK_Click()
{
    if (main_.timedSendingRunning()) {
        return;
    }
    std::array<std::string, 4> texts;
    for (int i = 0; i < 4; ++i) {
        texts[i] = WithoutLeadingBlanks(txtframe[i]->text()).toStdString();
        if (!ToByte(ReadHexNumber(texts[i]))) {
            MessageSeam::instance().show(MessageId::ByteRange);
            txtframe[i]->setFocus();
            return; // nothing is stored
        }
    }
    SharedSettings& s = Shared();
    s.frame.StartByte = texts[0];
    s.frame.SlaveAddr = texts[1];
    s.frame.CmdByte = texts[2];
    s.frame.EndByte = texts[3];
    s.frame.LenOption = cmbLen->currentIndex();
    s.frame.FcsOption = cmbFcs->currentIndex();
    s.FcsMethod = fcsMethodIndex_;
    s.FcsStart = fcsStartIndex_;
    s.PreprocessOn = Check1->isChecked() ? 1 : 0;
    if (Check1->isChecked()) {
        s.PreprocessKind = handelIndex_;
    }
    s.FrameDirty = true;
    close();
}

void FrmFrame::cmdcancel_Click()
{
    close();
}

} // namespace quorvane
