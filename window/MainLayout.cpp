#include "MainLayout.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace quorvane {

namespace {

constexpr int kBoxGrowthMax = 48; // about three more lines in the send box
constexpr int kFindBarHeight = 26;

} // namespace

MainLayout::MainLayout(QWidget* client, Area send, Area receive)
    : QObject(client), client_(client), send_(std::move(send)), receive_(std::move(receive))
{
    for (Area* area : {&send_, &receive_}) {
        area->place = area->group->geometry();
        for (Item& item : area->items) {
            item.place = item.widget->geometry();
        }
    }
    client_->setMinimumSize(kDocumentedClient);
    client_->installEventFilter(this);
}

void MainLayout::setFindBars(QWidget* send, QWidget* receive)
{
    send_.findBar = send;
    receive_.findBar = receive;
    for (QWidget* bar : {send, receive}) {
        if (bar != nullptr) {
            bar->installEventFilter(this);
        }
    }
    apply();
}

bool MainLayout::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((watched == client_ && type == QEvent::Resize) ||
        (watched != client_ && (type == QEvent::Show || type == QEvent::Hide))) {
        apply();
    }
    return QObject::eventFilter(watched, event);
}

void MainLayout::apply()
{
    const int dw = std::max(0, client_->width() - kDocumentedClient.width());
    const int dh = std::max(0, client_->height() - kDocumentedClient.height());
    // 85 % of the extra height to the receive area: a maximised window on a
    // 1920 x 1080 screen shows 40 lines of it.
    const int sendGrowth = dh * 3 / 20;
    const int boxGrowth = std::min(sendGrowth / 2, kBoxGrowthMax);
    QRect send = send_.place.adjusted(0, 0, dw, sendGrowth);
    QRect receive = receive_.place.adjusted(0, sendGrowth, dw, dh);
    placeArea(send_, send, boxGrowth);
    placeArea(receive_, receive, 0);
}

void MainLayout::placeArea(const Area& area, QRect group, int boxGrowth)
{
    area.group->setGeometry(group);
    const int dw = group.width() - area.place.width();
    const int dh = group.height() - area.place.height() - boxGrowth;
    const bool barShown = area.findBar != nullptr && area.findBar->isVisibleTo(area.group);
    for (const Item& item : area.items) {
        QRect r = item.place;
        if ((item.follow & Box) != 0) {
            r.setHeight(r.height() + boxGrowth);
        } else if ((item.follow & BelowBox) != 0) {
            r.translate(0, boxGrowth);
        }
        if ((item.follow & Right) != 0) {
            r.translate(dw, 0);
        } else if ((item.follow & Widen) != 0) {
            r.setWidth(r.width() + dw);
        }
        if ((item.follow & Bottom) != 0) {
            r.translate(0, dh);
        } else if ((item.follow & Lengthen) != 0) {
            r.setHeight(r.height() + dh);
        }
        if (item.widget == area.view && barShown) {
            r.setHeight(r.height() - kFindBarHeight);
            area.findBar->setGeometry(r.left(), r.bottom() + 1, r.width(), kFindBarHeight);
        }
        item.widget->setGeometry(r);
    }
}

} // namespace quorvane
