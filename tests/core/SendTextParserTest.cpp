#include "CodePage.h"
#include "Preprocess.h"
#include "ReadNumber.h"
#include "SendTextParser.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvane;

namespace {

SharedSettings WithFormat(int opt2)
{
    SharedSettings s;
    ApplyStartupDefaults(s);
    s.opt2 = opt2;
    return s;
}

struct ParseCase {
    const char* name;
    int opt2;
    std::string text;
    bool ok;
    ByteList data;
    MessageId message;
};

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, TurnsTextIntoDataArea)
{
    const ParseCase& c = GetParam();
    const SharedSettings s = WithFormat(c.opt2);
    RangeFlags flags;
    const ByteOutcome out = ParseSendText(c.text, s, flags);
    EXPECT_EQ(out.ok, c.ok);
    EXPECT_EQ(out.message, c.message);
    if (c.ok) {
        EXPECT_EQ(out.bytes, c.data);
    }
}

const auto ok = MessageId::None;
const auto range = MessageId::ByteRange;

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ParseTable,
    ::testing::Values(
        ParseCase{"StringWithLineBreak", 0, "AT\r\n", true, {0x41, 0x54, 0x0D, 0x0A}, ok},
        ParseCase{"DecimalSingleBlanks", 1, "1 2 3", true, {1, 2, 3}, ok},
        ParseCase{"DecimalRunsOfSeparators", 1, "  12   7 \r\n 255 ", true, {0x0C, 0x07, 0xFF}, ok},
        ParseCase{"HexMixedCase", 2, "68 1 ff", true, {0x68, 0x01, 0xFF}, ok},
        ParseCase{"HexTooManyDigits", 2, "1A2B", false, {}, range},
        ParseCase{"DecimalOutOfRange", 1, "10 300 20", false, {}, range}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ParseTable,
    ::testing::Values(
        ParseCase{"DecimalLeadingNumber", 1, "12AB AB 7;", true, {0x0C, 0x00, 0x07}, ok},
        ParseCase{"DecimalHalvesToEven", 1, "2.5 3.5", true, {2, 4}, ok},
        ParseCase{"DecimalHalfOverflows", 1, "255.5", false, {}, range},
        ParseCase{"DecimalNegative", 1, "-1", false, {}, range},
        ParseCase{"DecimalExponent", 1, "1E2", true, {0x64}, ok},
        ParseCase{"DecimalHexPrefix", 1, "&h1F", true, {0x1F}, ok},
        ParseCase{"DecimalTabInsideToken", 1, "1\t2", true, {0x0C}, ok},
        ParseCase{"HexLeadingDigits", 2, "1G G1 ;", true, {0x01, 0x00, 0x00}, ok},
        ParseCase{"HexLeadingZeros", 2, "00FF", true, {0xFF}, ok},
        ParseCase{"HexThreeDigits", 2, "100", false, {}, range},
        ParseCase{"HexFourDigits", 2, "FFFF", false, {}, range},
        ParseCase{"StringSpacesAreBytes", 0, "   ", true, {0x20, 0x20, 0x20}, ok},
        ParseCase{"StringEuroSign", 0, "€", true, {0x80}, ok},
        ParseCase{"StringChineseRefused", 0, "A中", false, {}, range},
        ParseCase{"StringEmojiRefused", 0, "😀", false, {}, range},
        ParseCase{"StringMalformedUtf8Refused", 0, "\xC3", false, {}, range},
        ParseCase{"EmptyText", 1, "", false, {}, ok},
        ParseCase{"EmptyStringFormat", 0, "", false, {}, ok},
        ParseCase{"DecimalSpacesOnly", 1, "    ", false, {}, ok},
        ParseCase{"DecimalLineBreaksOnly", 1, " \r\n \r\n", false, {}, ok},
        ParseCase{"HexLineBreaksOnly", 2, "\r\n", false, {}, ok},
        ParseCase{"DecimalTabOnlyIsAToken", 1, "\t", true, {0x00}, ok}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitTokens, DropsEmptyTokensAndKeepsTabs)
{
    const auto tokens = SplitTokens(SplitChars("  12   7 \r\n 255 "));
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0], U"12");
    EXPECT_EQ(tokens[1], U"7");
    EXPECT_EQ(tokens[2], U"255");
    EXPECT_EQ(SplitTokens(SplitChars("a\tb")).size(), 1u);
    EXPECT_TRUE(SplitTokens(SplitChars(" \r\n")).empty());
}

TEST(SplitChars, OneEntryPerCharacter)
{
    EXPECT_EQ(SplitChars("A中€"), std::u32string(U"A中€"));
}

TEST(ByteRangeFlag, FollowsTheLastByteStringParse)
{
    const SharedSettings dec = WithFormat(1);
    RangeFlags flags;
    EXPECT_FALSE(ParseSendText("10 300 20", dec, flags).ok);
    EXPECT_TRUE(flags.ByteRangeError);
    EXPECT_TRUE(ParseSendText("1 2", dec, flags).ok);
    EXPECT_FALSE(flags.ByteRangeError);

    // Empty and blank text, and the string format, leave it as it was.
    flags.ByteRangeError = true;
    EXPECT_FALSE(ParseSendText("", dec, flags).ok);
    EXPECT_FALSE(ParseSendText("   ", dec, flags).ok);
    EXPECT_TRUE(ParseSendText("AB", WithFormat(0), flags).ok);
    EXPECT_TRUE(flags.ByteRangeError);

    // A character with no single-byte code counts as a byte-range failure.
    flags.ByteRangeError = false;
    EXPECT_FALSE(ParseSendText("中", WithFormat(0), flags).ok);
    EXPECT_TRUE(flags.ByteRangeError);
}

TEST(Preprocess, HexToAsciiDoublesEveryByte)
{
    EXPECT_EQ(HexToAscii({0x00, 0x05, 0x3A, 0xFF}),
              (ByteList{0x30, 0x30, 0x30, 0x35, 0x33, 0x41, 0x46, 0x46}));
    EXPECT_EQ(HexToAscii({1, 2, 3}), (ByteList{0x30, 0x31, 0x30, 0x32, 0x30, 0x33}));
    EXPECT_EQ(HexToAscii(ByteList(128, 0xAB)).size(), 256u);
}

TEST(Preprocess, BcdPacksTensAndUnits)
{
    bool bcdError = true;
    const auto out = BcdConvert({0, 7, 10, 45, 99}, bcdError);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.bytes, (ByteList{0x00, 0x07, 0x10, 0x45, 0x99}));
    EXPECT_FALSE(bcdError);

    const auto bad = BcdConvert({1, 100, 2}, bcdError);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.message, MessageId::BcdRange);
    EXPECT_TRUE(bcdError);
}

TEST(Preprocess, AppliedOnlyToByteStringsWhenOn)
{
    SharedSettings s = WithFormat(2);
    s.PreprocessOn = 1;
    s.PreprocessKind = 1; // BCD
    RangeFlags flags;
    // BCD works on the value: 0A is ten, 63 is ninety-nine.
    auto out = ParseSendText("0A 63", s, flags);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.bytes, (ByteList{0x10, 0x99}));

    out = ParseSendText("01 64", s, flags);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.message, MessageId::BcdRange);
    EXPECT_TRUE(flags.BcdRangeError);
    EXPECT_FALSE(flags.ByteRangeError);

    s.opt2 = 1;
    EXPECT_EQ(ParseSendText("1 2 3", s, flags).bytes, (ByteList{1, 2, 3}));

    s.PreprocessKind = 0; // hex-to-ASCII
    EXPECT_EQ(ParseSendText("1 2 3", s, flags).bytes,
              (ByteList{0x30, 0x31, 0x30, 0x32, 0x30, 0x33}));

    s.PreprocessOn = 2; // any value but 1 is off
    EXPECT_EQ(ParseSendText("1 2 3", s, flags).bytes, (ByteList{1, 2, 3}));

    s.PreprocessOn = 1;
    s.opt2 = 0; // never in the string format
    EXPECT_EQ(ParseSendText("12", s, flags).bytes, (ByteList{0x31, 0x32}));
}

TEST(ParseSendText, TheTextIsNotChanged)
{
    const std::string text = " 1 2 ";
    RangeFlags flags;
    ParseSendText(text, WithFormat(1), flags);
    EXPECT_EQ(text, " 1 2 ");
}

} // namespace

// The byte-string parser splits the UTF-8 text in place and reads plain
// digit tokens without ReadNumber. Its result must stay that of the slow
// route: SplitTokens, then ReadNumber or ReadHexNumber and ToByte per token.
TEST(ParseSendText, ByteStringsMatchTokenByTokenReading)
{
    const std::string texts[] = {
        "0 9 10 99 255 256 0255 00000000255",    "F FF 0FF 100 fF aB",
        "1中2 中 12€ €",                          "1\xC3 2\xFF\xFE 7\xE4\xB8",
        "+5 -0 -0.4 -0.5 -0.6 0.5 1.5 254.5",     "1e2 1E+2 2e-1 1e 1e+ 9e999 -9e999",
        "&h1F &HFF &o17 &O400 &h &o &hG",         "1\t2 \t \t3\t",
        "12AB AB 7; ;1 1;",                       "1.2.3 .5 5. . +. -",
        "99999999999999999999 123456789012345678901234567890",
    };
    for (const std::string& text : texts) {
        for (int opt2 : {ModeDecimal, ModeHex}) {
            ByteList expected;
            bool expectedOk = true;
            for (const std::u32string& token : SplitTokens(SplitChars(text))) {
                std::string utf8;
                for (char32_t ch : token) {
                    AppendUtf8(utf8, ch);
                }
                const double value =
                    opt2 == ModeDecimal ? ReadNumber(utf8) : ReadHexNumber(utf8);
                const auto byte = ToByte(value);
                if (!byte) {
                    expectedOk = false;
                    break;
                }
                expected.push_back(*byte);
            }
            RangeFlags flags;
            const ByteOutcome out = ParseSendText(text, WithFormat(opt2), flags);
            SCOPED_TRACE(text + (opt2 == ModeDecimal ? " (decimal)" : " (hex)"));
            EXPECT_EQ(out.ok, expectedOk);
            EXPECT_EQ(flags.ByteRangeError, !expectedOk);
            if (expectedOk) {
                EXPECT_EQ(out.bytes, expected);
            }
        }
    }
}
