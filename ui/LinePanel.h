#pragma once

#include "StatusPanel.h"

#include <QTimer>

#include <optional>
#include <string>

namespace quorvane {

class SerialPort;

// The status panel of the open port: its device, its line settings (with
// the rate the driver really set when it differs by more than 2 %), RS-485
// when the driver holds it, the two output lines DTR and RTS, and the four
// input lines, e.g.
// "/dev/ttyUSB0 115200,n,8,1  DTR● RTS○  CTS● DSR○ DCD○ RI○"
// (● asserted, ○ not, "—" on a port without input lines). The lines are
// polled about ten times a second while the port is open, and only then;
// polling never touches what the port receives. Where the panel is narrow
// it shows the settings and the line names lit or dim; narrower still, the
// input lines give way, then RS-485 and the output lines; the tooltip and
// screen readers get the full words. A click on DTR or RTS (or the screen
// reader's action of that name) asks to switch it, as the menu items do.
//
// While the port is closed the panel is empty, unless its device went away:
// then it says "COM3 已断开" in red, or "COM3 等待重新连接…" while the
// device is awaited, until the port opens again; after a reconnection it
// begins with "COM3 已重新连接" for a few seconds.
//
// On an FTDI USB adapter the tooltip adds the adapter's latency timer,
// read as the port opens: "USB 适配器延迟 16 ms（latency_timer）".
class LinePanel : public StatusPanel {
    Q_OBJECT
public:
    enum class Link { Normal, Lost, Waiting, Reconnected };

    LinePanel(SerialPort& port, QWidget* parent);

    // Reads the port again now (after a change of its settings or lines).
    void refresh();
    void showLink(Link link);
    Link link() const { return link_; }
    // Narrow as the row needs: the panel then shows less.
    QSize minimumSizeHint() const override;

    // The latency timer of the adapter the port was last opened on, in ms;
    // nullopt for a device without one. It is kept after the port closes:
    // the response times measured through it still hold it.
    std::optional<int> adapterLatency() const { return latency_; }
    // Reads the latency timer again (after it was changed).
    void readAdapterLatency();

signals:
    // "DTR" or "RTS" was clicked.
    void outputLineClicked(const QString& line);
    void adapterLatencyChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void portOpenChanged(bool open);
    // Shows the longest of the forms that fits the panel's width.
    void showFittingForm();
    void refreshClosed();
    bool rtsIsTheDrivers() const;
    // The device the port has open or opens next.
    std::string devicePath() const;

    SerialPort& port_;
    QTimer poll_;
    QTimer reconnectedShown_;
    Link link_ = Link::Normal;
    QStringList forms_; // what the panel may show, longest first
    QString fullWords_;
    std::optional<int> latency_;
};

// The settings text with the rate the driver set, when it is more than 2 %
// away from the one asked for: "115200,n,8,1" or "115200→117647,n,8,1".
QString SettingsAsSet(const std::string& settings, unsigned rateSet);

} // namespace quorvane
