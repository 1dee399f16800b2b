#include "TextSearch.h"

#include "AppendView.h"
#include "TextLines.h"

#include <QElapsedTimer>
#include <QTimerEvent>
#include <algorithm>

namespace quorvane
{

namespace
{

// A slice of searching takes about this long; the event loop runs between.
constexpr qint64 kSliceNs = 4'000'000;
// While text arrives, the count is told at most this often.
constexpr int kTellMs = 250;
// Matches past the pages counted are counted at once only in this many
// pages; a longer stretch waits for the slices.
constexpr std::uint64_t kTailPages = 4;

} // namespace

TextSearch::TextSearch(AppendView* view, QObject* parent) : QObject(parent), view_(view)
{
    connect(view, &AppendView::appended, this, &TextSearch::textAppended);
    connect(view, &AppendView::endReplaced, this, &TextSearch::endReplaced);
    connect(view, &AppendView::frontDropped, this, &TextSearch::frontDropped);
    connect(view, &AppendView::cleared, this, [this] {
        hasCurrent_ = false;
        restartCount();
    });
    connect(view, &QObject::destroyed, this, [this] {
        view_ = nullptr;
        slice_.stop();
        tell_.stop();
    });
}

TextSearch::~TextSearch() = default;

const TextLines& TextSearch::lines() const
{
    return view_->lines();
}

void TextSearch::setPattern(SearchPattern pattern)
{
    pattern_ = std::move(pattern);
    hasCurrent_ = false;
    seek_.active = false;
    restartCount();
}

// ---- counting ----

void TextSearch::restartCount()
{
    restartPage();
    counted_.assign(1, 0);
    firstPage_ = view_ != nullptr ? static_cast<std::size_t>(lines().begin() / kPage) : 0;
    tail_ = 0;
    tailPage_ = firstPage_;
    caughtUp_ = pattern_.empty();
    if (!pattern_.empty()) {
        wake();
    }
    emit countChanged();
}

// The matches starting in [from, to), decided with the bytes around them.
void TextSearch::scan(std::uint64_t from, std::uint64_t to,
                      std::vector<SearchPattern::Match>& out) const
{
    const TextLines& text = lines();
    const std::uint64_t kept = text.begin();
    const std::uint64_t size = text.size();
    from = std::max(from, kept);
    to = std::min(to, size);
    if (from >= to) {
        return;
    }
    const std::uint64_t begin = from > kept ? from - 1 : from;
    const std::uint64_t end = std::min(size, to + pattern_.longest() + 1);
    spans_.clear();
    if (pattern_.inBytesOnly()) {
        text.byteSpans(from, end, spans_);
        if (spans_.empty()) {
            return; // no bytes shown there
        }
    }
    chunk_.clear();
    text.store().copy(begin, end, chunk_);
    pattern_.prepare(chunk_);
    pattern_.find(chunk_, begin, from, to, begin == kept, end == size, spans_, out);
}

// How many positions one step looks at: a piece costs the text it covers
// and the pattern's length past it.
std::uint64_t TextSearch::piece() const
{
    return std::max<std::uint64_t>(kPiece, pattern_.longest());
}

void TextSearch::restartPage()
{
    pageMatches_ = 0;
    pageCountedTo_ = 0;
}

std::uint64_t TextSearch::countIn(std::uint64_t from, std::uint64_t to) const
{
    matches_.clear();
    scan(from, to, matches_);
    return matches_.size();
}

std::uint64_t TextSearch::count() const
{
    const bool tailValid = caughtUp_ && tailPage_ == countedPages();
    return counted_.back() + (tailValid ? tail_ : 0);
}

bool TextSearch::pageEmpty(std::size_t page) const
{
    return page >= firstPage_ && page < countedPages() &&
           counted_[page + 1 - firstPage_] == counted_[page - firstPage_];
}

// Counts one more piece of the next page once everything its matches need
// has arrived, and enters the page once it is counted whole; false when
// none is ready.
bool TextSearch::countStep()
{
    const std::size_t page = countedPages();
    const std::uint64_t end = std::uint64_t{page + 1} * kPage;
    if (end + pattern_.longest() + 1 > lines().size()) {
        if (!caughtUp_) {
            caughtUp_ = true;
            tellNow();
        }
        return false;
    }
    const std::uint64_t from =
        std::max({std::uint64_t{page} * kPage, pageCountedTo_, lines().begin()});
    const std::uint64_t to = std::min(end, from + piece());
    pageMatches_ += countIn(from, to);
    pageCountedTo_ = to;
    if (to < end) {
        return true;
    }
    counted_.push_back(counted_.back() + pageMatches_);
    pageMatches_ = 0;
    if (caughtUp_) {
        tellSoon(); // the tail moved on
    }
    return true;
}

std::uint64_t TextSearch::currentNumber() const
{
    if (!hasCurrent_ || view_ == nullptr || view_->selectionBegin() != current_.begin ||
        view_->selectionEnd() != current_.end) {
        return 0;
    }
    const std::uint64_t kept = lines().begin();
    const auto page = static_cast<std::size_t>(current_.begin / kPage);
    if (page < countedPages()) {
        const std::uint64_t pageStart = std::max<std::uint64_t>(std::uint64_t{page} * kPage, kept);
        return counted_[page - firstPage_] + countIn(pageStart, current_.begin) + 1;
    }
    if (!caughtUp_) {
        return 0;
    }
    const std::uint64_t start =
        std::max<std::uint64_t>(std::uint64_t{countedPages()} * kPage, kept);
    return counted_.back() + countIn(start, current_.begin) + 1;
}

void TextSearch::tellSoon()
{
    if (!tell_.isActive()) {
        tell_.start(kTellMs, this);
    }
}

// Counts what lies past the pages counted (it may still change as text
// arrives) and tells the count.
void TextSearch::tellNow()
{
    tell_.stop();
    if (view_ != nullptr && caughtUp_ && !pattern_.empty()) {
        const std::uint64_t start =
            std::max<std::uint64_t>(std::uint64_t{countedPages()} * kPage, lines().begin());
        const std::uint64_t size = lines().size();
        tailPage_ = countedPages();
        if (size <= start) {
            tail_ = 0;
        } else if (size - start <= kTailPages * kPage) {
            tail_ = countIn(start, size);
        } else {
            caughtUp_ = false; // a flood outran the slices: counting again
            wake();
        }
    }
    emit countChanged();
}

// ---- the view changes ----

void TextSearch::textAppended()
{
    if (!pattern_.empty()) {
        wake();
        tellSoon();
    }
}

// Pages whose matches were decided with bytes from `from` on are counted
// again; a match found there is gone.
void TextSearch::endReplaced(quint64 from)
{
    const std::size_t pages = countedPages();
    while (counted_.size() > 1 &&
           std::uint64_t{countedPages()} * kPage + pattern_.longest() + 1 > from) {
        counted_.pop_back();
    }
    if (countedPages() != pages || pageCountedTo_ + pattern_.longest() + 1 > from) {
        restartPage();
    }
    if (hasCurrent_ && current_.end > from) {
        hasCurrent_ = false;
    }
    if (!pattern_.empty()) {
        wake();
        tellSoon();
    }
}

// The counts are taken from the oldest text still kept: the page holding
// it is counted again from there, later pages move down by what went.
void TextSearch::frontDropped()
{
    restartPage();
    const std::uint64_t kept = lines().begin();
    const auto keptPage = static_cast<std::size_t>(kept / kPage);
    if (hasCurrent_ && current_.begin < kept) {
        hasCurrent_ = false;
    }
    if (keptPage < countedPages()) {
        const std::uint64_t rest = countIn(kept, std::uint64_t{keptPage + 1} * kPage);
        const std::uint64_t next = counted_[keptPage + 1 - firstPage_];
        counted_.erase(counted_.begin(),
                       counted_.begin() + static_cast<std::ptrdiff_t>(keptPage + 1 - firstPage_));
        for (std::uint64_t& c : counted_) {
            c = c - next + rest;
        }
        counted_.push_front(0);
    } else {
        counted_.assign(1, 0);
    }
    firstPage_ = keptPage;
    if (!pattern_.empty()) {
        wake();
        tellSoon();
    }
}

// ---- finding ----

void TextSearch::startSeek(bool forward)
{
    if (pattern_.empty() || view_ == nullptr) {
        emit notFound();
        return;
    }
    const std::uint64_t begin = view_->selectionBegin();
    const bool onCurrent =
        hasCurrent_ && begin == current_.begin && view_->selectionEnd() == current_.end;
    const std::uint64_t origin = forward && onCurrent ? begin + 1 : begin;
    seek_ = Seek{true, forward, false, origin, origin};
    wake();
}

bool TextSearch::seekForward()
{
    const std::uint64_t kept = lines().begin();
    const std::uint64_t size = lines().size();
    Seek& s = seek_;
    s.pos = std::max(s.pos, kept);
    const std::uint64_t limit = s.wrapped ? std::min(s.origin, size) : size;
    if (s.pos >= limit) {
        if (s.wrapped) {
            finishSeek(nullptr);
            return true;
        }
        s.wrapped = true; // on from the oldest text up to where it started
        s.pos = kept;
        return false;
    }
    const auto page = static_cast<std::size_t>(s.pos / kPage);
    const std::uint64_t end = std::min({std::uint64_t{page + 1} * kPage, limit, s.pos + piece()});
    if (!pageEmpty(page)) {
        matches_.clear();
        scan(s.pos, end, matches_);
        if (!matches_.empty()) {
            finishSeek(&matches_.front());
            return true;
        }
    }
    s.pos = end;
    return false;
}

bool TextSearch::seekBackward()
{
    const std::uint64_t kept = lines().begin();
    const std::uint64_t size = lines().size();
    Seek& s = seek_;
    s.pos = std::min(s.pos, size);
    const std::uint64_t low = s.wrapped ? std::max(s.origin, kept) : kept;
    if (s.pos <= low) {
        if (s.wrapped) {
            finishSeek(nullptr);
            return true;
        }
        s.wrapped = true; // on from the end back to where it started
        s.pos = size;
        return false;
    }
    const auto page = static_cast<std::size_t>((s.pos - 1) / kPage);
    const std::uint64_t begin = std::max(
        {std::uint64_t{page} * kPage, low, s.pos > piece() ? s.pos - piece() : std::uint64_t{0}});
    if (!pageEmpty(page)) {
        matches_.clear();
        scan(begin, s.pos, matches_);
        if (!matches_.empty()) {
            finishSeek(&matches_.back());
            return true;
        }
    }
    s.pos = begin;
    return false;
}

void TextSearch::finishSeek(const SearchPattern::Match* match)
{
    seek_.active = false;
    if (match == nullptr) {
        hasCurrent_ = false;
        emit notFound();
        return;
    }
    const SearchPattern::Match at = *match;
    view_->selectRange(at.begin, at.end);
    view_->holdPosition();
    current_ = {view_->selectionBegin(), view_->selectionEnd()};
    hasCurrent_ = true;
    emit found(at.begin, at.end);
}

// ---- slices ----

void TextSearch::wake()
{
    if (!slice_.isActive()) {
        slice_.start(0, this);
    }
}

void TextSearch::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == tell_.timerId()) {
        tellNow();
        return;
    }
    if (event->timerId() != slice_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    if (view_ == nullptr) {
        slice_.stop();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    do {
        if (seek_.active) {
            seek_.forward ? seekForward() : seekBackward();
        } else if (pattern_.empty() || !countStep()) {
            slice_.stop(); // nothing more to do until the text changes
            return;
        }
    } while (clock.nsecsElapsed() < kSliceNs);
}

} // namespace quorvane
