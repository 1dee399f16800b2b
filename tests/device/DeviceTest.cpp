// Drives the quorvane-device program through a real pseudo-terminal, the way
// Quorvane uses it: start it, read the port path from its first line, open
// the port and talk to it.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// How long anything that should happen may take before the test gives up.
constexpr auto patience = 10s;
// How long a device that must stay quiet is watched for a stray byte.
constexpr auto quietWindow = 300ms;
// Clock ticks a device may use while it has nothing to do. A device that
// spins uses a full tick per tick of wall time; a sleeping one uses none.
constexpr long idleTickBound = 20;
constexpr auto idleWindow = 500ms;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

// Waits until `fd` reports one of `events` or the deadline passes.
bool WaitForFd(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, RemainingMs(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// Lets wall time pass while a process is watched; nothing is waited for.
void LetTimePass(Clock::duration span)
{
    const auto until = Clock::now() + span;
    while (Clock::now() < until) {
        ::poll(nullptr, 0, RemainingMs(until));
    }
}

Bytes CountingPattern(std::size_t length)
{
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i & 0xFF);
    }
    return bytes;
}

std::string DeviceBinary()
{
    const char* path = std::getenv("QUORVANE_DEVICE_BIN");
    return path != nullptr ? path : "quorvane-device";
}

struct ExitStatus {
    bool exited = false; // false: ended by a signal
    int code = -1;
};

// A running quorvane-device with its output on pipes. Killed and reaped on
// destruction if it is still running.
class DeviceProcess
{
public:
    explicit DeviceProcess(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{DeviceBinary()};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (std::string& arg : argv) {
            cargv.push_back(arg.data());
        }
        cargv.push_back(nullptr);

        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe failed";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            const int nothing = ::open("/dev/null", O_RDONLY);
            ::dup2(nothing, 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::execv(cargv[0], cargv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        // Readable once the program has ended, so its end can be waited on.
        pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    }

    ~DeviceProcess()
    {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (const int fd : {out_, err_, pidfd_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    DeviceProcess(const DeviceProcess&) = delete;
    DeviceProcess& operator=(const DeviceProcess&) = delete;

    pid_t Pid() const { return pid_; }

    // The next line of standard output, without its newline.
    std::optional<std::string> ReadLine()
    {
        const auto deadline = Clock::now() + patience;
        for (;;) {
            if (const auto end = outBuffer_.find('\n'); end != std::string::npos) {
                std::string line = outBuffer_.substr(0, end);
                outBuffer_.erase(0, end + 1);
                return line;
            }
            if (!ReadMore(out_, outBuffer_, deadline)) {
                return std::nullopt;
            }
        }
    }

    // Everything on standard output and standard error until the program closes them.
    std::string ReadAllOutput() { return ReadToEnd(out_, outBuffer_); }
    std::string ReadAllErrors() { return ReadToEnd(err_, errBuffer_); }

    void Signal(int signal) const { ::kill(pid_, signal); }

    // The exit status, once the program has ended within `within`.
    std::optional<ExitStatus> WaitForExit(Clock::duration within)
    {
        if (!status_ && WaitForFd(pidfd_, POLLIN, Clock::now() + within)) {
            int raw = 0;
            if (::waitpid(pid_, &raw, 0) == pid_) {
                status_ = ExitStatus{WIFEXITED(raw), WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
            }
        }
        return status_;
    }

    // User plus system clock ticks the program has used so far.
    long CpuTicks() const
    {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // Fields after the command name, which is in parentheses: state is
        // field 3, utime 14, stime 15.
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        long utime = 0;
        long stime = 0;
        for (int number = 3; number <= 15 && fields >> field; ++number) {
            if (number == 14) {
                utime = std::stol(field);
            } else if (number == 15) {
                stime = std::stol(field);
            }
        }
        return utime + stime;
    }

    long TicksUsedOver(Clock::duration span) const
    {
        const long before = CpuTicks();
        LetTimePass(span);
        return CpuTicks() - before;
    }

private:
    static bool ReadMore(int fd, std::string& buffer, Clock::time_point deadline)
    {
        if (!WaitForFd(fd, POLLIN, deadline)) {
            return false;
        }
        char chunk[4096];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        buffer.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    static std::string ReadToEnd(int fd, std::string& buffer)
    {
        const auto deadline = Clock::now() + patience;
        while (ReadMore(fd, buffer, deadline)) {
        }
        return std::exchange(buffer, {});
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int pidfd_ = -1;
    std::string outBuffer_;
    std::string errBuffer_;
    std::optional<ExitStatus> status_;
};

// A client holding the port open. It applies no line settings of its own,
// so whatever it sees is what the device set up.
class PortClient
{
public:
    explicit PortClient(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~PortClient() { Close(); }
    PortClient(const PortClient&) = delete;
    PortClient& operator=(const PortClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    void Close()
    {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool Write(const Bytes& bytes)
    {
        const auto deadline = Clock::now() + patience;
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (errno != EAGAIN && errno != EINTR) {
                return false;
            } else if (!WaitForFd(fd_, POLLOUT, deadline)) {
                return false;
            }
        }
        return true;
    }

    // Exactly `count` bytes, or fewer if they do not all come in time.
    Bytes Read(std::size_t count)
    {
        const auto deadline = Clock::now() + patience;
        Bytes bytes;
        bytes.reserve(count);
        std::uint8_t chunk[65536];
        while (bytes.size() < count && WaitForFd(fd_, POLLIN, deadline)) {
            const std::size_t want = std::min(sizeof chunk, count - bytes.size());
            const ssize_t n = ::read(fd_, chunk, want);
            if (n > 0) {
                bytes.insert(bytes.end(), chunk, chunk + n);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                break;
            }
        }
        return bytes;
    }

    // True when not a single byte arrives within `window`.
    bool StaysQuietFor(Clock::duration window) const
    {
        return !WaitForFd(fd_, POLLIN, Clock::now() + window);
    }

private:
    int fd_;
};

// Starts the device and reads the port path from its first line.
struct RunningDevice {
    explicit RunningDevice(const std::vector<std::string>& args) : process(args)
    {
        path = process.ReadLine().value_or("");
    }

    DeviceProcess process;
    std::string path;
};

Bytes EveryByteValueWithLineEnds()
{
    Bytes bytes = CountingPattern(256);
    const Bytes lineEnds{0x0D, 0x0A, 0x0D, 0x00, 0xFF, 0x0A, 0x03, 0x04, 0x11, 0x13, 0x1A, 0x7F};
    bytes.insert(bytes.end(), lineEnds.begin(), lineEnds.end());
    return bytes;
}

// A fresh directory for link files, removed with whatever is left in it.
class TemporaryDirectory
{
public:
    TemporaryDirectory()
    {
        std::string pattern = "/tmp/quorvane-device-test-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TemporaryDirectory()
    {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void ExpectEchoRoundTrip(PortClient& client, const Bytes& bytes)
{
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(client.Write(bytes));
    EXPECT_EQ(client.Read(bytes.size()), bytes);
}

TEST(DeviceStart, FirstLineIsThePortPath)
{
    RunningDevice device({"--quiet"});
    EXPECT_TRUE(std::regex_match(device.path, std::regex("/dev/pts/[0-9]+"))) << device.path;
    struct stat port = {};
    ASSERT_EQ(::stat(device.path.c_str(), &port), 0);
    EXPECT_TRUE(S_ISCHR(port.st_mode));
}

TEST(DeviceEcho, ReturnsEveryByteUnchangedAndInOrder)
{
    RunningDevice device({"--quiet", "echo"});
    PortClient client(device.path);
    ExpectEchoRoundTrip(client, EveryByteValueWithLineEnds());
    ExpectEchoRoundTrip(client, {0x0D, 0x0A});
    EXPECT_TRUE(client.StaysQuietFor(50ms)) << "echo sent more than it received";
}

TEST(DeviceEcho, IsTheDefaultMode)
{
    RunningDevice device({"--quiet"});
    PortClient client(device.path);
    ExpectEchoRoundTrip(client, {0x00, 0xFF, 0x0D, 0x0A});
}

TEST(DeviceEcho, PortIsRawBeforeAnyClientSetsItUp)
{
    RunningDevice device({"--quiet"});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    termios line{};
    ASSERT_EQ(::tcgetattr(client.Fd(), &line), 0);
    EXPECT_EQ(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
}

TEST(DeviceLog, LogsEachChunkAsTimeRxAndHex)
{
    RunningDevice device({"echo"});
    PortClient client(device.path);
    ExpectEchoRoundTrip(client, {0x00, 0xAB, 0x0D});

    const std::regex format("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} RX( [0-9A-F]{2})+");
    std::string hex;
    while (hex.size() < std::string(" 00 AB 0D").size()) {
        const auto line = device.process.ReadLine();
        ASSERT_TRUE(line.has_value()) << "no receive log line";
        ASSERT_TRUE(std::regex_match(*line, format)) << *line;
        hex += line->substr(line->find(" RX") + 3);
    }
    EXPECT_EQ(hex, " 00 AB 0D");
}

TEST(DeviceReply, AnswersEachFrameWithTheFixedBytes)
{
    RunningDevice device({"--quiet", "reply", "06", "07"});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_TRUE(client.Write({0x01, 0x03, 0x00, 0x00}));
        EXPECT_EQ(client.Read(2), (Bytes{0x06, 0x07}));
    }
    EXPECT_TRUE(client.StaysQuietFor(100ms));
}

TEST(DeviceReply, BytesCloserThanTheGapMakeOneFrame)
{
    RunningDevice device({"--quiet", "--gap", "200", "reply", "0607"});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(client.Write({0x01}));
    ASSERT_TRUE(client.Write({0x02}));
    ASSERT_TRUE(client.Write({0x03}));
    EXPECT_EQ(client.Read(2), (Bytes{0x06, 0x07}));
    EXPECT_TRUE(client.StaysQuietFor(quietWindow + 200ms)) << "more than one answer to one frame";
}

TEST(DeviceFlood, DeliversExactlyTheCountingPattern)
{
    constexpr std::size_t length = 100000;
    RunningDevice device({"--quiet", "flood", std::to_string(length)});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(client.Write({0x55}));
    const Bytes received = client.Read(length);
    ASSERT_EQ(received.size(), length);
    EXPECT_EQ(received, CountingPattern(length));
    EXPECT_TRUE(client.StaysQuietFor(100ms)) << "flood sent more than asked";
}

TEST(DeviceFlood, WaitsWithoutSpinningWhileTheClientDoesNotRead)
{
    RunningDevice device({"--quiet", "flood", "10000000"});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(client.Write({0x55}));
    ASSERT_FALSE(client.StaysQuietFor(patience)) << "flood never started";

    EXPECT_LT(device.process.TicksUsedOver(idleWindow), idleTickBound);

    // Still flowing, in order, once the client reads again.
    EXPECT_EQ(client.Read(1000), CountingPattern(1000));
}

// Every second answer has its last byte (the CRC's high byte) inverted.
TEST(DeviceModbus, AnswersReadRequestsAndCorruptsOnRequest)
{
    RunningDevice device({"--quiet", "--corrupt", "2", "modbus"});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    const Bytes request{0x01, 0x03, 0x00, 0x02, 0x00, 0x01, 0x25, 0xCA};
    const Bytes answer{0x01, 0x03, 0x02, 0x00, 0x02, 0x39, 0x85};
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(client.Write(request));
        Bytes expected = answer;
        if (round == 2) {
            expected.back() = static_cast<std::uint8_t>(~expected.back());
        }
        EXPECT_EQ(client.Read(answer.size()), expected) << round;
    }
}

// A request in two pieces with a pause longer than the gap is one frame; every
// second answer has its sum (before the closing 16) inverted.
TEST(DeviceDlt645, AnswersARequestInPiecesAndCorruptsItsSum)
{
    RunningDevice device({"--quiet", "--corrupt", "2", "dlt645"});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    const Bytes head{0xFE, 0x68, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00, 0x68};
    const Bytes rest{0x11, 0x04, 0x33, 0x33, 0x34, 0x33, 0xF8, 0x16};
    Bytes answer{0xFE, 0xFE, 0xFE, 0xFE, 0x68, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00, 0x68,
                 0x91, 0x08, 0x33, 0x33, 0x34, 0x33, 0x89, 0x67, 0x45, 0x33, 0xE4, 0x16};
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(client.Write(head));
        LetTimePass(50ms);
        ASSERT_TRUE(client.Write(rest));
        EXPECT_EQ(client.Read(answer.size()), answer) << round;
        answer[22] = static_cast<std::uint8_t>(~0xE4);
    }
}

TEST(DeviceLog, ReportsTheLineSettingsAClientSets)
{
    RunningDevice device({});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    const std::pair<tcflag_t, const char*> rows[] = {{CRTSCTS, " settings 115200 8N1 rtscts"},
                                                     {CSTOPB, " settings 115200 8N2"}};
    for (const auto& [flag, text] : rows) {
        termios line{};
        ASSERT_EQ(::tcgetattr(client.Fd(), &line), 0);
        line.c_cflag = (line.c_cflag & ~static_cast<tcflag_t>(CRTSCTS | CSTOPB)) | flag;
        ::cfsetspeed(&line, B115200);
        ASSERT_EQ(::tcsetattr(client.Fd(), TCSANOW, &line), 0);
        std::optional<std::string> logged;
        do {
            logged = device.process.ReadLine();
        } while (logged && logged->find(" settings ") == std::string::npos);
        ASSERT_TRUE(logged.has_value()) << text;
        EXPECT_EQ(logged->substr(logged->find(" settings ")), text);
    }
}

// The device holds the port end while nobody has it open; a client that
// comes back must still be heard and answered on its first frame.
TEST(DeviceLifetime, AReturningClientIsAnsweredOnItsFirstFrame)
{
    RunningDevice device({"--quiet", "reply", "06"});
    for (int opening = 0; opening < 3; ++opening) {
        PortClient client(device.path);
        ASSERT_TRUE(client.Write({0x01}));
        EXPECT_EQ(client.Read(1), Bytes{0x06}) << opening;
    }
}

// Sets the line as a program opening the port does; the same settings
// every time, so only the first opening may change what the device sees.
void SetLine(const PortClient& client, speed_t speed)
{
    termios line{};
    ASSERT_EQ(::tcgetattr(client.Fd(), &line), 0);
    ::cfsetspeed(&line, speed);
    ASSERT_EQ(::tcsetattr(client.Fd(), TCSANOW, &line), 0);
}

// `--expect` takes spaced hex as the request does: the answer below is
// seven bytes, not `01` with the rest added to the request.
TEST(DeviceMaster, ExpectTakesSpacedHexAsTheRequestDoes)
{
    const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
    const Bytes answer{0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B};
    RunningDevice device({"master", "01", "03", "00", "00", "00", "01", "84", "0A", "--every",
                          "20", "--count", "3", "--expect", "01", "03", "02", "00", "2A", "39",
                          "9B"});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    SetLine(client, B115200);
    for (int round = 1; round <= 3; ++round) {
        ASSERT_EQ(client.Read(request.size()), request) << round;
        ASSERT_TRUE(client.Write(answer));
    }
    const std::string log = device.process.ReadAllOutput();
    EXPECT_NE(log.find("master: sent 3 answered 3 unanswered 0 twice 0 wrong 0 "),
              std::string::npos)
        << log;
    const auto status = device.process.WaitForExit(patience);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->code, 0);
}

// The master starts when a client opens the port, also a client that opens
// it again with the settings it had: nothing about the line changes then.
// Nothing is sent while nobody has the port, and nothing piles up for the
// next client meanwhile.
TEST(DeviceMaster, StartsWhenAClientOpensThePortAgainWithTheSameSettings)
{
    const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
    RunningDevice device(
        {"master", "01", "03", "00", "00", "00", "01", "84", "0A", "--every", "200"});
    for (int opening = 1; opening <= 3; ++opening) {
        PortClient client(device.path);
        ASSERT_TRUE(client.IsOpen());
        SetLine(client, B9600);
        EXPECT_EQ(client.Read(request.size()), request) << "opening " << opening;
        EXPECT_TRUE(client.StaysQuietFor(50ms)) << "requests piled up, opening " << opening;
        client.Close();
        LetTimePass(500ms); // two requests' time with nobody there
    }
    // A client that sets nothing at all is served too.
    PortClient plain(device.path);
    ASSERT_TRUE(plain.IsOpen());
    EXPECT_EQ(plain.Read(request.size()), request);
    device.process.Signal(SIGTERM);
    const std::string log = device.process.ReadAllOutput();
    EXPECT_NE(log.find("master: sent 4 answered 0 unanswered 4 "), std::string::npos) << log;
}

TEST(DeviceSilent, ReceivesButNeverAnswers)
{
    RunningDevice device({"silent"});
    PortClient client(device.path);
    ASSERT_TRUE(client.IsOpen());
    ASSERT_TRUE(client.Write({0x01, 0x02}));
    const auto line = device.process.ReadLine();
    ASSERT_TRUE(line.has_value());
    EXPECT_NE(line->find(" RX 01"), std::string::npos) << *line;
    EXPECT_TRUE(client.StaysQuietFor(quietWindow));
}

TEST(DeviceCommandLine, HelpExitsZeroAndExplainsHowToMapThePort)
{
    DeviceProcess help({"--help"});
    const std::string text = help.ReadAllOutput();
    const auto status = help.WaitForExit(patience);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->exited);
    EXPECT_EQ(status->code, 0);
    for (const char* word :
         {"QUORVANE_COM", "--link", "echo", "silent", "reply", "flood", "dlt645"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}

TEST(DeviceCommandLine, RefusesBadArgumentsWithOneLineAndStatusTwo)
{
    const std::vector<std::vector<std::string>> bad{
        {"--bogus"},    {"--gap"},         {"--gap", "soon"}, {"--delay=-1"}, {"mystery"},
        {"reply"},      {"reply", "0G"},   {"reply", "123"},  {"flood"},      {"flood", "x"},
        {"flood", "0"}, {"echo", "extra"}, {"--quiet=yes"},   {"--link="},
        {"dlt645", "--address", "12"},
    };
    for (const auto& args : bad) {
        DeviceProcess device(args);
        const std::string errors = device.ReadAllErrors();
        const std::string output = device.ReadAllOutput();
        const auto status = device.WaitForExit(patience);
        ASSERT_TRUE(status.has_value()) << args.front();
        EXPECT_TRUE(status->exited);
        EXPECT_EQ(status->code, 2) << args.front();
        EXPECT_TRUE(output.empty()) << output;
        ASSERT_FALSE(errors.empty()) << args.front();
        EXPECT_EQ(errors.find('\n'), errors.size() - 1) << errors;
    }
}

TEST(DeviceLifetime, SigtermExitsZeroAndRemovesTheLink)
{
    const TemporaryDirectory directory;
    ASSERT_FALSE(directory.Path().empty());
    const std::string link = directory.Path() + "/com2";
    ASSERT_EQ(::symlink("/nonexistent/older-device", link.c_str()), 0);

    RunningDevice device({"--quiet", "--link", link});
    ASSERT_FALSE(device.path.empty());
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), device.path);
    {
        PortClient client(link);
        ExpectEchoRoundTrip(client, {0x42});
    }

    device.process.Signal(SIGTERM);
    const auto status = device.process.WaitForExit(patience);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->exited);
    EXPECT_EQ(status->code, 0);
    struct stat gone = {};
    EXPECT_NE(::lstat(link.c_str(), &gone), 0);
}

TEST(DeviceLifetime, SigintExitsZero)
{
    RunningDevice device({"--quiet"});
    device.process.Signal(SIGINT);
    const auto status = device.process.WaitForExit(patience);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->exited);
    EXPECT_EQ(status->code, 0);
}

TEST(DeviceLifetime, KeepsRunningWhileClientsComeAndGo)
{
    RunningDevice device({"--quiet"});
    for (std::uint8_t round = 0; round < 2; ++round) {
        PortClient client(device.path);
        ExpectEchoRoundTrip(client, {round, 0x0D, 0x0A});
        client.Close();
        EXPECT_FALSE(device.process.WaitForExit(quietWindow).has_value())
            << "ended when a client closed the port";
    }
}

TEST(DeviceLifetime, ExitOnCloseEndsWhenTheClientCloses)
{
    RunningDevice device({"--quiet", "--exit-on-close"});
    EXPECT_FALSE(device.process.WaitForExit(quietWindow).has_value())
        << "ended before any client came";
    PortClient client(device.path);
    ExpectEchoRoundTrip(client, {0x01, 0x02});
    client.Close();
    const auto status = device.process.WaitForExit(patience);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->exited);
    EXPECT_EQ(status->code, 0);
}

TEST(DeviceLifetime, LingerEndsOnceTheClientStaysAway)
{
    RunningDevice device({"--quiet", "--linger", "100"});
    PortClient client(device.path);
    ExpectEchoRoundTrip(client, {0x7E});
    client.Close();
    const auto status = device.process.WaitForExit(patience);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->exited);
    EXPECT_EQ(status->code, 0);
}

TEST(DeviceIdle, UsesNoCpuWithoutClientWithOneAndAfterItLeft)
{
    RunningDevice device({"--quiet"});
    ASSERT_FALSE(device.path.empty());
    EXPECT_LT(device.process.TicksUsedOver(idleWindow), idleTickBound) << "no client yet";

    PortClient client(device.path);
    ExpectEchoRoundTrip(client, {0x01});
    EXPECT_LT(device.process.TicksUsedOver(idleWindow), idleTickBound) << "client attached";

    client.Close();
    EXPECT_LT(device.process.TicksUsedOver(idleWindow), idleTickBound) << "client gone";
    // And it still notices the next client.
    PortClient next(device.path);
    ExpectEchoRoundTrip(next, {0x02});
}

} // namespace
