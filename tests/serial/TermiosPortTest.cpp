#include "TermiosPort.h"
#include "EventWait.h"
#include "PtyPair.h"
#include "TerminalDevice.h"

#include <QSocketNotifier>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using test::ComBinding;
using test::CountWakeUps;
using test::PtyPair;
using test::WaitUntil;

constexpr int kCom = 5;
constexpr int kBreak = SerialPort::comEventBreak;
constexpr int kReceive = SerialPort::comEvReceive;
// Wake-ups of the event loop in an observation window (at most 300 ms) that
// still count as idle. An idle loop wakes a few times, a few hundred with a
// 1 ms polling timer of an enclosing wait running; a descriptor that stays
// ready wakes it tens of thousands of times.
constexpr int kIdleWakeUps = 1000;
// The frames OutputWithoutWaiting hands the port.
constexpr std::size_t kFrame = 64 * 1024;

// A port with its event delivery reachable, fed segments as if read from the line.
class SeamPort : public TermiosPort {
public:
    using TermiosPort::deliver;
};

// One raised OnComm: its code and what Input returned in the handler.
struct Raised {
    int code = 0;
    ByteList input;
    bool operator==(const Raised&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Raised& raised)
{
    out << "{" << raised.code << ":";
    for (const std::uint8_t byte : raised.input) {
        out << " " << std::hex << int(byte) << std::dec;
    }
    return out << "}";
}

// Records every event with the bytes its handler reads.
void Record(SerialPort& port, std::vector<Raised>& log)
{
    QObject::connect(&port, &SerialPort::OnComm, &port, [&port, &log] {
        log.push_back({port.CommEvent(), port.Input()});
    });
}

ByteList ReceivedBytes(const std::vector<Raised>& log)
{
    ByteList bytes;
    for (const Raised& raised : log) {
        bytes.insert(bytes.end(), raised.input.begin(), raised.input.end());
    }
    return bytes;
}

// Joins neighbouring receive events: how the line splits data into reads is
// not the port's to decide, the order of data and breaks is.
std::vector<Raised> Joined(const std::vector<Raised>& log)
{
    std::vector<Raised> joined;
    for (const Raised& raised : log) {
        if (raised.code == kReceive && !joined.empty() && joined.back().code == kReceive) {
            joined.back().input.insert(joined.back().input.end(), raised.input.begin(),
                                       raised.input.end());
        } else {
            joined.push_back(raised);
        }
    }
    return joined;
}

ByteList EveryByteValue()
{
    ByteList bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

ByteList Pattern(std::size_t size, unsigned seed)
{
    ByteList bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251 + seed);
    }
    return bytes;
}

ByteList Concat(std::initializer_list<ByteList> chunks)
{
    ByteList all;
    for (const ByteList& chunk : chunks) {
        all.insert(all.end(), chunk.begin(), chunk.end());
    }
    return all;
}

// Where two long byte lists first differ, for a readable failure.
std::string FirstDifference(const ByteList& got, const ByteList& wanted)
{
    std::ostringstream out;
    const std::size_t common = std::min(got.size(), wanted.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (got[i] != wanted[i]) {
            out << "byte " << i << ": got " << int(got[i]) << ", wanted " << int(wanted[i]);
            return out.str();
        }
    }
    out << "got " << got.size() << " bytes, wanted " << wanted.size();
    return out.str();
}

int OpenDescriptors()
{
    int count = 0;
    for (int fd = 0; fd < 1024; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) {
            ++count;
        }
    }
    return count;
}

bool AnyNotifierEnabled(const QObject& port)
{
    for (const QSocketNotifier* notifier : port.findChildren<QSocketNotifier*>()) {
        if (notifier->isEnabled()) {
            return true;
        }
    }
    return false;
}

// Whether another process can take the device: a child opens the path and
// tries the same exclusive lock the port takes.
enum class ChildLock { Taken, Refused, CannotOpen, Failed };

ChildLock ChildTriesLock(const std::string& path)
{
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            _exit(2);
        }
        _exit(flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    if (child < 0) {
        return ChildLock::Failed;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return ChildLock::Failed;
    }
    switch (WEXITSTATUS(status)) {
    case 0:
        return ChildLock::Taken;
    case 1:
        return ChildLock::Refused;
    case 2:
        return ChildLock::CannotOpen;
    default:
        return ChildLock::Failed;
    }
}

// Whether this kernel's pseudo-terminals keep the character size and parity
// they are given (Linux forces 8 bits without parity on them).
bool PseudoTerminalsKeepFraming()
{
    PtyPair pty;
    termios attributes = pty.slaveAttributes();
    attributes.c_cflag = (attributes.c_cflag & ~CSIZE) | CS7 | PARENB;
    pty.setSlaveAttributes(attributes);
    const termios held = pty.slaveAttributes();
    return (held.c_cflag & CSIZE) == CS7 && (held.c_cflag & PARENB) != 0;
}

// Watches a stretch of code that must not wait for the device to read: if
// it has not finished after a while, the device side is drained to set it
// free, and finish() reports that it had to.
class ReaderRescue {
public:
    explicit ReaderRescue(const PtyPair& pty)
        : watchdog_([this, &pty] {
              std::unique_lock lock(mutex_);
              if (finished_cv_.wait_for(lock, 10s, [this] { return finished_; })) {
                  return;
              }
              rescued_ = true;
              while (!finished_) {
                  lock.unlock();
                  pty.receive(1 << 16);
                  lock.lock();
                  finished_cv_.wait_for(lock, 10ms, [this] { return finished_; });
              }
          })
    {
    }
    ~ReaderRescue() { finish(); }

    // Whether the watched code had to be set free.
    bool finish()
    {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        finished_cv_.notify_all();
        if (watchdog_.joinable()) {
            watchdog_.join();
        }
        return rescued_;
    }

private:
    std::mutex mutex_;
    std::condition_variable finished_cv_;
    bool finished_ = false;
    std::atomic<bool> rescued_{false};
    std::thread watchdog_;
};

// Outputs bytes in pieces; false when an Output call waited for the device.
bool OutputWithoutWaiting(SerialPort& port, const PtyPair& pty, const ByteList& bytes)
{
    ReaderRescue rescue(pty);
    for (std::size_t at = 0; at < bytes.size(); at += kFrame) {
        const std::size_t end = std::min(bytes.size(), at + kFrame);
        port.Output(ByteList(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(end)));
    }
    return !rescue.finish();
}

// Frames of kFrame bytes that had bytes handed to the driver, given what waits.
std::size_t FramesStarted(std::size_t total, std::size_t waiting)
{
    return (total - waiting + kFrame - 1) / kFrame;
}

class PortOnPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.valid());
        port.setCommPort(kCom);
        port.setSettings("9600,n,8,1");
    }

    // Reads at the device side until count bytes came or the deadline passed.
    ByteList receiveAtDevice(std::size_t count)
    {
        ByteList got;
        WaitUntil([&] {
            const ByteList more = pty.receive(count - got.size());
            got.insert(got.end(), more.begin(), more.end());
            return got.size() >= count;
        });
        return got;
    }

    PtyPair pty;
    ComBinding binding{kCom, pty.slavePath()};
    TermiosPort port;
    std::vector<Raised> raised;
};

TEST_F(PortOnPty, FrameOutAndAnswerBackInOrder)
{
    Record(port, raised);
    ASSERT_TRUE(port.setPortOpen(true));
    EXPECT_TRUE(port.PortOpen());

    const ByteList frame{0x68, 0x10, 0x01, 0x03, 0x00, 0x0D, 0x0A, 0xFF, 0x00, 0x16};
    port.Output(frame);
    EXPECT_EQ(receiveAtDevice(frame.size()), frame);

    const ByteList answer{0x68, 0x90, 0x02, 0x11, 0x13, 0x03, 0x04, 0x16};
    ASSERT_TRUE(pty.send(answer));
    ASSERT_TRUE(WaitUntil([&] { return ReceivedBytes(raised).size() >= answer.size(); }));
    EXPECT_EQ(ReceivedBytes(raised), answer);
    for (const Raised& event : raised) {
        EXPECT_EQ(event.code, kReceive);
        EXPECT_FALSE(event.input.empty()) << "an event with nothing received";
    }
    EXPECT_TRUE(port.Input().empty());
}

TEST_F(PortOnPty, EveryByteValuePassesUnchangedBothWays)
{
    Record(port, raised);
    ASSERT_TRUE(port.setPortOpen(true));

    const ByteList values = EveryByteValue();
    port.Output(values);
    EXPECT_EQ(receiveAtDevice(values.size()), values);

    // The line discipline doubles a received FF; the port gives back the one
    // byte the device sent, and a device sending FF 00 00 sent data, not a break.
    const ByteList sent =
        Concat({values, {0xFF}, {0xFF, 0x00, 0x00}, {0xFF, 0xFF}, {0xFF, 0x00, 0x41}, {0xFF}});
    ASSERT_TRUE(pty.send(sent));
    ASSERT_TRUE(WaitUntil([&] { return ReceivedBytes(raised).size() >= sent.size(); }));
    EXPECT_EQ(ReceivedBytes(raised), sent);
    for (const Raised& event : raised) {
        EXPECT_EQ(event.code, kReceive);
    }
}

TEST_F(PortOnPty, BreaksMarkedInTheStreamAreRaisedBetweenTheirData)
{
    // A pty cannot carry a break. With PARMRK off on the slave the bytes the
    // device writes arrive as they are, so it can send the FF 00 00 mark a
    // UART driver puts in the stream for a break.
    Record(port, raised);
    ASSERT_TRUE(port.setPortOpen(true));
    termios attributes = pty.slaveAttributes();
    attributes.c_iflag &= ~PARMRK;
    ASSERT_TRUE(pty.setSlaveAttributes(attributes));

    ASSERT_TRUE(pty.send({0x41, 0xFF, 0x00, 0x00, 0x42, 0xFF, 0xFF, 0x43, 0xFF, 0x00, 0x44, 0xFF,
                          0x00, 0x00, 0xFF, 0x00, 0x00, 0x45}));
    ASSERT_TRUE(WaitUntil([&] {
        return !raised.empty() && raised.back().code == kReceive && !raised.back().input.empty() &&
               raised.back().input.back() == 0x45;
    }));
    const std::vector<Raised> expected{
        {kReceive, {0x41}}, {kBreak, {}}, {kReceive, {0x42, 0xFF, 0x43, 0x44}},
        {kBreak, {}},       {kBreak, {}}, {kReceive, {0x45}}};
    EXPECT_EQ(Joined(raised), expected);
}

TEST(TermiosPortDelivery, RaisesDataAndBreaksInLineOrder)
{
    SeamPort port;
    std::vector<Raised> raised;
    Record(port, raised);
    using S = ReceivedSegment;
    port.deliver({S::Data({0x01, 0x02}), S::Break(), S::Data({0x03}), S::Break(), S::Break(),
                  S::Data({0x04, 0x05})});
    const std::vector<Raised> expected{
        {kReceive, {0x01, 0x02}}, {kBreak, {}}, {kReceive, {0x03}}, {kBreak, {}}, {kBreak, {}},
        {kReceive, {0x04, 0x05}}};
    EXPECT_EQ(raised, expected);
    EXPECT_EQ(port.CommEvent(), kReceive);
}

TEST(TermiosPortDelivery, UnreadBytesWaitInTheInputBufferOldestFirst)
{
    SeamPort port;
    std::vector<int> codes;
    QObject::connect(&port, &SerialPort::OnComm, [&] { codes.push_back(port.CommEvent()); });
    using S = ReceivedSegment;
    port.deliver(
        {S::Data({0x01}), S::Break(), S::Data({0x02, 0x03}), S::Data({}), S::Data({0x04})});
    EXPECT_EQ(codes, (std::vector<int>{kReceive, kBreak, kReceive}));
    EXPECT_EQ(port.Input(), (ByteList{0x01, 0x02, 0x03, 0x04}));
    EXPECT_TRUE(port.Input().empty());

    codes.clear();
    port.deliver({S::Data({})});
    port.deliver({});
    EXPECT_TRUE(codes.empty()) << "nothing received, nothing raised";

    port.deliver({S::Data({0x05})});
    port.setInBufferCount(0);
    EXPECT_TRUE(port.Input().empty());
}

TEST(TermiosPortDelivery, EventsArrivingInsideAHandlerWaitForItToReturn)
{
    SeamPort port;
    std::vector<Raised> raised;
    int depth = 0;
    int nestedRaises = 0;
    bool fedMore = false;
    using S = ReceivedSegment;
    QObject::connect(&port, &SerialPort::OnComm, [&] {
        if (depth > 0) {
            ++nestedRaises;
        }
        ++depth;
        raised.push_back({port.CommEvent(), port.Input()});
        if (!fedMore) {
            fedMore = true;
            port.deliver({S::Data({0x03}), S::Break()});
        }
        --depth;
    });
    port.deliver({S::Data({0x01}), S::Break(), S::Data({0x02})});
    EXPECT_EQ(nestedRaises, 0);
    const std::vector<Raised> expected{
        {kReceive, {0x01}}, {kBreak, {}}, {kReceive, {0x02, 0x03}}, {kBreak, {}}};
    EXPECT_EQ(raised, expected);
}

TEST_F(PortOnPty, ClosingInsideAHandlerDropsTheRestOfTheEvents)
{
    SeamPort seam;
    seam.setCommPort(kCom);
    ASSERT_TRUE(seam.setPortOpen(true));
    std::vector<int> codes;
    QObject::connect(&seam, &SerialPort::OnComm, [&] {
        codes.push_back(seam.CommEvent());
        seam.setPortOpen(false);
    });
    using S = ReceivedSegment;
    seam.deliver({S::Data({0x01}), S::Break(), S::Data({0x02})});
    EXPECT_EQ(codes, std::vector<int>{kReceive});
    EXPECT_FALSE(seam.PortOpen());
    CountWakeUps(50ms);
    EXPECT_EQ(codes, std::vector<int>{kReceive});
    EXPECT_TRUE(port.setPortOpen(true)) << "the device was not let go";
}

TEST_F(PortOnPty, EveryFramingTheDialogOffersOpensOrFailsCleanly)
{
    const bool keepsFraming = PseudoTerminalsKeepFraming();
    const std::pair<const char*, speed_t> bauds[] = {{"38400", B38400}, {"19200", B19200},
                                                     {"9600", B9600},   {"4800", B4800},
                                                     {"2400", B2400},   {"1200", B1200}};
    const tcflag_t sizes[] = {0, CS5, CS6, CS7, CS8};
    for (const auto& [baudText, baud] : bauds) {
        for (int dataBits = 4; dataBits <= 8; ++dataBits) {
            for (const char parity : {'n', 'o', 'e'}) {
                for (const std::string stop : {"1", "1.5", "2"}) {
                    const std::string text = std::string(baudText) + "," + parity + "," +
                                             std::to_string(dataBits) + "," + stop;
                    SCOPED_TRACE(text);
                    port.setSettings(text);
                    const bool carried = dataBits >= 5 && (stop != "1.5" || dataBits == 5);
                    if (!carried) {
                        EXPECT_FALSE(port.setPortOpen(true));
                        EXPECT_FALSE(port.PortOpen());
                        TermiosPort other;
                        other.setCommPort(kCom);
                        EXPECT_TRUE(other.setPortOpen(true)) << "left held after a failed open";
                        continue;
                    }
                    ASSERT_TRUE(port.setPortOpen(true));
                    const termios t = pty.slaveAttributes();
                    EXPECT_EQ(cfgetospeed(&t), baud);
                    EXPECT_EQ(cfgetispeed(&t), baud);
                    if (keepsFraming) {
                        EXPECT_EQ(t.c_cflag & CSIZE, sizes[dataBits - 4]);
                        EXPECT_EQ((t.c_cflag & PARENB) != 0, parity != 'n');
                    } else {
                        EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
                        EXPECT_EQ(t.c_cflag & PARENB, 0u);
                    }
                    EXPECT_EQ((t.c_cflag & PARODD) != 0, parity == 'o');
                    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, stop != "1");
                    EXPECT_EQ((t.c_iflag & INPCK) != 0, parity != 'n');
                    EXPECT_NE(t.c_iflag & PARMRK, 0u);
                    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IGNBRK | BRKINT | IGNPAR | ISTRIP |
                                           ICRNL | INLCR | IGNCR),
                              0u);
                    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
                    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
                    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
                    EXPECT_EQ(t.c_oflag & OPOST, 0u);
                    EXPECT_EQ(t.c_cc[VMIN], 0);
                    EXPECT_EQ(t.c_cc[VTIME], 0);
                    EXPECT_TRUE(port.setPortOpen(false));
                    EXPECT_FALSE(port.PortOpen());
                }
            }
        }
    }
}

TEST_F(PortOnPty, MalformedSettingsOpenNothing)
{
    for (const char* text : {"", "9600", "9600,n,8", "fast,n,8,1", "49,n,8,1", "9600,q,8,1",
                             "9600,n,8,1,extra", "9600,n,9,1", "9600,n,8,1.25"}) {
        SCOPED_TRACE(text);
        port.setSettings(text);
        EXPECT_FALSE(port.setPortOpen(true));
        EXPECT_FALSE(port.PortOpen());
        EXPECT_EQ(ChildTriesLock(pty.slavePath()), ChildLock::Taken);
    }
    port.setSettings("9600,n,8,1");
    EXPECT_TRUE(port.setPortOpen(true));
}

TEST_F(PortOnPty, OpeningAnOpenPortChangesNothing)
{
    ASSERT_TRUE(port.setPortOpen(true));
    port.setSettings("1200,e,7,2");
    EXPECT_TRUE(port.setPortOpen(true));
    EXPECT_TRUE(port.PortOpen());
    termios t = pty.slaveAttributes();
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);

    // The stored settings take effect at the next opening.
    ASSERT_TRUE(port.setPortOpen(false));
    ASSERT_TRUE(port.setPortOpen(true));
    t = pty.slaveAttributes();
    EXPECT_EQ(cfgetospeed(&t), B1200);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(port.Settings(), "1200,e,7,2");
    EXPECT_EQ(port.CommPort(), kCom);
}

TEST_F(PortOnPty, TheDeviceIsHeldByOneOpenerAtATime)
{
    ASSERT_TRUE(port.setPortOpen(true));

    TermiosPort second;
    second.setCommPort(kCom);
    const int descriptors = OpenDescriptors();
    EXPECT_FALSE(second.setPortOpen(true)) << "a second port in this process";
    EXPECT_FALSE(second.PortOpen());
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a refused opening kept its descriptor";

    char linkDir[] = "/tmp/quorvane-link-XXXXXX";
    ASSERT_NE(mkdtemp(linkDir), nullptr);
    const std::string alias = std::string(linkDir) + "/com";
    ASSERT_EQ(symlink(pty.slavePath().c_str(), alias.c_str()), 0);
    {
        ComBinding aliasBinding(kCom + 1, alias);
        TermiosPort byAlias;
        byAlias.setCommPort(kCom + 1);
        EXPECT_FALSE(byAlias.setPortOpen(true)) << "the same device under another name";
    }
    unlink(alias.c_str());
    rmdir(linkDir);

    EXPECT_EQ(ChildTriesLock(pty.slavePath()), ChildLock::Refused) << "another process";

    // The holder still works after the refusals.
    port.Output({0x55, 0xAA});
    EXPECT_EQ(receiveAtDevice(2), (ByteList{0x55, 0xAA}));

    ASSERT_TRUE(port.setPortOpen(false));
    EXPECT_EQ(ChildTriesLock(pty.slavePath()), ChildLock::Taken);
    EXPECT_TRUE(second.setPortOpen(true));
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_EQ(ChildTriesLock(pty.slavePath()), ChildLock::Refused);

    {
        TermiosPort third;
        third.setCommPort(kCom);
        ASSERT_TRUE(second.setPortOpen(false));
        ASSERT_TRUE(third.setPortOpen(true));
    }
    EXPECT_TRUE(port.setPortOpen(true)) << "destroying an open port lets the device go";
}

// A close that waits on its driver runs aside: the caller goes on at once,
// and an opening of the device waits for it a moment, then refuses it.
TEST_F(PortOnPty, ADeviceStillClosingIsWaitedForAMomentThenRefused)
{
    const dev_t device = TerminalNumber(pty.slavePath());
    std::promise<void> chipEmpty;
    const std::shared_future<void> sent = chipEmpty.get_future().share();
    CloseAside(open("/dev/null", O_RDONLY | O_CLOEXEC), device, [sent](int fd) {
        sent.wait();
        close(fd);
    });
    EXPECT_FALSE(WaitForClose(device, 0ms));
    EXPECT_FALSE(port.setPortOpen(true));
    chipEmpty.set_value();
    EXPECT_TRUE(WaitForClose(device, 5s));
    EXPECT_TRUE(port.setPortOpen(true));
}

TEST(TermiosPortOpen, RefusesWhatIsNotATerminal)
{
    constexpr int kOtherCom = 9;
    char dir[] = "/tmp/quorvane-link-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/frames.log";
    const std::string content = "68 10 01 03 16\nnot a device\n";
    {
        std::ofstream out(file, std::ios::binary);
        out << content;
    }
    const timespec past[2] = {{978307200, 0}, {978307200, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), past, 0), 0);

    TermiosPort port;
    port.setCommPort(kOtherCom);
    const int descriptors = OpenDescriptors();
    for (const std::string& path :
         {file, std::string(dir), std::string(dir) + "/missing", std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        ComBinding binding(kOtherCom, path);
        EXPECT_FALSE(port.setPortOpen(true));
        EXPECT_FALSE(port.PortOpen());
        EXPECT_EQ(OpenDescriptors(), descriptors) << "a refused opening kept its descriptor";
    }

    struct stat after = {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, past[1].tv_sec);
    EXPECT_EQ(after.st_size, static_cast<off_t>(content.size()));
    std::ifstream in(file, std::ios::binary);
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, content);
    EXPECT_EQ(ChildTriesLock(file), ChildLock::Taken) << "left locked";

    for (const int n : {0, -1}) {
        port.setCommPort(n);
        EXPECT_FALSE(port.setPortOpen(true)) << "COM" << n;
    }
    unlink(file.c_str());
    rmdir(dir);
}

TEST_F(PortOnPty, HangUpClosesThePortOnceAndLeavesTheLoopIdle)
{
    Record(port, raised);
    int hangUps = 0;
    bool openAtHangUp = true;
    QObject::connect(&port, &SerialPort::closedByHangUp, [&] {
        ++hangUps;
        openAtHangUp = port.PortOpen();
    });
    ASSERT_TRUE(port.setPortOpen(true));
    pty.closeMaster();

    ASSERT_TRUE(WaitUntil([&] { return hangUps > 0; }));
    EXPECT_FALSE(openAtHangUp);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_FALSE(AnyNotifierEnabled(port));

    // A descriptor left watched after a hang-up is ready all the time.
    EXPECT_LT(CountWakeUps(300ms), kIdleWakeUps);
    EXPECT_EQ(hangUps, 1);
    EXPECT_TRUE(raised.empty());

    PtyPair next;
    ComBinding nextBinding(kCom, next.slavePath());
    ASSERT_TRUE(port.setPortOpen(true));
    ASSERT_TRUE(next.send({0x31, 0x32}));
    EXPECT_TRUE(WaitUntil([&] { return ReceivedBytes(raised) == ByteList{0x31, 0x32}; }));
}

TEST_F(PortOnPty, HangUpWithOutputWaitingDropsItAndStaysIdle)
{
    int hangUps = 0;
    QObject::connect(&port, &SerialPort::closedByHangUp, [&] { ++hangUps; });
    ASSERT_TRUE(port.setPortOpen(true));
    ASSERT_TRUE(OutputWithoutWaiting(port, pty, Pattern(1 << 20, 5)));
    pty.closeMaster();

    ASSERT_TRUE(WaitUntil([&] { return hangUps > 0; }));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_LT(CountWakeUps(300ms), kIdleWakeUps);
    EXPECT_EQ(hangUps, 1);
    port.Output({0x01});
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(PortOnPty, HangUpInsideAHandlerWaitsForItWithoutSpinning)
{
    int hangUps = 0;
    QObject::connect(&port, &SerialPort::closedByHangUp, [&] { ++hangUps; });
    int wakeUpsWhileHungUp = -1;
    int hangUpsInsideHandler = -1;
    bool openInsideHandler = false;
    ByteList received;
    QObject::connect(&port, &SerialPort::OnComm, [&] {
        const ByteList input = port.Input();
        received.insert(received.end(), input.begin(), input.end());
        if (wakeUpsWhileHungUp < 0) {
            // A modal box is open when the device goes away.
            pty.closeMaster();
            wakeUpsWhileHungUp = CountWakeUps(300ms);
            hangUpsInsideHandler = hangUps;
            openInsideHandler = port.PortOpen();
        }
    });
    ASSERT_TRUE(port.setPortOpen(true));
    ASSERT_TRUE(pty.send({0x10, 0x20}));

    ASSERT_TRUE(WaitUntil([&] { return hangUps > 0; }));
    EXPECT_LT(wakeUpsWhileHungUp, kIdleWakeUps);
    EXPECT_EQ(hangUpsInsideHandler, 0);
    EXPECT_TRUE(openInsideHandler);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(received, (ByteList{0x10, 0x20}));
    EXPECT_LT(CountWakeUps(100ms), kIdleWakeUps);
    EXPECT_EQ(hangUps, 1);
}

TEST_F(PortOnPty, OutputNeverWaitsForASlowReader)
{
    ASSERT_TRUE(port.setPortOpen(true));
    const ByteList all = Pattern(1 << 20, 1);

    // Nothing reads the device until every Output call has returned.
    ASSERT_TRUE(OutputWithoutWaiting(port, pty, all)) << "Output waited until the device read";

    ByteList received;
    QTimer reader;
    reader.setInterval(1);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        const ByteList chunk = pty.receive(8192);
        received.insert(received.end(), chunk.begin(), chunk.end());
    });
    reader.start();
    EXPECT_TRUE(WaitUntil([&] { return received.size() >= all.size(); }, 20s));
    reader.stop();
    EXPECT_TRUE(received == all) << FirstDifference(received, all);
}

TEST_F(PortOnPty, AHandlerRunningANestedLoopGetsEveryByteInOrder)
{
    ASSERT_TRUE(port.setPortOpen(true));
    const ByteList opening = Pattern(100, 2);
    const std::vector<ByteList> pieces{Pattern(200 * 1024, 3), Pattern(150 * 1024, 4),
                                       Pattern(100 * 1024, 6)};
    ByteList received;
    std::size_t nextPiece = 0;
    int depth = 0;
    int nestedRaises = 0;
    bool piecesWentThrough = true;
    QObject::connect(&port, &SerialPort::OnComm, [&] {
        if (depth > 0) {
            ++nestedRaises;
        }
        ++depth;
        const ByteList input = port.Input();
        received.insert(received.end(), input.begin(), input.end());
        if (nextPiece < pieces.size()) {
            // Like a modal box: a nested loop while the device sends more
            // than the line holds, so the port must read it meanwhile.
            const ByteList& piece = pieces[nextPiece++];
            std::size_t sent = 0;
            piecesWentThrough &= WaitUntil([&] {
                sent += pty.sendSome(piece.data() + sent, piece.size() - sent);
                return sent == piece.size();
            });
        }
        --depth;
    });
    ASSERT_TRUE(pty.send(opening));

    const ByteList all = Concat({opening, pieces[0], pieces[1], pieces[2]});
    EXPECT_TRUE(WaitUntil([&] { return received.size() >= all.size(); }, 20s));
    EXPECT_TRUE(piecesWentThrough) << "the port did not read inside the nested loop";
    EXPECT_EQ(nextPiece, pieces.size());
    EXPECT_EQ(nestedRaises, 0);
    EXPECT_TRUE(received == all) << FirstDifference(received, all);
}

TEST_F(PortOnPty, DiscardingBuffersAndClosingDropWhatWaits)
{
    std::vector<int> codes;
    QObject::connect(&port, &SerialPort::OnComm, [&] { codes.push_back(port.CommEvent()); });
    ASSERT_TRUE(port.setPortOpen(true));

    ASSERT_TRUE(pty.send({0x01, 0x02, 0x03}));
    ASSERT_TRUE(WaitUntil([&] { return !codes.empty(); }));
    port.setInBufferCount(0);
    EXPECT_TRUE(port.Input().empty());
    ASSERT_TRUE(pty.send({0x04, 0x05}));
    ByteList kept;
    ASSERT_TRUE(WaitUntil([&] {
        const ByteList more = port.Input();
        kept.insert(kept.end(), more.begin(), more.end());
        return !kept.empty() && kept.back() == 0x05;
    }));
    EXPECT_EQ(kept, (ByteList{0x04, 0x05}));

    // A stop drops the frames that have not started; the one going out
    // finishes, and nothing reaches the device that was not started.
    const ByteList marker{0xA5, 0x5A, 0xC3, 0x3C};
    const ByteList stopped = Pattern(1 << 20, 7);
    ASSERT_TRUE(OutputWithoutWaiting(port, pty, stopped));
    const std::size_t handed = stopped.size() - port.OutBufferCount();
    const std::size_t started = FramesStarted(stopped.size(), port.OutBufferCount());
    port.setOutBufferCount(0);
    EXPECT_EQ(port.OutBufferCount(), started * kFrame - handed)
        << "only the rest of the frame going out waits";
    port.Output(marker);
    const ByteList atDevice = receiveAtDevice(started * kFrame + marker.size());
    EXPECT_TRUE(atDevice ==
                Concat({ByteList(stopped.begin(), stopped.begin() + started * kFrame), marker}))
        << FirstDifference(atDevice, stopped);

    // Closing drops the frames that have not started and raises nothing
    // more; the frame going out finishes while the port reads as closed.
    const ByteList closed = Pattern(1 << 20, 8);
    ASSERT_TRUE(OutputWithoutWaiting(port, pty, closed));
    const std::size_t startedAtClose = FramesStarted(closed.size(), port.OutBufferCount());
    ASSERT_TRUE(pty.send({0x06}));
    codes.clear();
    int drained = 0;
    QObject::connect(&port, &SerialPort::drained, [&] { ++drained; });
    ASSERT_TRUE(port.setPortOpen(false));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_TRUE(port.Draining());
    EXPECT_FALSE(AnyNotifierEnabled(port));
    EXPECT_LT(CountWakeUps(100ms), kIdleWakeUps);
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(receiveAtDevice(startedAtClose * kFrame).size(), startedAtClose * kFrame);
    ASSERT_TRUE(WaitUntil([&] { return drained > 0; }));
    EXPECT_FALSE(port.Draining());
    EXPECT_TRUE(pty.receive().empty()) << "more than the frame going out";
    EXPECT_FALSE(port.Output({0x07}));
    EXPECT_TRUE(pty.receive().empty());
    EXPECT_TRUE(port.setPortOpen(true)) << "the device was let go";
}

TEST_F(PortOnPty, ReadingStopsWhileHeldOrWhileMuchWaitsToBeRaised)
{
    ASSERT_TRUE(port.setPortOpen(true));
    const ByteList stream = Pattern(16 << 20, 9);
    ByteList received;
    std::size_t sent = 0;
    bool nested = false;
    bool stalled = false;
    QObject::connect(&port, &SerialPort::OnComm, [&] {
        const ByteList input = port.Input();
        received.insert(received.end(), input.begin(), input.end());
        if (nested || received.empty() || received.back() != stream[0]) {
            return;
        }
        // Like a modal box: a nested loop while the device keeps sending.
        nested = true;
        auto progress = std::chrono::steady_clock::now();
        WaitUntil(
            [&] {
                const std::size_t more = pty.sendSome(stream.data() + sent, stream.size() - sent);
                sent += more;
                const auto now = std::chrono::steady_clock::now();
                if (more > 0) {
                    progress = now;
                }
                stalled = now - progress > 300ms;
                return stalled || sent == stream.size();
            },
            60s);
    });

    // Held: nothing is read, the device waits, nothing is lost.
    port.setInputHeld(true);
    ASSERT_TRUE(pty.send({0x01, 0x02}));
    CountWakeUps(100ms);
    EXPECT_TRUE(received.empty());
    port.setInputHeld(false);
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 2; }));

    sent = pty.sendSome(stream.data(), 1);
    ASSERT_TRUE(WaitUntil([&] { return nested && received.size() == 2 + sent; }, 60s));
    EXPECT_TRUE(stalled) << "the port read on while " << sent << " bytes waited to be raised";
    EXPECT_LT(sent, std::size_t(8) << 20);
    EXPECT_TRUE(std::equal(received.begin() + 2, received.end(), stream.begin()))
        << "bytes lost or out of order";
}

TEST(TermiosPortOpen, RefusesTerminalsThatCarryNoLine)
{
    constexpr int kOtherCom = 9;
    PtyPair pty;
    ASSERT_TRUE(pty.valid());
    TermiosPort port;
    port.setCommPort(kOtherCom);
    const int descriptors = OpenDescriptors();
    const std::string master = "/proc/self/fd/" + std::to_string(pty.master());
    for (const std::string& path : {std::string("/dev/ptmx"), std::string("/dev/tty"), master}) {
        SCOPED_TRACE(path);
        ComBinding binding(kOtherCom, path);
        EXPECT_FALSE(port.setPortOpen(true));
        EXPECT_EQ(OpenDescriptors(), descriptors) << "a refused opening kept its descriptor";
    }
    ComBinding binding(kOtherCom, pty.slavePath());
    EXPECT_TRUE(port.setPortOpen(true)) << "pty slaves are how virtual devices are reached";
}

} // namespace
} // namespace quorvane
