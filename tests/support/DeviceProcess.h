#pragma once

#include "ByteList.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace quorvane
{

// quorvane-device run as the peer of a test: started with a mode, it gives
// the path of its port end, and everything it received (from its log).
class DeviceProcess
{
public:
    DeviceProcess() = default;
    ~DeviceProcess();
    DeviceProcess(const DeviceProcess&) = delete;
    DeviceProcess& operator=(const DeviceProcess&) = delete;

    // Starts the device (QUORVANE_DEVICE_BIN) and waits for its port path.
    bool start(const QStringList& arguments);
    QString path() const { return path_; }
    // Every byte the device has logged as received so far.
    ByteList received();
    // The device's log so far (the port path's line excluded).
    QString log();
    void stop();
    // Waits up to `ms` for the device to end by itself; whether it did.
    bool waitForEnd(int ms);

private:
    QProcess process_;
    QString path_;
    QByteArray log_;
};

} // namespace quorvane
