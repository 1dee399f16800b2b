#include "FrameBuilder.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <tuple>

using namespace quorvane;

namespace {

SharedSettings Settings(std::string start, std::string slave, std::string cmd, int len, int fcs,
                        int method, int fcsStart, std::string end)
{
    SharedSettings s;
    s.frame = FrameTemplate{std::move(start), std::move(slave), std::move(cmd), len, fcs, std::move(end)};
    s.FcsMethod = method;
    s.FcsStart = fcsStart;
    return s;
}

struct FrameCase {
    const char* name;
    SharedSettings settings;
    ByteList data;
    ByteList frame;
};

class FrameTable : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameTable, BuildsTheFrame)
{
    const FrameCase& c = GetParam();
    const ByteOutcome out = BuildFrame(c.data, c.settings);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.bytes, c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, FrameTable,
    ::testing::Values(
        FrameCase{"StartupDefaults", Settings("00", "", "", 1, 1, 0, 0, "FF"), {1, 2, 3},
                  {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF}},
        FrameCase{"SumAfterStartByte", Settings("68", "01", "03", 1, 1, 1, 1, "16"),
                  {0x10, 0x20, 0x30}, {0x68, 0x01, 0x03, 0x03, 0x10, 0x20, 0x30, 0x67, 0x16}},
        FrameCase{"SumOfDataOnly", Settings("", "", "", 0, 1, 1, 2, ""), {0xFF, 0xFF},
                  {0xFF, 0xFF, 0xFE}},
        FrameCase{"SlaveAddressOnly", Settings("", "05", "", 0, 1, 0, 0, ""), {0xAA},
                  {0x05, 0xAA, 0xAA}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, FrameTable,
    ::testing::Values(
        FrameCase{"BareDataArea", Settings("", "", "", 0, 0, 0, 0, ""), {1, 2, 3}, {1, 2, 3}},
        FrameCase{"OptionsOtherThanOneAreAbsent", Settings("", "", "", 7, -1, 0, 0, ""), {9}, {9}},
        FrameCase{"HexToAsciiCount", Settings("00", "", "", 1, 1, 0, 0, "FF"),
                  {0x30, 0x31, 0x30, 0x32, 0x30, 0x33},
                  {0x00, 0x06, 0x30, 0x31, 0x30, 0x32, 0x30, 0x33, 0x06 ^ 0x00, 0xFF}},
        FrameCase{"SumOfHundredIsZero", Settings("", "", "", 0, 1, 1, 2, ""), {0x80, 0x80},
                  {0x80, 0x80, 0x00}},
        FrameCase{"XorOfEqualPairIsZero", Settings("", "", "", 0, 1, 0, 2, ""), {0x5A, 0x5A},
                  {0x5A, 0x5A, 0x00}},
        FrameCase{"EndByteNeverCovered", Settings("", "", "", 0, 1, 0, 2, "AA"), {0xAA},
                  {0xAA, 0xAA, 0xAA}},
        FrameCase{"StartByteHeaderOfOne", Settings("68", "", "", 0, 1, 1, 0, ""), {0x01},
                  {0x68, 0x01, 0x69}},
        FrameCase{"AfterStartHeaderOfOne", Settings("68", "", "", 0, 1, 1, 1, ""), {0x01},
                  {0x68, 0x01, 0x01}},
        FrameCase{"TemplateTextWithBlanks", Settings("6 8", "", "", 0, 0, 0, 0, "1 6 "), {0x01},
                  {0x68, 0x01, 0x16}},
        FrameCase{"ThreeDigitTemplateText", Settings("0FF", "", "", 0, 0, 0, 0, ""), {0x01},
                  {0xFF, 0x01}},
        FrameCase{"MaxCountFits", Settings("", "", "", 1, 0, 0, 0, ""), ByteList(255, 1),
                  [] {
                      ByteList f(256, 1);
                      f[0] = 255;
                      return f;
                  }()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildFrame, RefusesACountThatDoesNotFitItsByte)
{
    const SharedSettings s = Settings("00", "", "", 1, 1, 0, 0, "FF");
    const ByteOutcome out = BuildFrame(ByteList(256, 0x30), s);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.message, MessageId::ByteRange);
    EXPECT_TRUE(out.bytes.empty());

    // Without a data-count byte a long data area is fine.
    const SharedSettings noCount = Settings("00", "", "", 0, 1, 0, 0, "FF");
    const ByteOutcome longFrame = BuildFrame(ByteList(1000, 0x30), noCount);
    ASSERT_TRUE(longFrame.ok);
    EXPECT_EQ(longFrame.bytes.size(), 1003u);
}

TEST(BuildFrame, RefusesATemplateTextOutsideAByte)
{
    EXPECT_FALSE(BuildFrame({1}, Settings("100", "", "", 0, 0, 0, 0, "")).ok);
    EXPECT_FALSE(BuildFrame({1}, Settings("", "", "", 0, 0, 0, 0, "FFF")).ok);
}

// The checksum coverage table, checked for every combination of present header
// fields, data-count byte, start position and method against a computation that
// follows the table rather than the builder's steps.
TEST(BuildFrame, ChecksumCoverageForEveryCombination)
{
    const ByteList data = {0x11, 0x8E, 0xF3};
    const std::uint8_t startValue = 0x68, slaveValue = 0xA5, cmdValue = 0x3C;
    for (int mask = 0; mask < 8; ++mask) {
        const bool hasStart = mask & 1, hasSlave = mask & 2, hasCmd = mask & 4;
        for (int len = 0; len <= 1; ++len) {
            for (int fcsStart = 0; fcsStart <= 2; ++fcsStart) {
                for (int method = 0; method <= 1; ++method) {
                    const SharedSettings s =
                        Settings(hasStart ? "68" : "", hasSlave ? "A5" : "", hasCmd ? "3C" : "",
                                 len, 1, method, fcsStart, "16");
                    ByteList header;
                    if (hasStart)
                        header.push_back(startValue);
                    if (hasSlave)
                        header.push_back(slaveValue);
                    if (hasCmd)
                        header.push_back(cmdValue);
                    if (len)
                        header.push_back(static_cast<std::uint8_t>(data.size()));

                    ByteList covered = data;
                    if (fcsStart == 0 && hasStart) {
                        covered.insert(covered.end(), header.begin(), header.end());
                    } else if (fcsStart != 2 && header.size() > 1) {
                        covered.insert(covered.end(), header.begin() + 1, header.end());
                    }
                    unsigned sum = std::accumulate(covered.begin(), covered.end(), 0u);
                    unsigned x = 0;
                    for (auto b : covered)
                        x ^= b;
                    const auto expectedFcs = static_cast<std::uint8_t>(method == 0 ? x : sum % 256);

                    ByteList expected = header;
                    expected.insert(expected.end(), data.begin(), data.end());
                    expected.push_back(expectedFcs);
                    expected.push_back(0x16);

                    const ByteOutcome out = BuildFrame(data, s);
                    ASSERT_TRUE(out.ok);
                    EXPECT_EQ(out.bytes, expected)
                        << "fields " << mask << " len " << len << " start " << fcsStart
                        << " method " << method;
                }
            }
        }
    }
}

TEST(BuildFrame, StartPositionsDifferByTheStartByte)
{
    const ByteList data = {0x10, 0x20, 0x30};
    const auto from0 = BuildFrame(data, Settings("68", "01", "03", 1, 1, 0, 0, "16")).bytes;
    const auto from1 = BuildFrame(data, Settings("68", "01", "03", 1, 1, 0, 1, "16")).bytes;
    ASSERT_EQ(from0.size(), from1.size());
    const std::size_t fcsAt = from0.size() - 2;
    EXPECT_EQ(from0[fcsAt] ^ from1[fcsAt], 0x68);
}

} // namespace

namespace {

// Each method's check field over the frame 68 01 | 31 32 33 (start byte, count
// byte, data), covered from the frame head, in both byte orders.
struct MethodCase {
    int method;
    ByteList highFirst;
};

TEST(BuildFrame, EveryMethodPutsItsCheckInTheChosenByteOrder)
{
    // Covered bytes 68 03 31 32 33: sum 0x101, XOR 0x5B. Unknown values are the sum.
    const MethodCase cases[] = {
        {FcsXor, {0x5B}},
        {FcsSum, {0x01}},
        {FcsLrc, {0xFF}},
        {FcsSum16, {0x01, 0x01}},
        {FcsCrc8, {0x4F}},
        {FcsCrc8Maxim, {0x32}},
        {FcsCrc16Modbus, {0x37, 0x41}},
        {FcsCrc16CcittFalse, {0x06, 0x73}},
        {FcsCrc16Xmodem, {0x17, 0x7F}},
        {FcsCrc16Ibm, {0x37, 0x65}},
        {FcsCrc32, {0x0A, 0xDC, 0xDE, 0xBF}},
        {-1, {0x01}},
        {FcsMethodCount, {0x01}},
    };
    for (const MethodCase& c : cases) {
        for (const int order : {FcsHighFirst, FcsLowFirst}) {
            SharedSettings s = Settings("68", "", "", 1, 1, c.method, 0, "16");
            s.FcsByteOrder = order;
            ByteList expected = {0x68, 0x03, 0x31, 0x32, 0x33};
            if (order == FcsHighFirst) {
                expected.insert(expected.end(), c.highFirst.begin(), c.highFirst.end());
            } else {
                expected.insert(expected.end(), c.highFirst.rbegin(), c.highFirst.rend());
            }
            expected.push_back(0x16);
            EXPECT_EQ(BuildFrame({0x31, 0x32, 0x33}, s).bytes, expected)
                << "method " << c.method << " order " << order;
        }
    }
}

// A CRC depends on the order of the bytes: the header comes before the data.
TEST(BuildFrame, CrcCoversTheHeaderBeforeTheData)
{
    const ByteList data = {0x00, 0x00, 0x00, 0x0A};
    for (const auto& [fcsStart, start, expected] :
         {std::tuple{0, "01", ByteList{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xCD, 0xC5}},
          std::tuple{1, "AA", ByteList{0xAA, 0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xCD, 0xC5}}}) {
        SharedSettings s = Settings(start, fcsStart == 0 ? "" : "01", "03", 0, 1,
                                    FcsCrc16Modbus, fcsStart, "");
        EXPECT_EQ(BuildFrame(data, s).bytes, expected) << fcsStart;
    }
}

} // namespace
