#pragma once

#include "MarkedWords.h"
#include "SpillFile.h"
#include "TextSink.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QFont>
#include <QPoint>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

class QMenu;
class QPainter;

namespace quorvane
{

class TextLines;

// A read-only text view that only grows at its end: the send and receive
// views. A CR LF pair starts a new line; so does a lone CR or LF, and a CR LF
// pair split across two appends is one break. text() returns exactly what was
// appended since the last clear().
//
// Appending costs what the appended text costs, whatever the view already
// holds: the text is kept in UTF-8 blocks, lines are wrapped at blanks to the
// view's width as they grow (an endless run of one letter or of blanks is cut
// at the width), and only the rows in sight are painted. Each append scrolls
// to the end, unless a mouse selection is under way or a match found by a
// search is held in sight (holdPosition()).
//
// Text is selected with the mouse (drag, double-click for a word, Shift+click
// to extend) or the keyboard (Ctrl+A, Shift with the arrows, Home, End and the
// page keys) and copied with Ctrl+C or the context menu. The copy holds the
// selected text exactly as it was appended, line breaks included as they came
// (CR LF, CR or LF). A tab shows as one blank.
//
// The whole text is kept, however long the view runs: what passes a memory
// budget waits in a temporary file and is read back when it is painted,
// selected or copied. When that file cannot be made or written, or reaches
// its cap, the oldest text is dropped instead (memory stays within the
// budget and a margin) and the first row says how much and why; the file is
// tried again at most once a minute, and after clear(). clear() gives the
// memory and the file space back.
//
// One copy takes at most kMostCopyBytes of text: above it nothing is copied
// (nor offered as the X11 primary selection) and copyRefused() is emitted,
// for the program's message.
//
// With the keyboard focus the view shows a focus frame and its caret. Screen
// readers read it through AppendViewAccessible; what is appended is announced
// a few times a second at most, so a flood does not swamp them.
class AppendView : public QAbstractScrollArea, public TextSink
{
    Q_OBJECT
public:
    explicit AppendView(QWidget* parent = nullptr);
    // A view that keeps `memoryBudget` bytes of text and indexes in memory
    // and moves older pages to the file `opener` makes, which holds at most
    // `fileCapBytes` (by default a quarter of its file system's free space,
    // at most 16 GiB).
    AppendView(std::size_t memoryBudget, SpillOpener opener, QWidget* parent = nullptr);
    AppendView(std::size_t memoryBudget, SpillOpener opener, std::uint64_t fileCapBytes,
               QWidget* parent = nullptr);
    ~AppendView() override;

    static constexpr std::uint64_t kMostCopyBytes = std::uint64_t{64} << 20;

    void append(std::string_view utf8);
    // Appends text that shows bytes (a find for bytes looks only there).
    void appendBytes(std::string_view utf8);
    // Removes the last `count` bytes (all after the last line break) and
    // appends `utf8`, of which `bytes` show bytes: a partial last row
    // completed in place.
    void replaceEnd(std::size_t count, std::string_view utf8,
                    std::span<const ByteStretch> bytes = {});
    void clear();
    QString text() const;
    bool hasSelection() const;
    QString selectedText() const;

    // TextSink
    bool IsEmpty() const override;
    void Append(std::string_view text) override { append(text); }
    void AppendBytes(std::string_view text) override { appendBytes(text); }
    void ReplaceEnd(std::size_t count, std::string_view text,
                    std::span<const ByteStretch> bytes) override
    {
        replaceEnd(count, text, bytes);
    }
    void Clear() override { clear(); }

    // The selection as byte positions [begin, end) (empty: the caret), and
    // selecting a range, which is scrolled into sight.
    std::uint64_t selectionBegin() const { return std::min(anchor_, cursor_); }
    std::uint64_t selectionEnd() const { return std::max(anchor_, cursor_); }
    std::uint64_t caretPosition() const { return cursor_; }
    void selectRange(std::uint64_t begin, std::uint64_t end);
    // Appends leave the rows in sight where they are (a match found far up
    // stays in sight) until the view is scrolled to its end again or
    // cleared; nothing is held when the view is at its end already.
    void holdPosition();

    // What the view shows, row by row (rows are visual lines).
    qsizetype visualLineCount() const;
    QString visualLineText(qsizetype row) const;
    // The point in the viewport at the left edge of a character of a row.
    QPoint pointOf(qsizetype row, qsizetype column) const;
    // The length of text() in UTF-8 bytes.
    std::uint64_t byteCount() const;
    // Bytes held in memory for the text and its line and row indexes.
    std::size_t storageBytes() const;
    // The text and its lines, rows and positions, read without loading it
    // all (for the accessible text).
    const TextLines& lines() const { return *lines_; }
    // Wraps everything to the current width now, if a new width is still
    // being applied in the background.
    void finishLayout();
    // The context menu (复制, 全选); the caller owns it.
    QMenu* createContextMenu();
    // Words of the tool's own shown in colours of their own (check words).
    void setMarkedWords(std::vector<MarkedWords::Word> words);

public slots:
    void copy();
    void selectAll();

signals:
    // A copy was asked for a selection larger than kMostCopyBytes.
    void copyRefused();
    // The text grew, lost its end from a position on (replaceEnd), lost its
    // oldest part, or was cleared: for a search over it.
    void appended();
    void endReplaced(quint64 from);
    void frontDropped();
    void cleared();

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    friend class AppendViewAccessible;

    static constexpr int kLeftMargin = 4;
    static constexpr int kRightMargin = 4;
    static constexpr int kTopMargin = 2;

    AppendView(std::unique_ptr<TextLines> lines, QWidget* parent);
    void appendShowing(std::string_view utf8, std::span<const ByteStretch> bytes);
    void afterTextChange(std::uint64_t drops, std::uint64_t topPos, bool follow);
    void noteDropped();
    std::uint64_t topPosition() const;
    // What screen readers count: the notice row's text (with a line break)
    // before the text kept, in UTF-16 units.
    QString readerNotice() const;
    std::uint64_t readerOffset(std::uint64_t pos) const;
    bool copyAllowed() const;
    void applyFont();
    void noteAppendedForScreenReaders(std::uint64_t from);
    void announceAppended();
    void paintCaretAndFocus(QPainter& painter, std::size_t firstRow);
    QString textOfRange(std::uint64_t begin, std::uint64_t end) const;
    void applyWrapWidth();
    void runRelayout(std::size_t budget);
    void syncScrollBar(bool toEnd);
    void repaintRows();
    void paintRowsNow();
    void holdScrollBar();
    void releaseScrollBar();
    int visibleRows() const;
    bool atEnd() const;
    std::uint64_t positionAt(QPoint point) const;
    std::uint64_t positionInRow(std::size_t row, qreal x) const;
    qreal xOf(std::uint64_t pos) const;
    std::uint64_t nextPosition(std::uint64_t pos) const;
    std::uint64_t previousPosition(std::uint64_t pos) const;
    bool moveCursorByKey(QKeyEvent* key);
    void ensureVisible(std::uint64_t pos);
    void selectWordAt(std::uint64_t pos);
    void dragTo(QPoint point);

    std::unique_ptr<TextLines> lines_;
    MarkedWords marked_;
    QFont textFont_;
    int lineHeight_ = 1;
    qreal ascent_ = 0;
    qreal blankWidth_ = 0;
    std::uint64_t anchor_ = 0; // where the selection began
    std::uint64_t cursor_ = 0; // its moving end
    bool mouseSelecting_ = false;
    bool held_ = false;           // appends do not scroll to the end
    bool repaintPending_ = false; // an update of the viewport is on its way
    bool scrollBarHeld_ = false;  // the scroll bar waits for the rows' paint
    QElapsedTimer painted_;       // since the last paint
    QPoint mousePoint_;
    QBasicTimer autoScroll_;
    QBasicTimer relayout_;
    QBasicTimer paintSoon_;
    QBasicTimer announce_;          // the next announcement to screen readers
    std::uint64_t announceFrom_ = 0; // the first byte not yet announced
};

} // namespace quorvane
