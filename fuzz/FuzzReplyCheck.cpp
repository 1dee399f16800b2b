// Feeds arbitrary receptions, cut into arbitrary pieces, through the reply
// check under arbitrary templates, and checks what every verdict must satisfy.
#include "ReplyChecker.h"

#include <cstdlib>
#include <string>

using namespace quorvane;

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// One setting from the front of the input.
int Take(const std::uint8_t*& data, std::size_t& size, int modulo)
{
    if (size == 0) {
        return 0;
    }
    --size;
    return *data++ % modulo;
}

std::string Slot(int pick)
{
    static const char* const slots[] = {"", "00", "68", "FF", "01", "16"};
    return slots[pick % 6];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SharedSettings s;
    s.frame = FrameTemplate{Slot(Take(data, size, 6)), Slot(Take(data, size, 6)),
                            Slot(Take(data, size, 6)), Take(data, size, 3),
                            Take(data, size, 3),       Slot(Take(data, size, 6))};
    s.FcsMethod = Take(data, size, FcsMethodCount + 2) - 1;
    s.FcsByteOrder = Take(data, size, 3);
    s.FcsStart = Take(data, size, 4);
    const std::size_t piece = static_cast<std::size_t>(Take(data, size, 7)) + 1;
    const ByteList reception(data, data + size);

    const ReplyCheckResult whole = CheckReply(reception, s);
    ReplyChecker pieces(s);
    for (std::size_t at = 0; at < reception.size(); at += piece) {
        pieces.Add(std::span(reception).subspan(at, std::min(piece, reception.size() - at)));
    }
    const ReplyCheckResult cut = pieces.Finish();
    const std::string text = ReplyCheckText(whole);
    Check(cut.verdict == whole.verdict && ReplyCheckText(cut) == text);
    Check(text.size() > 3 && text.rfind(" [", 0) == 0 && text.back() == ']');

    const std::size_t width = s.frame.FcsOption == 1 ? FcsMethodOf(s.FcsMethod).width : 0;
    if (whole.verdict == ReplyVerdict::WrongCheck) {
        Check(whole.expected.size() == width && whole.received.size() == width);
        Check(whole.expected != whole.received);
    }
    // A right reply turns wrong when any byte of its check field changes.
    if (whole.Correct() && width > 0) {
        const std::size_t checkAt = reception.size() - width - (s.frame.EndByte.empty() ? 0 : 1);
        for (std::size_t i = 0; i < width; ++i) {
            ByteList spoiled = reception;
            spoiled[checkAt + i] ^= 0x01;
            Check(CheckReply(spoiled, s).verdict == ReplyVerdict::WrongCheck);
        }
    }
    return 0;
}
