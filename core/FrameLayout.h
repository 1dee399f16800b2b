#pragma once

#include "FcsMethods.h"
#include "SharedSettings.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvane {

// Where the fields of a frame stand, as the template and the checksum
// settings describe them. The send frame is built and a reply is checked
// from the same layout, so both cover the same bytes.
struct FrameLayout {
    bool valid = true; // false: a template text does not read as one byte
    std::optional<std::uint8_t> start;
    std::optional<std::uint8_t> slave;
    std::optional<std::uint8_t> command;
    bool withCount = false;
    std::size_t headerLength = 0; // the data start position
    const FcsMethodRow* check = nullptr; // none: no check field
    int byteOrder = FcsHighFirst;
    // The check covers frame positions from here to the last data byte, in
    // frame order: from the start byte, from position 1, or the data only.
    std::size_t coverageStart = 0;
    std::optional<std::uint8_t> end;

    std::size_t CheckWidth() const { return check != nullptr ? check->width : 0; }
    // The check field and the end byte.
    std::size_t TrailerLength() const { return CheckWidth() + (end ? 1 : 0); }
};

FrameLayout LayoutOf(const SharedSettings& settings);

} // namespace quorvane
