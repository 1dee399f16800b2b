#pragma once

#include "DeviceWatch.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

namespace quorvane {

class SerialPort;

// Opens a lost port again when its device comes back: after the device went
// away (the port has closed itself), waits for the same device (its by-id
// name, else its path) on the file system's notifications and opens the
// port with the same settings within a moment of its return, trying again
// while udev or ModemManager still keep it. A port served over the network
// has nothing to watch: it is tried again after a pause that grows from
// 0.2 s to 5 s while the server stays away. The window's 断线自动重连 and
// `quorvane --answer --reconnect` share it.
class Reconnector : public QObject {
    Q_OBJECT
public:
    explicit Reconnector(SerialPort& port, QObject* parent = nullptr);

    // While this says so (a message box is open), nothing is opened; call
    // RetryIfThere() once it no longer does.
    void setHoldOff(std::function<bool()> holdOff) { holdOff_ = std::move(holdOff); }

    // Whether there is a device to wait for (the port opened once).
    bool canWait() const { return !identity_.path.empty(); }
    // The port's device went away: the wait begins (the port may open again
    // at once, when the device is already back).
    void Wait();
    void Cancel();
    bool waiting() const { return watch_.watching() || serverWait_; }
    void RetryIfThere();

    // The COMn the port had open last, and the device it waits for.
    int comPort() const { return identityPort_; }
    std::string device() const;

signals:
    // The port is open again, on this device.
    void reconnected(const QString& device);

private:
    void PortOpenChanged(bool open);
    void TryReopen(const QString& path);
    void StopWaiting();

    SerialPort& port_;
    DeviceWatch watch_;
    DeviceIdentity identity_; // of the device the port had open last
    int identityPort_ = 0;    // its COMn
    QTimer retry_;            // a device there that did not open yet (udev, ModemManager)
    bool serverWait_ = false; // waiting for a port server to take the connection again
    int serverPauseMs_ = 0;
    bool reopening_ = false;
    std::function<bool()> holdOff_;
};

} // namespace quorvane
