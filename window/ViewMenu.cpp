#include "ViewMenu.h"

#include "ChartFeed.h"
#include "ChartWindow.h"
#include "LineEngine.h"
#include "MessageSeam.h"
#include "ProtocolTreeWindow.h"
#include "SharedSettings.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace quorvane {

ViewMenu::ViewMenu(QMenuBar* bar, QAction* before, LineEngine& engine, SessionClock& clock,
                   QWidget* window)
    : QObject(bar), feed_(new ChartFeed(engine, clock, Shared(), this)), window_(window)
{
    auto* menu = new QMenu(QStringLiteral("查看(&V)"), bar);
    menu->setObjectName(QStringLiteral("View"));
    bar->insertMenu(before, menu);
    QAction* chart = menu->addAction(QStringLiteral("图表..."));
    chart->setObjectName(QStringLiteral("Chart"));
    chart->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(chart, &QAction::triggered, this, &ViewMenu::Chart_Click);
    QAction* reading = menu->addAction(QStringLiteral("解析..."));
    reading->setObjectName(QStringLiteral("Parse"));
    connect(reading, &QAction::triggered, this, &ViewMenu::ProtocolTree_Click);

    connect(&engine, &LineEngine::receptionEnded, this, [this](const ReceptionEnd& end) {
        if (!end.decoded) {
            return; // not read by a protocol
        }
        latest_ = end.decoded;
        if (tree_) {
            tree_->showLatest(latest_);
        }
    });
}

void ViewMenu::setReceiveView(QWidget* view)
{
    receiveView_ = view;
}

void ViewMenu::ProtocolTree_Click()
{
    if (!tree_) {
        tree_ = new ProtocolTreeWindow(receiveView_.data(), window_);
        tree_->showLatest(latest_);
    }
    tree_->showAndRaise();
}

void ViewMenu::Chart_Click()
{
    if (!chart_) {
        chart_ = new ChartWindow(
            *feed_, panes_, [](const Message& message) { MessageSeam::instance().show(message); },
            window_);
        chart_->describeRun = [this] { return describeRun ? describeRun() : QString(); };
        connect(chart_, &ChartWindow::panesChanged, this,
                [this](const ChartChoices& panes) { panes_ = panes; });
    }
    chart_->showAndRaise();
}

ChartChoices ViewMenu::choices() const
{
    ChartChoices c = panes_;
    c.fields = feed_->fields();
    return c;
}

void ViewMenu::applyChoices(const ChartChoices& choices)
{
    panes_ = choices;
    panes_.fields.clear();
    if (chart_) {
        chart_->showPanes(panes_);
    }
    if (choices.fields != feed_->fields()) {
        feed_->setFields(choices.fields);
    }
}

} // namespace quorvane
