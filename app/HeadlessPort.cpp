#include "HeadlessPort.h"

#include "CommandLine.h"
#include "PortPath.h"
#include "SetupFile.h"
#include "NetworkAddress.h"
#include "SerialPort.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

namespace quorvane {

namespace {

constexpr int kExitBadSetup = 2;

bool IsComName(const std::string& port)
{
    return port.size() > 3 &&
           std::equal(
               port.begin(), port.begin() + 3, "COM",
               [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }) &&
           port.find_first_not_of("0123456789", 3) == std::string::npos;
}

// --port COMn chooses the setup's COMn; anything else is a device, by its
// path. A relative path is taken from the working folder, as a shell user
// means it, so the messages and the record show where the device is.
bool ApplyPortOption(const std::string& port, HeadlessSetup& into)
{
    if (IsComName(port)) {
        const int n = port.size() <= 5 ? std::stoi(port.substr(3)) : 0;
        if (n < 1 || n > 16) {
            return false;
        }
        into.setup.Port = n;
        return true;
    }
    if (port.empty()) {
        return false;
    }
    if (IsNetworkPath(port)) {
        // A port server's address is taken as written.
        into.device = port;
        return true;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(port, error);
    if (error) {
        return false;
    }
    into.device = absolute.lexically_normal().string();
    return true;
}

} // namespace

std::optional<int> ReadHeadlessSetup(const std::string& file, const std::string& port,
                                     HeadlessSetup& into, std::ostream& err)
{
    const SetupReading reading = ReadSetupFile(QString::fromLocal8Bit(file.c_str()));
    if (!reading.setup) {
        err << SetupInvalidMessage(reading.problem, file).text << "\n";
        return kExitBadSetup;
    }
    into.setup = *reading.setup;
    if (IsNetworkPath(port) && !ParseNetworkAddress(port)) {
        err << OptionErrorLine("--port 网络端口应为 rfc2217://主机:端口 或 socket://主机:端口: " + port);
        return kExitBadSetup;
    }
    if (!port.empty() && !ApplyPortOption(port, into)) {
        err << OptionErrorLine("--port 应为 COM1-COM16 或设备路径(如 /dev/ttyUSB0): " + port);
        return kExitBadSetup;
    }
    ApplyStartupDefaults(into.settings);
    ApplySharedSettings(into.setup, into.settings);
    return std::nullopt;
}

std::string HeadlessPortName(const HeadlessSetup& read)
{
    return read.device.empty() ? "COM" + std::to_string(read.setup.Port) : read.device;
}

Message HeadlessPortMessage(MessageId id, const HeadlessSetup& read)
{
    return read.device.empty() ? MessageFor(id, read.setup.Port)
                               : DevicePortMessage(id, read.device);
}

std::string OpenedPortDetail(const std::string& name, const SerialPort& port)
{
    const std::string device = port.DevicePath();
    return name + (device == name ? "" : " " + device) + " " + port.Settings();
}

bool OpenHeadlessPort(SerialPort& port, const HeadlessSetup& read, std::ostream& err)
{
    const Setup& setup = read.setup;
    RefreshPortMap();
    if (read.device.empty()) {
        port.setCommPort(setup.Port);
    } else {
        port.setCommPort(0); // no COMn: the device alone
        port.setDevicePath(read.device);
    }
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
            err << HeadlessPortMessage(MessageId::Rs485Refused, read).text << "\n"
                << refusal << "\n";
        }
        // What a port server left unset: told once, as it comes.
        auto tellNote = [&port, &err, told = std::string()]() mutable {
            if (const std::string note = port.LineNote(); !note.empty() && note != told) {
                err << note << "\n" << std::flush;
                told = note;
            }
        };
        tellNote();
        QObject::connect(&port, &SerialPort::lineNoteChanged, &port, tellNote);
        return true;
    }
    err << HeadlessPortMessage(MessageId::PortUnavailable, read).text << "\n";
    if (const std::string why = port.OpenFailureReason(); !why.empty()) {
        err << why << "\n";
    }
    return false;
}

} // namespace quorvane
