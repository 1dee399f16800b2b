#pragma once

#include "ByteList.h"
#include "TextSink.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

// Opens a new frame line in the send view: "  " in an empty view, otherwise
// CR LF and "  ".
void StartSendLine(TextSink& view);

// The text of a frame in a display mode: 0 one character per byte (00 as a
// space), 1 " v" per byte in decimal, 2 upper-case hex joined by single
// spaces. Any other mode renders as empty text.
std::string FrameText(int mode, const ByteList& bytes);

// Appends FrameText(mode, bytes) at the end of the send view, as text that
// shows bytes.
void AppendFrameText(int mode, const ByteList& bytes, TextSink& view);

// Appends the text of received bytes in a display mode to `out`, byte by
// byte: 0 the byte's character (00 adds nothing), 1 a space and the decimal
// value, 2 the hex value and a space. Any other mode adds nothing.
void AppendReceivedBytes(int mode, const std::uint8_t* bytes, std::size_t count, std::string& out);

inline void AppendReceivedByte(int mode, std::uint8_t byte, std::string& out)
{
    AppendReceivedBytes(mode, &byte, 1, out);
}

// The header of a reception: CR LF (unless the view is empty), the time of day
// and "接收：".
std::string ReceiveHeaderText(bool viewEmpty, std::string_view timeOfDay);

} // namespace quorvane
