#pragma once

#include "ReplyField.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// The fields of the replies in a setup's [chart] section, after its fixed
// keys: "fields" (how many), then for n = 1..fields the keys n.name n.unit
// n.area n.offset n.width n.signed n.highfirst n.scale n.shift.
void AppendChartFields(std::string& out, const std::vector<ReplyField>& fields);

// Whether `key` is one of the [chart] section's field keys ("fields" or
// "n.part"); `number` is n, 0 for "fields".
bool IsChartFieldKey(std::string_view key, std::int64_t& number);

// The value of a key of the [chart] section, if the file has it.
using ChartKeyLookup = std::function<std::optional<std::string_view>(std::string_view key)>;

// Reads every field the section holds; the first problem in the file's words,
// or empty when all were read into `into`.
std::string ReadChartFields(const ChartKeyLookup& lookup, std::vector<ReplyField>& into);

} // namespace quorvane
