#pragma once

#include "Outcome.h"

#include <QString>

namespace quorvane {

struct SharedSettings;

// A send text's line breaks (typed as line feeds) as the chosen break sends
// them: CR LF, LF or CR.
QString WithLineBreaks(QString text, int lineBreak);

// The data area of a send text in an input format: string text by the chosen
// encoding (one byte per character in the single-byte code page, or its GBK
// or UTF-8 bytes), or a decimal or hex byte string. Fails with the message to
// show, setting the range flags as a rebuild does.
ByteOutcome ParseSendData(const QString& text, int format, const SharedSettings& settings,
                          RangeFlags& flags);

// The whole frame of a send text, as 发 送 builds it: its data area, then the
// frame format around it; under a protocol, the protocol's frame of the
// typed bytes (a failure then says why in `problem`).
ByteOutcome BuildSendFrame(const QString& text, int format, const SharedSettings& settings,
                           RangeFlags& flags);

} // namespace quorvane
