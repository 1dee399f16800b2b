#pragma once

#include <QAccessibleWidget>

namespace quorvane
{

class AppendView;

// The send and receive views to screen readers: read-only multi-line text
// with Qt's accessible text interface (the text by character, word and row,
// the caret and the selection). Offsets are UTF-16 units, as screen readers
// count them.
class AppendViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit AppendViewAccessible(AppendView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int* startOffset, int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // Screen readers ask for no more than this many UTF-16 units at once; a
    // longer range is cut at its end, so a huge history never fills memory.
    static constexpr int kMostUnits = 4 * 1024 * 1024;

private:
    AppendView* view() const;
    int noticeUnits() const;
    QString noticeLine(int* startOffset, int* endOffset) const;
    int toOffset(std::uint64_t byte) const;
    std::uint64_t toByte(int offset) const;
    // The byte range [begin, end) of the piece of text at a byte position.
    void pieceAt(std::uint64_t pos, QAccessible::TextBoundaryType boundary, std::uint64_t& begin,
                 std::uint64_t& end) const;
    QString textOfBytes(std::uint64_t begin, std::uint64_t end, int* startOffset,
                        int* endOffset) const;
};

// Installs the factory that gives every AppendView this interface.
void InstallAppendViewAccessible();

} // namespace quorvane
