#include "AppendView.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace quorvane {

AppendView::AppendView(QWidget* parent) : QWidget(parent), edit_(new QPlainTextEdit(this))
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

AppendView::~AppendView() = default;

void AppendView::append(std::string_view utf8)
{
    if (utf8.empty()) {
        return;
    }
    const QString piece = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    text_ += piece;

    // Line breaks become paragraph breaks; the LF of a CR LF pair that was
    // split across two appends is already shown by its CR.
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

void AppendView::clear()
{
    text_.clear();
    endsWithCr_ = false;
    edit_->clear();
}

QString AppendView::text() const { return text_; }

bool AppendView::IsEmpty() const { return text_.isEmpty(); }

bool AppendView::hasSelection() const { return edit_->textCursor().hasSelection(); }

QString AppendView::selectedText() const
{
    QString t = edit_->textCursor().selectedText();
    t.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return t;
}

} // namespace quorvane
