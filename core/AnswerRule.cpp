#include "AnswerRule.h"

#include "FrameBuilder.h"
#include "FrameLayout.h"
#include "HexWords.h"
#include "ReadNumber.h"

namespace quorvane {

namespace {

// The request's n-th byte: "$1", "$12"; n from 1.
std::optional<std::size_t> RequestIndex(std::string_view token)
{
    if (token.size() < 2 || token.size() > 6 || token.front() != '$') {
        return std::nullopt;
    }
    std::size_t n = 0;
    for (const char c : token.substr(1)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    return n >= 1 ? std::optional(n) : std::nullopt;
}

// Whether a pattern's hex reply matches the pattern again whatever request
// it answers: on a line that echoes, the answer would be answered for ever.
// Tried with two requests that differ in every byte the pattern leaves open
// ("??", and the rest after "*" as far as a "$n" reaches).
bool ReplyMatchesItsPattern(const AnswerRule& rule, const BytePattern& pattern,
                            const std::vector<ReplyToken>& tokens)
{
    std::size_t length = pattern.length();
    for (const ReplyToken& token : tokens) {
        if (token.fromRequest && token.index > length) {
            if (!pattern.openEnded()) {
                return false; // past every request it matches: it never answers
            }
            length = token.index;
        }
    }
    for (const std::uint8_t open : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        ByteList request;
        for (const std::string_view word : BlankSeparatedWords(rule.pattern)) {
            if (word != "*") {
                request.push_back(word == "??" ? open : HexByteWord(word).value_or(0));
            }
        }
        request.resize(length, open);
        ByteList reply;
        for (const ReplyToken& token : tokens) {
            reply.push_back(token.fromRequest ? request[token.index - 1] : token.byte);
        }
        if (!pattern.Matches(reply)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::vector<ReplyToken>> ReadReplyTokens(std::string_view text, std::string& problem)
{
    std::vector<ReplyToken> tokens;
    for (const std::string_view token : BlankSeparatedWords(text)) {
        if (const auto byte = HexByteWord(token)) {
            tokens.push_back({false, *byte, 0});
        } else if (const auto index = RequestIndex(token)) {
            tokens.push_back({true, 0, *index});
        } else {
            problem = std::string(token) +
                      (token.front() == '$' ? " 不是请求中的字节" : " 不是十六进制字节");
            return std::nullopt;
        }
    }
    return tokens;
}

std::string AnswerRuleProblem(const AnswerRule& rule)
{
    std::string problem;
    std::optional<BytePattern> pattern;
    if (rule.match == AnswerRule::Match::Pattern) {
        pattern = BytePattern::Parse(rule.pattern, problem);
        if (!pattern) {
            return "收到: " + problem;
        }
    } else {
        std::string_view command = rule.pattern;
        while (!command.empty() && command.front() == ' ') {
            command.remove_prefix(1);
        }
        while (!command.empty() && command.back() == ' ') {
            command.remove_suffix(1);
        }
        if (!command.empty() && !HexByteWord(command)) {
            return "收到: " + std::string(command) + " 不是十六进制字节";
        }
    }
    const auto tokens = ReadReplyTokens(rule.text, problem);
    if (!tokens) {
        return "回复: " + problem;
    }
    if (tokens->empty() && rule.reply == AnswerRule::Reply::Hex) {
        return "回复: 没有字节";
    }
    if (rule.delayMs < 0 || rule.delayMs > 65535) {
        return "延时应为0-65535之间的整数";
    }
    if (pattern && rule.reply == AnswerRule::Reply::Hex &&
        ReplyMatchesItsPattern(rule, *pattern, *tokens)) {
        return "回复会再次匹配本规则";
    }
    return {};
}

std::optional<ByteList> BuildAnswer(const AnswerRule& rule, std::span<const std::uint8_t> request,
                                    const SharedSettings& settings)
{
    std::string problem;
    const auto tokens = ReadReplyTokens(rule.text, problem);
    if (!tokens) {
        return std::nullopt;
    }
    ByteList bytes;
    bytes.reserve(tokens->size());
    for (const ReplyToken& token : *tokens) {
        if (!token.fromRequest) {
            bytes.push_back(token.byte);
        } else if (token.index <= request.size()) {
            bytes.push_back(request[token.index - 1]);
        } else {
            return std::nullopt; // past the request: this rule does not answer it
        }
    }
    if (rule.reply == AnswerRule::Reply::Hex) {
        return bytes;
    }
    ByteOutcome frame = BuildFrame(bytes, settings);
    return frame.ok ? std::optional(std::move(frame.bytes)) : std::nullopt;
}

RequestMatcher::RequestMatcher(const std::vector<AnswerRule>& rules,
                               const SharedSettings& settings)
    : rules_(rules), settings_(settings)
{
    const FrameLayout layout = LayoutOf(settings);
    commandAt_ = (layout.start ? 1 : 0) + (layout.slave ? 1 : 0);
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const AnswerRule& rule = rules[i];
        if (!rule.enabled) {
            continue;
        }
        Candidate c{i, std::nullopt, std::nullopt, std::nullopt};
        std::string problem;
        if (rule.match == AnswerRule::Match::Pattern) {
            c.pattern = BytePattern::Parse(rule.pattern, problem);
            if (!c.pattern) {
                continue;
            }
        } else {
            c.checker.emplace(settings);
            std::string_view text = rule.pattern;
            while (!text.empty() && text.front() == ' ') {
                text.remove_prefix(1);
            }
            while (!text.empty() && text.back() == ' ') {
                text.remove_suffix(1);
            }
            if (!text.empty()) {
                c.command = HexByteWord(text);
            }
        }
        candidates_.push_back(std::move(c));
    }
}

void RequestMatcher::Add(std::span<const std::uint8_t> bytes)
{
    const std::size_t room = kMostKept - std::min(kMostKept, request_.size());
    request_.insert(request_.end(), bytes.begin(),
                    bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
    count_ += bytes.size();
    for (Candidate& c : candidates_) {
        if (c.checker) {
            c.checker->Add(bytes);
        }
    }
}

bool RequestMatcher::CommandFits(const Candidate& c) const
{
    return !c.command || (request_.size() > commandAt_ && request_[commandAt_] == *c.command);
}

RequestMatcher::Standing RequestMatcher::NowStanding(const Candidate& c) const
{
    if (c.pattern) {
        if (count_ > request_.size()) {
            return c.pattern->openEnded() && c.pattern->Check(request_) !=
                                                 BytePattern::Progress::Mismatch
                       ? Standing::Maybe
                       : Standing::No;
        }
        switch (c.pattern->Check(request_)) {
        case BytePattern::Progress::Mismatch:
            return Standing::No;
        case BytePattern::Progress::Partial:
            return Standing::Maybe;
        case BytePattern::Progress::Complete:
            return c.pattern->openEnded() ? Standing::Maybe : Standing::Sure;
        }
    }
    if (c.command && request_.size() > commandAt_ && request_[commandAt_] != *c.command) {
        return Standing::No;
    }
    return c.checker->Complete() && CommandFits(c) ? Standing::Sure : Standing::Maybe;
}

bool RequestMatcher::MatchesWhole(const Candidate& c) const
{
    if (c.pattern) {
        return count_ > request_.size() ? c.pattern->openEnded() && c.pattern->Matches(request_)
                                        : c.pattern->Matches(request_);
    }
    return c.checker->Finish().Correct() && CommandFits(c);
}

std::optional<RequestMatcher::Answer> RequestMatcher::Built(const Candidate& c) const
{
    auto bytes = BuildAnswer(rules_[c.rule], request_, settings_);
    if (!bytes) {
        return std::nullopt;
    }
    return Answer{c.rule, std::move(*bytes)};
}

std::optional<RequestMatcher::Answer> RequestMatcher::AnswerNow() const
{
    for (const Candidate& c : candidates_) {
        switch (NowStanding(c)) {
        case Standing::No:
            continue;
        case Standing::Maybe:
            return std::nullopt; // an earlier rule may still match: wait
        case Standing::Sure:
            if (auto answer = Built(c)) {
                return answer;
            }
            continue; // a "$n" past the request: no match
        }
    }
    return std::nullopt;
}

std::optional<RequestMatcher::Answer> RequestMatcher::AnswerAtEnd() const
{
    if (count_ == 0) {
        return std::nullopt;
    }
    for (const Candidate& c : candidates_) {
        if (MatchesWhole(c)) {
            if (auto answer = Built(c)) {
                return answer;
            }
        }
    }
    return std::nullopt;
}

} // namespace quorvane
