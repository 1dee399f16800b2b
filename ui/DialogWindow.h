#pragma once

class QDialog;
class QWidget;

namespace quorvane
{

// Makes a dialog a fixed-size window with a title and a close box, no
// minimise or maximise button, kept out of the task bar by its owner.
void SetUpDialogWindow(QDialog* dialog, int clientWidth, int clientHeight);

// Shows a modeless dialog, centred on the screen the first time, or brings
// it to the front when it is already visible. A dialog the window manager
// minimised is restored first: otherwise asking for it again would leave it
// out of sight.
void ShowCentredOrRaise(QDialog* dialog, bool centre);

// Shows a dialog centred over its owner (a dialog asked for from another),
// restored if minimised, in front and active.
void ShowCentredOver(QDialog* dialog, const QWidget* owner);

// Takes a window out of the minimised state, keeping any other state
// (a maximised help window stays maximised).
void RestoreIfMinimised(QWidget* window);

} // namespace quorvane

class QPushButton;

namespace quorvane
{

class MainControls;

// Keeps a dialog's OK button disabled while timed sending runs, so a confirmed
// dialog never changes the send state under a running timer.
void DisableWhileTimedSending(QPushButton* ok, MainControls& main);

} // namespace quorvane
