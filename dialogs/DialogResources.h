#pragma once

class QIcon;

namespace quorvane
{

// Registers the icon and the help document bundled with the dialogs library.
// Call once before a dialog or the help window is shown.
void InitDialogResources();

// The program icon, in every bundled size.
QIcon ProgramIcon();

} // namespace quorvane
