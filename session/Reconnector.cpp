#include "Reconnector.h"

#include "NetworkAddress.h"
#include "PortPath.h"
#include "SerialPort.h"

#include <algorithm>

namespace quorvane {

namespace {

// A device that is there but does not open yet (udev still setting its
// permissions, ModemManager probing it) is tried again this often.
constexpr int kRetryMs = 200;
// A port server is tried again after this pause, doubled after each
// refusal up to the longest.
constexpr int kLongestServerPauseMs = 5000;

std::string PathOf(const SerialPort& port)
{
    const std::string path = port.DevicePath();
    return path.empty() ? ComDevicePath(port.CommPort()) : path;
}

} // namespace

Reconnector::Reconnector(SerialPort& port, QObject* parent) : QObject(parent), port_(port)
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &Reconnector::RetryIfThere);
    connect(&watch_, &DeviceWatch::present, this, &Reconnector::TryReopen);
    connect(&port_, &SerialPort::openChanged, this, &Reconnector::PortOpenChanged);
    if (port_.PortOpen()) {
        PortOpenChanged(true); // opened before it was made
    }
}

std::string Reconnector::device() const
{
    return identity_.byId.empty() ? identity_.path : identity_.byId;
}

// The identity is taken while the device is there: once it has gone, its
// by-id link has gone with it.
void Reconnector::PortOpenChanged(bool open)
{
    if (!open) {
        return;
    }
    identity_ = IdentifyDevice(PathOf(port_), CurrentSystemFolders());
    identityPort_ = port_.CommPort();
    if (!reopening_) {
        StopWaiting(); // opened by a frame or by 打开串口: nothing to wait for
    }
}

void Reconnector::Wait()
{
    if (!canWait()) {
        return;
    }
    if (IsNetworkPath(identity_.path)) {
        serverWait_ = true;
        serverPauseMs_ = kRetryMs;
        retry_.start(serverPauseMs_);
        return;
    }
    watch_.watch(identity_);
}

void Reconnector::Cancel()
{
    StopWaiting();
}

void Reconnector::StopWaiting()
{
    watch_.stop();
    retry_.stop();
    serverWait_ = false;
}

void Reconnector::RetryIfThere()
{
    if (!waiting()) {
        return;
    }
    if (serverWait_) {
        TryReopen(QString::fromStdString(identity_.path));
        return;
    }
    const std::string path = identity_.presentPath();
    if (!path.empty()) {
        TryReopen(QString::fromStdString(path));
    }
}

// The same settings: the port kept them; only the path may be the by-id
// link of an adapter that came back under another kernel name.
void Reconnector::TryReopen(const QString& path)
{
    if (!waiting() || port_.PortOpen()) {
        StopWaiting();
        return;
    }
    if (holdOff_ && holdOff_()) {
        return; // tried again when whatever holds it off ends
    }
    const std::string device = path.toStdString();
    if (device != ComDevicePath(port_.CommPort())) {
        port_.setDevicePath(device);
    }
    reopening_ = true;
    const bool opened = port_.setPortOpen(true);
    reopening_ = false;
    if (!opened) {
        if (serverWait_) {
            retry_.start(serverPauseMs_);
            serverPauseMs_ = std::min(serverPauseMs_ * 2, kLongestServerPauseMs);
        } else {
            retry_.start(kRetryMs);
        }
        return;
    }
    StopWaiting();
    emit reconnected(path);
}

} // namespace quorvane
