#pragma once

#include "MainControls.h"

#include <QPointer>

namespace quorvane
{

class FrmAbout;
class FrmFrame;
class FrmMain;
class FrmRcvset;
class FrmSendset;
class HelpWindow;

// Opens the dialogs the main window asks for, each with its own lifetime: the
// frame format, receive settings and About boxes live while open; the send
// mode dialog and the help window, once built, are only hidden. Asking for an
// open one brings it to the front.
class AppDialogs : public DialogHost
{
public:
    explicit AppDialogs(FrmMain& main);

    void showFrameDialog() override;
    void showSendsetDialog() override;
    void showRcvsetDialog() override;
    void showAbout() override;
    void showHelp() override;

private:
    FrmMain& main_;
    QPointer<FrmFrame> frame_;
    QPointer<FrmRcvset> rcvset_;
    QPointer<FrmAbout> about_;
    FrmSendset* sendset_ = nullptr;
    HelpWindow* help_ = nullptr;
};

} // namespace quorvane
