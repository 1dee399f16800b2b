#include "AppendViewAccessible.h"

#include "AppendView.h"
#include "RowText.h"
#include "TextLines.h"

#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace quorvane
{

namespace
{

// Bytes read for one answer at most (UTF-8 takes up to 4 bytes a unit).
constexpr std::uint64_t kMostBytes = std::uint64_t{4} * AppendViewAccessible::kMostUnits;

// A position a caret or selection may take: never inside a line break.
std::uint64_t OutOfBreak(const TextLines& lines, std::uint64_t pos)
{
    const TextLines::Line& line = lines.line(lines.lineOf(pos));
    return std::min(pos, line.end);
}

// The start of the character holding pos.
std::uint64_t CharStart(const PagedStore& store, std::uint64_t pos)
{
    while (pos > 0 && pos < store.size() && IsContinuation(store.at(pos))) {
        --pos;
    }
    return pos;
}

std::uint64_t CharEnd(const PagedStore& store, std::uint64_t pos)
{
    if (pos >= store.size()) {
        return pos;
    }
    ++pos;
    while (pos < store.size() && IsContinuation(store.at(pos))) {
        ++pos;
    }
    return pos;
}

} // namespace

AppendViewAccessible::AppendViewAccessible(AppendView* view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
}

AppendView* AppendViewAccessible::view() const
{
    return static_cast<AppendView*>(widget());
}

void* AppendViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State AppendViewAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.editable = false;
    s.multiLine = true;
    s.selectableText = true;
    s.focusable = true;
    return s;
}

QString AppendViewAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value) {
        return {}; // the text itself goes through the text interface, piece by piece
    }
    return QAccessibleWidget::text(t);
}

// Offsets count the notice row of dropped text (and its line break) first,
// then the text kept.
int AppendViewAccessible::noticeUnits() const
{
    return static_cast<int>(view()->readerNotice().size());
}

int AppendViewAccessible::toOffset(std::uint64_t byte) const
{
    return static_cast<int>(std::min<std::uint64_t>(view()->readerOffset(byte), INT_MAX));
}

std::uint64_t AppendViewAccessible::toByte(int offset) const
{
    const int notice = noticeUnits();
    if (offset < notice) {
        return view()->lines_->begin();
    }
    return view()->lines_->positionOfUtf16(static_cast<std::uint64_t>(offset - notice));
}

QString AppendViewAccessible::noticeLine(int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = noticeUnits();
    return view()->readerNotice();
}

QString AppendViewAccessible::textOfBytes(std::uint64_t begin, std::uint64_t end,
                                          int* startOffset, int* endOffset) const
{
    const TextLines& lines = *view()->lines_;
    if (end - begin > kMostBytes) {
        end = CharStart(lines.store(), begin + kMostBytes);
    }
    *startOffset = toOffset(begin);
    *endOffset = toOffset(end);
    return view()->textOfRange(begin, end);
}

// ---- selection and caret ----

void AppendViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    const AppendView* v = view();
    if (selectionIndex == 0 && v->hasSelection()) {
        *startOffset = toOffset(std::min(v->anchor_, v->cursor_));
        *endOffset = toOffset(std::max(v->anchor_, v->cursor_));
    }
}

int AppendViewAccessible::selectionCount() const
{
    return view()->hasSelection() ? 1 : 0;
}

void AppendViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void AppendViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0) {
        AppendView* v = view();
        v->anchor_ = v->cursor_;
        v->viewport()->update();
    }
}

void AppendViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0) {
        return;
    }
    AppendView* v = view();
    v->anchor_ = OutOfBreak(*v->lines_, toByte(startOffset));
    v->cursor_ = OutOfBreak(*v->lines_, toByte(endOffset));
    v->ensureVisible(v->cursor_);
    v->viewport()->update();
}

int AppendViewAccessible::cursorPosition() const
{
    return toOffset(view()->cursor_);
}

void AppendViewAccessible::setCursorPosition(int position)
{
    AppendView* v = view();
    v->anchor_ = v->cursor_ = OutOfBreak(*v->lines_, toByte(position));
    v->ensureVisible(v->cursor_);
    v->viewport()->update();
}

// ---- text ----

int AppendViewAccessible::characterCount() const
{
    return toOffset(view()->lines_->size());
}

QString AppendViewAccessible::text(int startOffset, int endOffset) const
{
    const int count = characterCount();
    if (endOffset < 0 || endOffset > count) {
        endOffset = count;
    }
    startOffset = std::clamp(startOffset, 0, endOffset);
    endOffset = startOffset + std::min(endOffset - startOffset, kMostUnits);
    const int notice = noticeUnits();
    QString out;
    if (startOffset < notice) {
        out = view()->readerNotice().mid(startOffset, std::min(endOffset, notice) - startOffset);
    }
    int first = 0;
    int last = 0;
    if (endOffset > notice) {
        out += textOfBytes(toByte(std::max(startOffset, notice)), toByte(endOffset), &first, &last);
    }
    return out;
}

void AppendViewAccessible::pieceAt(std::uint64_t pos, QAccessible::TextBoundaryType boundary,
                                   std::uint64_t& begin, std::uint64_t& end) const
{
    const TextLines& lines = *view()->lines_;
    const PagedStore& store = lines.store();
    const std::uint64_t size = lines.size();
    const std::size_t lineIndex = lines.lineOf(pos);
    const TextLines::Line& line = lines.line(lineIndex);
    const std::uint64_t lineNext =
        lineIndex + 1 < lines.lineCount() ? lines.line(lineIndex + 1).begin : size;
    switch (boundary) {
    case QAccessible::CharBoundary:
        begin = CharStart(store, pos);
        end = CharEnd(store, begin);
        return;
    case QAccessible::WordBoundary: {
        if (pos >= line.end) {
            begin = CharStart(store, pos); // a line break is a piece of its own
            end = CharEnd(store, begin);
            return;
        }
        const ByteRange word = WordAround(lines, pos);
        begin = word.begin;
        end = word.end;
        return;
    }
    case QAccessible::LineBoundary: {
        // A row as it is shown, with the line break that ends it, if any.
        const TextLines::VisualLine row =
            lines.visualLine(lines.visualLineOf(OutOfBreak(lines, pos)));
        begin = row.begin;
        end = row.end == lines.line(row.line).end ? lineNext : row.end;
        return;
    }
    case QAccessible::SentenceBoundary:
    case QAccessible::ParagraphBoundary:
        begin = line.begin;
        end = lineNext;
        return;
    case QAccessible::NoBoundary:
        break;
    }
    begin = lines.begin();
    end = size;
}

QString AppendViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    if (offset >= 0 && offset < noticeUnits()) {
        return noticeLine(startOffset, endOffset);
    }
    const std::uint64_t size = view()->lines_->size();
    const std::uint64_t pos = toByte(offset);
    if (pos >= size && boundaryType != QAccessible::LineBoundary &&
        boundaryType != QAccessible::NoBoundary) {
        return {};
    }
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    pieceAt(std::min(pos, size), boundaryType, begin, end);
    return textOfBytes(begin, end, startOffset, endOffset);
}

QString AppendViewAccessible::textBeforeOffset(int offset,
                                               QAccessible::TextBoundaryType boundaryType,
                                               int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    const TextLines& lines = *view()->lines_;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    if (offset < noticeUnits()) {
        return {};
    }
    pieceAt(std::min(toByte(offset), lines.size()), boundaryType, begin, end);
    if (begin <= lines.begin()) {
        return lines.hasDropped() ? noticeLine(startOffset, endOffset) : QString();
    }
    pieceAt(CharStart(lines.store(), begin - 1), boundaryType, begin, end);
    return textOfBytes(begin, end, startOffset, endOffset);
}

QString AppendViewAccessible::textAfterOffset(int offset,
                                              QAccessible::TextBoundaryType boundaryType,
                                              int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    const TextLines& lines = *view()->lines_;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    if (offset < noticeUnits()) {
        pieceAt(lines.begin(), boundaryType, begin, end);
        return textOfBytes(begin, end, startOffset, endOffset);
    }
    pieceAt(std::min(toByte(offset), lines.size()), boundaryType, begin, end);
    if (end >= lines.size()) {
        return {};
    }
    pieceAt(end, boundaryType, begin, end);
    return textOfBytes(begin, end, startOffset, endOffset);
}

QString AppendViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = std::max(offset, characterCount());
    return {};
}

// ---- places on the screen ----

QRect AppendViewAccessible::characterRect(int offset) const
{
    const AppendView* v = view();
    const TextLines& lines = *v->lines_;
    const std::uint64_t pos = OutOfBreak(lines, toByte(offset));
    const std::size_t row = lines.visualLineOf(pos);
    const qint64 shown = static_cast<qint64>(row) - v->verticalScrollBar()->value();
    const int y = AppendView::kTopMargin + static_cast<int>(shown) * v->lineHeight_;
    const qreal x = v->xOf(pos);
    const std::uint64_t next = CharEnd(lines.store(), pos);
    const qreal width = next > pos && next <= lines.line(lines.lineOf(pos)).end
                            ? v->xOf(next) - x
                            : v->blankWidth_;
    const QRect local(static_cast<int>(x), y, std::max(1, static_cast<int>(width)),
                      v->lineHeight_);
    return QRect(v->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int AppendViewAccessible::offsetAtPoint(const QPoint& point) const
{
    const AppendView* v = view();
    const QPoint local = v->viewport()->mapFromGlobal(point);
    if (!v->viewport()->rect().contains(local)) {
        return -1;
    }
    return toOffset(v->positionAt(local));
}

void AppendViewAccessible::scrollToSubstring(int startIndex, int)
{
    AppendView* v = view();
    v->ensureVisible(OutOfBreak(*v->lines_, toByte(startIndex)));
}

// ---- the factory ----

namespace
{

QAccessibleInterface* AppendViewFactory(const QString&, QObject* object)
{
    if (auto* view = qobject_cast<AppendView*>(object)) {
        return new AppendViewAccessible(view);
    }
    return nullptr;
}

} // namespace

void InstallAppendViewAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(AppendViewFactory);
        return true;
    }();
    (void)installed;
}

} // namespace quorvane
