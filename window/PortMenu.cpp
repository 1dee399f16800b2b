#include "PortMenu.h"

#include "LatencyTimer.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "PortPath.h"
#include "ReceiveCycle.h"
#include "SendCycle.h"
#include "SerialPort.h"
#include "SessionRecord.h"

#include <QAction>
#include <QMenu>

#include <cstring>

namespace quorvane {

namespace {

constexpr int kBreakMs = 250;
constexpr int kPulseMs = 100;
const QString kPortOpen = QStringLiteral("串口状态：打开");

QAction* MakeItem(QMenu* menu, const QString& caption, const QString& name)
{
    auto* item = new QAction(caption, menu);
    item->setObjectName(name);
    return item;
}

} // namespace

PortMenu::PortMenu(Parts parts, QMenu* menu, QAction* close) : QObject(menu), parts_(parts)
{
    OpenPort = MakeItem(menu, QStringLiteral("打开串口"), QStringLiteral("OpenPort"));
    menu->insertAction(close, OpenPort);
    DTR = MakeItem(menu, QStringLiteral("DTR"), QStringLiteral("DTR"));
    RTS = MakeItem(menu, QStringLiteral("RTS"), QStringLiteral("RTS"));
    // The lines a port asserts when it opens on Linux.
    for (QAction* line : {DTR, RTS}) {
        line->setCheckable(true);
        line->setChecked(true);
        menu->addAction(line);
    }
    SendBreak = MakeItem(menu, QStringLiteral("发送Break"), QStringLiteral("SendBreak"));
    menu->addAction(SendBreak);
    DtrPulse = MakeItem(menu, QStringLiteral("DTR 脉冲"), QStringLiteral("DtrPulse"));
    RtsPulse = MakeItem(menu, QStringLiteral("RTS 脉冲"), QStringLiteral("RtsPulse"));
    Reconnect = MakeItem(menu, QStringLiteral("断线自动重连"), QStringLiteral("Reconnect"));
    Reconnect->setCheckable(true);
    Reconnect->setChecked(true);
    LowLatency = MakeItem(menu, QStringLiteral("低延迟模式"), QStringLiteral("LowLatency"));
    for (QAction* item : {DtrPulse, RtsPulse, Reconnect, LowLatency}) {
        menu->addAction(item);
    }

    breakHeld_.setSingleShot(true);
    breakHeld_.setInterval(kBreakMs);
    connect(&breakHeld_, &QTimer::timeout, this, &PortMenu::EndBreak);
    connect(OpenPort, &QAction::triggered, this, &PortMenu::OpenPort_Click);
    connect(DTR, &QAction::toggled, this, &PortMenu::DTR_Toggled);
    connect(RTS, &QAction::toggled, this, &PortMenu::RTS_Toggled);
    connect(SendBreak, &QAction::triggered, this, &PortMenu::SendBreak_Click);
    pulseHeld_.setSingleShot(true);
    pulseHeld_.setInterval(kPulseMs);
    connect(&pulseHeld_, &QTimer::timeout, this, &PortMenu::EndPulse);
    connect(DtrPulse, &QAction::triggered, this, [this] { Pulse_Click(Line::Dtr); });
    connect(RtsPulse, &QAction::triggered, this, [this] { Pulse_Click(Line::Rts); });
    connect(LowLatency, &QAction::triggered, this, &PortMenu::LowLatency_Click);
}

// Opens the port as a frame written does and starts a reception without
// writing a byte or arming the time-out: a board that prints by itself can
// be watched.
void PortMenu::OpenPort_Click()
{
    if (!parts_.send.OpenPortForUse()) {
        return;
    }
    parts_.main.setPortStatus(kPortOpen);
    parts_.receive.Listen();
}

void PortMenu::DTR_Toggled(bool on)
{
    parts_.main.port().setDTREnable(on);
}

void PortMenu::RTS_Toggled(bool on)
{
    parts_.main.port().setRTSEnable(on);
}

void PortMenu::PortSettingsApplied()
{
    const SerialPort& port = parts_.main.port();
    RTS->setEnabled(port.handshaking() != SerialPort::Handshaking::RtsCts && !port.rs485().enabled);
    EnablePulses();
}

// Under RTS/CTS or RS-485 the driver owns RTS, so there is no RTS pulse to give.
void PortMenu::EnablePulses()
{
    const bool idle = !pulseHeld_.isActive();
    DtrPulse->setEnabled(idle);
    RtsPulse->setEnabled(idle && RTS->isEnabled());
}

// Opens the port as a frame written does, inverts the line for a moment and
// puts it back; the menu items keep what the user set.
void PortMenu::Pulse_Click(Line line)
{
    if (pulseHeld_.isActive() || !parts_.send.OpenPortForUse()) {
        return;
    }
    parts_.main.setPortStatus(kPortOpen);
    pulsed_ = line;
    SwitchPulsed();
    parts_.record.note(RecordEvent::LinePulse, {},
                       std::string(line == Line::Dtr ? "DTR" : "RTS") + " " +
                           std::to_string(kPulseMs) + "ms");
    pulseHeld_.start();
    EnablePulses();
}

void PortMenu::SwitchPulsed()
{
    SerialPort& port = parts_.main.port();
    if (pulsed_ == Line::Dtr) {
        port.setDTREnable(!port.DTREnable());
    } else {
        port.setRTSEnable(!port.RTSEnable());
    }
}

// Back to what the menu item says, which the user may have switched while
// the pulse held the line.
void PortMenu::EndPulse()
{
    SerialPort& port = parts_.main.port();
    if (pulsed_ == Line::Dtr) {
        port.setDTREnable(DTR->isChecked());
    } else {
        port.setRTSEnable(RTS->isChecked());
    }
    EnablePulses();
}

// Holds the line in break for a quarter of a second; the window never waits.
void PortMenu::SendBreak_Click()
{
    if (breakHeld_.isActive() || !parts_.send.OpenPortForUse()) {
        return;
    }
    parts_.main.setPortStatus(kPortOpen);
    if (parts_.main.port().setBreak(true)) {
        parts_.record.note(RecordEvent::BreakSent);
        SendBreak->setEnabled(false);
        breakHeld_.start();
    }
}

void PortMenu::EndBreak()
{
    parts_.main.port().setBreak(false);
    SendBreak->setEnabled(true);
}

void PortMenu::LowLatency_Click()
{
    const SerialPort& port = parts_.main.port();
    const std::string path = port.DevicePath();
    const std::string device = path.empty() ? ComDevicePath(port.CommPort()) : path;
    using Outcome = LatencyTimer::Lowering::Outcome;
    const LatencyTimer::Lowering lowering = LatencyTimer(CurrentSystemFolders()).LowerToOne(device);
    switch (lowering.outcome) {
    case Outcome::Lowered:
        emit latencyLowered();
        return;
    case Outcome::NoTimer:
        MessageSeam::instance().show(MessageId::LatencyTimerMissing);
        return;
    case Outcome::Denied:
        MessageSeam::instance().show(MessageId::LatencyTimerDenied);
        return;
    case Outcome::Failed:
        break;
    }
    Message message = MessageFor(MessageId::LatencyTimerFailed);
    message.detail = std::strerror(lowering.error);
    MessageSeam::instance().show(message);
}

} // namespace quorvane
