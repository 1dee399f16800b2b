#include "AppDialogs.h"

#include "FrmAbout.h"
#include "FrmFrame.h"
#include "FrmMain.h"
#include "FrmRcvset.h"
#include "FrmSendset.h"
#include "HelpWindow.h"

namespace quorvane
{

AppDialogs::AppDialogs(FrmMain& main) : main_(main)
{
}

void AppDialogs::showFrameDialog()
{
    if (!frame_) {
        frame_ = new FrmFrame(main_, &main_);
    }
    frame_->showAndRaise();
}

void AppDialogs::showSendsetDialog()
{
    if (!sendset_) {
        sendset_ = new FrmSendset(main_, &main_);
    }
    sendset_->showAndRaise();
}

void AppDialogs::showRcvsetDialog()
{
    if (!rcvset_) {
        rcvset_ = new FrmRcvset(main_, &main_);
    }
    rcvset_->showAndRaise();
}

void AppDialogs::showAbout()
{
    if (!about_) {
        about_ = new FrmAbout(&main_);
    }
    about_->showAndRaise();
}

void AppDialogs::showHelp()
{
    if (!help_) {
        help_ = new HelpWindow(&main_);
    }
    help_->showFromStart();
}

} // namespace quorvane
