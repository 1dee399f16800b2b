#pragma once

#include <QChartView>
#include <QPoint>
#include <array>

class QValueAxis;

namespace quorvane {

// One pane's chart as the user handles it: the wheel zooms the time (or
// frame) axis around the pointer, a box dragged with the left button zooms
// into it, the right or middle button drags the view along (so do the arrow
// keys). While the user has not zoomed or moved it, the view follows the
// run: its pane sets the axes to show everything; Follow() (复位) returns to
// that.
class ChartView : public QChartView {
    Q_OBJECT
public:
    ChartView(QChart* chart, QValueAxis* x, QValueAxis* y, QWidget* parent = nullptr);

    bool following() const { return following_; }
    void Follow();
    // The pane sets the axes (while following): not the user's doing.
    void ShowRange(double x0, double x1, double y0, double y1);
    // Zooms the x axis by `factor` (below 1: in) around the value at `pixel`.
    void ZoomAround(double factor, double pixel);

signals:
    // The user zoomed or moved the view, or it follows the run again.
    void viewChanged();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UserMoved();

    QValueAxis* x_;
    QValueAxis* y_;
    bool following_ = true;
    std::array<double, 4> shown_{}; // the range the pane last asked for
    bool panning_ = false;
    QPoint panFrom_;
};

} // namespace quorvane
