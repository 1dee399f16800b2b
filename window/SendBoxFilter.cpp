#include "SendBoxFilter.h"

#include "MessageSeam.h"
#include "SendBox.h"
#include "SharedSettings.h"
#include "TypedText.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace quorvane {

namespace {

bool IsEditingShortcut(QKeyEvent* key)
{
    static const QKeySequence::StandardKey editing[] = {
        QKeySequence::Copy, QKeySequence::Cut,  QKeySequence::Paste,
        QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll};
    for (auto k : editing) {
        if (key->matches(k)) {
            return true;
        }
    }
    return false;
}

} // namespace

SendBoxFilter::SendBoxFilter(SendBox& box) : QObject(&box), box_(box)
{
    box_.installEventFilter(this);
}

bool SendBoxFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &box_ && event->type() == QEvent::KeyPress) {
        return txtSend_KeyPress(static_cast<QKeyEvent*>(event));
    } else if (watched == &box_ && event->type() == QEvent::InputMethod) {
        return txtSend_InputMethod(static_cast<QInputMethodEvent*>(event));
    }
    return QObject::eventFilter(watched, event);
}

// Filters the keys typed into the send box by the input format. A refused
// key leaves the text exactly as it was.
bool SendBoxFilter::txtSend_KeyPress(QKeyEvent* key)
{
    if (IsEditingShortcut(key)) {
        return false;
    }
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete: // no character code
    case Qt::Key_Backspace:
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return RefuseBeyondLength(1);
    default:
        break;
    }
    const QString typed = key->text();
    if (typed.isEmpty()) {
        return false; // no character: arrows, modifiers
    }
    const int format = Shared().opt2;
    QString entered;
    for (QChar ch : typed) {
        const CharVerdict verdict = JudgeTypedChar(format, ch.unicode());
        if (!verdict.accepted) {
            MessageSeam::instance().show(RefusalFor(format));
            return true;
        }
        entered += QChar(verdict.entered);
    }
    if (RefuseBeyondLength(entered.size())) {
        return true;
    }
    if (entered != typed) {
        box_.insertPlainText(entered);
        return true;
    }
    return false;
}

// Text committed by an input method goes through the same filter as keys.
bool SendBoxFilter::txtSend_InputMethod(QInputMethodEvent* event)
{
    const QString typed = event->commitString();
    const int format = Shared().opt2;
    if (typed.isEmpty()) {
        return false;
    }
    // Drops the commit (and any preedit) so the text stays as it was.
    auto refuse = [this](MessageId message) {
        QInputMethodEvent nothing;
        QCoreApplication::sendEvent(&box_, &nothing);
        MessageSeam::instance().show(message);
        return true;
    };
    QString entered;
    for (QChar ch : typed) {
        const CharVerdict verdict = JudgeTypedChar(format, ch.unicode());
        if (!verdict.accepted) {
            return refuse(RefusalFor(format));
        }
        entered += QChar(verdict.entered);
    }
    if (!box_.takes(entered.size() - event->replacementLength())) {
        return refuse(MessageId::SendTextTooLong);
    }
    if (entered != typed) {
        event->setCommitString(entered, event->replacementStart(), event->replacementLength());
    }
    return false;
}

// The send box holds at most SendBox::MaxChars characters, typed or pasted.
bool SendBoxFilter::RefuseBeyondLength(qsizetype typed)
{
    if (box_.takes(typed)) {
        return false;
    }
    MessageSeam::instance().show(MessageId::SendTextTooLong);
    return true;
}

} // namespace quorvane
