#pragma once

#include "ClientPresence.h"
#include "Clock.h"
#include "LineSettingsWatch.h"
#include "Master.h"
#include "Options.h"
#include "OutgoingStream.h"
#include "PortOpenWatch.h"
#include "PseudoTerminal.h"
#include "ReceiveLog.h"
#include "Responder.h"

#include <array>
#include <cstdint>
#include <optional>

namespace quorvane::device {

// The device's poll loop: reads what clients write to the port, logs it,
// answers through the responder, writes answers as the port takes them, and
// ends on a stop signal or when the client has gone for the linger time,
// and logs the line settings each time a client changes them. It sleeps in
// poll() whenever there is nothing to do, and wakes to the microsecond when
// an answer falls due. As a master it sends while a client has the port
// open: from a moment after the client opens it, or from the moment the
// client sets its line up, whichever comes first.
class VirtualDevice
{
public:
    // How long a client that opened the port is given to set its line up
    // (and flush it, as Quorvane does) before the master's first request.
    static constexpr Milliseconds clientSetUpTime{100};

    VirtualDevice(const Options& options, PseudoTerminal& port, const ReceiveLog& log, int stopFd);

    // Returns when the device should end.
    void Run();
    // As a master: what its requests came to.
    const std::optional<Master>& master() const { return master_; }

private:
    // One pass: waits for the port, the stop pipe or the next deadline and
    // handles what happened. False when the device should end.
    bool Step();
    void WaitForEvents();
    std::optional<TimePoint> NextDeadline() const;
    bool PortWatched() const;
    void ServePort(short events);
    void ReadChunk(bool hungUp);
    void WriteAnswers();
    void ProbeForClient(TimePoint now);
    void OnPortOpened(TimePoint now);
    void DrainWhileAway();
    void OnClientGone();
    void OnClientBack(TimePoint now);
    void ReportSettingsChange(TimePoint now);
    void SendRequestIfDue(TimePoint now);

    PseudoTerminal& port_;
    const ReceiveLog& log_;
    int stopFd_;
    Responder responder_;
    ClientPresence presence_;
    LineSettingsWatch settingsWatch_;
    PortOpenWatch openings_;
    std::optional<Master> master_;
    OutgoingStream outgoing_;
    std::array<std::uint8_t, 4096> readBuffer_{};
    std::array<std::uint8_t, 4096> writeBuffer_{};
    bool stopRequested_ = false;
};

} // namespace quorvane::device
