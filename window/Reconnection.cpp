#include "Reconnection.h"

#include "LineEngine.h"
#include "LinePanel.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "PortPath.h"
#include "ReceiveCycle.h"
#include "SerialPort.h"
#include "SessionRecord.h"

#include <QAction>

namespace quorvane {

namespace {

const QString kPortOpen = QStringLiteral("串口状态：打开");
// A device that is there but does not open yet (udev still setting its
// permissions, ModemManager probing it) is tried again this often.
constexpr int kRetryMs = 200;

std::string PathOf(const SerialPort& port)
{
    const std::string path = port.DevicePath();
    return path.empty() ? ComDevicePath(port.CommPort()) : path;
}

} // namespace

Reconnection::Reconnection(Parts parts, QObject* parent) : QObject(parent), parts_(parts)
{
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &Reconnection::RetryIfThere);
    connect(&watch_, &DeviceWatch::present, this, &Reconnection::TryReopen);
    connect(&parts_.main.port(), &SerialPort::openChanged, this, &Reconnection::PortOpenChanged);
    connect(&MessageSeam::instance(), &MessageSeam::closed, this, &Reconnection::RetryIfThere);
    connect(&parts_.item, &QAction::toggled, this, [this](bool on) {
        if (!on) {
            Cancel();
        }
    });
}

std::string Reconnection::PortName() const
{
    return "COM" + std::to_string(identityPort_);
}

// The identity is taken while the device is there: once it has gone, its
// by-id link has gone with it.
void Reconnection::PortOpenChanged(bool open)
{
    if (!open) {
        return;
    }
    const SerialPort& port = parts_.main.port();
    identity_ = IdentifyDevice(PathOf(port), CurrentSystemFolders());
    identityPort_ = port.CommPort();
    if (!reopening_) {
        StopWaiting(); // opened by a frame or by 打开串口: nothing to wait for
    }
}

void Reconnection::PortLost()
{
    parts_.record.note(RecordEvent::PortLost, {}, PortName());
    parts_.panel.showLink(LinePanel::Link::Lost);
    if (!parts_.item.isChecked() || identity_.path.empty()) {
        return;
    }
    parts_.panel.showLink(LinePanel::Link::Waiting);
    parts_.record.note(RecordEvent::Reconnecting, {},
                       PortName() + " " + (identity_.byId.empty() ? identity_.path : identity_.byId));
    watch_.watch(identity_);
}

void Reconnection::Cancel()
{
    if (!waiting()) {
        return;
    }
    StopWaiting();
    parts_.panel.showLink(LinePanel::Link::Lost);
}

void Reconnection::PortChosen(int comPort)
{
    if (comPort != identityPort_) {
        Cancel();
    }
}

void Reconnection::StopWaiting()
{
    watch_.stop();
    retry_.stop();
}

void Reconnection::RetryIfThere()
{
    if (!waiting()) {
        return;
    }
    const std::string path = identity_.presentPath();
    if (!path.empty()) {
        TryReopen(QString::fromStdString(path));
    }
}

// The same settings: the port kept them; only the path may be the by-id
// link of an adapter that came back under another kernel name.
void Reconnection::TryReopen(const QString& path)
{
    SerialPort& port = parts_.main.port();
    if (!waiting() || port.PortOpen()) {
        StopWaiting();
        return;
    }
    if (MessageSeam::instance().isOpen()) {
        return; // tried again when the box closes
    }
    const std::string device = path.toStdString();
    if (device != ComDevicePath(port.CommPort())) {
        port.setDevicePath(device);
    }
    reopening_ = true;
    const bool opened = port.setPortOpen(true);
    reopening_ = false;
    if (!opened) {
        retry_.start();
        return;
    }
    StopWaiting();
    parts_.main.setPortStatus(kPortOpen);
    if (parts_.engine.listening()) {
        parts_.receive.Listen();
    }
    parts_.record.note(RecordEvent::Reconnected, {}, PortName() + " " + device);
    parts_.panel.showLink(LinePanel::Link::Reconnected);
}

} // namespace quorvane
