#pragma once

#include <QDialog>

namespace quorvane
{

// The About box "关于Quorvane". Created at opening, destroyed when closed.
class FrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent);
    void showAndRaise();
};

} // namespace quorvane
