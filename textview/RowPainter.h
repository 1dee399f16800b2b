#pragma once

#include "TextLines.h"

#include <QPalette>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <string>

class QPointF;
class QString;

class QPainter;

namespace quorvane
{

class MarkedWords;
class TextLines;

// Paints the rows of a view that are in sight: their text (the view's marked
// words in their colours), the selection over it (a selected line break as
// one blank's width), and the notice row of dropped text, set apart in the
// placeholder colour.
class RowPainter
{
public:
    struct Geometry {
        int left = 0; // where a row's text begins
        int top = 0;  // where the first row begins
        int lineHeight = 1;
        qreal ascent = 0;
        qreal blankWidth = 0;
        int height = 0;  // of the viewport
        qreal right = 0; // the viewport's right edge
    };

    RowPainter(TextLines& lines, const Geometry& geometry, const QPalette& colors,
               QPalette::ColorGroup group, const MarkedWords* marked = nullptr);

    // Rows from `first` on that meet `dirty`; the selection is [selBegin, selEnd).
    void paint(QPainter& painter, const QRect& dirty, std::size_t first, std::uint64_t selBegin,
               std::uint64_t selEnd) const;

private:
    void paintNotice(QPainter& painter, int y) const;
    void paintMarked(QPainter& painter, const TextLines::VisualLine& line, int y,
                     const QPointF& baseline, const QString& shown) const;

    TextLines& lines_;
    const MarkedWords* marked_;
    Geometry g_;
    const QPalette& colors_;
    QPalette::ColorGroup group_;
};

} // namespace quorvane
