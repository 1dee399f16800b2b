#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace quorvane {

// Places the main window's controls for the size of its client area. At
// the documented size every control stands where it is drawn; when the
// window grows, the receive area takes 85 % of the extra height, both areas
// take the extra width, the views widen and lengthen (the receive view more
// than the send view, the send box by a few lines), and buttons keep their
// places relative to their group's right and bottom edges. A find bar that
// is shown stands under its view and takes its height from the view.
class MainLayout : public QObject {
    Q_OBJECT
public:
    // How a control follows the growth of its group: which of its edges
    // move with the group's right edge, with its bottom edge, or with the
    // send box's growth. Its documented place is where it stands when the
    // layout is made.
    enum Follow {
        Fixed = 0,
        Right = 1,     // moves with the right edge
        Widen = 2,     // its right edge follows the group's
        Bottom = 4,    // moves with the bottom edge
        Lengthen = 8,  // its bottom edge follows the group's
        BelowBox = 16, // moves down as the send box grows
        Box = 32,      // the send box itself
    };
    struct Item {
        Item(QWidget* w, int f = Fixed) : widget(w), follow(f) {}
        QWidget* widget;
        int follow;
        QRect place;
    };
    struct Area {
        Area(QWidget* g, std::vector<Item> i, QWidget* v) : group(g), items(std::move(i)), view(v)
        {
        }
        QWidget* group;
        std::vector<Item> items;
        QWidget* view;              // one of the items; the find bar goes under it
        QWidget* findBar = nullptr; // may be null or hidden
        QRect place;
    };

    MainLayout(QWidget* client, Area send, Area receive);

    void setFindBars(QWidget* send, QWidget* receive);
    // Lays everything out again (a find bar was shown or hidden).
    void apply();

    static constexpr QSize kDocumentedClient{424, 419};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeArea(const Area& area, QRect group, int boxGrowth);

    QWidget* client_;
    Area send_;
    Area receive_;
};

} // namespace quorvane
