#include "Options.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <utility>

namespace quorvane::device {

namespace {

constexpr std::uint64_t maxMilliseconds = 24ull * 60 * 60 * 1000;
constexpr std::uint64_t maxFloodLength = 1'000'000'000'000ull;

// A decimal count with no sign, no spaces and nothing after it, up to `max`.
std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t max)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint8_t> HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9') {
        return static_cast<std::uint8_t>(ch - '0');
    }
    if (ch >= 'a' && ch <= 'f') {
        return static_cast<std::uint8_t>(ch - 'a' + 10);
    }
    if (ch >= 'A' && ch <= 'F') {
        return static_cast<std::uint8_t>(ch - 'A' + 10);
    }
    return std::nullopt;
}

bool AppendHexWord(std::string_view word, std::vector<std::uint8_t>& bytes)
{
    if (word.size() == 1) {
        const auto digit = HexDigit(word[0]);
        if (!digit) {
            return false;
        }
        bytes.push_back(*digit);
        return true;
    }
    if (word.empty() || word.size() % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); i += 2) {
        const auto high = HexDigit(word[i]);
        const auto low = HexDigit(word[i + 1]);
        if (!high || !low) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(*high << 4 | *low));
    }
    return true;
}

// The words of an argument that holds several, split at blanks.
std::vector<std::string_view> SpacedWords(std::string_view text)
{
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) {
            words.push_back(text.substr(at, end - at));
        }
        at = end + 1;
    }
    return words;
}

// An argument that is hex bytes and nothing else (never an option or a mode).
bool IsHexArgument(std::string_view arg)
{
    const std::vector<std::string_view> words = SpacedWords(arg);
    std::vector<std::uint8_t> bytes;
    return !words.empty() && !arg.starts_with('-') &&
           std::all_of(words.begin(), words.end(),
                       [&](std::string_view word) { return AppendHexWord(word, bytes); });
}

// Walks the arguments once: options are applied as they come, the other
// words are collected and read as the mode at the end.
class ArgumentParser
{
public:
    explicit ArgumentParser(std::span<const std::string_view> args) : args_(args) {}

    ParsedOptions Parse()
    {
        for (next_ = 0; next_ < args_.size() && Ok() && !result_.options.help; ++next_) {
            const std::string_view arg = args_[next_];
            if (arg.size() > 1 && arg[0] == '-') {
                ApplyOption(arg);
            } else {
                modeWords_.push_back(arg);
            }
        }
        if (Ok() && !result_.options.help) {
            ApplyMode();
        }
        if (Ok() && !result_.options.help && addressText_) {
            ApplyAddress(*addressText_);
        }
        return result_;
    }

private:
    bool Ok() const { return result_.error.empty(); }

    void Fail(std::string message)
    {
        if (Ok()) {
            result_.error = std::move(message);
        }
    }

    void ApplyOption(std::string_view arg)
    {
        std::string_view name = arg;
        std::optional<std::string_view> inlineValue;
        if (const auto equals = arg.find('='); equals != std::string_view::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        }
        Options& options = result_.options;
        if (name == "--help" || name == "-h") {
            RefuseValue(name, inlineValue);
            options.help = Ok();
        } else if (name == "--quiet") {
            RefuseValue(name, inlineValue);
            options.quiet = true;
        } else if (name == "--exit-on-close") {
            RefuseValue(name, inlineValue);
            options.linger = Milliseconds{0};
        } else if (name == "--gap") {
            SetMilliseconds(name, inlineValue, options.gap);
        } else if (name == "--delay") {
            SetMilliseconds(name, inlineValue, options.delay);
        } else if (name == "--corrupt") {
            SetCount(name, inlineValue, 1, maxFloodLength, options.corruptEvery);
        } else if (name == "--address") {
            // Read once the mode is known: a slave number or a meter's digits.
            addressText_ = Value(name, inlineValue);
        } else if (name == "--every") {
            SetMilliseconds(name, inlineValue, options.masterEvery);
            if (Ok() && options.masterEvery.count() == 0) {
                Fail("--every needs at least 1 millisecond");
            }
        } else if (name == "--count") {
            SetCount(name, inlineValue, 1, maxFloodLength, options.masterCount);
        } else if (name == "--expect") {
            const auto text = Value(name, inlineValue);
            if (!text) {
                return;
            }
            // Spaced hex, as the master's request: the words after the
            // first that are hex bytes are the answer's too, up to the next
            // option or mode word. One quoted word ('01 03 02') reads alike.
            std::vector<std::string_view> words = SpacedWords(*text);
            while (next_ + 1 < args_.size() && IsHexArgument(args_[next_ + 1])) {
                const std::vector<std::string_view> more = SpacedWords(args_[++next_]);
                words.insert(words.end(), more.begin(), more.end());
            }
            auto bytes = ParseHexBytes(words);
            if (!bytes || bytes->empty()) {
                Fail("--expect needs hex bytes such as '01 03 02 00 2A'");
            } else {
                options.masterExpected = std::move(*bytes);
            }
        } else if (name == "--linger") {
            Milliseconds linger{0};
            if (SetMilliseconds(name, inlineValue, linger)) {
                options.linger = linger;
            }
        } else if (name == "--link") {
            const auto path = Value(name, inlineValue);
            if (path && path->empty()) {
                Fail("--link needs a path");
            } else if (path) {
                options.linkPath = std::string(*path);
            }
        } else {
            Fail("unknown option '" + std::string(arg) + "'");
        }
    }

    void RefuseValue(std::string_view name, std::optional<std::string_view> inlineValue)
    {
        if (inlineValue) {
            Fail(std::string(name) + " takes no value");
        }
    }

    // The value of an option: after '=' or the next argument.
    std::optional<std::string_view> Value(std::string_view name,
                                          std::optional<std::string_view> inlineValue)
    {
        if (inlineValue) {
            return inlineValue;
        }
        if (next_ + 1 >= args_.size()) {
            Fail(std::string(name) + " needs a value");
            return std::nullopt;
        }
        return args_[++next_];
    }

    bool SetMilliseconds(std::string_view name, std::optional<std::string_view> inlineValue,
                         Milliseconds& target)
    {
        const auto text = Value(name, inlineValue);
        if (!text) {
            return false;
        }
        const auto count = ParseCount(*text, maxMilliseconds);
        if (!count) {
            Fail(std::string(name) + " needs a whole number of milliseconds, not '" +
                 std::string(*text) + "'");
            return false;
        }
        target = Milliseconds{static_cast<Milliseconds::rep>(*count)};
        return true;
    }

    bool SetCount(std::string_view name, std::optional<std::string_view> inlineValue,
                  std::uint64_t min, std::uint64_t max, std::uint64_t& target)
    {
        const auto text = Value(name, inlineValue);
        if (!text) {
            return false;
        }
        const auto count = ParseCount(*text, max);
        if (!count || *count < min) {
            Fail(std::string(name) + " needs a whole number from " + std::to_string(min) + " to " +
                 std::to_string(max) + ", not '" + std::string(*text) + "'");
            return false;
        }
        target = *count;
        return true;
    }

    void ApplyMode()
    {
        if (modeWords_.empty()) {
            return;
        }
        const std::string_view mode = modeWords_.front();
        const std::span<const std::string_view> rest = std::span(modeWords_).subspan(1);
        if (mode == "echo") {
            result_.options.mode = Mode::Echo;
            RefuseModeArguments(mode, rest);
        } else if (mode == "silent") {
            result_.options.mode = Mode::Silent;
            RefuseModeArguments(mode, rest);
        } else if (mode == "modbus") {
            result_.options.mode = Mode::Modbus;
            RefuseModeArguments(mode, rest);
        } else if (mode == "dlt645") {
            result_.options.mode = Mode::Dlt645;
            RefuseModeArguments(mode, rest);
        } else if (mode == "reply") {
            ApplyReply(rest);
        } else if (mode == "master") {
            auto bytes = ParseHexBytes(rest);
            if (rest.empty() || !bytes) {
                Fail("master needs the request's hex bytes, e.g. 'master 01 03 00 00 00 01 84 0A'");
                return;
            }
            result_.options.mode = Mode::Master;
            result_.options.masterRequest = std::move(*bytes);
        } else if (mode == "flood" || mode == "lines") {
            ApplyFlood(mode, rest);
        } else {
            Fail("unknown mode '" + std::string(mode) +
                 "' (echo, silent, reply, flood, lines, modbus, dlt645, master)");
        }
    }

    void ApplyAddress(std::string_view text)
    {
        Options& options = result_.options;
        if (options.mode != Mode::Dlt645) {
            std::uint64_t address = 0;
            if (SetCount("--address", text, 1, 247, address)) {
                options.modbusAddress = static_cast<std::uint8_t>(address);
            }
            return;
        }
        // Twelve digits as printed on the meter; the last two are the first byte sent.
        constexpr std::size_t digits = 2 * std::tuple_size_v<decltype(options.meterAddress)>;
        const auto decimal = [](char ch) { return ch >= '0' && ch <= '9'; };
        if (text.size() != digits || !std::all_of(text.begin(), text.end(), decimal)) {
            Fail("--address in dlt645 mode needs the meter's 12 digits, e.g. 000000001234, not '" +
                 std::string(text) + "'");
            return;
        }
        for (std::size_t i = 0; i < options.meterAddress.size(); ++i) {
            const std::size_t tens = digits - 2 * i - 2;
            options.meterAddress[i] =
                static_cast<std::uint8_t>((text[tens] - '0') << 4 | (text[tens + 1] - '0'));
        }
    }

    void RefuseModeArguments(std::string_view mode, std::span<const std::string_view> rest)
    {
        if (!rest.empty()) {
            Fail(std::string(mode) + " takes no arguments, got '" + std::string(rest.front()) +
                 "'");
        }
    }

    void ApplyReply(std::span<const std::string_view> words)
    {
        if (words.empty()) {
            Fail("reply needs at least one hex byte, e.g. 'reply 06 01 FF'");
            return;
        }
        auto bytes = ParseHexBytes(words);
        if (!bytes) {
            Fail("reply needs hex bytes such as '06 01 FF' or '0601FF'");
            return;
        }
        result_.options.mode = Mode::Reply;
        result_.options.replyBytes = std::move(*bytes);
    }

    void ApplyFlood(std::string_view mode, std::span<const std::string_view> words)
    {
        const auto length = words.size() == 1 ? ParseCount(words[0], maxFloodLength) : std::nullopt;
        if (!length || *length == 0) {
            Fail(std::string(mode) + " needs one byte count from 1 to " +
                 std::to_string(maxFloodLength));
            return;
        }
        result_.options.mode = mode == "flood" ? Mode::Flood : Mode::Lines;
        result_.options.floodLength = *length;
    }

    std::span<const std::string_view> args_;
    std::size_t next_ = 0;
    std::vector<std::string_view> modeWords_;
    std::optional<std::string_view> addressText_; // --address as given
    ParsedOptions result_;
};

} // namespace

ParsedOptions ParseOptions(std::span<const std::string_view> args)
{
    return ArgumentParser(args).Parse();
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::span<const std::string_view> words)
{
    std::vector<std::uint8_t> bytes;
    for (const std::string_view word : words) {
        if (!AppendHexWord(word, bytes)) {
            return std::nullopt;
        }
    }
    return bytes;
}

std::string UsageText()
{
    return R"(Usage: quorvane-device [OPTIONS] [MODE]

A virtual serial device for trying Quorvane without hardware. It opens a
pseudo-terminal, prints the path of the port end (for example /dev/pts/7) as
its first line, and answers whatever a program writes to that port.

Map one of Quorvane's COM ports to it with QUORVANE_COM<n>, e.g. for COM2:
    QUORVANE_COM2=/dev/pts/7 quorvane
or keep a fixed path with --link:
    quorvane-device --link /tmp/quorvane-com2 &
    QUORVANE_COM2=/tmp/quorvane-com2 quorvane

Modes:
  echo             write every received chunk straight back (default)
  silent           receive and log, never answer
  reply HEX...     answer each frame with fixed bytes: reply 06 01 FF, reply 0601FF
  flood N          answer each frame with N bytes counting 00 01 ... FF 00 01 ...
  lines N          answer each frame with N bytes of text: lines of 59 characters
                   and CR LF
  modbus           a Modbus RTU slave (address 1) with 64 holding registers,
                   register n holding n at start: answers read holding registers
                   (03) and write single register (06), with an exception reply
                   for an unknown function, a bad address or count; frames with
                   a wrong CRC or for another address get no answer
  dlt645           a DL/T 645-2007 electricity meter (address 000000001234):
                   answers reads (11) of energy 00000000 00010000 00020000,
                   voltage 02010100, current 02020100, power 02030000,
                   frequency 02800002, date 04000101, time 04000102 and
                   address 04000401, and a read of its address (13) sent to
                   AAAAAAAAAAAA; an unknown value or command gets an abnormal
                   answer, a wrong sum or another address none. Frames are
                   cut by their length byte, not by the gap; FE and other
                   bytes before a 68 are skipped
  master HEX...    the other side: while a client has the port open (from
                   100 ms after it opens it, or from when it sets its line up,
                   whichever comes first), write the request HEX every --every
                   MS and time each answer (all that arrives before the next
                   request), from the request's last byte to the answer's
                   first; log each as "ANSWER 0.412ms" and end with a summary
                   line: "master: sent N answered N unanswered 0 twice 0 wrong
                   0 median ... p99 ... max ..."

A frame is what arrives before the line stays idle for the gap time.

Options:
  --gap MS         idle time that ends a frame (default 5)
  --delay MS       wait before answering, in every mode that answers (default 0)
  --address N      the slave address in modbus mode, 1 to 247 (default 1); in
                   dlt645 mode the meter's 12 digits (default 000000001234)
  --corrupt N      invert the last byte of every Nth answer (in dlt645 mode its
                   sum byte), in every mode that answers, so checked replies
                   can be tried
  --link PATH      keep a symbolic link at PATH to the port end, removed on exit
  --every MS       master: the time between requests (default 100)
  --count N        master: end after N requests and their answers (default:
                   run until stopped)
  --expect HEX...  master: the right answer, compared byte for byte (twice it
                   counts as an answer given twice); hex bytes as the request's,
                   --expect 01 03 02 00 2A 39 9B or --expect 0103 02002A399B
  --linger MS      exit when a client has closed the port and none reopens it
                   within MS milliseconds (default: keep running)
  --exit-on-close  exit as soon as a client that had the port open closes it
  --quiet          print only the port path, no receive log
  -h, --help       show this help and exit

Each received chunk is logged as one line: local time, RX and the bytes in hex,
e.g. "14:03:07.218 RX 01 03 00 00". Each time a client changes the line
settings they are logged too, e.g. "14:03:07.201 settings 115200 8N1 rtscts"
(or xonxoff, or nothing for no flow control); a pseudo-terminal keeps no data
bits or parity, so those always read 8N. SIGINT or SIGTERM ends the device
with status 0.
)";
}

} // namespace quorvane::device
