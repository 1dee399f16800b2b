#pragma once

#include "ByteList.h"
#include "SharedSettings.h"

#include <cstdint>
#include <optional>
#include <span>

namespace quorvane {

enum class CrcPreset : int;

// One way to compute the check field of a frame.
struct FcsMethodRow {
    FcsMethodId id;
    const char* name;           // as the frame format lists it
    int width;                  // bytes in the frame: 1, 2 or 4
    FcsByteOrderId usualOrder;  // how devices of that kind usually send it
    std::optional<CrcPreset> crc;
};

// Every method, in FcsMethodId order: XOR and sum first, then the methods the
// frame format offers beyond them, in list order.
std::span<const FcsMethodRow> FcsMethods();

// The method a stored FcsMethod value stands for. A value outside the known
// ones is the sum, as any value other than 0 always was.
const FcsMethodRow& FcsMethodOf(int storedValue);

// The check field's bytes in wire order: the value's `width` low bytes, low
// byte first under FcsLowFirst, otherwise high byte first.
void AppendFcsBytes(std::uint32_t value, int width, int byteOrder, ByteList& out);

} // namespace quorvane
