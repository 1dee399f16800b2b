#include "DialogFixture.h"

#include <QAction>
#include <functional>

using namespace quorvane;

namespace
{

using DialogWindow = DialogTest;

// A dialog the window manager minimised comes back when it is asked for again.
TEST_F(DialogWindow, AMinimisedDialogIsRestoredWhenAskedForAgain)
{
    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"frmCom", [&] { window->findChild<QAction*>("ComSet")->trigger(); }},
        {"frmFrame", [&] { clickMain("cmdFrame"); }},
        {"frmSendset", [&] { clickMain("cmdSendset"); }},
        {"frmRcvset", [&] { clickMain("cmdRcvset"); }},
        {"frmAbout", [&] { window->findChild<QAction*>("about")->trigger(); }},
    };
    for (const auto& [name, open] : dialogs) {
        open();
        dialog(name)->setWindowState(Qt::WindowMinimized);
        open();
        EXPECT_TRUE(dialog(name)->isVisible() && !dialog(name)->isMinimized()) << name;
    }
}

} // namespace
