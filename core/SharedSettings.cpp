#include "SharedSettings.h"

namespace quorvane {

SharedSettings& Shared()
{
    static SharedSettings instance;
    return instance;
}

void ApplyStartupDefaults(SharedSettings& settings)
{
    settings.frame = FrameTemplate{"00", "", "", 1, 1, "FF"};
    settings.FrameDirty = false;
    settings.opt1 = 0;
    settings.opt2 = 1;
    settings.RcvTimeoutMs = 50;
    settings.RcvMaxChars = 150;
    // Never assigned at start-up; they read as 0 until the frame dialog is confirmed.
    settings.FcsMethod = 0;
    settings.FcsStart = 0;
    settings.PreprocessOn = 0;
    settings.PreprocessKind = 0;
    // Beyond the documented record: nothing new is chosen at start-up.
    settings.FcsByteOrder = FcsHighFirst;
    settings.CheckReply = false;
    settings.ShowMillis = false;
    settings.ContinueAfterTimeout = false;
    settings.TextEncoding = EncodingSingleByte;
    settings.LineBreak = BreakCrLf;
}

} // namespace quorvane
