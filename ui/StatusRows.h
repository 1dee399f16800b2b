#pragma once

#include <QObject>
#include <vector>

class QStatusBar;
class QWidget;

namespace quorvane {

// Lays a status bar's panels out in rows of 22 pixels, one under the other:
// the window's own three panels stay in the first row, the line and the
// run's figures get a row of their own, so that at the window's opening
// width every figure is shown whole. In each row every panel but one is as
// wide as it asks; that one, the row's stretch, takes what is left (and
// chooses what it shows to fit). Temporary messages of the bar are not
// used: they would be painted over the rows.
class StatusRows : public QObject {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 22;

    struct Row {
        std::vector<QWidget*> panels; // left to right, children of the bar
        std::size_t stretch = 0;      // the panel that takes the rest
    };

    StatusRows(QStatusBar& bar, std::vector<Row> rows);

    // Places the panels now (after a change of what they show).
    void apply();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStatusBar& bar_;
    std::vector<Row> rows_;
};

} // namespace quorvane
