#pragma once

#include <QObject>

namespace quorvane {

class SerialPort;

// A port asked for RS-485 that opened without it (the driver has no such
// mode) works as a plain port; the message box says so once for the port
// settings confirmed, not at every opening.
class Rs485Notice : public QObject {
    Q_OBJECT
public:
    explicit Rs485Notice(SerialPort& port, QObject* parent = nullptr);

    // The port dialog has confirmed: the next refusal is told again.
    void SettingsApplied() { told_ = false; }

private:
    void PortOpenChanged(bool open);

    SerialPort& port_;
    bool told_ = false; // the refusal was shown for these settings
};

} // namespace quorvane
