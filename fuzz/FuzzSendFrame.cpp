// Feeds arbitrary send text and settings through parsing and frame building,
// and checks what every frame must satisfy.
#include "FcsAccumulator.h"
#include "FrameBuilder.h"
#include "ReplyChecker.h"
#include "SendTextParser.h"

#include <cstdlib>
#include <string>

using namespace quorvane;

namespace {

std::string TakeSlot(const std::uint8_t*& data, std::size_t& size)
{
    static const char* const slots[] = {"", "00", "68", "FF", "0FF", " 1 6", "100", "zz"};
    if (size == 0) {
        return "";
    }
    const std::uint8_t pick = *data++;
    --size;
    return slots[pick % 8];
}

int TakeSmall(const std::uint8_t*& data, std::size_t& size, int modulo)
{
    if (size == 0) {
        return 0;
    }
    const int v = *data++ % modulo;
    --size;
    return v - 1; // lets -1 through as an unusual stored value
}

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SharedSettings s;
    s.frame.StartByte = TakeSlot(data, size);
    s.frame.SlaveAddr = TakeSlot(data, size);
    s.frame.CmdByte = TakeSlot(data, size);
    s.frame.EndByte = TakeSlot(data, size);
    s.frame.LenOption = TakeSmall(data, size, 4);
    s.frame.FcsOption = TakeSmall(data, size, 4);
    s.FcsMethod = TakeSmall(data, size, FcsMethodCount + 3);
    s.FcsByteOrder = TakeSmall(data, size, 4);
    s.FcsStart = TakeSmall(data, size, 5);
    s.PreprocessOn = TakeSmall(data, size, 4);
    s.PreprocessKind = TakeSmall(data, size, 4);
    s.opt2 = TakeSmall(data, size, 5);

    const std::string text(reinterpret_cast<const char*>(data), size);
    RangeFlags flags;
    const ByteOutcome parsed = ParseSendText(text, s, flags);
    if (!parsed.ok) {
        return 0;
    }
    Check(!parsed.bytes.empty());
    const ByteOutcome built = BuildFrame(parsed.bytes, s);
    const std::size_t n = parsed.bytes.size();
    if (!built.ok) {
        Check(built.message == MessageId::ByteRange);
        return 0;
    }
    const ByteList& f = built.bytes;
    Check(f.size() >= n && f.size() <= n + 9);

    // Recompute the layout independently.
    std::size_t d = 0;
    for (const std::string* slot : {&s.frame.StartByte, &s.frame.SlaveAddr, &s.frame.CmdByte}) {
        d += slot->empty() ? 0 : 1;
    }
    if (s.frame.LenOption == 1) {
        Check(n <= 255);
        Check(f[d] == n);
        ++d;
    }
    for (std::size_t i = 0; i < n; ++i) {
        Check(f[d + i] == parsed.bytes[i]);
    }
    std::size_t checkWidth = 0;
    if (s.frame.FcsOption == 1) {
        // The covered bytes in frame order: the start byte when the check
        // runs from the frame head, header positions 1 on unless it covers
        // the data only, then the data.
        ByteList covered;
        if (s.FcsStart == 0 && !s.frame.StartByte.empty()) {
            covered.push_back(f[0]);
        }
        if (s.FcsStart != 2) {
            for (std::size_t k = 1; k < d; ++k) {
                covered.push_back(f[k]);
            }
        }
        covered.insert(covered.end(), parsed.bytes.begin(), parsed.bytes.end());
        const FcsMethodRow& method = FcsMethodOf(s.FcsMethod);
        checkWidth = static_cast<std::size_t>(method.width);
        std::uint32_t value = 0;
        if (method.id == FcsXor || method.id == FcsSum) {
            for (const std::uint8_t b : covered) {
                value = method.id == FcsXor ? (value ^ b) : (value + b) % 256;
            }
        } else {
            FcsAccumulator fcs(method);
            fcs.Add(covered);
            value = fcs.Value();
        }
        ByteList field;
        AppendFcsBytes(value, method.width, s.FcsByteOrder, field);
        Check(ByteList(f.begin() + static_cast<std::ptrdiff_t>(d + n),
                       f.begin() + static_cast<std::ptrdiff_t>(d + n + checkWidth)) == field);
    }
    const std::size_t expected =
        d + n + checkWidth + (s.frame.EndByte.empty() ? 0 : 1);
    Check(f.size() == expected);
    // The same bytes, taken back as a reply, check out.
    Check(CheckReply(f, s).Correct());
    return 0;
}
