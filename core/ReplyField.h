#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvane {

// Where a field's offset counts from: the reception's first byte, or the
// first byte of the data area of a reply that 校验应答 accepted. Or, under
// a protocol, no offset at all: the value the protocol's reading gives the
// field's name ("寄存器 3", "正向有功总电能").
enum class FieldArea : int { Reception = 0, DataArea = 1, Decoded = 2 };

// A value the device reports in its replies (a register, a temperature):
// `width` bytes at `offset`, read as a signed or unsigned number in the given
// byte order, then 值 = 原始值 × scale + shift.
struct ReplyField {
    std::string name; // UTF-8, not empty
    std::string unit; // UTF-8, may be empty
    FieldArea area = FieldArea::Reception;
    int offset = 0; // 0..kReplyFieldMaxOffset
    int width = 2;  // 1, 2 or 4
    bool isSigned = false;
    bool highFirst = true; // byte order: the most significant byte first
    double scale = 1;
    double shift = 0;

    bool operator==(const ReplyField&) const = default;
};

inline constexpr std::size_t kMaxReplyFields = 8;
inline constexpr int kReplyFieldMaxOffset = 65535;
inline constexpr std::size_t kReplyFieldMaxNameChars = 32;
// Scales and shifts stay well inside what a double holds exactly enough.
inline constexpr double kReplyFieldMaxFactor = 1e12;

// Where the data area of an accepted reply lies in the reception: from its
// first byte to just before the check field and the end byte.
struct DataAreaSpan {
    std::size_t start = 0;
    std::size_t end = 0;
};

// The field's value in a reception, or nothing when the reception is too
// short for it (a data-area field: when its data area is, or when there is
// none because the reply was not accepted). Never a value from a byte that
// is not there; nothing for a decoded value (DecodedReplyField reads it).
// `reception` may hold only the reception's first bytes, as
// long as it holds every byte the fields reach (ReplyFieldsReach).
std::optional<double> ReadReplyField(const ReplyField& field,
                                     std::span<const std::uint8_t> reception,
                                     std::optional<DataAreaSpan> data);

// A decoded value's field: the value named as the field is, scaled and
// shifted; nothing when the reading has no value of that name.
std::optional<double> DecodedReplyField(const ReplyField& field, std::string_view name,
                                        std::optional<double> value);

// How many of a reception's first bytes the fields read, the data area
// starting at `dataStart`: a reception's bytes beyond it need not be kept.
std::size_t ReplyFieldsReach(std::span<const ReplyField> fields, std::size_t dataStart);

// Why a field cannot be used, in the words of the field editor and the setup
// reader ("名称为空", "宽度应为1、2或4"), or empty when it can.
std::string ReplyFieldProblem(const ReplyField& field);

// A decimal number as a field's scale or shift is written: the shortest text
// that reads back as the same double ("0.1", "-40", "1e-06").
std::string WriteDecimal(double value);
// Reads such a number strictly: an optional '-', digits with an optional
// fraction and exponent; nothing else, nothing infinite.
std::optional<double> ReadDecimal(std::string_view text);

} // namespace quorvane
