#include "ReadNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <string>

using namespace quorvane;

namespace {

struct NumberCase {
    const char* name;
    std::string text;
    double value;
};

class ReadNumberTable : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumberTable, ReadsLeadingNumber)
{
    const NumberCase& c = GetParam();
    EXPECT_DOUBLE_EQ(ReadNumber(c.text), c.value) << "text: [" << c.text << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadNumberTable,
    ::testing::Values(NumberCase{"Empty", "", 0}, NumberCase{"Plain", "123", 123},
                      NumberCase{"LettersAfterDigits", "12AB", 12}, NumberCase{"OnlyLetters", "AB", 0},
                      NumberCase{"Semicolon", "7;", 7}, NumberCase{"Decimal", "2.5", 2.5},
                      NumberCase{"SecondPointStops", "1.5.3", 1.5},
                      NumberCase{"Exponent", "1E2", 100}, NumberCase{"LowerExponent", "1e2", 100},
                      NumberCase{"NegativeExponent", "25E-1", 2.5},
                      NumberCase{"BareExponentIgnored", "3E", 3},
                      NumberCase{"SignedBareExponentIgnored", "3E+", 3},
                      NumberCase{"Negative", "-1", -1}, NumberCase{"Plus", "+7", 7},
                      NumberCase{"LoneSign", "-", 0}, NumberCase{"DoubleSign", "--5", 0},
                      NumberCase{"BlanksInside", " 1 2\t3\n4", 1234},
                      NumberCase{"BlankAfterSign", "- 5", -5},
                      NumberCase{"CarriageReturnStops", "1\r2", 1},
                      NumberCase{"HexLower", "&hff", 255}, NumberCase{"HexUpper", "&H1F", 31},
                      NumberCase{"HexStopsAtG", "&h1G", 1}, NumberCase{"HexNoDigits", "&h", 0},
                      NumberCase{"HexLeadingZeros", "&h00FF", 255},
                      NumberCase{"HexLong", "&hFFFF", 65535}, NumberCase{"Octal", "&o17", 15},
                      NumberCase{"OctalUpper", "&O777", 511}, NumberCase{"OctalStopsAt8", "&o78", 7},
                      NumberCase{"AmpersandAlone", "&", 0}, NumberCase{"AmpersandOther", "&x12", 0},
                      NumberCase{"NonAscii", "5中", 5}, NumberCase{"LeadingPoint", ".5", 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadNumber, HugeInputsDoNotOverflowIntoBytes)
{
    EXPECT_FALSE(ToByte(ReadNumber("1E999")));
    EXPECT_FALSE(ToByte(ReadNumber("&h" + std::string(400, 'F'))));
    EXPECT_EQ(ToByte(ReadNumber("1E-999")), 0);
    EXPECT_EQ(ToByte(ReadNumber(std::string(500, '0') + "7")), 7);
}

// Past a double's range, the number's size decides, not how it is written.
TEST(ReadNumber, OutOfRangeSidesFollowTheMagnitude)
{
    const std::string zeros309(309, '0');
    const std::string zeros323(323, '0');
    EXPECT_FALSE(ToByte(ReadNumber("1" + zeros309 + "e-0")));
    EXPECT_FALSE(ToByte(ReadNumber("-1" + zeros309 + "e-5")));
    EXPECT_FALSE(ToByte(ReadNumber("0.1e99999999999999999999")));
    EXPECT_EQ(ToByte(ReadNumber("0." + zeros323 + "1")), 0);
    EXPECT_EQ(ToByte(ReadNumber("-0." + zeros323 + "1")), 0);
    EXPECT_EQ(ToByte(ReadNumber("1" + zeros309 + "e-99999")), 0);
    EXPECT_EQ(ToByte(ReadNumber("0.0000001e-99999999999999999999")), 0);
}

TEST(ReadHexNumber, PrefixesTheText)
{
    EXPECT_DOUBLE_EQ(ReadHexNumber("68"), 0x68);
    EXPECT_DOUBLE_EQ(ReadHexNumber(" 1 A"), 0x1A);
    EXPECT_DOUBLE_EQ(ReadHexNumber("G1"), 0);
    EXPECT_DOUBLE_EQ(ReadHexNumber(";"), 0);
}

TEST(ReadHexSlot, OnlyHexDigitsMakeAByte)
{
    const std::pair<const char*, int> cases[] = {
        {"68", 0x68}, {"0AB", 0xAB}, {" 1 f", 0x1F}, {"", 0}, {"  ", 0}, {"00FF", 0xFF},
        {"1FF", -1},  {"GG", -1},    {"1G", -1},     {"0x01", -1}, {"&h1", -1}, {"中", -1}};
    for (const auto& [text, expected] : cases) {
        const auto byte = ReadHexSlot(text);
        EXPECT_EQ(byte ? int{*byte} : -1, expected) << '"' << text << '"';
    }
}

struct ByteCase {
    double value;
    int expected; // -1 for a byte-range failure
};

TEST(ToByte, RoundsHalfToEvenAndChecksRange)
{
    const ByteCase cases[] = {{0, 0},        {255, 255},   {2.5, 2},    {3.5, 4},    {0.5, 0},
                              {1.5, 2},      {254.5, 254}, {255.5, -1}, {255.4, 255}, {-0.4, 0},
                              {-0.5, 0},     {-0.6, -1},   {-1, -1},    {256, -1},   {2.51, 3},
                              {HUGE_VAL, -1}, {-HUGE_VAL, -1}, {NAN, -1}};
    for (const ByteCase& c : cases) {
        const auto byte = ToByte(c.value);
        if (c.expected < 0) {
            EXPECT_FALSE(byte.has_value()) << c.value;
        } else {
            ASSERT_TRUE(byte.has_value()) << c.value;
            EXPECT_EQ(*byte, c.expected) << c.value;
        }
    }
}

} // namespace
