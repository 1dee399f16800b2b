#pragma once

#include "ByteList.h"
#include "Rs485.h"

#include <QObject>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvane {

// The serial-port component the windows talk to: configured while closed,
// opened by the send cycle, and raising OnComm on the window's thread for
// every received chunk (CommEvent 2) and every break (CommEvent 1001).
class SerialPort : public QObject {
    Q_OBJECT
public:
    static constexpr int comEvReceive = 2;
    static constexpr int comEventBreak = 1001;

    enum class InputModes { Text, Binary };
    // Flow control, used at the next opening: none, RTS/CTS (CRTSCTS) or
    // XON/XOFF (IXON | IXOFF).
    enum class Handshaking { None, RtsCts, XonXoff };
    // The four input lines of the modem; `known` is false on a port that has
    // none (a pseudo-terminal).
    struct ModemLines {
        bool known = false;
        bool cts = false;
        bool dsr = false;
        bool dcd = false;
        bool ri = false;
        bool operator==(const ModemLines&) const = default;
    };

    explicit SerialPort(QObject* parent = nullptr) : QObject(parent) {}
    ~SerialPort() override = default;

    virtual int CommPort() const = 0;
    // 1 = COM1; used at the next opening. 0 with setDevicePath: a port that is
    // that device alone, no COMn (`quorvane --port /dev/ttyUSB0`).
    virtual void setCommPort(int port) = 0;
    virtual std::string Settings() const = 0;
    virtual void setSettings(const std::string& settings) = 0; // "9600,n,8,1"
    virtual void setInputMode(InputModes mode) = 0;
    virtual void setRThreshold(int threshold) = 0;
    virtual void setInputLen(int length) = 0;
    // 0 discards the frames that have not started to go out; the frame on
    // the wire finishes.
    virtual void setOutBufferCount(int count) = 0;
    virtual void setInBufferCount(int count) = 0; // 0 discards bytes waiting to be read
    // Bytes handed to Output that still wait in the program: the driver has
    // not taken them yet.
    virtual std::size_t OutBufferCount() const = 0;

    virtual bool PortOpen() const = 0;
    // Opening fails (returns false, nothing held) when the device is missing,
    // not a serial terminal, held by another opener, or cannot take the
    // settings. Closing discards the bytes waiting to go out.
    virtual bool setPortOpen(bool open) = 0;

    // Queues one frame for writing; never blocks. False when the port cannot
    // take it (closed, or the device is hanging up): nothing was written.
    virtual bool Output(const ByteList& bytes) = 0;
    // Every byte received and not yet read, oldest first; consumes them.
    virtual ByteList Input() = 0;
    // The code of the event being raised: 2 bytes received, 1001 break.
    virtual int CommEvent() const = 0;
    // While held, nothing more is read from the device: what it sends waits in
    // the driver, and then at the device, until reading goes on. Nothing is lost.
    virtual void setInputHeld(bool held) = 0;

    // Beyond the documented component: flow control, the two output lines
    // (asserted at opening; switched at once on an open port), the four input
    // lines, a break held on the line, the rate the driver set.
    virtual void setHandshaking(Handshaking handshaking) { (void)handshaking; }
    virtual Handshaking handshaking() const { return Handshaking::None; }
    virtual void setDTREnable(bool on) { (void)on; }
    virtual bool DTREnable() const { return true; }
    virtual void setRTSEnable(bool on) { (void)on; }
    virtual bool RTSEnable() const { return true; }
    virtual ModemLines modemLines() const { return {}; }
    // The lines as last read in the background: at hand at once, for a panel
    // that must never wait on the device.
    virtual ModemLines lastModemLines() const { return modemLines(); }
    // Holds the line in break (true) or lets it go (false); false when the
    // port is closed or cannot carry a break.
    virtual bool setBreak(bool on)
    {
        (void)on;
        return false;
    }
    // The baud rate the driver set at the last opening (0 while closed).
    virtual unsigned BaudRate() const { return 0; }
    // Monotonic times (steady clock): when the last byte of the latest frame
    // was handed to the driver (none while it is still on its way), and when
    // the bytes of the event being raised were read from the device.
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual TimePoint LastFrameHandedOver() const { return lastOut_; }
    virtual TimePoint LastReadAt() const { return std::chrono::steady_clock::now(); }
    // Every frame Output takes has a number (from 1, counting on across
    // openings). When its last byte went to the driver is kept for the last
    // kHandOversKept frames, so an answer is timed from the frame it answers
    // however many frames followed it; a frame still on its way, or dropped
    // before it started, has no time.
    static constexpr std::size_t kHandOversKept = 1024;
    std::uint64_t LastOutputNumber() const { return outputs_; }
    virtual std::optional<TimePoint> HandedOverAt(std::uint64_t frame) const;
    // Closing lets the frame on the wire finish in the background; true until
    // it has (or its time is up).
    virtual bool Draining() const { return false; }
    // Why the last opening failed, for the port message's second line
    // (UTF-8); empty when it is not known.
    virtual std::string OpenFailureReason() const { return {}; }
    // The device the port has open, or opens next: empty for the one
    // ComDevicePath(CommPort()) names. setDevicePath opens another path for
    // the same COMn (the by-id link of an adapter that came back under
    // another kernel name) until the next setCommPort.
    virtual std::string DevicePath() const { return {}; }
    virtual void setDevicePath(const std::string& path) { (void)path; }
    // RS-485 direction control, asked of the driver at the next opening. A
    // driver without it (a pseudo-terminal) refuses it and the port opens
    // without it: Rs485Refusal() says why (UTF-8) until the next opening.
    // Rs485Held() is what the driver holds, read back, while open.
    virtual void setRs485(const Rs485Settings& settings) { (void)settings; }
    virtual Rs485Settings rs485() const { return {}; }
    virtual std::string Rs485Refusal() const { return {}; }
    virtual std::optional<Rs485Settings> Rs485Held() const { return std::nullopt; }
    // How many bytes of what the last Input() returned came with a parity or
    // framing error (marked by the driver); they are shown, and counted.
    virtual std::size_t FlawedInInput() const { return 0; }
    // All such bytes since the port last opened.
    virtual std::uint64_t FlawedSinceOpen() const { return 0; }
    // The framing the open line has, as far as the port knows it ("9600,n,8,1",
    // the rate as asked for; BaudRate() tells the rate made): empty when the
    // port cannot set the line at all (a raw network pipe).
    virtual std::string SettingsInForce() const { return Settings(); }
    // What the open line could not be given, for a note (UTF-8): settings a
    // port server did not confirm, or a pipe that carries none. Empty when
    // everything was; lineNoteChanged() when it changes.
    virtual std::string LineNote() const { return {}; }

protected:
    // Numbers the frame Output is taking now.
    std::uint64_t NumberNextOutput() { return ++outputs_; }
    // The frame's last byte went to the driver at `at`.
    void NoteHandedOver(std::uint64_t frame, TimePoint at);

    TimePoint lastOut_{};

private:
    struct HandOver {
        std::uint64_t frame = 0;
        TimePoint at{};
    };
    std::uint64_t outputs_ = 0;
    std::array<HandOver, kHandOversKept> handOvers_{};

signals:
    // One per event, on the thread that owns the port.
    void OnComm();
    // The device went away (hang-up); the port has closed itself.
    void closedByHangUp();
    // The port was opened or closed, by anyone, for any reason.
    void openChanged(bool open);
    // A closed port has finished sending its last frame (Draining() false).
    void drained();
    // LineNote() changed.
    void lineNoteChanged();
};

} // namespace quorvane
