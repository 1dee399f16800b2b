#pragma once

#include <QPushButton>

namespace quorvane {

// A push button that Enter presses while it has the keyboard focus, as Space
// does. It never becomes a dialog's default on its own: Enter elsewhere in a
// dialog presses only the button the dialog names as its default.
class PushButton : public QPushButton {
    Q_OBJECT
public:
    PushButton(const QString& caption, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace quorvane
