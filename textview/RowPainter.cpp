#include "RowPainter.h"

#include "MarkedWords.h"
#include "RowText.h"
#include "TextLines.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace quorvane
{

RowPainter::RowPainter(TextLines& lines, const Geometry& geometry, const QPalette& colors,
                       QPalette::ColorGroup group, const MarkedWords* marked)
    : lines_(lines), marked_(marked), g_(geometry), colors_(colors), group_(group)
{
}

// A marked word may start on an earlier row of its line (a verdict that
// wraps): the words are looked for from this far back.
constexpr std::uint64_t kMarkedLookBack = 4096;

// The row's marked words drawn again over it, each in its colour.
void RowPainter::paintMarked(QPainter& painter, const TextLines::VisualLine& line, int y,
                             const QPointF& baseline, const QString& shown) const
{
    if (marked_ == nullptr || marked_->empty()) {
        return;
    }
    const std::uint64_t lineBegin = lines_.line(line.line).begin;
    const std::uint64_t from =
        line.begin - std::min<std::uint64_t>(line.begin - lineBegin, kMarkedLookBack);
    const std::string text = lines_.bytes(from, line.end);
    const std::size_t rowAt = static_cast<std::size_t>(line.begin - from);
    const std::string row = text.substr(rowAt);
    std::vector<ByteSpan> spans;
    lines_.byteSpans(from, line.end, spans);
    for (const MarkedWords::Run& run : marked_->runs(text, from, spans)) {
        if (run.end <= rowAt) {
            continue;
        }
        const std::size_t begin = std::max(run.begin, rowAt) - rowAt;
        const std::size_t end = run.end - rowAt;
        qreal x1 = g_.left;
        qreal x2 = g_.left;
        qreal x = g_.left;
        ForEachChar(row, lines_.widths(), [&](std::size_t i, std::size_t, float width) {
            if (i < begin) {
                x1 = x + width;
            }
            x += width;
            if (i < end) {
                x2 = x;
            }
            return i < end;
        });
        painter.save();
        painter.setClipRect(QRectF(x1, y, x2 - x1, g_.lineHeight));
        painter.setPen(run.color);
        painter.drawText(baseline, shown);
        painter.restore();
    }
}

void RowPainter::paintNotice(QPainter& painter, int y) const
{
    const QString notice = QString::fromStdString(lines_.droppedNotice());
    const QFontMetricsF metrics(painter.font());
    painter.setPen(colors_.color(group_, QPalette::PlaceholderText));
    painter.drawText(QPointF(g_.left, y + g_.ascent),
                     metrics.elidedText(notice, Qt::ElideRight, g_.right - 2 * g_.left));
}

void RowPainter::paint(QPainter& painter, const QRect& dirty, std::size_t first,
                       std::uint64_t selBegin, std::uint64_t selEnd) const
{
    const std::size_t count = lines_.visualLineCount();
    for (std::size_t row = first; row < count; ++row) {
        const int y = g_.top + static_cast<int>(row - first) * g_.lineHeight;
        if (y >= g_.height || y > dirty.bottom()) {
            break;
        }
        if (y + g_.lineHeight <= dirty.top()) {
            continue;
        }
        if (lines_.isNoticeRow(row)) {
            paintNotice(painter, y);
            continue;
        }
        const TextLines::VisualLine line = lines_.visualLine(row);
        const std::string bytes = lines_.bytes(line.begin, line.end);
        const QString shown = ShownText(bytes);
        const QPointF baseline(g_.left, y + g_.ascent);

        const bool lastOfLine = line.end == lines_.line(line.line).end;
        const bool breakSelected = lastOfLine && selBegin <= line.end && selEnd > line.end;
        const bool textSelected = selBegin < line.end && selEnd > line.begin;
        if (!textSelected && !breakSelected) {
            painter.setPen(colors_.color(group_, QPalette::Text));
            painter.drawText(baseline, shown);
            paintMarked(painter, line, y, baseline, shown);
            continue;
        }
        qreal x1 = g_.left;
        qreal x2 = g_.left;
        qreal x = g_.left;
        ForEachChar(bytes, lines_.widths(), [&](std::size_t i, std::size_t, float width) {
            x += width;
            if (line.begin + i < selBegin) {
                x1 = x;
            }
            if (line.begin + i < selEnd) {
                x2 = x;
            }
            return true;
        });
        if (breakSelected) {
            x2 += g_.blankWidth; // the line break is selected too
        }
        x2 = std::min(x2, g_.right);
        const QRectF band(x1, y, x2 - x1, g_.lineHeight);
        painter.fillRect(band, colors_.brush(group_, QPalette::Highlight));
        painter.setPen(colors_.color(group_, QPalette::Text));
        painter.drawText(baseline, shown);
        paintMarked(painter, line, y, baseline, shown);
        painter.save();
        painter.setClipRect(band);
        painter.setPen(colors_.color(group_, QPalette::HighlightedText));
        painter.drawText(baseline, shown);
        painter.restore();
    }
}

} // namespace quorvane
