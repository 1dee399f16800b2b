#include "Messages.h"
#include "SharedSettings.h"

#include <gtest/gtest.h>

using namespace quorvane;

namespace {

TEST(SharedSettings, StartupDefaults)
{
    SharedSettings s;
    s.frame = FrameTemplate{"12", "34", "56", 0, 0, "78"};
    s.FcsMethod = 1;
    s.RcvMaxChars = 9;
    s.opt2 = 0;
    s.FrameDirty = true;
    ApplyStartupDefaults(s);
    EXPECT_EQ(s.frame.StartByte, "00");
    EXPECT_EQ(s.frame.SlaveAddr, "");
    EXPECT_EQ(s.frame.CmdByte, "");
    EXPECT_EQ(s.frame.LenOption, 1);
    EXPECT_EQ(s.frame.FcsOption, 1);
    EXPECT_EQ(s.frame.EndByte, "FF");
    EXPECT_EQ(s.FcsMethod, 0);
    EXPECT_EQ(s.FcsStart, 0);
    EXPECT_EQ(s.PreprocessOn, 0);
    EXPECT_EQ(s.RcvTimeoutMs, 50);
    EXPECT_EQ(s.RcvMaxChars, 150);
    EXPECT_EQ(s.opt1, 0);
    EXPECT_EQ(s.opt2, 1);
    EXPECT_FALSE(s.FrameDirty);
}

TEST(SharedSettings, OneInstanceForTheProcess)
{
    EXPECT_EQ(&Shared(), &Shared());
}

TEST(Messages, PortMessageNamesThePort)
{
    const Message m = MessageFor(MessageId::PortUnavailable, 2);
    EXPECT_EQ(m.text, "端口2已被占用或不存在,请更换端口");
    EXPECT_EQ(m.title, "警告");
    EXPECT_EQ(m.icon, MessageIcon::Critical);
    EXPECT_EQ(MessageFor(MessageId::PortUnavailable, 12).text, "端口12已被占用或不存在,请更换端口");
}

TEST(Messages, TableOfTextsTitlesAndIcons)
{
    struct Row {
        MessageId id;
        const char* text;
        const char* title;
        MessageIcon icon;
    };
    const Row rows[] = {
        {MessageId::ByteRange, "超出字节范围", "警告", MessageIcon::Critical},
        {MessageId::BcdRange, "超出BCD码范围(0-99)", "BCD码转换", MessageIcon::Critical},
        {MessageId::NeedDecimal, "请输入数字量", "提示", MessageIcon::Warning},
        {MessageId::NeedHex, "请输入十六进制数", "提示", MessageIcon::Warning},
        {MessageId::SendTextTooLong, "发送数据应不超过8192个字符", "提示", MessageIcon::Warning},
        {MessageId::RcvTimeout, "接收超时,请检查相关参数设置", "提示", MessageIcon::Warning},
        {MessageId::RcvOverflow, "接收字节数超限", "提示", MessageIcon::Warning},
        {MessageId::BreakReceived, "接收到Break", "提示", MessageIcon::None},
    };
    for (const Row& r : rows) {
        const Message m = MessageFor(r.id);
        EXPECT_EQ(m.text, r.text);
        EXPECT_EQ(m.title, r.title);
        EXPECT_EQ(m.icon, r.icon);
    }
}

} // namespace

#include "WholeNumber.h"

namespace {

TEST(WholeNumber, DecimalDigitsWithBlanksAroundUpToTheLimit)
{
    EXPECT_EQ(ParseWholeNumber("100", 65535), 100);
    EXPECT_EQ(ParseWholeNumber("  0 ", 65535), 0);
    EXPECT_EQ(ParseWholeNumber("65535", 65535), 65535);
    EXPECT_EQ(ParseWholeNumber("2147483647", 2147483647), 2147483647);
    EXPECT_EQ(ParseWholeNumber("007", 65535), 7);
    for (const char* bad : {"", "   ", "65536", "-1", "+1", "1.5", "1e3", "1 2", "&h10", "abc",
                            "99999999999999999999999", "2147483648"}) {
        EXPECT_FALSE(ParseWholeNumber(bad, bad[0] == '2' ? 2147483647 : 65535).has_value())
            << bad;
    }
}

} // namespace
