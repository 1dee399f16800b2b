#include "FrmAbout.h"

#include "Controls.h"
#include "DialogWindow.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace quorvane
{

namespace
{
constexpr int kMajorVersion = 1;
constexpr int kMinorVersion = 0;
} // namespace

FrmAbout::FrmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于Quorvane"));
    setAttribute(Qt::WA_DeleteOnClose);
    SetUpDialogWindow(this, 344, 230);

    auto* icon = Place(new QLabel(this), QStringLiteral("picIcon"), 12, 12, 36, 36,
                       QStringLiteral("程序图标"));
    icon->setPixmap(QIcon(QStringLiteral(":/icons/quorvane.png")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    auto* title = MakeLabel(this, QStringLiteral("lblTitle"), QStringLiteral("          Quorvane"),
                            60, 18, 259, 20);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    MakeLabel(this, QStringLiteral("lblVersion"),
              QStringLiteral("版本: %1.%2").arg(kMajorVersion).arg(kMinorVersion), 57, 39, 259, 15);
    auto* description =
        MakeLabel(this, QStringLiteral("lblDescription"),
                  QStringLiteral("    本工具用于测试与计算机、PLC、单片机等可编程设备间的自定义协议"
                                 "串口通信。其发送帧格式灵活，可满足大多数协议的需要。"),
                  57, 63, 251, 47);
    description->setWordWrap(true);
    auto* remark =
        MakeLabel(this, QStringLiteral("Label1"),
                  QStringLiteral("    有了它，通信程序的调试不再困难。"), 56, 112, 241, 25);
    remark->setWordWrap(true);
    auto* notice = MakeLabel(this, QStringLiteral("lblDisclaimer"),
                             QStringLiteral("本程序由 Quorvane 项目编写并维护。问题与建议请提交到"
                                            "项目的问题列表。"),
                             57, 152, 263, 40);
    notice->setWordWrap(true);
    auto* ok = MakeButton(this, QStringLiteral("cmdOK"), QStringLiteral("确定"), 144, 195, 73, 23);
    ok->setDefault(true); // Enter; Esc closes the box as well
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
}

void FrmAbout::showAndRaise()
{
    ShowCentredOrRaise(this, true);
}

} // namespace quorvane
