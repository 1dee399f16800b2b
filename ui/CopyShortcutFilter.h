#pragma once

#include <QObject>

namespace quorvane {

// Decides who gets Ctrl+C in every window of the program: a text box that
// has selected text copies it; anywhere else the key is the "关闭串口"
// shortcut. Installed on the application.
class CopyShortcutFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Whether the text box that holds the focus object has selected text.
bool HasSelectedText(QObject* focus);

} // namespace quorvane
