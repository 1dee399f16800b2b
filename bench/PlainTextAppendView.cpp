#include "PlainTextAppendView.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <QVBoxLayout>

namespace quorvane::bench
{

PlainTextAppendView::PlainTextAppendView(QWidget* parent)
    : QWidget(parent), edit_(new QPlainTextEdit(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_);
    edit_->setReadOnly(true);
    edit_->setUndoRedoEnabled(false);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusProxy(edit_);
}

PlainTextAppendView::~PlainTextAppendView() = default;

void PlainTextAppendView::append(std::string_view utf8)
{
    if (utf8.empty()) {
        return;
    }
    const QString piece = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QString shown;
    shown.reserve(piece.size());
    for (QChar ch : piece) {
        if (ch == u'\n' && endsWithCr_) {
            endsWithCr_ = false;
            continue;
        }
        endsWithCr_ = ch == u'\r';
        shown += (ch == u'\r' || ch == u'\n') ? QChar(u'\n') : ch;
    }
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    edit_->verticalScrollBar()->setValue(edit_->verticalScrollBar()->maximum());
}

// The last `count` bytes of the last paragraph (counted in UTF-8, as they
// were appended) go, then the text is appended.
void PlainTextAppendView::ReplaceEnd(std::size_t count, std::string_view text,
                                     std::span<const ByteStretch>)
{
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    const QByteArray last = cursor.block().text().toUtf8();
    const auto cut = static_cast<qsizetype>(std::min<std::size_t>(count, last.size()));
    const qsizetype characters = QString::fromUtf8(last.right(cut)).size();
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, static_cast<int>(characters));
    cursor.removeSelectedText();
    append(text);
}

void PlainTextAppendView::clear()
{
    endsWithCr_ = false;
    edit_->clear();
}

QString PlainTextAppendView::text() const
{
    return edit_->toPlainText();
}

qsizetype PlainTextAppendView::characterCount() const
{
    return edit_->document()->characterCount() - 1; // without the closing paragraph mark
}

bool PlainTextAppendView::IsEmpty() const
{
    return edit_->document()->isEmpty();
}

} // namespace quorvane::bench
