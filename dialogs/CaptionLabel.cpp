#include "CaptionLabel.h"

#include <QAbstractButton>
#include <QMouseEvent>

namespace quorvane
{

CaptionLabel::CaptionLabel(const QString& caption, QAbstractButton* box, QWidget* parent)
    : QLabel(caption, parent), box_(box)
{
}

void CaptionLabel::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

// Like a button, the click counts when the mouse is let go over the caption.
void CaptionLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click && box_->isEnabled()) {
        box_->setFocus(Qt::MouseFocusReason);
        box_->click();
    }
}

} // namespace quorvane
