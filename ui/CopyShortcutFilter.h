#pragma once

#include <QObject>

class QWidget;

namespace quorvane {

// Decides who gets Ctrl+C in every window of the program: a text box or view
// that has the keyboard focus copies (nothing, when nothing is selected);
// anywhere else the key is the "关闭串口" shortcut. Installed on the
// application.
class CopyShortcutFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Whether a widget is a text box or a text view, where Ctrl+C copies.
bool IsTextBox(const QWidget* widget);

} // namespace quorvane
