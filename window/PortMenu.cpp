#include "PortMenu.h"

#include "MainControls.h"
#include "ReceiveCycle.h"
#include "SendCycle.h"
#include "SerialPort.h"
#include "SessionRecord.h"

#include <QAction>
#include <QMenu>

namespace quorvane {

namespace {

constexpr int kBreakMs = 250;
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

    breakHeld_.setSingleShot(true);
    breakHeld_.setInterval(kBreakMs);
    connect(&breakHeld_, &QTimer::timeout, this, &PortMenu::EndBreak);
    connect(OpenPort, &QAction::triggered, this, &PortMenu::OpenPort_Click);
    connect(DTR, &QAction::toggled, this, &PortMenu::DTR_Toggled);
    connect(RTS, &QAction::toggled, this, &PortMenu::RTS_Toggled);
    connect(SendBreak, &QAction::triggered, this, &PortMenu::SendBreak_Click);
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
    RTS->setEnabled(parts_.main.port().handshaking() != SerialPort::Handshaking::RtsCts);
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

} // namespace quorvane
