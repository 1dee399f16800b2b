#include "Setup.h"

namespace quorvane {

namespace {

// Every field a setup shares with the settings record, as (setup field,
// record field) pairs: a field added here goes both ways.
template <typename SetupRecord, typename Settings, typename Pass>
void EachSharedField(SetupRecord& s, Settings& r, Pass pass)
{
    pass(s.StartByte, r.frame.StartByte);
    pass(s.SlaveAddr, r.frame.SlaveAddr);
    pass(s.CmdByte, r.frame.CmdByte);
    pass(s.EndByte, r.frame.EndByte);
    pass(s.LenOption, r.frame.LenOption);
    pass(s.FcsOption, r.frame.FcsOption);
    pass(s.FcsMethod, r.FcsMethod);
    pass(s.FcsStart, r.FcsStart);
    pass(s.FcsByteOrder, r.FcsByteOrder);
    pass(s.PreprocessOn, r.PreprocessOn);
    pass(s.PreprocessKind, r.PreprocessKind);
    pass(s.RcvTimeoutMs, r.RcvTimeoutMs);
    pass(s.RcvMaxChars, r.RcvMaxChars);
    pass(s.CheckReply, r.CheckReply);
    pass(s.ShowMillis, r.ShowMillis);
    pass(s.ContinueAfterTimeout, r.ContinueAfterTimeout);
    pass(s.opt1, r.opt1);
    pass(s.opt2, r.opt2);
    pass(s.TextEncoding, r.TextEncoding);
    pass(s.LineBreak, r.LineBreak);
    pass(s.Protocol, r.protocol);
}

} // namespace

void CollectSharedSettings(const SharedSettings& from, Setup& into)
{
    EachSharedField(into, from, [](auto& field, const auto& value) { field = value; });
}

void ApplySharedSettings(const Setup& from, SharedSettings& into)
{
    EachSharedField(from, into, [](const auto& value, auto& field) { field = value; });
    // The built frame no longer matches its template.
    into.FrameDirty = true;
}

} // namespace quorvane
