// Automatic answers: which rule answers a reception, when it can answer
// before the line idles, and the bytes it sends.
#include "AnswerRule.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvane;

namespace {

using Rule = AnswerRule;
using M = AnswerRule::Match;
using R = AnswerRule::Reply;

SharedSettings Modbus()
{
    SharedSettings s;
    s.frame = FrameTemplate{"01", "", "03", 0, 1, ""};
    s.FcsMethod = FcsCrc16Modbus;
    s.FcsByteOrder = FcsLowFirst;
    return s;
}

struct Case {
    const char* name;
    std::vector<Rule> rules;
    ByteList request;
    int now;   // the rule that answers before the line idles, -1 none
    int atEnd; // the rule that answers at the end, -1 none
    ByteList answer;
};

TEST(AnswerRule, TheFirstRuleThatMatchesAndCanReplyAnswers)
{
    const Rule read{true, "读", M::Pattern, "01 03 ?? ?? ?? ?? ?? ??", R::Frame, "02 00 2A", 0};
    const Rule echo{true, "回", M::Pattern, "01 *", R::Hex, "$1 $2 $3", 0};
    const Rule far{true, "远", M::Pattern, "01 *", R::Hex, "$9", 0};
    const Rule frame{true, "帧", M::CheckedFrame, "03", R::Hex, "AA", 0};
    const ByteList request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
    const Case cases[] = {
        {"fixed pattern, a frame built with its CRC", {read}, request, 0, 0,
         {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B}},
        {"a pattern with * waits for the end", {echo}, request, -1, 0, {0x01, 0x03, 0x00}},
        {"an earlier rule that may still match holds a later sure one", {echo, read}, request, -1,
         0, {0x01, 0x03, 0x00}},
        {"$n past the request is no match", {far, echo}, {0x01, 0x02, 0x03}, -1, 1,
         {0x01, 0x02, 0x03}},
        {"a disabled rule is passed over", {Rule{false, "关", M::Pattern, "01 *", R::Hex, "00", 0}},
         request, -1, -1, {}},
        {"a right frame with its command byte", {frame}, request, 0, 0, {0xAA}},
        {"a right frame with another command", {Rule{true, "帧", M::CheckedFrame, "04", R::Hex, "AA", 0}},
         request, -1, -1, {}},
        {"a wrong check", {frame}, {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0B}, -1, -1, {}},
        {"too short for the pattern", {read}, {0x01, 0x03, 0x00}, -1, -1, {}},
    };
    const SharedSettings settings = Modbus();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RequestMatcher matcher(c.rules, settings);
        matcher.Add(c.request);
        const auto now = matcher.AnswerNow();
        EXPECT_EQ(now ? static_cast<int>(now->rule) : -1, c.now);
        const auto end = matcher.AnswerAtEnd();
        EXPECT_EQ(end ? static_cast<int>(end->rule) : -1, c.atEnd);
        if (end) {
            EXPECT_EQ(end->bytes, c.answer);
        }
    }
}

TEST(AnswerRule, RulesThatCannotBeReadSayWhy)
{
    const std::pair<Rule, const char*> cases[] = {
        {{true, "a", M::Pattern, "01 0G", R::Hex, "00", 0}, "收到: 0G 不是十六进制字节"},
        {{true, "a", M::Pattern, "* 01", R::Hex, "00", 0}, "收到: * 只能在最后"},
        {{true, "a", M::Pattern, "01", R::Hex, "$0", 0}, "回复: $0 不是请求中的字节"},
        {{true, "a", M::Pattern, "01", R::Hex, "", 0}, "回复: 没有字节"},
        {{true, "a", M::CheckedFrame, "1G", R::Frame, "", 0}, "收到: 1G 不是十六进制字节"},
        {{true, "a", M::CheckedFrame, "", R::Frame, "$2 2A", 65535}, ""},
        // A reply its own pattern matches whatever the request: looped back, answered again.
        {{true, "a", M::Pattern, "01 *", R::Hex, "01 02", 0}, "回复会再次匹配本规则"},
        {{true, "a", M::Pattern, "?? 03 *", R::Hex, "$1 03 02 00 2A", 0}, "回复会再次匹配本规则"},
        {{true, "a", M::Pattern, "05 ??", R::Hex, "$1 $9", 0}, ""}, // never answers
        {{true, "a", M::Pattern, "01 ?? *", R::Hex, "$2 05", 0}, ""}, // only for 01 01
    };
    for (const auto& [rule, problem] : cases) {
        EXPECT_EQ(AnswerRuleProblem(rule), problem) << rule.pattern << " / " << rule.text;
    }
}

} // namespace
