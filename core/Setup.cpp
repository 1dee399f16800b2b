#include "Setup.h"

namespace quorvane {

void CollectSharedSettings(const SharedSettings& from, Setup& into)
{
    into.StartByte = from.frame.StartByte;
    into.SlaveAddr = from.frame.SlaveAddr;
    into.CmdByte = from.frame.CmdByte;
    into.EndByte = from.frame.EndByte;
    into.LenOption = from.frame.LenOption;
    into.FcsOption = from.frame.FcsOption;
    into.FcsMethod = from.FcsMethod;
    into.FcsStart = from.FcsStart;
    into.FcsByteOrder = from.FcsByteOrder;
    into.PreprocessOn = from.PreprocessOn;
    into.PreprocessKind = from.PreprocessKind;
    into.RcvTimeoutMs = from.RcvTimeoutMs;
    into.RcvMaxChars = from.RcvMaxChars;
    into.CheckReply = from.CheckReply;
    into.ShowMillis = from.ShowMillis;
    into.opt1 = from.opt1;
    into.opt2 = from.opt2;
    into.TextEncoding = from.TextEncoding;
    into.LineBreak = from.LineBreak;
}

void ApplySharedSettings(const Setup& from, SharedSettings& into)
{
    into.frame.StartByte = from.StartByte;
    into.frame.SlaveAddr = from.SlaveAddr;
    into.frame.CmdByte = from.CmdByte;
    into.frame.EndByte = from.EndByte;
    into.frame.LenOption = from.LenOption;
    into.frame.FcsOption = from.FcsOption;
    into.FcsMethod = from.FcsMethod;
    into.FcsStart = from.FcsStart;
    into.FcsByteOrder = from.FcsByteOrder;
    into.PreprocessOn = from.PreprocessOn;
    into.PreprocessKind = from.PreprocessKind;
    into.RcvTimeoutMs = from.RcvTimeoutMs;
    into.RcvMaxChars = from.RcvMaxChars;
    into.CheckReply = from.CheckReply;
    into.ShowMillis = from.ShowMillis;
    into.opt1 = from.opt1;
    into.opt2 = from.opt2;
    into.TextEncoding = from.TextEncoding;
    into.LineBreak = from.LineBreak;
    // The built frame no longer matches its template.
    into.FrameDirty = true;
}

} // namespace quorvane
