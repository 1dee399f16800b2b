#include "StatusRows.h"

#include <QEvent>
#include <QStatusBar>
#include <algorithm>

namespace quorvane {

namespace {

constexpr int kMargin = 2;  // left and right of a row
constexpr int kSpacing = 8; // between two panels

} // namespace

StatusRows::StatusRows(QStatusBar& bar, std::vector<Row> rows)
    : QObject(&bar), bar_(bar), rows_(std::move(rows))
{
    bar_.setFixedHeight(kRowHeight * static_cast<int>(rows_.size()));
    bar_.installEventFilter(this);
    apply();
}

bool StatusRows::eventFilter(QObject* watched, QEvent* event)
{
    // A panel whose text changed asks the bar to lay it out again.
    if (watched == &bar_ &&
        (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest ||
         event->type() == QEvent::Show)) {
        apply();
    }
    return QObject::eventFilter(watched, event);
}

void StatusRows::apply()
{
    const int width = bar_.width() - 2 * kMargin;
    int y = 0;
    for (const Row& row : rows_) {
        std::vector<int> widths;
        int taken = 0;
        int shown = 0;
        for (std::size_t i = 0; i < row.panels.size(); ++i) {
            const QWidget* panel = row.panels[i];
            const int asked = panel->isHidden() || i == row.stretch ? 0 : panel->sizeHint().width();
            widths.push_back(asked);
            taken += asked;
            shown += panel->isHidden() ? 0 : 1;
        }
        taken += kSpacing * std::max(0, shown - 1);
        if (row.stretch < widths.size()) {
            widths[row.stretch] = std::max(0, width - taken);
        }
        int x = kMargin;
        for (std::size_t i = 0; i < row.panels.size(); ++i) {
            QWidget* panel = row.panels[i];
            if (panel->isHidden()) {
                continue;
            }
            panel->setGeometry(x, y, widths[i], kRowHeight);
            x += widths[i] + kSpacing;
        }
        y += kRowHeight;
    }
}

} // namespace quorvane
