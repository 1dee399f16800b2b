// The line engine held to a second, deliberately simple reading of the
// line's rules: frames written at scripted times, each with its time-out and
// maybe an expectation, and the device's bytes at scripted times. The model
// walks the time line event by event over whole byte lists; the engine runs
// on a fake port and a fake clock. Thousands of generated scenarios must come
// out the same (10^4 a run): which frame each reception answers, its response time, its
// check, each step's verdict, each time-out and the run's counts. A scenario
// that disagrees prints itself as a row to keep in kKept.
#include "FakeSerialPort.h"
#include "FakeSessionClock.h"
#include "LineEngine.h"
#include "SharedSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>

namespace quorvane {
namespace {

using Us = long long; // microseconds on the line's clock

struct Write {
    Us at;
    int timeoutMs; // -1: the receive time-out
    int kind;      // -1: no expectation, else an ExpectKind
    std::string pattern;
};
struct Chunk {
    Us at;
    ByteList bytes;
    bool flawed;
};
struct Scenario {
    int rcvTimeoutMs, rcvMaxChars;
    bool checkReply, continueAfter, listening, sequence;
    std::vector<Write> writes;
    std::vector<Chunk> chunks;
};

constexpr Us kGap = 20'000;

std::string Hex(const ByteList& bytes, std::size_t most = 64)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < most; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, i ? " %02X" : "%02X", bytes[i]);
        out += pair;
    }
    return out;
}

ByteList Crc(ByteList bytes)
{
    unsigned crc = 0xFFFF;
    for (const auto b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
    }
    bytes.push_back(crc & 0xFF);
    bytes.push_back(crc >> 8);
    return bytes;
}

// The reply as a frame of the Modbus RTU format (01, 03, CRC low byte first).
std::string CheckWords(const ByteList& b, bool& right, std::string& exception)
{
    static const char* names[] = {"", " 非法功能", " 非法数据地址", " 非法数据值", " 从站设备故障"};
    right = false;
    if (b.size() < 4) {
        return "长度错误";
    }
    if (b[0] != 0x01) {
        return "帧头错误";
    }
    const ByteList whole = Crc(ByteList(b.begin(), b.end() - 2));
    if (whole != b) {
        return "校验错误 应为 " + Hex(ByteList(whole.end() - 2, whole.end())) + " 收到 " +
               Hex(ByteList(b.end() - 2, b.end()));
    }
    right = true;
    if (b.size() == 5 && (b[1] & 0x80)) {
        exception = "异常 " + Hex({b[2]}) + (b[2] < 5 ? names[b[2]] : "");
        return "校验正确 " + exception;
    }
    return "校验正确";
}

// "01 03 ?? *": hex bytes, ?? any byte, a last * any rest.
bool Matches(const std::string& pattern, const ByteList& b)
{
    std::istringstream words(pattern);
    std::string w;
    std::size_t i = 0;
    while (words >> w) {
        if (w == "*") {
            return true;
        }
        if (i >= b.size() || (w != "??" && std::stoi(w, nullptr, 16) != b[i])) {
            return false;
        }
        ++i;
    }
    return i == b.size();
}

// The rules, read plainly.
std::vector<std::string> Model(const Scenario& s)
{
    struct Frame {
        int id;
        Us written;
        std::optional<Us> deadline;
        int kind;
        std::string pattern;
    };
    std::vector<std::string> out;
    std::vector<Frame> waiting;
    int lastId = 0, timedOut = 0;
    long long frames = 0, replies = 0, timeouts = 0, overflows = 0, errors = 0;
    bool header = s.listening, over = false;
    std::uint64_t count = 0;
    struct {
        bool active = false, late = false, counted = false, flawed = false, heard = false;
        int answers = 0, kind = -1;
        std::string pattern;
        std::optional<Us> response;
        ByteList kept;
        std::uint64_t all = 0;
        bool overflowed = false;
        Us gapAt = 0;
    } r;
    auto verdict = [&](int kind, const std::string& pattern) -> std::string {
        bool right;
        std::string exception;
        const std::string check = CheckWords(r.kept, right, exception);
        if (r.flawed) return " [失败 奇偶校验错误]";
        if (r.overflowed) return " [失败 超出字节数]";
        if (kind == 0) return " [通过]";
        if (kind == 3) return " [失败 有应答]";
        if (kind == 1) return !right ? " [失败 " + check + "]" : !exception.empty() ? " [失败 " + exception + "]" : " [通过]";
        if (!Matches(pattern, r.kept)) {
            return " [失败 应为 " + pattern + " 收到 " + Hex(r.kept, 16) + (r.kept.size() > 16 ? "…" : "") + "]";
        }
        return s.checkReply && !right ? " [失败 " + check + "]" : " [通过]";
    };
    auto endReception = [&] {
        if (!r.active) return;
        std::string line = "止" + std::to_string(r.answers) + (r.late ? " 迟" : "") +
                           (r.late && (s.continueAfter || s.sequence) ? " 标" : "") +
                           (r.response ? " +" + std::to_string(*r.response) : "");
        if (s.checkReply && !r.overflowed) {
            bool right;
            std::string exception;
            line += " [" + (r.flawed ? std::string("奇偶校验错误") : CheckWords(r.kept, right, exception)) + "]";
            errors += r.counted && (r.flawed || !right) ? 1 : 0;
        }
        if (r.kind >= 0) line += verdict(r.kind, r.pattern);
        out.push_back(line);
        r = {};
    };
    auto timeOut = [&] {
        auto due = std::min_element(waiting.begin(), waiting.end(), [](const Frame& a, const Frame& b) {
            return a.deadline && (!b.deadline || *a.deadline < *b.deadline);
        });
        const bool step = due->kind >= 0;
        out.push_back("超" + std::to_string(due->id) +
                      (!step ? "" : due->kind == 0 || due->kind == 3 ? " [通过]" : " [失败 超时]") +
                      (step && header ? " 头" : ""));
        header = header || step;
        timedOut = due->id;
        waiting.erase(due);
        ++timeouts;
    };
    auto runUntil = [&](Us t) { // what falls due up to t, a deadline before a gap
        for (;;) {
            std::optional<Us> deadline;
            for (const Frame& f : waiting) {
                if (f.deadline && (!deadline || *f.deadline < *deadline)) deadline = f.deadline;
            }
            if (deadline && *deadline <= t && (!r.active || *deadline <= r.gapAt)) {
                timeOut();
            } else if (r.active && r.gapAt <= t) {
                endReception();
            } else {
                return;
            }
        }
    };
    std::size_t w = 0, c = 0;
    while (w < s.writes.size() || c < s.chunks.size()) {
        const bool writeNext = c == s.chunks.size() || (w < s.writes.size() && s.writes[w].at <= s.chunks[c].at);
        runUntil(writeNext ? s.writes[w].at : s.chunks[c].at);
        if (writeNext) {
            const Write& x = s.writes[w++];
            endReception();
            std::erase_if(waiting, [](const Frame& f) { return !f.deadline; });
            const int timeout = x.timeoutMs >= 0 ? x.timeoutMs : s.rcvTimeoutMs;
            waiting.push_back({++lastId, x.at, timeout > 0 ? std::optional(x.at + timeout * 1000LL) : std::nullopt,
                               x.kind, x.pattern});
            timedOut = 0, header = true, count = 0, over = false;
            ++frames;
            out.push_back("发" + std::to_string(lastId));
            continue;
        }
        const Chunk& x = s.chunks[c++];
        if (!r.active) {
            r.active = true;
            if (!waiting.empty()) {
                const Frame f = waiting.front();
                waiting.erase(waiting.begin());
                r.answers = f.id, r.response = x.at - f.written, r.counted = true, r.kind = f.kind, r.pattern = f.pattern;
                ++replies;
            } else if (timedOut != 0) {
                r.answers = timedOut, r.late = true;
            } else if (s.listening && !s.sequence) {
                r.counted = r.heard = header = true, count = 0, over = false;
                ++replies;
            }
            timedOut = 0;
        }
        const std::uint64_t limit = s.rcvMaxChars + 1ULL;
        const std::size_t kept = over ? 0 : std::min<std::uint64_t>(x.bytes.size(), count < limit ? limit - count : 0);
        r.kept.insert(r.kept.end(), x.bytes.begin(), x.bytes.begin() + static_cast<long>(kept));
        count += x.bytes.size();
        r.flawed = r.flawed || x.flawed;
        std::string line = "收" + std::to_string(r.answers) + " " + std::to_string(kept) + (header ? " 头" : "");
        header = false;
        if (!over && count > limit) {
            over = r.overflowed = true;
            ++overflows;
            line += s.sequence ? " 超限步" : r.heard ? " 超限听" : " 超限关";
            if (!s.sequence && !r.heard) {
                waiting.clear(), timedOut = 0;
            }
        }
        out.push_back(line);
        r.gapAt = x.at + kGap;
    }
    runUntil(1LL << 50);
    out.push_back("计 " + std::to_string(frames) + " " + std::to_string(replies) + " " + std::to_string(timeouts) + " " +
                  std::to_string(overflows) + " " + std::to_string(errors));
    return out;
}

std::vector<std::string> Engine(const Scenario& s)
{
    SharedSettings settings;
    ApplyStartupDefaults(settings);
    settings.frame = {"01", "", "03", 0, 1, ""};
    settings.FcsMethod = FcsCrc16Modbus;
    settings.FcsByteOrder = FcsLowFirst;
    settings.RcvTimeoutMs = s.rcvTimeoutMs;
    settings.RcvMaxChars = s.rcvMaxChars;
    settings.CheckReply = s.checkReply;
    settings.ContinueAfterTimeout = s.continueAfter;
    FakeSessionClock clock;
    const auto start = clock.now();
    FakeSerialPort port;
    port.setClock([&] { return clock.now(); });
    port.setPortOpen(true);
    LineEngine engine(port, clock, settings);
    std::vector<std::string> out;
    QObject::connect(&engine, &LineEngine::frameWritten, [&](quint64 id) { out.push_back("发" + std::to_string(id)); });
    std::uint64_t answers = 0; // of the reception under way
    QObject::connect(&engine, &LineEngine::eventCame, [&](const LineEvent& e) {
        const char* rule[] = {"", " 超限关", " 超限听", " 超限步"};
        answers = e.first ? e.answers : answers;
        out.push_back("收" + std::to_string(answers) + " " + std::to_string(e.kept) + (e.header ? " 头" : "") +
                      rule[static_cast<int>(e.overflow)]);
    });
    QObject::connect(&engine, &LineEngine::receptionEnded, [&](const ReceptionEnd& e) {
        out.push_back("止" + std::to_string(e.answers) + (e.late ? " 迟" : "") + (e.markLate ? " 标" : "") +
                      (e.response ? " +" + std::to_string(e.response->count()) : "") +
                      (e.check ? ReplyCheckText(*e.check) : "") + (e.verdict ? StepVerdictText(*e.verdict) : ""));
    });
    QObject::connect(&engine, &LineEngine::frameTimedOut, [&](const FrameTimeout& t) {
        out.push_back("超" + std::to_string(t.frame) + (t.verdict ? StepVerdictText(*t.verdict) : "") +
                      (t.header ? " 头" : ""));
    });
    if (s.listening) engine.Listen();
    if (s.sequence) engine.setState(SendState::Sequence);
    std::size_t w = 0, c = 0;
    while (w < s.writes.size() || c < s.chunks.size()) {
        const bool writeNext = c == s.chunks.size() || (w < s.writes.size() && s.writes[w].at <= s.chunks[c].at);
        const Us at = writeNext ? s.writes[w].at : s.chunks[c].at;
        clock.advance(std::chrono::microseconds(at) -
                      std::chrono::duration_cast<std::chrono::microseconds>(clock.now() - start));
        if (writeNext) {
            const Write& x = s.writes[w++];
            FrameOptions options;
            if (x.timeoutMs >= 0) options.timeoutMs = x.timeoutMs;
            if (x.kind >= 0) options.expectation = ReplyExpectation{static_cast<ExpectKind>(x.kind), x.pattern};
            engine.WriteFrame({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}, options);
        } else {
            port.raiseBytes(s.chunks[c].bytes, s.chunks[c].flawed ? 1 : 0);
            ++c;
        }
    }
    clock.advance(std::chrono::seconds(100));
    const RunCounts& n = engine.summary().Counts();
    out.push_back("计 " + std::to_string(n.framesWritten) + " " + std::to_string(n.replies) + " " +
                  std::to_string(n.timeouts) + " " + std::to_string(n.overflows) + " " + std::to_string(n.checkErrors));
    return out;
}

// A scenario as a row of kKept.
std::string Row(const Scenario& s)
{
    std::ostringstream row;
    row << "{" << s.rcvTimeoutMs << ", " << s.rcvMaxChars << ", " << s.checkReply << ", " << s.continueAfter << ", "
        << s.listening << ", " << s.sequence << ", {";
    for (const Write& w : s.writes) row << "{" << w.at << ", " << w.timeoutMs << ", " << w.kind << ", \"" << w.pattern << "\"}, ";
    row << "}, {";
    for (const Chunk& c : s.chunks) {
        row << "{" << c.at << ", {";
        for (const auto b : c.bytes) row << int(b) << ", ";
        row << "}, " << c.flawed << "}, ";
    }
    return row.str() + "}},";
}

Scenario Generate(std::mt19937& random)
{
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto one = [&](std::initializer_list<int> of) { return of.begin()[pick(static_cast<int>(of.size()))]; };
    Scenario s{one({0, 30, 100}), one({150, 12, 4}), pick(2) == 0, pick(3) == 0, pick(4) == 0, pick(2) == 0, {}, {}};
    const char* patterns[] = {"01 03 *", "01 03 04 ?? ?? ?? ?? ?? ??", "01 83 *", "01 03 14 *", "*", "01 03 02"};
    Us at = 1000 + pick(1000);
    for (int n = 1 + pick(6); n > 0; --n) {
        const int kind = s.sequence ? pick(4) : pick(3) == 0 ? pick(4) : -1;
        s.writes.push_back({at, one({-1, -1, 0, 40, 120}), kind, kind == 2 ? patterns[pick(6)] : ""});
        if (pick(5) != 0) { // the device answers, maybe late, maybe wrong, maybe in pieces
            ByteList reply;
            const int what = pick(6);
            if (what <= 1) {
                reply = {0x01, 0x03, static_cast<std::uint8_t>(one({2, 4, 20}))};
                reply.resize(3 + reply[2], static_cast<std::uint8_t>(pick(256)));
                reply = Crc(reply);
            } else if (what == 2) {
                reply = Crc({0x01, 0x83, static_cast<std::uint8_t>(1 + pick(4))});
            } else if (what == 3) {
                reply = Crc({0x01, 0x03, 0x02, 0x00, 0x2A});
                reply.back() ^= 0x55;
            } else {
                reply.resize(1 + pick(7), static_cast<std::uint8_t>(pick(256)));
            }
            Us t = at + one({300, 8000, 45'000, 150'000}) + pick(3000);
            for (std::size_t from = 0; from < reply.size();) {
                const std::size_t to = pick(3) == 0 ? from + 1 + pick(static_cast<int>(reply.size() - from)) : reply.size();
                s.chunks.push_back({t, ByteList(reply.begin() + from, reply.begin() + to), pick(25) == 0});
                from = to;
                t += one({500, 5000, 19'000, 26'000});
            }
        }
        at += one({5000, 20'000, 60'000, 250'000}) + pick(2000);
    }
    std::stable_sort(s.chunks.begin(), s.chunks.end(), [](const Chunk& a, const Chunk& b) { return a.at < b.at; });
    return s;
}

// Scenarios that once disagreed, kept.
const Scenario kKept[] = {
    // Frames every 20 ms, a device that answers 30 ms after each: each
    // answer is timed from its own frame.
    {300, 150, false, true, false, false, {{0, -1, -1, ""}, {20000, -1, -1, ""}, {40000, -1, -1, ""}},
     {{30000, {1}, false}, {50000, {2}, false}, {70000, {3}, false}}},
};

TEST(LineModel, TheEngineKeepsTheRulesOfTheLine)
{
    for (const Scenario& s : kKept) {
        EXPECT_EQ(Engine(s), Model(s)) << Row(s);
    }
    std::mt19937 random(20261208);
    int disagreed = 0;
    for (int i = 0; i < 10000 && disagreed < 3; ++i) {
        const Scenario s = Generate(random);
        const auto engine = Engine(s);
        const auto model = Model(s);
        if (engine != model) {
            ++disagreed;
            std::string both;
            for (std::size_t k = 0; k < std::max(engine.size(), model.size()); ++k) {
                both += (k < engine.size() ? engine[k] : "-") + "  |  " + (k < model.size() ? model[k] : "-") + "\n";
            }
            ADD_FAILURE() << "scenario " << i << " (engine | model):\n" << both << "keep it:\n" << Row(s);
        }
    }
}

} // namespace
} // namespace quorvane
