// Fields of a reply: a value read from its bytes, or no value when the bytes
// are not there; and the numbers a setup writes for a field's scale and shift.
#include "ByteList.h"
#include "ReplyField.h"

#include <gtest/gtest.h>

using namespace quorvane;

namespace {

ReplyField Field(int offset, int width, bool isSigned = false, bool highFirst = true,
                 FieldArea area = FieldArea::Reception, double scale = 1, double shift = 0)
{
    return {"f", "", area, offset, width, isSigned, highFirst, scale, shift};
}

TEST(ReplyField, ValuesFromTheBytesOrNoneWhenTooShort)
{
    const ByteList frame = {0x01, 0x03, 0x04, 0xFF, 0xFE, 0x01, 0x2C, 0xC5, 0xCD};
    const DataAreaSpan data{3, 7}; // 01 03 04 | FF FE 01 2C | C5 CD
    struct Row {
        const char* name;
        ReplyField field;
        std::optional<DataAreaSpan> area;
        std::optional<double> value;
    };
    const Row rows[] = {
        {"one byte unsigned", Field(3, 1), {}, 255},
        {"one byte signed", Field(3, 1, true), {}, -1},
        {"two bytes high first", Field(1, 2), {}, 0x0304},
        {"two bytes low first", Field(1, 2, false, false), {}, 0x0403},
        {"two bytes signed", Field(3, 2, true), {}, -2},
        {"four bytes unsigned", Field(3, 4), {}, 0xFFFE012Cu},
        {"four bytes signed", Field(3, 4, true), {}, -130772.0},
        {"four bytes low first", Field(3, 4, false, false), {}, 0x2C01FEFFu},
        {"scale and shift", Field(5, 2, false, true, FieldArea::Reception, 0.1, -40), {}, -10},
        {"the last bytes fit", Field(7, 2), {}, 0xC5CD},
        {"one byte past the end", Field(8, 2), {}, std::nullopt},
        {"far past the end", Field(65535, 4), {}, std::nullopt},
        {"data area", Field(2, 2, false, true, FieldArea::DataArea), data, 0x012C},
        {"data area ends before the check", Field(3, 2, false, true, FieldArea::DataArea), data,
         std::nullopt},
        {"data area of a reply not accepted", Field(0, 1, false, true, FieldArea::DataArea),
         std::nullopt, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ReadReplyField(row.field, frame, row.area), row.value) << row.name;
    }
    EXPECT_EQ(ReadReplyField(Field(0, 1), {}, std::nullopt), std::nullopt) << "no bytes at all";
}

TEST(ReplyField, ReachAndProblems)
{
    const std::vector<ReplyField> fields = {Field(1, 2),
                                            Field(4, 4, false, true, FieldArea::DataArea)};
    EXPECT_EQ(ReplyFieldsReach(fields, 3), 11u);
    EXPECT_EQ(ReplyFieldsReach({}, 3), 0u);

    ReplyField f = Field(0, 2);
    EXPECT_EQ(ReplyFieldProblem(f), "");
    f.width = 3;
    EXPECT_EQ(ReplyFieldProblem(f), "宽度应为1、2或4");
    f = Field(0, 2);
    f.name = "";
    EXPECT_EQ(ReplyFieldProblem(f), "名称为空");
    f = Field(0, 2, false, true, FieldArea::Reception, 1e13);
    EXPECT_EQ(ReplyFieldProblem(f), "比例和偏移应为绝对值不超过10^12的数");
}

TEST(ReplyField, DecimalsReadStrictlyAndWriteBack)
{
    for (const char* good : {"0.1", "-40", "1e-06", "123456.789", "0", "2.5E3"}) {
        const std::optional<double> value = ReadDecimal(good);
        ASSERT_TRUE(value) << good;
        EXPECT_EQ(ReadDecimal(WriteDecimal(*value)), value) << good;
    }
    for (const char* bad : {"", "-", ".", "+1", "inf", "nan", "1e", "0x10", " 1", "1,5", "1e999"}) {
        EXPECT_EQ(ReadDecimal(bad), std::nullopt) << bad;
    }
}

} // namespace
