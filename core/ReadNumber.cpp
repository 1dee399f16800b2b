#include "ReadNumber.h"

#include <charconv>
#include <cmath>
#include <string>

namespace quorvane {

namespace {

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool HasSkipped(std::string_view text)
{
    for (char c : text) {
        if (IsSkipped(c)) {
            return true;
        }
    }
    return false;
}

// The text with blanks, tabs and line feeds removed. `storage` holds the
// copy when one is needed; most texts have nothing to remove.
std::string_view Compact(std::string_view text, std::string& storage)
{
    if (!HasSkipped(text)) {
        return text;
    }
    storage.reserve(text.size());
    for (char c : text) {
        if (!IsSkipped(c)) {
            storage.push_back(c);
        }
    }
    return storage;
}

// Digits in base 8 or 16 after the "&h"/"&o" prefix. Long runs saturate far
// beyond any byte instead of overflowing.
double ReadRadix(std::string_view digits, int base)
{
    double value = 0;
    for (char c : digits) {
        const int d = DigitValue(c);
        if (d >= base) {
            break;
        }
        if (value < 1e300) {
            value = value * base + d;
        }
    }
    return value;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether a decimal number text (sign, digits with at most one point, an
// optional exponent with digits) is at least 1 in magnitude, decided by where
// its first significant digit stands and not by how it is written: "1" and
// 309 zeros with "e-0" is huge, "0." with 323 zeros and "1" is tiny.
bool AtLeastOne(std::string_view number)
{
    std::size_t i = 0;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
        ++i;
    }
    // The power of ten of the first significant digit, before the exponent.
    long long lead = 0;
    bool found = false;
    bool afterPoint = false;
    long long integerDigits = 0;
    long long zerosAfterPoint = 0;
    for (; i < number.size() && number[i] != 'e'; ++i) {
        const char c = number[i];
        if (c == '.') {
            afterPoint = true;
            continue;
        }
        if (!found && c == '0') {
            zerosAfterPoint += afterPoint ? 1 : 0;
            continue;
        }
        if (!found) {
            found = true;
            lead = afterPoint ? -(zerosAfterPoint + 1) : 0;
        }
        if (!afterPoint) {
            ++integerDigits;
        }
    }
    if (!found) {
        return false; // all zeros
    }
    if (integerDigits > 0) {
        lead = integerDigits - 1;
    }
    // The exponent saturates: its digits may be as many as the text holds.
    long long exponent = 0;
    bool negativeExponent = false;
    if (i < number.size() && number[i] == 'e') {
        ++i;
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
            negativeExponent = number[i] == '-';
            ++i;
        }
        for (; i < number.size(); ++i) {
            if (exponent < 1'000'000'000'000LL) {
                exponent = exponent * 10 + (number[i] - '0');
            }
        }
    }
    return lead + (negativeExponent ? -exponent : exponent) >= 0;
}

double ReadDecimal(std::string_view s)
{
    std::size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        number.push_back(s[i]);
        ++i;
    }
    bool sawDigit = false;
    bool sawPoint = false;
    for (; i < s.size(); ++i) {
        if (IsDigit(s[i])) {
            sawDigit = true;
            number.push_back(s[i]);
        } else if (s[i] == '.' && !sawPoint) {
            sawPoint = true;
            number.push_back('.');
        } else {
            break;
        }
    }
    if (!sawDigit) {
        return 0;
    }
    // An exponent counts only when at least one digit follows it.
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            exponent.push_back(s[j]);
            ++j;
        }
        const std::size_t firstDigit = j;
        while (j < s.size() && IsDigit(s[j])) {
            exponent.push_back(s[j]);
            ++j;
        }
        if (j > firstDigit) {
            number += exponent;
        }
    }
    const char* begin = number.data();
    if (*begin == '+') {
        ++begin; // from_chars takes no plus sign
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: keep the sign and the magnitude's side.
        const bool negative = number.front() == '-';
        if (!AtLeastOne(number)) {
            return negative ? -0.0 : 0.0;
        }
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    (void)ptr;
    return value;
}

} // namespace

int DigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

double ReadNumber(std::string_view text)
{
    std::string storage;
    const std::string_view s = Compact(text, storage);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'h' || s[1] == 'H') {
            return ReadRadix(s.substr(2), 16);
        }
        if (s[1] == 'o' || s[1] == 'O') {
            return ReadRadix(s.substr(2), 8);
        }
    }
    return ReadDecimal(s);
}

double ReadHexNumber(std::string_view text)
{
    // The same as ReadNumber("&h" + text), without building that text.
    std::string storage;
    return ReadRadix(Compact(text, storage), 16);
}

std::optional<std::uint8_t> ReadHexSlot(std::string_view text)
{
    std::string storage;
    const std::string_view digits = Compact(text, storage);
    for (const char c : digits) {
        if (DigitValue(c) >= 16) {
            return std::nullopt;
        }
    }
    return ToByte(ReadRadix(digits, 16));
}

std::optional<std::uint8_t> ToByte(double value)
{
    // Only values from -0.5 up to (not including) 255.5 round into 0..255;
    // the test also refuses NaN and the infinities.
    if (!(value >= -0.5 && value < 255.5)) {
        return std::nullopt;
    }
    double whole = std::floor(value);
    const double fraction = value - whole;
    const bool odd = (static_cast<int>(whole) & 1) != 0;
    if (fraction > 0.5 || (fraction == 0.5 && odd)) {
        whole += 1.0;
    }
    if (whole < 0.0 || whole > 255.0) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(whole);
}

} // namespace quorvane
