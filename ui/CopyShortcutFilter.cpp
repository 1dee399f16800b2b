#include "CopyShortcutFilter.h"

#include "AppendView.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace quorvane {

bool HasSelectedText(QObject* focus)
{
    for (QObject* o = focus; o; o = o->parent()) {
        if (auto* line = qobject_cast<QLineEdit*>(o)) {
            return line->hasSelectedText();
        }
        if (auto* plain = qobject_cast<QPlainTextEdit*>(o)) {
            return plain->textCursor().hasSelection();
        }
        if (auto* rich = qobject_cast<QTextEdit*>(o)) {
            return rich->textCursor().hasSelection();
        }
        if (auto* view = qobject_cast<AppendView*>(o)) {
            return view->hasSelection();
        }
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) {
            break;
        }
    }
    return false;
}

bool CopyShortcutFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (!key->matches(QKeySequence::Copy)) {
        return false;
    }
    if (HasSelectedText(watched)) {
        key->accept(); // the box copies
    } else {
        key->ignore(); // the menu shortcut fires
    }
    return true;
}

} // namespace quorvane
