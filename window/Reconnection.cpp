#include "Reconnection.h"

#include "LineEngine.h"
#include "LinePanel.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "ReceiveCycle.h"
#include "SerialPort.h"
#include "SessionRecord.h"

#include <QAction>

namespace quorvane {

namespace {

const QString kPortOpen = QStringLiteral("串口状态：打开");

} // namespace

Reconnection::Reconnection(Parts parts, QObject* parent)
    : QObject(parent), parts_(parts), reconnector_(parts.main.port())
{
    reconnector_.setHoldOff([] { return MessageSeam::instance().isOpen(); });
    connect(&reconnector_, &Reconnector::reconnected, this, &Reconnection::Reconnected);
    connect(&MessageSeam::instance(), &MessageSeam::closed, &reconnector_,
            &Reconnector::RetryIfThere);
    connect(&parts_.item, &QAction::toggled, this, [this](bool on) {
        if (!on) {
            Cancel();
        }
    });
}

std::string Reconnection::PortName() const
{
    return "COM" + std::to_string(reconnector_.comPort());
}

void Reconnection::PortLost()
{
    parts_.record.note(RecordEvent::PortLost, {}, PortName());
    parts_.panel.showLink(LinePanel::Link::Lost);
    if (!parts_.item.isChecked() || !reconnector_.canWait()) {
        return;
    }
    parts_.panel.showLink(LinePanel::Link::Waiting);
    parts_.record.note(RecordEvent::Reconnecting, {}, PortName() + " " + reconnector_.device());
    reconnector_.Wait();
}

void Reconnection::Cancel()
{
    if (!waiting()) {
        return;
    }
    reconnector_.Cancel();
    parts_.panel.showLink(LinePanel::Link::Lost);
}

void Reconnection::PortChosen(int comPort)
{
    if (comPort != reconnector_.comPort()) {
        Cancel();
    }
}

void Reconnection::Reconnected(const QString& device)
{
    parts_.main.setPortStatus(kPortOpen);
    if (parts_.engine.listening()) {
        parts_.receive.Listen();
    }
    parts_.record.note(RecordEvent::Reconnected, {}, PortName() + " " + device.toStdString());
    parts_.panel.showLink(LinePanel::Link::Reconnected);
}

} // namespace quorvane
