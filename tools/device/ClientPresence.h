#pragma once

#include "Clock.h"

#include <optional>

namespace quorvane::device {

// Whether a client holds the port open, as far as the pty lets us know. The
// master only reports a hang-up once the last client has closed the port; it
// keeps reporting it until someone reopens it. So while nobody is there the
// device holds the port end itself, which silences the hang-up and lets the
// port be waited on. Only when that fails is the port looked at again every
// probe interval instead.
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
    void OnSlaveHeld() { held_ = true; }
    void OnReturn();
    void OnProbed(TimePoint now) { lastProbe_ = now; }

    bool ProbeDue(TimePoint now) const
    {
        return Away() && !held_ && now >= lastProbe_ + probeInterval;
    }
    // The next probe or the end of the linger time; none while a client may
    // be there, or while the port end is held and the device keeps running.
    std::optional<TimePoint> NextDeadline() const;
    bool ShouldExit(TimePoint now) const;

private:
    std::optional<Milliseconds> linger_;
    std::optional<TimePoint> awaySince_;
    TimePoint lastProbe_{};
    bool held_ = false;
};

} // namespace quorvane::device
