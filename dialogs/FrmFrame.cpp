#include "FrmFrame.h"

#include "FcsMethods.h"
#include "CaptionLabel.h"
#include "Controls.h"
#include "DialogWindow.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "ReadNumber.h"
#include "SharedSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

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

bool IsOtherCheck(int method)
{
    return method >= FcsCrc16Modbus && method < FcsMethodCount;
}

bool IsMultiByte(int method)
{
    return IsOtherCheck(method) && FcsMethodOf(method).width > 1;
}

} // namespace

FrmFrame::FrmFrame(MainControls& main, QWidget* parent) : QDialog(parent), main_(main)
{
    setObjectName(QStringLiteral("frmFrame"));
    setWindowTitle(QStringLiteral("发送帧格式"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Wider than the documented 308: the further checks stand in a column
    // of their own on the right.
    SetUpDialogWindow(this, 486, 267);
    buildTemplateColumn();
    buildOptionColumn();
    buildOtherCheckColumn();

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
    // The further checks follow the first two, as they are one choice.
    const QList<QWidget*> order = {txtframe[0],  txtframe[1],  txtframe[2],    cmbLen,
                                   cmbFcs,       txtframe[3],  optFcs[0],      optFcs[1],
                                   optFcs[2],    cmbFcsMethod, optFcsOrder[0], optFcsOrder[1],
                                   OptStart[0],  OptStart[1],  OptStart[2],    Check1,
                                   OptHandel[0], OptHandel[1], cmdOK,          cmdcancel};
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
    auto* caption =
        Place(new CaptionLabel(QStringLiteral("数据区各字节预处理"), Check1, this),
              QStringLiteral("Label10"), 170, 130, 10, 10, QStringLiteral("数据区各字节预处理"));
    caption->resize(caption->sizeHint());
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
        connect(optFcs[i], &QRadioButton::clicked, this, [this, i] { ChooseFcsMethod(i); });
        connect(OptHandel[i], &QRadioButton::clicked, this, [this, i] { handelIndex_ = i; });
    }
    for (int i = 0; i < 3; ++i) {
        connect(OptStart[i], &QRadioButton::clicked, this, [this, i] { fcsStartIndex_ = i; });
    }
    connect(Check1, &QCheckBox::toggled, this, &FrmFrame::Check1_Click);
}

// A third checksum option with the list of further checks beside it, and
// the byte order of the checks wider than one byte.
void FrmFrame::buildOtherCheckColumn()
{
    auto* frame5 = Place(new QGroupBox(this), QStringLiteral("Frame5"), 308, 6, 170, 69,
                         QStringLiteral("其他校验"));
    optFcs[2] = MakeOption(frame5, QStringLiteral("optFcs_2"), QStringLiteral("其他校验"), 9, 14);
    cmbFcsMethod = Place(new QComboBox(frame5), QStringLiteral("cmbFcsMethod"), 9, 37, 152, 22,
                         QStringLiteral("其他校验方法"));
    // The checks beyond XOR and sum, in the order of FcsMethodId.
    for (const FcsMethodRow& check : FcsMethods().subspan(FcsCrc16Modbus)) {
        cmbFcsMethod->addItem(QString::fromUtf8(check.name));
    }
    // The three options are one choice across their two frames.
    auto* methods = new QButtonGroup(this);
    for (QRadioButton* option : optFcs) {
        methods->addButton(option);
    }

    frame6 = Place(new QGroupBox(QStringLiteral("字节顺序"), this), QStringLiteral("Frame6"), 308,
                   81, 170, 48, QStringLiteral("字节顺序"));
    optFcsOrder[FcsLowFirst] =
        MakeOption(frame6, QStringLiteral("optFcsOrder_0"), QStringLiteral("低字节在前"), 9, 12);
    optFcsOrder[FcsHighFirst] =
        MakeOption(frame6, QStringLiteral("optFcsOrder_1"), QStringLiteral("高字节在前"), 9, 30);
    ChooseByteOrder(FcsHighFirst);
    frame6->setEnabled(false);

    const auto otherCheckChosen = [this](int index) {
        if (index >= 0) {
            ChooseFcsMethod(FcsCrc16Modbus + index);
        }
    };
    connect(optFcs[2], &QRadioButton::clicked, this,
            [this, otherCheckChosen] { otherCheckChosen(cmbFcsMethod->currentIndex()); });
    // activated also answers choosing the item the list already shows.
    connect(cmbFcsMethod, &QComboBox::activated, this, otherCheckChosen);
    connect(cmbFcsMethod, &QComboBox::currentIndexChanged, this, otherCheckChosen);
    for (int i = 0; i < 2; ++i) {
        connect(optFcsOrder[i], &QRadioButton::clicked, this, [this, i] { byteOrderIndex_ = i; });
    }
}

// A method newly chosen brings its usual byte order; the order can be
// chosen only for checks wider than one byte. The greyed group of a one-byte
// check shows the order that method uses.
void FrmFrame::ChooseFcsMethod(int method)
{
    const bool changed = method != fcsMethodIndex_;
    fcsMethodIndex_ = method;
    optFcs[IsOtherCheck(method) ? 2 : method]->setChecked(true);
    if (changed || !IsMultiByte(method)) {
        ChooseByteOrder(FcsMethodOf(method).usualOrder);
    }
    frame6->setEnabled(IsMultiByte(method));
}

void FrmFrame::ChooseByteOrder(int order)
{
    if (order == FcsLowFirst || order == FcsHighFirst) {
        optFcsOrder[order]->setChecked(true);
        byteOrderIndex_ = order;
    }
}

// Opening shows the stored method and the stored byte order, not the
// method's usual one.
void FrmFrame::ShowStoredFcsMethod(int method, int order)
{
    if (IsOtherCheck(method)) {
        const QSignalBlocker quiet(cmbFcsMethod);
        cmbFcsMethod->setCurrentIndex(method - FcsCrc16Modbus);
        optFcs[2]->setChecked(true);
        fcsMethodIndex_ = method;
    } else {
        ChooseOption(optFcs, 2, method, fcsMethodIndex_);
    }
    ChooseByteOrder(IsMultiByte(fcsMethodIndex_) ? order : FcsMethodOf(fcsMethodIndex_).usualOrder);
    frame6->setEnabled(IsMultiByte(fcsMethodIndex_));
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
    ShowStoredFcsMethod(s.FcsMethod, s.FcsByteOrder);
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
        if (!ReadHexSlot(texts[i])) {
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
    if (IsMultiByte(fcsMethodIndex_)) {
        s.FcsByteOrder = byteOrderIndex_;
    }
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
