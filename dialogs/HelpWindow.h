#pragma once

#include <QWidget>

class QTextBrowser;

namespace quorvane
{

// The help window: the bundled help document, shown from its start. It does
// not block the main window.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent);
    void showFromStart();

private:
    QTextBrowser* browser_;
};

} // namespace quorvane
