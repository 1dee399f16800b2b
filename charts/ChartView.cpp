#include "ChartView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace quorvane {

namespace {

constexpr double kWheelStep = 0.8; // one notch in shows 80 % of the range
constexpr int kKeyStep = 40;       // pixels the arrow keys move the view

} // namespace

ChartView::ChartView(QChart* chart, QValueAxis* x, QValueAxis* y, QWidget* parent)
    : QChartView(chart, parent), x_(x), y_(y)
{
    setRubberBand(QChartView::RectangleRubberBand);
    setFocusPolicy(Qt::StrongFocus);
}

void ChartView::Follow()
{
    following_ = true;
    shown_ = {};
    emit viewChanged();
}

void ChartView::ShowRange(double x0, double x1, double y0, double y1)
{
    // Only a change, widened to round numbers: new labels are the dearest
    // part of a redraw.
    const std::array<double, 4> range = {x0, x1, y0, y1};
    if (range == shown_) {
        return;
    }
    shown_ = range;
    x_->setRange(x0, x1);
    x_->applyNiceNumbers();
    y_->setRange(y0, y1);
    y_->applyNiceNumbers();
}

// The user zoomed or moved the view: it stays where it was put.
void ChartView::UserMoved()
{
    following_ = false;
    emit viewChanged();
}

void ChartView::ZoomAround(double factor, double pixel)
{
    const QRectF area = chart()->plotArea();
    if (area.width() <= 0) {
        return;
    }
    const double x0 = x_->min();
    const double x1 = x_->max();
    const double at = x0 + (x1 - x0) * std::clamp((pixel - area.left()) / area.width(), 0.0, 1.0);
    x_->setRange(at - (at - x0) * factor, at + (x1 - at) * factor);
    UserMoved();
}

void ChartView::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) {
        event->ignore();
        return;
    }
    ZoomAround(std::pow(kWheelStep, notches), event->position().x());
    event->accept();
}

void ChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        panning_ = true;
        panFrom_ = event->position().toPoint();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (panning_) {
        const QPoint to = event->position().toPoint();
        const QPoint moved = to - panFrom_;
        panFrom_ = to;
        chart()->scroll(-moved.x(), moved.y());
        UserMoved();
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (panning_ && (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)) {
        panning_ = false;
        event->accept();
        return;
    }
    // The box dragged with the left button zooms into it, if it was a box.
    const QPair<double, double> before(x_->min(), x_->max());
    const QPair<double, double> beforeY(y_->min(), y_->max());
    QChartView::mouseReleaseEvent(event);
    if (before != QPair<double, double>(x_->min(), x_->max()) ||
        beforeY != QPair<double, double>(y_->min(), y_->max())) {
        UserMoved();
    }
}

void ChartView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        chart()->scroll(-kKeyStep, 0);
        break;
    case Qt::Key_Right:
        chart()->scroll(kKeyStep, 0);
        break;
    case Qt::Key_Up:
        chart()->scroll(0, kKeyStep);
        break;
    case Qt::Key_Down:
        chart()->scroll(0, -kKeyStep);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAround(kWheelStep, chart()->plotArea().center().x());
        break;
    case Qt::Key_Minus:
        ZoomAround(1 / kWheelStep, chart()->plotArea().center().x());
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    UserMoved();
    event->accept();
}

} // namespace quorvane
