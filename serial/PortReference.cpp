#include "PortReference.h"

namespace quorvane {

SerialPort*& SharedPort()
{
    static SerialPort* port = nullptr;
    return port;
}

} // namespace quorvane
