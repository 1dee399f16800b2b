#include "AppendView.h"

#include "AppendViewAccessible.h"
#include "RowPainter.h"
#include "RowText.h"
#include "TextLines.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QtMath>
#include <algorithm>
#include <climits>

namespace quorvane
{

namespace
{

// Bytes wrapped at once when the width changes, and per later slice: a
// slice takes a few milliseconds, so the window stays responsive while a
// large text is wrapped again.
constexpr std::size_t kRelayoutNow = std::size_t{1} << 20;
constexpr std::size_t kRelayoutSlice = std::size_t{1} << 19;
constexpr int kAutoScrollMs = 50;
// Appended text is announced to screen readers at most this often, and with
// at most this many UTF-16 units (the newest) per announcement.
constexpr int kAnnounceMs = 250;
constexpr std::uint64_t kAnnouncedUnits = 16 * 1024;
// A flood of appends is painted at most this often (about 60 times a
// second): painting every batch would take most of the time of a fast line.
// Rows are painted this long after the last append, if that comes sooner.
constexpr qint64 kPaintIntervalMs = 16;
constexpr qint64 kPaintQuietMs = 1;

std::size_t SequenceLength(unsigned char lead)
{
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    return 2;
}

} // namespace

AppendView::AppendView(QWidget* parent) : AppendView(std::make_unique<TextLines>(), parent)
{
}

AppendView::AppendView(std::size_t memoryBudget, SpillOpener opener, QWidget* parent)
    : AppendView(std::make_unique<TextLines>(memoryBudget, std::move(opener)), parent)
{
}

AppendView::AppendView(std::size_t memoryBudget, SpillOpener opener, std::uint64_t fileCapBytes,
                       QWidget* parent)
    : AppendView(std::make_unique<TextLines>(memoryBudget, std::move(opener), fileCapBytes), parent)
{
}

AppendView::AppendView(std::unique_ptr<TextLines> lines, QWidget* parent)
    : QAbstractScrollArea(parent), lines_(std::move(lines))
{
    InstallAppendViewAccessible();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    verticalScrollBar()->setSingleStep(1);
    applyFont();
    applyWrapWidth();
    syncScrollBar(true);
}

AppendView::~AppendView() = default;

// ---- the text ----

void AppendView::append(std::string_view utf8)
{
    appendShowing(utf8, {});
}

void AppendView::appendBytes(std::string_view utf8)
{
    const ByteStretch all{0, utf8.size(), false};
    appendShowing(utf8, {&all, 1});
}

void AppendView::appendShowing(std::string_view utf8, std::span<const ByteStretch> bytes)
{
    if (utf8.empty()) {
        return;
    }
    const bool follow = !mouseSelecting_ && !held_;
    const std::uint64_t drops = lines_->drops();
    const std::uint64_t topPos = follow ? 0 : topPosition();
    const std::uint64_t lastStart = lines_->line(lines_->lineCount() - 1).begin;
    const std::uint64_t before = lines_->size();
    lines_->append(utf8, bytes);
    if (QAccessible::isActive()) {
        noteAppendedForScreenReaders(before);
    }
    if (lines_->line(lines_->lineCount() - 1).begin == lastStart + 1) {
        // The LF of a split CR LF: the end of the text, after the CR, is now
        // inside the break; it moves past the LF.
        anchor_ = anchor_ == lastStart ? lastStart + 1 : anchor_;
        cursor_ = cursor_ == lastStart ? lastStart + 1 : cursor_;
    }
    afterTextChange(drops, topPos, follow);
    emit appended();
}

void AppendView::replaceEnd(std::size_t count, std::string_view utf8,
                            std::span<const ByteStretch> bytes)
{
    const std::uint64_t size = lines_->size();
    const std::uint64_t lineBegin = lines_->line(lines_->lineCount() - 1).begin;
    std::uint64_t from = size - std::min<std::uint64_t>(count, size - lineBegin);
    while (from > lineBegin && from < size && IsContinuation(lines_->at(from))) {
        --from; // whole characters go
    }
    if (from < size) {
        const bool follow = !mouseSelecting_ && !held_;
        const std::uint64_t drops = lines_->drops();
        const std::uint64_t topPos = follow ? 0 : topPosition();
        const bool tell = QAccessible::isActive() && size - from <= kAnnouncedUnits;
        const QString removed = tell ? textOfRange(from, size) : QString();
        const std::uint64_t offset = readerOffset(from);
        lines_->cutEnd(static_cast<std::size_t>(size - from));
        anchor_ = std::min(anchor_, from);
        cursor_ = std::min(cursor_, from);
        announceFrom_ = std::min(announceFrom_, from);
        if (tell && offset <= INT_MAX) {
            QAccessibleTextRemoveEvent event(this, static_cast<int>(offset), removed);
            QAccessible::updateAccessibility(&event);
        }
        afterTextChange(drops, topPos, follow);
        emit endReplaced(from);
    }
    appendShowing(utf8, bytes);
}

// After the text changed: positions in text that was dropped move to what
// is kept, the rows in sight stay (or follow the end), the rows are painted.
void AppendView::afterTextChange(std::uint64_t drops, std::uint64_t topPos, bool follow)
{
    const bool dropped = lines_->drops() != drops;
    if (dropped) {
        noteDropped();
    }
    holdScrollBar();
    syncScrollBar(follow);
    if (dropped && !follow) {
        const std::size_t row = topPos < lines_->begin() ? 0 : lines_->visualLineOf(topPos);
        verticalScrollBar()->setValue(static_cast<int>(std::min<std::size_t>(row, INT_MAX)));
    }
    repaintRows();
}

void AppendView::noteDropped()
{
    const std::uint64_t kept = lines_->begin();
    anchor_ = std::max(anchor_, kept);
    cursor_ = std::max(cursor_, kept);
    announceFrom_ = std::max(announceFrom_, kept);
    if (QAccessible::isActive()) {
        // The front of the text changed; a reader reads it again.
        QAccessibleTextUpdateEvent event(this, 0, QString(), readerNotice());
        QAccessible::updateAccessibility(&event);
    }
    emit frontDropped();
}

std::uint64_t AppendView::topPosition() const
{
    const auto top = static_cast<std::size_t>(verticalScrollBar()->value());
    return top < lines_->visualLineCount() ? lines_->visualLine(top).begin : lines_->size();
}

std::uint64_t AppendView::readerOffset(std::uint64_t pos) const
{
    return static_cast<std::uint64_t>(readerNotice().size()) + lines_->utf16Offset(pos);
}

QString AppendView::readerNotice() const
{
    return lines_->hasDropped() ? QString::fromStdString(lines_->droppedNotice()) + u'\n'
                                : QString();
}

void AppendView::clear()
{
    const bool hadText = !lines_->empty();
    lines_->clear();
    announce_.stop();
    if (hadText && QAccessible::isActive()) {
        // The text is gone; its length may be more than a reader wants to hear.
        QAccessibleTextUpdateEvent event(this, 0, QString(), QString());
        QAccessible::updateAccessibility(&event);
    }
    relayout_.stop();
    anchor_ = cursor_ = 0;
    held_ = false;
    syncScrollBar(true);
    viewport()->update();
    emit cleared();
}

QString AppendView::text() const
{
    return textOfRange(lines_->begin(), lines_->size());
}

QString AppendView::textOfRange(std::uint64_t begin, std::uint64_t end) const
{
    return TextBetween(*lines_, begin, end);
}

bool AppendView::IsEmpty() const
{
    return lines_->empty();
}

bool AppendView::hasSelection() const
{
    return anchor_ != cursor_;
}

QString AppendView::selectedText() const
{
    return textOfRange(selectionBegin(), selectionEnd());
}

bool AppendView::copyAllowed() const
{
    return selectionEnd() - selectionBegin() <= kMostCopyBytes;
}

void AppendView::copy()
{
    if (!hasSelection()) {
        return;
    }
    if (!copyAllowed()) {
        emit copyRefused(); // nothing is copied: the clipboard keeps what it had
        return;
    }
    QGuiApplication::clipboard()->setText(selectedText());
}

void AppendView::selectAll()
{
    anchor_ = lines_->begin();
    cursor_ = lines_->line(lines_->lineCount() - 1).end;
    viewport()->update();
}

qsizetype AppendView::visualLineCount() const
{
    return static_cast<qsizetype>(lines_->visualLineCount());
}

QString AppendView::visualLineText(qsizetype row) const
{
    if (row < 0 || row >= visualLineCount()) {
        return {};
    }
    if (lines_->isNoticeRow(static_cast<std::size_t>(row))) {
        return QString::fromStdString(lines_->droppedNotice());
    }
    const TextLines::VisualLine line = lines_->visualLine(static_cast<std::size_t>(row));
    return textOfRange(line.begin, line.end);
}

QPoint AppendView::pointOf(qsizetype row, qsizetype column) const
{
    const qsizetype shownRow = row - verticalScrollBar()->value();
    const int y = kTopMargin + static_cast<int>(shownRow) * lineHeight_ + lineHeight_ / 2;
    qreal x = kLeftMargin;
    if (row >= 0 && row < visualLineCount()) {
        const TextLines::VisualLine line = lines_->visualLine(static_cast<std::size_t>(row));
        const std::string bytes = lines_->bytes(line.begin, line.end);
        qsizetype index = 0;
        ForEachChar(bytes, lines_->widths(), [&](std::size_t, std::size_t, float width) {
            if (index++ >= column) {
                return false;
            }
            x += width;
            return true;
        });
    }
    return QPoint(qCeil(x), y);
}

std::uint64_t AppendView::byteCount() const
{
    return lines_->size();
}

std::size_t AppendView::storageBytes() const
{
    return lines_->memoryBytes();
}

void AppendView::finishLayout()
{
    if (lines_->relayoutPending()) {
        runRelayout(SIZE_MAX);
    }
}

// ---- layout and scrolling ----

void AppendView::applyFont()
{
    textFont_ = font();
    // Character widths are measured one by one; without kerning and shaping
    // a row is drawn exactly as wide as their sum.
    textFont_.setKerning(false);
    textFont_.setStyleStrategy(
        QFont::StyleStrategy(textFont_.styleStrategy() | QFont::PreferNoShaping));
    const QFontMetricsF metrics(textFont_);
    lineHeight_ = std::max(1, qCeil(metrics.lineSpacing()));
    ascent_ = metrics.ascent();
    blankWidth_ = metrics.horizontalAdvance(QChar(u' '));
    lines_->widths().setMeasure([metrics](char32_t ch) {
        if (ch == U'\t') {
            ch = U' ';
        }
        return static_cast<float>(metrics.horizontalAdvance(QString::fromUcs4(&ch, 1)));
    });
}

void AppendView::applyWrapWidth()
{
    lines_->setWrapWidth(static_cast<float>(viewport()->width() - kLeftMargin - kRightMargin));
    if (lines_->relayoutPending()) {
        runRelayout(kRelayoutNow);
    }
}

// Wraps more of the pending layout; the rows in sight stay where they were
// (or at the end, if the view was there).
void AppendView::runRelayout(std::size_t budget)
{
    const bool wasAtEnd = atEnd();
    const std::uint64_t drops = lines_->drops();
    const std::uint64_t topPos = topPosition();
    const bool caughtUp = lines_->continueRelayout(budget);
    if (lines_->drops() != drops) {
        noteDropped();
    }
    if (!caughtUp) {
        if (!relayout_.isActive()) {
            relayout_.start(0, this);
        }
        return;
    }
    relayout_.stop();
    syncScrollBar(wasAtEnd);
    if (!wasAtEnd) {
        const std::size_t row = topPos < lines_->begin() ? 0 : lines_->visualLineOf(topPos);
        verticalScrollBar()->setValue(static_cast<int>(std::min<std::size_t>(row, INT_MAX)));
    }
    viewport()->update();
}

int AppendView::visibleRows() const
{
    return std::max(1, (viewport()->height() - kTopMargin) / lineHeight_);
}

bool AppendView::atEnd() const
{
    return verticalScrollBar()->value() == verticalScrollBar()->maximum();
}

// Called on every append. The scroll bar's signals are held back: the area
// would answer a new range by laying out its scroll bars again (through
// posted events), which is of no use with both bars' policies fixed, and a
// new value needs nothing but the repaint the caller asks for.
void AppendView::syncScrollBar(bool toEnd)
{
    QScrollBar* bar = verticalScrollBar();
    const int rows = visibleRows();
    const auto count = static_cast<int>(std::min<std::size_t>(lines_->visualLineCount(), INT_MAX));
    const int maximum = std::max(0, count - rows);
    const int value = bar->value();
    {
        const QSignalBlocker quiet(bar);
        if (bar->maximum() != maximum) {
            bar->setRange(0, maximum);
        }
        if (bar->pageStep() != rows) {
            bar->setPageStep(rows);
        }
        if (toEnd && bar->value() != maximum) {
            bar->setValue(maximum);
        }
    }
    if (bar->value() != value) {
        repaintRows();
    }
}

// Many appends between two paints ask for one repaint: at once if the last
// paint is long enough ago, otherwise once the appends pause or the interval
// is over.
void AppendView::repaintRows()
{
    if (!viewport()->isVisible()) {
        releaseScrollBar();
        return;
    }
    if (repaintPending_ && !paintSoon_.isActive()) {
        return; // an update is on its way
    }
    repaintPending_ = true;
    const qint64 left = painted_.isValid() ? kPaintIntervalMs - painted_.elapsed() : 0;
    if (left <= 0) {
        paintSoon_.stop();
        paintRowsNow();
    } else {
        paintSoon_.start(static_cast<int>(std::min(left, kPaintQuietMs)), Qt::PreciseTimer, this);
    }
}

void AppendView::paintRowsNow()
{
    releaseScrollBar();
    viewport()->update();
}

// The scroll bar follows every append but is painted with the rows: each
// paint of the bar paints the frame around the view too.
void AppendView::holdScrollBar()
{
    if (!scrollBarHeld_) {
        scrollBarHeld_ = true;
        verticalScrollBar()->setUpdatesEnabled(false);
    }
}

void AppendView::releaseScrollBar()
{
    if (scrollBarHeld_) {
        scrollBarHeld_ = false;
        verticalScrollBar()->setUpdatesEnabled(true);
        verticalScrollBar()->update();
    }
}

void AppendView::resizeEvent(QResizeEvent* event)
{
    const bool wasAtEnd = atEnd();
    QAbstractScrollArea::resizeEvent(event);
    applyWrapWidth();
    syncScrollBar(wasAtEnd);
}

void AppendView::scrollContentsBy(int, int)
{
    held_ = held_ && !atEnd(); // scrolled to the end: following it again
    viewport()->update();
}

void AppendView::holdPosition()
{
    held_ = !atEnd();
}

void AppendView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        applyFont();
        lines_->rewrapAll();
        runRelayout(kRelayoutNow);
    }
}

void AppendView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == relayout_.timerId()) {
        runRelayout(kRelayoutSlice);
    } else if (event->timerId() == announce_.timerId()) {
        announce_.stop();
        announceAppended();
    } else if (event->timerId() == paintSoon_.timerId()) {
        paintSoon_.stop();
        paintRowsNow();
    } else if (event->timerId() == autoScroll_.timerId()) {
        QScrollBar* bar = verticalScrollBar();
        if (mousePoint_.y() < 0) {
            bar->setValue(bar->value() - 1);
        } else if (mousePoint_.y() >= viewport()->height()) {
            bar->setValue(bar->value() + 1);
        }
        dragTo(mousePoint_);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

// ---- screen readers ----

void AppendView::noteAppendedForScreenReaders(std::uint64_t from)
{
    if (!announce_.isActive()) {
        announceFrom_ = from;
        announce_.start(kAnnounceMs, this);
    }
}

// One announcement for everything appended since the last one: its newest
// part, at the place where that part stands.
void AppendView::announceAppended()
{
    const std::uint64_t size = lines_->size();
    if (announceFrom_ >= size || !QAccessible::isActive()) {
        return;
    }
    const std::uint64_t endUnits = lines_->utf16Offset(size);
    std::uint64_t from = std::max(announceFrom_, lines_->begin());
    if (endUnits - lines_->utf16Offset(from) > kAnnouncedUnits) {
        from = lines_->positionOfUtf16(endUnits - kAnnouncedUnits);
    }
    const std::uint64_t fromUnits = readerOffset(from);
    if (fromUnits > INT_MAX) {
        return; // past what screen readers can count
    }
    QAccessibleTextInsertEvent event(this, static_cast<int>(fromUnits), textOfRange(from, size));
    QAccessible::updateAccessibility(&event);
}

// ---- painting ----

void AppendView::setMarkedWords(std::vector<MarkedWords::Word> words)
{
    marked_.setWords(std::move(words));
    viewport()->update();
}

void AppendView::paintEvent(QPaintEvent* event)
{
    repaintPending_ = false;
    painted_.start();
    releaseScrollBar();
    QPainter painter(viewport());
    painter.setFont(textFont_);
    const QPalette::ColorGroup group =
        hasFocus() && isActiveWindow() ? QPalette::Active : QPalette::Inactive;
    RowPainter::Geometry geometry;
    geometry.left = kLeftMargin;
    geometry.top = kTopMargin;
    geometry.lineHeight = lineHeight_;
    geometry.ascent = ascent_;
    geometry.blankWidth = blankWidth_;
    geometry.height = viewport()->height();
    geometry.right = viewport()->width();
    const auto first = static_cast<std::size_t>(verticalScrollBar()->value());
    RowPainter(*lines_, geometry, palette(), group, &marked_)
        .paint(painter, event->rect(), first, selectionBegin(), selectionEnd());
    if (hasFocus()) {
        paintCaretAndFocus(painter, first);
    }
}

// The keyboard focus shows as a frame inside the view's edge and a caret
// where the keyboard selection moves from.
void AppendView::paintCaretAndFocus(QPainter& painter, std::size_t firstRow)
{
    const QPalette& colors = palette();
    painter.setPen(QPen(colors.color(QPalette::Active, QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));

    const std::size_t row = lines_->visualLineOf(cursor_);
    if (row < firstRow || row >= firstRow + static_cast<std::size_t>(visibleRows()) + 1) {
        return;
    }
    const int y = kTopMargin + static_cast<int>(row - firstRow) * lineHeight_;
    const int x = std::max(1, static_cast<int>(xOf(cursor_)));
    painter.fillRect(QRect(x, y, 2, lineHeight_), colors.color(QPalette::Active, QPalette::Text));
}

// ---- positions ----

std::uint64_t AppendView::positionInRow(std::size_t row, qreal x) const
{
    const TextLines::VisualLine line = lines_->visualLine(row);
    const std::string bytes = lines_->bytes(line.begin, line.end);
    std::uint64_t pos = line.end;
    qreal left = kLeftMargin;
    ForEachChar(bytes, lines_->widths(), [&](std::size_t i, std::size_t, float width) {
        if (x < left + width / 2) {
            pos = line.begin + i;
            return false;
        }
        left += width;
        return true;
    });
    return pos;
}

std::uint64_t AppendView::positionAt(QPoint point) const
{
    const std::size_t count = lines_->visualLineCount();
    const qint64 offset = point.y() - kTopMargin;
    const qint64 shownRow =
        offset >= 0 ? offset / lineHeight_ : (offset - lineHeight_ + 1) / lineHeight_;
    const qint64 row = verticalScrollBar()->value() + shownRow;
    if (row < 0) {
        return lines_->begin();
    }
    if (static_cast<std::uint64_t>(row) >= count) {
        return lines_->line(lines_->lineCount() - 1).end;
    }
    return positionInRow(static_cast<std::size_t>(row), point.x());
}

qreal AppendView::xOf(std::uint64_t pos) const
{
    const TextLines::VisualLine line = lines_->visualLine(lines_->visualLineOf(pos));
    const std::string bytes = lines_->bytes(line.begin, std::min(pos, line.end));
    qreal x = kLeftMargin;
    ForEachChar(bytes, lines_->widths(), [&](std::size_t, std::size_t, float width) {
        x += width;
        return true;
    });
    return x;
}

std::uint64_t AppendView::nextPosition(std::uint64_t pos) const
{
    const std::size_t index = lines_->lineOf(pos);
    const TextLines::Line line = lines_->line(index);
    if (pos < line.end) {
        return std::min<std::uint64_t>(pos + SequenceLength(lines_->store().at(pos)), line.end);
    }
    return index + 1 < lines_->lineCount() ? lines_->line(index + 1).begin : pos;
}

std::uint64_t AppendView::previousPosition(std::uint64_t pos) const
{
    const std::size_t index = lines_->lineOf(pos);
    const TextLines::Line line = lines_->line(index);
    if (pos > line.begin) {
        do {
            --pos;
        } while (pos > line.begin && (lines_->store().at(pos) & 0xC0) == 0x80);
        return pos;
    }
    return index > 0 ? lines_->line(index - 1).end : pos;
}

void AppendView::selectWordAt(std::uint64_t pos)
{
    const ByteRange word = WordAround(*lines_, pos);
    anchor_ = word.begin;
    cursor_ = word.end;
    viewport()->update();
}

void AppendView::selectRange(std::uint64_t begin, std::uint64_t end)
{
    const auto outOfBreak = [&](std::uint64_t pos, bool forward) {
        pos = std::clamp(pos, lines_->begin(), lines_->size());
        const std::size_t index = lines_->lineOf(pos);
        const TextLines::Line line = lines_->line(index);
        if (pos <= line.end || !forward || index + 1 >= lines_->lineCount()) {
            return std::min(pos, line.end);
        }
        return lines_->line(index + 1).begin; // the whole break
    };
    anchor_ = outOfBreak(begin, false);
    cursor_ = outOfBreak(std::max(begin, end), true);
    ensureVisible(cursor_);
    ensureVisible(anchor_);
    if (QAccessible::isActive() && readerOffset(cursor_) <= INT_MAX) {
        QAccessibleTextSelectionEvent event(this, static_cast<int>(readerOffset(anchor_)),
                                            static_cast<int>(readerOffset(cursor_)));
        event.setCursorPosition(static_cast<int>(readerOffset(cursor_)));
        QAccessible::updateAccessibility(&event);
    }
    viewport()->update();
}

void AppendView::ensureVisible(std::uint64_t pos)
{
    QScrollBar* bar = verticalScrollBar();
    const auto row = static_cast<int>(std::min<std::size_t>(lines_->visualLineOf(pos), INT_MAX));
    if (row < bar->value()) {
        bar->setValue(row);
    } else if (row >= bar->value() + visibleRows()) {
        bar->setValue(row - visibleRows() + 1);
    }
}

// ---- keyboard ----

bool AppendView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
            key->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool AppendView::moveCursorByKey(QKeyEvent* key)
{
    const std::size_t rows = lines_->visualLineCount();
    const std::size_t row = lines_->visualLineOf(cursor_);
    const auto page = static_cast<std::size_t>(visibleRows());
    std::uint64_t to = cursor_;
    if (key->matches(QKeySequence::SelectNextChar)) {
        to = nextPosition(cursor_);
    } else if (key->matches(QKeySequence::SelectPreviousChar)) {
        to = previousPosition(cursor_);
    } else if (key->matches(QKeySequence::SelectNextLine)) {
        to = row + 1 < rows ? positionInRow(row + 1, xOf(cursor_))
                            : lines_->line(lines_->lineCount() - 1).end;
    } else if (key->matches(QKeySequence::SelectPreviousLine)) {
        to = row > 0 ? positionInRow(row - 1, xOf(cursor_)) : lines_->begin();
    } else if (key->matches(QKeySequence::SelectNextPage)) {
        to = positionInRow(std::min(row + page, rows - 1), xOf(cursor_));
    } else if (key->matches(QKeySequence::SelectPreviousPage)) {
        to = positionInRow(row > page ? row - page : 0, xOf(cursor_));
    } else if (key->matches(QKeySequence::SelectStartOfLine)) {
        to = lines_->visualLine(row).begin;
    } else if (key->matches(QKeySequence::SelectEndOfLine)) {
        to = lines_->visualLine(row).end;
    } else if (key->matches(QKeySequence::SelectStartOfDocument)) {
        to = lines_->begin();
    } else if (key->matches(QKeySequence::SelectEndOfDocument)) {
        to = lines_->line(lines_->lineCount() - 1).end;
    } else {
        return false;
    }
    cursor_ = to;
    ensureVisible(cursor_);
    viewport()->update();
    return true;
}

void AppendView::keyPressEvent(QKeyEvent* key)
{
    if (key->matches(QKeySequence::Copy)) {
        copy(); // nothing selected: nothing copied
        key->accept();
        return;
    }
    if (key->matches(QKeySequence::SelectAll)) {
        selectAll();
        key->accept();
        return;
    }
    if (moveCursorByKey(key)) {
        key->accept();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    if (key->matches(QKeySequence::MoveToStartOfDocument)) {
        bar->setValue(bar->minimum());
        key->accept();
        return;
    }
    if (key->matches(QKeySequence::MoveToEndOfDocument)) {
        bar->setValue(bar->maximum());
        key->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(key); // arrows and page keys scroll
}

// ---- mouse ----

void AppendView::dragTo(QPoint point)
{
    const std::uint64_t to = positionAt(point);
    if (to != cursor_) {
        cursor_ = to;
        viewport()->update();
    }
}

void AppendView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const std::uint64_t pos = positionAt(event->position().toPoint());
    cursor_ = pos;
    if (!(event->modifiers() & Qt::ShiftModifier)) {
        anchor_ = pos;
    }
    mouseSelecting_ = true;
    mousePoint_ = event->position().toPoint();
    viewport()->update();
    event->accept();
}

void AppendView::mouseMoveEvent(QMouseEvent* event)
{
    if (!mouseSelecting_) {
        event->ignore();
        return;
    }
    mousePoint_ = event->position().toPoint();
    dragTo(mousePoint_);
    const bool outside = mousePoint_.y() < 0 || mousePoint_.y() >= viewport()->height();
    if (outside && !autoScroll_.isActive()) {
        autoScroll_.start(kAutoScrollMs, this);
    } else if (!outside) {
        autoScroll_.stop();
    }
    event->accept();
}

void AppendView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !mouseSelecting_) {
        event->ignore();
        return;
    }
    mouseSelecting_ = false;
    autoScroll_.stop();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection()) {
        if (copyAllowed()) {
            clipboard->setText(selectedText(), QClipboard::Selection);
        } else {
            clipboard->clear(QClipboard::Selection); // nothing offered above the cap
        }
    }
    event->accept();
}

void AppendView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    selectWordAt(positionAt(event->position().toPoint()));
    mouseSelecting_ = false;
    event->accept();
}

QMenu* AppendView::createContextMenu()
{
    auto* menu = new QMenu(this);
    QAction* copyAction = menu->addAction(QStringLiteral("复制\tCtrl+C"), this, &AppendView::copy);
    copyAction->setEnabled(hasSelection());
    QAction* all = menu->addAction(QStringLiteral("全选\tCtrl+A"), this, &AppendView::selectAll);
    all->setEnabled(!IsEmpty());
    return menu;
}

void AppendView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void AppendView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void AppendView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

} // namespace quorvane
