#pragma once

#include <QPalette>
#include <QRect>
#include <cstddef>
#include <cstdint>

class QPainter;

namespace quorvane
{

class TextLines;

// Paints the rows of a view that are in sight: their text, the selection
// over it (a selected line break as one blank's width), and the notice row
// of dropped text, set apart in the placeholder colour.
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
               QPalette::ColorGroup group);

    // Rows from `first` on that meet `dirty`; the selection is [selBegin, selEnd).
    void paint(QPainter& painter, const QRect& dirty, std::size_t first, std::uint64_t selBegin,
               std::uint64_t selEnd) const;

private:
    void paintNotice(QPainter& painter, int y) const;

    TextLines& lines_;
    Geometry g_;
    const QPalette& colors_;
    QPalette::ColorGroup group_;
};

} // namespace quorvane
