#pragma once

#include <QObject>

class QInputMethodEvent;
class QKeyEvent;

namespace quorvane {

class SendBox;

// The send box's event filter: each key typed and each text an input method
// commits meets the rules of the input format chosen in the send-mode
// dialog, and the box's length limit. A refused key or commit is told in a
// message box and leaves the text exactly as it was; an accepted one may be
// entered changed (hex digits in upper case). Editing shortcuts, Tab, Delete,
// Backspace and keys without a character pass untouched.
class SendBoxFilter : public QObject {
    Q_OBJECT
public:
    // Installs itself on box and lives as long as the box.
    explicit SendBoxFilter(SendBox& box);

    // True when the key was handled here (refused, or entered changed).
    bool txtSend_KeyPress(QKeyEvent* key);
    // True when the commit was refused.
    bool txtSend_InputMethod(QInputMethodEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool RefuseBeyondLength(qsizetype typed);

    SendBox& box_;
};

} // namespace quorvane
