#pragma once

#include "StatusPanel.h"

#include <QTimer>

namespace quorvane {

class SerialPort;

// The status panel of the open port: its device, its line settings (with
// the rate the driver really set when it differs by more than 2 %) and the
// four input lines, e.g. "/dev/ttyUSB0 115200,n,8,1  CTS● DSR○ DCD○ RI○"
// (● asserted, ○ not, "—" on a port without them). The lines are polled
// about ten times a second while the port is open, and only then; polling
// never touches what the port receives. Empty while the port is closed.
// Where the panel is narrow it shows the settings and the line names lit or
// dim; the tooltip and screen readers get the full words.
class LinePanel : public StatusPanel {
    Q_OBJECT
public:
    LinePanel(SerialPort& port, QWidget* parent);

    // Reads the port again now (after a change of its settings or lines).
    void refresh();

private:
    void portOpenChanged(bool open);

    SerialPort& port_;
    QTimer poll_;
};

// The settings text with the rate the driver set, when it is more than 2 %
// away from the one asked for: "115200,n,8,1" or "115200→117647,n,8,1".
QString SettingsAsSet(const std::string& settings, unsigned rateSet);

} // namespace quorvane
