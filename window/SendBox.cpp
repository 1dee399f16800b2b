#include "SendBox.h"

#include "MessageSeam.h"
#include "SharedSettings.h"
#include "TypedText.h"

#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTextDocument>
#include <QTimer>

namespace quorvane {

namespace {

qsizetype SelectedLength(const QTextCursor& cursor)
{
    return cursor.selectionEnd() - cursor.selectionStart();
}

} // namespace

SendBox::SendBox(QWidget* parent) : QPlainTextEdit(parent) {}

bool SendBox::takes(qsizetype count) const
{
    const qsizetype length = document()->characterCount() - 1; // without the final separator
    return length - SelectedLength(textCursor()) + count <= MaxChars;
}

// Dragging over the box asks this at every move: no copy of the text here.
bool SendBox::canInsertFromMimeData(const QMimeData* source) const
{
    return source != nullptr && source->hasText();
}

void SendBox::insertFromMimeData(const QMimeData* source)
{
    if (source == nullptr || isReadOnly()) {
        return;
    }
    const QString text = admitted(source, SelectedLength(textCursor()), false);
    if (!text.isEmpty()) {
        insertPlainText(text);
        ensureCursorVisible();
    }
}

// A refused drop changes nothing, not even the text dragged within the box.
// Its message waits until the drop is over, so the program the text came from
// is not kept waiting for the box to close.
void SendBox::dropEvent(QDropEvent* event)
{
    const bool movedWithin = (event->source() == viewport() || event->source() == this) &&
                             event->dropAction() == Qt::MoveAction;
    const qsizetype replaced = movedWithin ? SelectedLength(textCursor()) : 0;
    if (!isReadOnly() && admitted(event->mimeData(), replaced, true).isEmpty()) {
        QDragLeaveEvent leave;
        QPlainTextEdit::dragLeaveEvent(&leave); // takes the drop caret away
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    QPlainTextEdit::dropEvent(event);
}

QString SendBox::admitted(const QMimeData* source, qsizetype replaced, bool showLater)
{
    if (source == nullptr || !source->hasText()) {
        return {};
    }
    QString text = source->text();
    MessageId refusal = MessageId::None;
    const qsizetype length = document()->characterCount() - 1;
    if (length - replaced + text.size() > MaxChars) {
        refusal = MessageId::SendTextTooLong;
    } else {
        const int format = Shared().opt2;
        auto* units = reinterpret_cast<char16_t*>(text.data());
        if (!AdmitPastedText(format, {units, static_cast<std::size_t>(text.size())})) {
            refusal = RefusalFor(format);
        }
    }
    if (refusal == MessageId::None) {
        return text;
    }
    if (showLater) {
        QTimer::singleShot(0, this, [refusal] { MessageSeam::instance().show(refusal); });
    } else {
        MessageSeam::instance().show(refusal);
    }
    return {};
}

} // namespace quorvane
