#pragma once

#include "SearchPattern.h"

#include <QBasicTimer>
#include <QObject>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace quorvane
{

class AppendView;
class TextLines;

// Finds a pattern in the whole history of a view, the part in its spill
// file included, a piece of a page at a time in slices of a few milliseconds
// on the event loop, so the window never waits for it.
//
// Setting a pattern starts counting its matches from the oldest text kept;
// the count follows the view as it grows (new text is counted too), as its
// end is replaced, its oldest text dropped, or it is cleared. Finding the
// next or previous match starts from the view's selection (past a match
// already found there) or its caret, goes round the end of the text, and
// selects what it finds in the view, which shows it and holds it in sight.
class TextSearch : public QObject
{
    Q_OBJECT
public:
    explicit TextSearch(AppendView* view, QObject* parent = nullptr);
    ~TextSearch() override;

    // An empty pattern stops searching.
    void setPattern(SearchPattern pattern);
    const SearchPattern& pattern() const { return pattern_; }

    void findNext() { startSeek(true); }
    void findPrevious() { startSeek(false); }

    // Whether older text is still being counted.
    bool counting() const { return !pattern_.empty() && !caughtUp_; }
    // The matches counted so far (all of them once counting() is false).
    std::uint64_t count() const;
    // The number (from 1) of the match the view has selected, once the text
    // before it is counted; 0 otherwise.
    std::uint64_t currentNumber() const;

signals:
    // The count, or whether counting goes on, changed (at most a few times
    // a second while text arrives).
    void countChanged();
    void found(quint64 begin, quint64 end);
    void notFound();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    static constexpr std::size_t kPage = std::size_t{1} << 16;
    // Matches are looked for this many positions at a time at least (more
    // for a pattern longer than it): a slice ends between two pieces.
    static constexpr std::size_t kPiece = std::size_t{1} << 14;

    struct Seek {
        bool active = false;
        bool forward = true;
        bool wrapped = false;     // went round the end of the text
        std::uint64_t origin = 0; // where it started
        std::uint64_t pos = 0;    // forward: the next start; backward: past the last
    };

    const TextLines& lines() const;
    void scan(std::uint64_t from, std::uint64_t to, std::vector<SearchPattern::Match>& out) const;
    std::uint64_t countIn(std::uint64_t from, std::uint64_t to) const;
    std::size_t countedPages() const { return firstPage_ + counted_.size() - 1; }
    std::uint64_t piece() const;
    void restartPage();
    bool pageEmpty(std::size_t page) const;
    void restartCount();
    bool countStep();
    bool seekForward();
    bool seekBackward();
    void startSeek(bool forward);
    void finishSeek(const SearchPattern::Match* match);
    void wake();
    void tellSoon();
    void tellNow();
    void textAppended();
    void endReplaced(quint64 from);
    void frontDropped();

    AppendView* view_; // none once the view is gone
    SearchPattern pattern_;
    // counted_[j]: the matches starting from the oldest text kept up to the
    // start of page firstPage_ + j; the last page entered is not counted yet.
    std::deque<std::uint64_t> counted_{0};
    std::size_t firstPage_ = 0;
    // The page being counted: matches counted in it so far, up to where.
    std::uint64_t pageMatches_ = 0;
    std::uint64_t pageCountedTo_ = 0;
    bool caughtUp_ = true;
    std::uint64_t tail_ = 0;   // matches past the pages counted, up to the end
    std::size_t tailPage_ = 0; // counted from the start of this page
    Seek seek_;
    SearchPattern::Match current_{0, 0};
    bool hasCurrent_ = false;
    QBasicTimer slice_;
    QBasicTimer tell_;
    mutable std::string chunk_;
    mutable std::vector<SearchPattern::Match> matches_;
    mutable std::vector<ByteSpan> spans_;
};

} // namespace quorvane
