#pragma once

#include "Setup.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace quorvane {

// How one value of a setup file is written and checked.
enum class SetupFieldKind {
    Whole,    // decimal digits in min..max
    Flag,     // 0 or 1
    ByteText, // escaped hexadecimal text that must read as a byte, or empty
    Parity,   // n, o or e
    StopBits, // 1, 1.5 or 2
    SendText, // escaped text of at most kSetupMaxTextChars characters
};

// One key of the fixed sections, tied to its place in the record.
struct SetupField {
    std::string_view section;
    std::string_view key;
    SetupFieldKind kind;
    std::int64_t min;
    std::int64_t max;
    std::variant<int Setup::*, bool Setup::*, char Setup::*, std::string Setup::*> member;
    int since = 1; // the format's version that brought the key
};

// A fixed section, and the format's version that brought it.
struct SetupSection {
    std::string_view name;
    int since = 1;
};

// Every key of the fixed sections, grouped by section, in written order.
std::span<const SetupField> SetupFields();

// The fixed sections in written order; the commands follow them.
std::span<const SetupSection> SetupFixedSections();

// The value of a field as it is written.
std::string WriteSetupField(const SetupField& field, const Setup& setup);

// Stores a raw value into the record; the problem in the file's words when it
// does not fit, empty when it does.
std::string ReadSetupField(const SetupField& field, std::string_view raw, Setup& setup);

// A whole number written strictly: decimal digits only, at least one. Values
// too large for any field read as a value larger than every limit.
std::optional<std::int64_t> ReadStrictWhole(std::string_view text);

// A raw value or key as quoted in a problem: long ones are cut short.
std::string ShownText(std::string_view text);

// "[section] key=raw what", naming the value that is wrong.
std::string ValueProblem(std::string_view section, std::string_view key, std::string_view raw,
                         std::string_view what);

// "[section] key what", for a value too long or badly escaped.
std::string KeyProblem(std::string_view section, std::string_view key, std::string_view what);

// The problem of a whole number outside min..max, or empty when it fits.
std::string WholeProblem(std::string_view section, std::string_view key, std::string_view raw,
                         std::int64_t min, std::int64_t max, int& into);

} // namespace quorvane
