#pragma once

#include "ByteList.h"
#include "BytePattern.h"
#include "ReplyChecker.h"
#include "SharedSettings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// One rule of 自动应答: what a reception must be (收到) and what is sent back
// (回复), after a delay.
//
// 收到 is a byte pattern ("01 03 ?? ?? ?? ?? ?? ??", see BytePattern), or a
// frame of the send format whose check is right (校验正确的帧), optionally with
// a given command byte. 回复 is hex bytes as typed, or (按帧格式) the data area
// of a frame built by the send frame format with its check. In either text
// "$n" stands for the request's n-th byte ("$1" its first).
struct AnswerRule {
    enum class Match : int { Pattern = 0, CheckedFrame = 1 };
    enum class Reply : int { Hex = 0, Frame = 1 };

    bool enabled = true;
    std::string name;
    Match match = Match::Pattern;
    std::string pattern; // Pattern: the pattern; CheckedFrame: a command byte, or empty
    Reply reply = Reply::Hex;
    std::string text;    // the reply's bytes, or the frame's data area
    int delayMs = 0;     // 0..65535, from the reception's end

    bool operator==(const AnswerRule&) const = default;
};

inline constexpr std::size_t kMostAnswerRules = 1000;

// Why a rule cannot be used ("收到: 0G 不是十六进制字节", "回复: $0 不是请求中的
// 字节", "回复会再次匹配本规则" for hex bytes its own pattern matches whatever
// the request), or empty when it can.
std::string AnswerRuleProblem(const AnswerRule& rule);

// A rule's reply text read into tokens: a byte, or the request's n-th byte.
struct ReplyToken {
    bool fromRequest = false;
    std::uint8_t byte = 0;   // a byte as typed
    std::size_t index = 0;   // from the request (1 = its first byte)
};
std::optional<std::vector<ReplyToken>> ReadReplyTokens(std::string_view text, std::string& problem);

// The reply a rule gives to a request, or nothing when a "$n" reaches past
// the request (then the rule does not answer it) or the frame cannot be
// built.
std::optional<ByteList> BuildAnswer(const AnswerRule& rule, std::span<const std::uint8_t> request,
                                    const SharedSettings& settings);

// Which rule answers a reception, as its bytes arrive: the first enabled
// rule that matches and can build its reply. A reception may be answered
// before the line idles when the rules before that one can no longer match
// and that one is sure: a pattern without "*" whose bytes are all in, or a
// whole right frame. The rules must be usable (AnswerRuleProblem empty).
class RequestMatcher {
public:
    struct Answer {
        std::size_t rule = 0;
        ByteList bytes;
    };
    // The longest request kept whole; a longer one matches only patterns
    // with "*" (by its first bytes) and right frames.
    static constexpr std::size_t kMostKept = 4096;

    RequestMatcher(const std::vector<AnswerRule>& rules, const SharedSettings& settings);

    void Add(std::span<const std::uint8_t> bytes);
    // The answer now, when it is sure before the line idles.
    std::optional<Answer> AnswerNow() const;
    // The answer once the reception has ended.
    std::optional<Answer> AnswerAtEnd() const;
    std::span<const std::uint8_t> request() const { return request_; }

private:
    struct Candidate {
        std::size_t rule;
        std::optional<BytePattern> pattern;
        std::optional<ReplyChecker> checker;
        std::optional<std::uint8_t> command;
    };
    enum class Standing { No, Maybe, Sure };

    Standing NowStanding(const Candidate& c) const;
    bool MatchesWhole(const Candidate& c) const;
    bool CommandFits(const Candidate& c) const;
    std::optional<Answer> Built(const Candidate& c) const;

    const std::vector<AnswerRule>& rules_;
    const SharedSettings& settings_;
    std::vector<Candidate> candidates_;
    std::size_t commandAt_ = 0; // where a frame's command byte stands
    ByteList request_;
    std::uint64_t count_ = 0;
};

} // namespace quorvane
