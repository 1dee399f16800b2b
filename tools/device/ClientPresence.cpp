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
}

std::optional<TimePoint> ClientPresence::NextDeadline() const
{
    if (!awaySince_) {
        return std::nullopt;
    }
    const TimePoint nextProbe = lastProbe_ + probeInterval;
    if (!linger_) {
        return nextProbe;
    }
    return std::min(nextProbe, *awaySince_ + *linger_);
}

bool ClientPresence::ShouldExit(TimePoint now) const
{
    return awaySince_ && linger_ && now >= *awaySince_ + *linger_;
}

} // namespace quorvane::device
