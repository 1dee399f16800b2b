// Bytes as rows of 16 with their characters, completed in place as a
// reception arrives in pieces.
#include "ByteFormat.h"
#include "HexCharRows.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

using namespace quorvane;

namespace {

const std::string kRow0 = "0000  48 65 6C 6C 6F 0D 0A 00 41 42 43 44 45 46 47 48  Hello...ABCDEFGH";
const std::string kRow1Part = "0010  7E 80 FF                                         ~..";

TEST(HexCharRows, AReceptionInPiecesEndsAsItsRowsAndNothingAboveTheLastRowChanges)
{
    const ByteList bytes = {0x48, 0x65, 0x6C, 0x6C, 0x6F, 0x0D, 0x0A, 0x00, 0x41, 0x42,
                            0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x7E, 0x80, 0xFF};
    std::string view = "12:00:00接收：";
    HexCharRows rows;
    rows.Reset();
    for (const auto& [from, to] : {std::pair{0, 5}, {5, 5}, {5, 17}, {17, 19}}) {
        const auto update = rows.Add(bytes.data() + from, static_cast<std::size_t>(to - from));
        const std::size_t lastLine = view.rfind('\n') + 1;
        ASSERT_LE(update.replace, view.size() - lastLine) << "only the last row is replaced";
        view.resize(view.size() - update.replace);
        view += update.text;
    }
    EXPECT_EQ(view, "12:00:00接收：\r\n" + kRow0 + "\r\n" + kRow1Part);

    rows.ViewCleared(); // the user emptied the view: a fresh row at the top
    const std::uint8_t more[] = {0x31};
    const auto update = rows.Add(more, 1);
    EXPECT_EQ(update.replace, 0u);
    EXPECT_EQ(update.text, "0013  31" + std::string(45, ' ') + "  1");
}

TEST(HexCharRows, AFrameInTheSendViewHasOneRowPerSixteenBytes)
{
    ByteList frame(20);
    std::iota(frame.begin(), frame.end(), std::uint8_t{0x30});
    const std::string text = FrameText(ModeHexChars, frame);
    EXPECT_EQ(text.substr(0, 55), "0000  30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F  ");
    EXPECT_NE(text.find("0123456789:;<=>?\r\n  0010  40 41 42 43"), std::string::npos);
    EXPECT_EQ(HexCharRow(0x12345, frame.data(), 1).substr(0, 10), "12345  30 ");
}

} // namespace
