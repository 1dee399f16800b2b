#include "Rs485Notice.h"

#include "MessageSeam.h"
#include "SerialPort.h"

#include <QTimer>

namespace quorvane {

Rs485Notice::Rs485Notice(SerialPort& port, QObject* parent) : QObject(parent), port_(port)
{
    connect(&port_, &SerialPort::openChanged, this, &Rs485Notice::PortOpenChanged);
}

void Rs485Notice::PortOpenChanged(bool open)
{
    if (!open || port_.Rs485Refusal().empty() || told_) {
        return;
    }
    told_ = true;
    // Told from the event loop, not from inside the opening's caller.
    QTimer::singleShot(0, this, [this] {
        Message message = MessageFor(MessageId::Rs485Refused, port_.CommPort());
        message.detail = port_.Rs485Refusal();
        MessageSeam::instance().show(message);
    });
}

} // namespace quorvane
