#include "HeadlessPort.h"

#include "Messages.h"
#include "PortPath.h"
#include "SetupFile.h"
#include "TermiosPort.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <ostream>

namespace quorvane {

namespace {

constexpr int kExitBadSetup = 2;

bool ApplyPortOption(const std::string& port, Setup& setup)
{
    if (port.size() > 3 && port.size() <= 5 &&
        (port.compare(0, 3, "COM") == 0 || port.compare(0, 3, "com") == 0) &&
        port.find_first_not_of("0123456789", 3) == std::string::npos) {
        const int n = std::stoi(port.substr(3));
        if (n < 1 || n > 16) {
            return false;
        }
        setup.Port = n;
        return true;
    }
    if (port.empty() || port.front() != '/') {
        return false;
    }
    qputenv(("QUORVANE_COM" + std::to_string(setup.Port)).c_str(), QByteArray::fromStdString(port));
    return true;
}

} // namespace

std::optional<int> ReadHeadlessSetup(const std::string& file, const std::string& port,
                                     HeadlessSetup& into, std::ostream& err)
{
    const SetupReading reading = ReadSetupFile(QString::fromLocal8Bit(file.c_str()));
    if (!reading.setup) {
        err << SetupInvalidMessage(reading.problem).text << "\n";
        return kExitBadSetup;
    }
    into.setup = *reading.setup;
    if (!port.empty() && !ApplyPortOption(port, into.setup)) {
        err << "quorvane: --port takes COM1 to COM16 or a device path such as /dev/ttyUSB0\n";
        return kExitBadSetup;
    }
    ApplyStartupDefaults(into.settings);
    ApplySharedSettings(into.setup, into.settings);
    return std::nullopt;
}

bool OpenHeadlessPort(TermiosPort& port, const Setup& setup, std::ostream& err)
{
    RefreshPortMap();
    port.setCommPort(setup.Port);
    port.setSettings(std::to_string(setup.BaudRate) + "," + std::string(1, setup.Parity) + "," +
                     std::to_string(setup.DataBits) + "," + setup.StopBits);
    static const SerialPort::Handshaking flows[] = {SerialPort::Handshaking::None,
                                                    SerialPort::Handshaking::RtsCts,
                                                    SerialPort::Handshaking::XonXoff};
    port.setHandshaking(flows[std::clamp(setup.Handshaking, 0, 2)]);
    port.setDTREnable(setup.Dtr);
    port.setRTSEnable(setup.Rts);
    port.setInputMode(SerialPort::InputModes::Binary);
    port.setRs485({setup.Rs485, setup.Rs485RtsHigh, setup.Rs485BeforeMs, setup.Rs485AfterMs});
    if (port.setPortOpen(true)) {
        // A driver without direction control: the run goes on without it, as
        // the window does, and says so once.
        if (const std::string refusal = port.Rs485Refusal(); !refusal.empty()) {
            err << MessageFor(MessageId::Rs485Refused, port.CommPort()).text << "\n"
                << refusal << "\n";
        }
        return true;
    }
    err << MessageFor(MessageId::PortUnavailable, port.CommPort()).text << "\n";
    if (const std::string why = port.OpenFailureReason(); !why.empty()) {
        err << why << "\n";
    }
    return false;
}

} // namespace quorvane
