#include "ClientPresence.h"

#include <algorithm>

namespace quorvane::device {

void ClientPresence::OnHangUp(TimePoint now)
{
    if (!awaySince_) {
        awaySince_ = now;
    }
    lastProbe_ = now;
}

void ClientPresence::OnReturn()
{
    awaySince_.reset();
    woken_ = false;
}

std::optional<TimePoint> ClientPresence::NextDeadline() const
{
    if (!awaySince_) {
        return std::nullopt;
    }
    std::optional<TimePoint> lingerEnd;
    if (linger_) {
        lingerEnd = *awaySince_ + *linger_;
    }
    if (woken_) {
        return lingerEnd;
    }
    const TimePoint nextProbe = lastProbe_ + probeInterval;
    return lingerEnd ? std::min(nextProbe, *lingerEnd) : nextProbe;
}

bool ClientPresence::ShouldExit(TimePoint now) const
{
    return awaySince_ && linger_ && now >= *awaySince_ + *linger_;
}

} // namespace quorvane::device
