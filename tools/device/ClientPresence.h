#pragma once

#include "Clock.h"

#include <optional>

namespace quorvane::device {

// Whether a client holds the port open, as far as the pty lets us know. The
// master only reports a hang-up once the last client has closed the port; it
// keeps reporting it until someone reopens it. So while nobody is there the
// device waits for the port to be opened (PortOpenWatch) and then looks, or
// else holds the port end itself, which silences the hang-up and lets the
// port be waited on. Only when neither works is the port looked at again
// every probe interval instead.
class ClientPresence
{
public:
    static constexpr Milliseconds probeInterval{50};

    // `linger`: how long the port may stay closed after a client left before
    // the device ends; none to keep running while clients come and go.
    explicit ClientPresence(std::optional<Milliseconds> linger) : linger_(linger) {}

    // True from the last client closing the port until one reopens it.
    bool Away() const { return awaySince_.has_value(); }

    void OnHangUp(TimePoint now);
    // The device holds the port end while the client is away: no probing.
    void OnSlaveHeld() { woken_ = true; }
    // The device is woken when the port is opened: no probing either.
    void OnOpeningsWatched() { woken_ = true; }
    void OnReturn();
    void OnProbed(TimePoint now) { lastProbe_ = now; }

    bool ProbeDue(TimePoint now) const
    {
        return Away() && !woken_ && now >= lastProbe_ + probeInterval;
    }
    // The next probe or the end of the linger time; none while a client may
    // be there, or while its return wakes the device and the device keeps
    // running.
    std::optional<TimePoint> NextDeadline() const;
    bool ShouldExit(TimePoint now) const;

private:
    std::optional<Milliseconds> linger_;
    std::optional<TimePoint> awaySince_;
    TimePoint lastProbe_{};
    bool woken_ = false; // the client's return wakes the device: no probing
};

} // namespace quorvane::device
