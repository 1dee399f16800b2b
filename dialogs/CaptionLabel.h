#pragma once

#include <QLabel>

class QAbstractButton;

namespace quorvane
{

// The caption of a check box that shows only its box, standing beside it:
// a click on the caption clicks the box, as a click on a check box's own
// caption would. Nothing happens while the box is disabled.
class CaptionLabel : public QLabel
{
public:
    CaptionLabel(const QString& caption, QAbstractButton* box, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QAbstractButton* box_;
    bool pressed_ = false;
};

} // namespace quorvane
