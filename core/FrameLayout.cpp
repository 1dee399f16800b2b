#include "FrameLayout.h"

#include "ReadNumber.h"

#include <algorithm>
#include <string>

namespace quorvane {

namespace {

// The byte of a template text slot, or nothing when the slot is empty.
// A slot whose reading does not fit a byte makes the layout invalid.
std::optional<std::uint8_t> ReadSlot(const std::string& text, bool& valid)
{
    if (text.empty()) {
        return std::nullopt;
    }
    const auto byte = ReadHexSlot(text);
    if (!byte) {
        valid = false;
        return std::nullopt;
    }
    return *byte;
}

// Position 0 is covered only when it is the start byte and the check runs
// from the frame head; otherwise the header is covered from position 1 on.
std::size_t CoverageStart(const FrameLayout& layout, int fcsStart)
{
    if (fcsStart == 2) {
        return layout.headerLength;
    }
    if (fcsStart == 0 && layout.start) {
        return 0;
    }
    return std::min<std::size_t>(1, layout.headerLength);
}

} // namespace

FrameLayout LayoutOf(const SharedSettings& settings)
{
    const FrameTemplate& t = settings.frame;
    FrameLayout layout;
    layout.start = ReadSlot(t.StartByte, layout.valid);
    layout.slave = ReadSlot(t.SlaveAddr, layout.valid);
    layout.command = ReadSlot(t.CmdByte, layout.valid);
    layout.end = ReadSlot(t.EndByte, layout.valid);
    layout.withCount = t.LenOption == 1;
    layout.headerLength = (layout.start ? 1 : 0) + (layout.slave ? 1 : 0) +
                          (layout.command ? 1 : 0) + (layout.withCount ? 1 : 0);
    if (t.FcsOption == 1) {
        layout.check = &FcsMethodOf(settings.FcsMethod);
    }
    layout.byteOrder = settings.FcsByteOrder;
    layout.coverageStart = CoverageStart(layout, settings.FcsStart);
    return layout;
}

} // namespace quorvane
