#include "CopyShortcutFilter.h"

#include "AppendView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace quorvane {

bool IsTextBox(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QTextEdit*>(widget) || qobject_cast<const AppendView*>(widget);
}

bool CopyShortcutFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType()) {
        // A key from the window system comes to the window first, which hands
        // it on to its focus widget; the rule is decided there.
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (!key->matches(QKeySequence::Copy)) {
        return false;
    }
    if (IsTextBox(QApplication::focusWidget())) {
        key->accept(); // the box copies
    } else {
        key->ignore(); // the menu shortcut fires
    }
    return true;
}

} // namespace quorvane
