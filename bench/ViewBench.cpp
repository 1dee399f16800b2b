// The receive view under load, against the QPlainTextEdit view it replaced.
//   quorvane-bench-view append      one long reception appended in 256-byte pieces
//   quorvane-bench-view receptions  many short receptions, each under its header
//   quorvane-bench-view letters     10^8 bytes of one letter in string display: the
//                                   longest event-loop stall
//   quorvane-bench-view failedspill resident memory over 10^9 bytes with no spill file
//   quorvane-bench-view history     a 10^9-byte history: copying all of it (refused)
//                                   and just under the cap, counting a search with
//                                   its pages in the page cache and, where the
//                                   machine lets it be dropped, read from the disk
//   quorvane-bench-view rewrap      a new width for 10^8 bytes
//   quorvane-bench-view zeros       a 4000-byte hex find over 10^8 zero bytes in decimal
#include "AppendView.h"
#include "BenchReport.h"
#include "ByteFormat.h"
#include "Controls.h"
#include "FakeWindow.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "Offscreen.h"
#include "PlainTextAppendView.h"
#include "LineEngine.h"
#include "SearchPattern.h"
#include "SharedSettings.h"
#include "TextLines.h"
#include "TextSearch.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

using namespace quorvane;
using namespace quorvane::bench;

namespace
{

constexpr int kRepeats = 5;
constexpr std::size_t kBatch = 256;
// The receive view's size in the main window.
constexpr int kViewWidth = 385;
constexpr int kViewHeight = 105;

// Hex text as the receive view shows a reception, `size` bytes of it.
std::string HexText(std::size_t size)
{
    std::string out;
    out.reserve(size + 4);
    for (std::size_t i = 0; out.size() < size; ++i) {
        AppendReceivedByte(ModeHex, static_cast<std::uint8_t>(i * 37 + 11), out);
    }
    out.resize(size);
    return out;
}

template <typename View> std::unique_ptr<View> ShownView()
{
    auto view = std::make_unique<View>();
    view->resize(kViewWidth, kViewHeight);
    ShowExposed(view.get());
    return view;
}

struct AppendRun {
    double seconds = 0;
    double longestAppend = 0;
};

// One reception of `text.size()` bytes, appended in 256-byte pieces to a
// fresh view, then painted once.
template <typename View> AppendRun AppendOneLine(const std::string& text)
{
    auto view = ShownView<View>();
    view->Append("12:34:56接收：");
    QApplication::processEvents();
    AppendRun run;
    const std::string_view all(text);
    const auto start = Clock::now();
    for (std::size_t at = 0; at < all.size(); at += kBatch) {
        const auto before = Clock::now();
        view->AppendBytes(all.substr(at, kBatch));
        run.longestAppend = std::max(run.longestAppend,
                                     std::chrono::duration<double>(Clock::now() - before).count());
    }
    view->repaint(); // the one paint, made now whenever the view would have made it
    run.seconds = SecondsSince(start);
    QApplication::processEvents();
    return run;
}

std::string SizeName(std::size_t bytes)
{
    if (bytes >= 1024 * 1024) {
        return Fixed(static_cast<double>(bytes) / (1024.0 * 1024.0),
                     bytes % (1024 * 1024) ? 2 : 0) +
               " MB";
    }
    return std::to_string(bytes / 1024) + " KB";
}

void AppendFigures()
{
    WriteSection("1. Append cost against history: one hex reception on one line, 256-byte "
                 "appends, then one paint");
    const std::size_t sizes[] = {20 * 1024,   80 * 1024,       320 * 1024,
                                 1280 * 1024, 5 * 1024 * 1024, 20 * 1024 * 1024};
    const std::size_t baselineLimit = 80 * 1024; // 320 KB took 95 s on QPlainTextEdit
    double firstPerKb = 0;
    double lastPerKb = 0;
    Samples longestAtLargest;
    Samples baselineLongest;
    for (std::size_t size : sizes) {
        const std::string text = HexText(size);
        Samples ours;
        Samples longest;
        Samples base;
        for (int r = 0; r < kRepeats; ++r) {
            const AppendRun run = AppendOneLine<AppendView>(text);
            ours.add(run.seconds * 1e3);
            longest.add(run.longestAppend * 1e6);
        }
        if (size <= baselineLimit) {
            Samples baseLongest;
            for (int r = 0; r < kRepeats; ++r) {
                const AppendRun run = AppendOneLine<PlainTextAppendView>(text);
                base.add(run.seconds * 1e3);
                baseLongest.add(run.longestAppend * 1e3);
            }
            if (size == baselineLimit) {
                baselineLongest = baseLongest;
            }
        }
        const double perKb = ours.median() / (static_cast<double>(size) / 1024.0);
        if (firstPerKb == 0) {
            firstPerKb = perKb;
        }
        lastPerKb = perKb;
        longestAtLargest = longest;
        WriteRow(
            {"append " + SizeName(size) + " (" + std::to_string(size / kBatch) + " appends)",
             Spread(ours, 2, "ms"), "-",
             size <= baselineLimit ? Spread(base, 1, "ms") : "not run (too slow)",
             size <= baselineLimit ? Fixed(base.median() / ours.median(), 0) + "x faster" : "-",
             "-"});
    }
    const double growth = lastPerKb / firstPerKb;
    WriteRow({"time per KB, 20 MB run / 20 KB run",
              Fixed(growth, 2) + "x (medians of " + std::to_string(kRepeats) + " runs each)",
              "<= 1.25x", "-", "-", Yes(growth <= 1.25)});
    WriteRow({"largest single append, 20 MB run", Spread(longestAtLargest, 0, "us"), "-",
              "at 80 KB: " + Spread(baselineLongest, 1, "ms"), "-", "-"});
}

// ---- many short receptions ----

constexpr int kReceptions = 100000;
constexpr int kBaselineReceptions = 10000;
constexpr int kPaintEvery = 1000; // receptions between two turns of the event loop

std::string DataText(int reception)
{
    std::string out;
    for (int k = 0; k < 16; ++k) {
        AppendReceivedByte(ModeHex, static_cast<std::uint8_t>(reception * 31 + k * 7), out);
    }
    return out;
}

// `count` receptions appended to the view as the main window appends them:
// the header (CR LF, time, 接收：) and then the 16 bytes in hex. Lines per
// second, and the characters shown.
template <typename View> double AppendReceptions(View& view, int count)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        view.Append(ReceiveHeaderText(view.IsEmpty(), "12:34:56"));
        view.AppendBytes(DataText(i));
        if (i % kPaintEvery == kPaintEvery - 1) {
            QApplication::processEvents();
        }
    }
    QApplication::processEvents();
    return count / SecondsSince(start);
}

qsizetype Characters(AppendView& view)
{
    return view.text().size();
}
qsizetype Characters(PlainTextAppendView& view)
{
    return view.characterCount();
}

// Resident memory added by `count` receptions, per character shown.
template <typename View> double MemoryPerCharacter(int count)
{
    TrimHeap();
    const std::size_t before = ResidentBytes();
    auto view = ShownView<View>();
    AppendReceptions(*view, count);
    TrimHeap();
    const std::size_t after = ResidentBytes();
    const auto characters = static_cast<double>(Characters(*view));
    return (static_cast<double>(after) - static_cast<double>(before)) / characters;
}

void ReceptionFigures()
{
    WriteSection("3. Many receptions: 16 bytes in hex, each under its own header line");
    {
        // Fonts, glyph caches and the backing store are loaded before measuring.
        auto warm = ShownView<AppendView>();
        AppendReceptions(*warm, 100);
        auto warmBase = ShownView<PlainTextAppendView>();
        AppendReceptions(*warmBase, 100);
    }
    const double oursMemory = MemoryPerCharacter<AppendView>(kReceptions);
    const double baseMemory = MemoryPerCharacter<PlainTextAppendView>(kBaselineReceptions);

    Samples ours;
    for (int r = 0; r < kRepeats; ++r) {
        auto view = ShownView<AppendView>();
        ours.add(AppendReceptions(*view, kReceptions));
    }
    Samples base;
    for (int r = 0; r < kRepeats; ++r) {
        auto view = ShownView<PlainTextAppendView>();
        base.add(AppendReceptions(*view, kBaselineReceptions));
    }
    WriteRow({"10^5 receptions appended to the view (10^4 on QPlainTextEdit)",
              Spread(ours, 0, "lines/s"), ">= 200000 lines/s", Spread(base, 0, "lines/s"),
              Fixed(ours.median() / base.median(), 0) + "x faster", Yes(ours.median() >= 200000)});

    // The same through the main window: frame written, 16 bytes raised.
    Samples window;
    for (int r = 0; r < kRepeats; ++r) {
        FakeWindow shown(ModeHex);
        FrmMain& main = *shown.main;
        FakeSerialPort* port = shown.port;
        const MessageRecorder& recorder = shown.recorder;
        const ByteList frame = {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF};
        ByteList bytes(16);
        const auto start = Clock::now();
        for (int i = 0; i < kReceptions; ++i) {
            main.TransmitFrame(frame);
            for (int k = 0; k < 16; ++k) {
                bytes[k] = static_cast<std::uint8_t>(i * 31 + k * 7);
            }
            port->raiseBytes(bytes);
            if (i % kPaintEvery == kPaintEvery - 1) {
                port->clearOutputs();
                QApplication::processEvents();
            }
        }
        QApplication::processEvents();
        const double rate = kReceptions / SecondsSince(start);
        const auto replies = main.engine().summary().Counts().replies;
        if (!recorder.messages().empty()) {
            window.fail("message box: " + recorder.messages().front().text);
        } else if (replies != static_cast<std::uint64_t>(kReceptions)) {
            window.fail(std::to_string(replies) + " of " + std::to_string(kReceptions) +
                        " receptions shown");
        } else {
            window.add(rate);
        }
    }
    WriteRow({"10^5 receptions through the main window (fake port)", Spread(window, 0, "lines/s"),
              "-", "-", "-", "-"});
    WriteRow({"memory growth per character shown (RSS)", Spread(Once(oursMemory), 2, "B/char"),
              "<= 4 B/char", Spread(Once(baseMemory), 1, "B/char") + ", 10^4 receptions",
              Fixed(baseMemory / oursMemory, 1) + "x less", Yes(oursMemory <= 4.0)});
}

// ---- long runs ----

constexpr int kLongRepeats = 3;

// The peak resident memory since the last ResetPeak() (VmHWM).
std::size_t PeakBytes()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    std::size_t kb = 0;
    char line[256];
    while (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) {
        if (std::sscanf(line, "VmHWM: %zu kB", &kb) == 1) {
            break;
        }
    }
    if (f != nullptr) {
        std::fclose(f);
    }
    return kb * 1024;
}

void ResetPeak()
{
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

double Mb(double bytes)
{
    return bytes / 1e6;
}

constexpr double kMostSeconds = 60;

// Runs the event loop until `done` holds or a minute has passed; whether it
// holds.
bool RunUntil(const std::function<bool()>& done)
{
    const auto start = Clock::now();
    while (!done() && SecondsSince(start) < kMostSeconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

constexpr std::size_t kAppendChunk = 64 * 1024;
constexpr std::uint64_t kHistoryBytes = 1000000000;
constexpr std::uint64_t kRewrapBytes = 100000000;

// `total` bytes of hex text appended in 64 KiB pieces, painted now and then.
void AppendHex(AppendView& view, std::uint64_t total)
{
    const std::string chunk = HexText(kAppendChunk);
    for (std::uint64_t n = 0; n < total; n += chunk.size()) {
        view.appendBytes(chunk);
        if ((n / chunk.size()) % 64 == 63) {
            QApplication::processEvents();
        }
    }
    QApplication::processEvents();
}

// 10^8 bytes of 'A' arrive through the main window's receive path in string
// display, in pieces of 4 to 64 KiB, as fast as the event loop takes them.
// Empty `failure` when every byte was shown.
double OneLetterStallMs(std::string& failure)
{
    FakeWindow shown(ModeString);
    FrmMain& main = *shown.main;
    FakeSerialPort* port = shown.port;
    const MessageRecorder& recorder = shown.recorder;
    Shared().RcvMaxChars = 2147483647;
    auto* view = main.findChild<AppendView*>(QStringLiteral("txtRView"));
    main.TransmitFrame({0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF});
    QApplication::processEvents();
    const std::uint64_t before = view->byteCount() + ReceiveHeaderText(true, "hh:mm:ss").size();
    constexpr std::uint64_t kTotal = 100000000;
    const std::size_t sizes[] = {4096, 65536, 16384, 32768, 8192, 49152};
    std::vector<ByteList> pieces;
    for (const std::size_t size : sizes) {
        pieces.emplace_back(size, std::uint8_t{'A'});
    }
    std::uint64_t sent = 0;
    std::size_t k = 0;
    QTimer feeder;
    feeder.setInterval(0);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        const ByteList& piece = pieces[k++ % pieces.size()];
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), kTotal - sent));
        port->raiseBytes(
            n == piece.size()
                ? piece
                : ByteList(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n)));
        sent += n;
        if (sent >= kTotal) {
            feeder.stop();
        }
    });
    StallProbe probe;
    feeder.start();
    const bool fed = RunUntil([&] { return !feeder.isActive(); });
    QApplication::processEvents();
    const double stall = probe.longestMs();
    const std::uint64_t bytesShown = view->byteCount() - before;
    if (!recorder.messages().empty()) {
        failure = "message box: " + recorder.messages().front().text;
    } else if (!fed || bytesShown != kTotal) {
        failure = std::to_string(bytesShown) + " of " + std::to_string(kTotal) + " bytes shown" +
                  (fed ? "" : " after 60 s");
    }
    return stall;
}

void LetterFigures()
{
    WriteSection("12. Endless lines: 10^8 bytes of one letter through the main window, string "
                 "display, 4-64 KiB per read");
    Samples stall;
    for (int r = 0; r < kLongRepeats; ++r) {
        std::string failure;
        const double ms = OneLetterStallMs(failure);
        if (failure.empty()) {
            stall.add(ms);
        } else {
            stall.fail(failure);
        }
    }
    WriteRow({"longest event-loop stall, 10^8 bytes of one letter", Spread(stall, 1, "ms"),
              "< 50 ms", "-", "-", Met(stall, stall.max() < 50.0)});
}

void FailedSpillFigures()
{
    WriteSection("13. No spill file (/dev/full): 10^9 bytes of hex text appended to a shown view");
    Samples growth;
    Samples kept;
    for (int r = 0; r < kLongRepeats; ++r) {
        TrimHeap();
        const std::size_t fresh = ResidentBytes();
        AppendView view(TextLines::kMemoryBudget, [](std::string& where) {
            where = "/dev/full";
            return ::open(where.c_str(), O_RDWR | O_CLOEXEC);
        });
        view.resize(kViewWidth, kViewHeight);
        ShowExposed(&view);
        AppendHex(view, 1000000000);
        growth.add(Mb(static_cast<double>(ResidentBytes()) - static_cast<double>(fresh)));
        kept.add(Mb(static_cast<double>(view.byteCount() - view.lines().begin())));
    }
    const double bound = Mb(static_cast<double>(TextLines::kMemoryBudget) * 1.25);
    WriteRow({"RSS growth after 10^9 bytes, spill file failing", Spread(growth, 1, "MB"),
              "<= " + Fixed(bound * 1.1, 1) + " MB", "-", "-",
              Met(growth, growth.max() <= bound * 1.1)});
    WriteRow({"  text kept in the view", Spread(kept, 1, "MB"), "-", "-", "-", "-"});
}

// The matches of `needle` at whole tokens (neither neighbour a letter or a
// digit), counted the plain way over the text AppendHex makes of `chunk`
// for `total` bytes: what a hex search of the view must find.
std::uint64_t PlainCount(const std::string& chunk, std::uint64_t total, const std::string& needle)
{
    const auto apart = [](std::string_view text, std::size_t at) {
        return at >= text.size() || std::isalnum(static_cast<unsigned char>(text[at])) == 0;
    };
    const std::uint64_t rounds = (total + chunk.size() - 1) / chunk.size();
    std::uint64_t count = 0;
    std::string carry; // the end of the text before this chunk
    for (std::uint64_t r = 0; r < rounds; ++r) {
        const std::string text = carry + chunk;
        // A match is counted once the character after it is known.
        const std::size_t from = carry.empty() ? 0 : carry.size() - needle.size();
        for (std::size_t at = text.find(needle, from); at != std::string::npos;
             at = text.find(needle, at + 1)) {
            const std::size_t after = at + needle.size();
            if (after == text.size() && r + 1 < rounds) {
                break;
            }
            if ((at == 0 || apart(text, at - 1)) && apart(text, after)) {
                ++count;
            }
        }
        carry = text.substr(text.size() - needle.size() - 1);
    }
    return count;
}

// Drops the page cache (clean pages), so that the next search reads the
// spill file from the disk; why not, where this machine does not allow it.
std::string DropPageCache()
{
    sync();
    std::FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (f == nullptr) {
        return std::string("cannot drop the page cache (") + std::strerror(errno) + ")";
    }
    const bool written = std::fputs("3", f) >= 0;
    if (std::fclose(f) != 0 || !written) {
        return std::string("cannot drop the page cache (") + std::strerror(errno) + ")";
    }
    return {};
}

struct SearchRun {
    std::string failure;
    double seconds = 0;
    double stallMs = 0;
};

// Counts the matches of hex 4A 6F over the whole view; a failure when the
// count did not finish within a minute or is not `expected`.
SearchRun CountMatches(AppendView& view, std::uint64_t expected)
{
    SearchRun run;
    TextSearch search(&view);
    std::string bad;
    StallProbe probe;
    const auto start = Clock::now();
    search.setPattern(*SearchPattern::Hex("4A 6F", bad, ModeHex));
    const bool finished = RunUntil([&] { return !search.counting(); });
    run.seconds = SecondsSince(start);
    run.stallMs = probe.longestMs();
    if (!finished) {
        run.failure = "the count had not finished after 60 s";
    } else if (search.count() != expected) {
        run.failure = "counted " + std::to_string(search.count()) + " matches, " +
                      std::to_string(expected) + " expected";
    }
    return run;
}

struct HistoryRun {
    std::string failure; // of the copies
    double refusedPeakMb = 0;
    double copyPeakMb = 0;
    double copyHeldMb = 0;
    SearchRun warm;
    SearchRun cold;
};

// A shown view of 10^9 bytes of hex text with its spill file in a folder of
// its own: Ctrl+A and copy (refused above the cap), a copy just under the
// cap, and a hex search counted over all of it, first right after the text
// was written (its pages still in the page cache), then once more after the
// page cache was dropped.
HistoryRun History(std::uint64_t expected)
{
    HistoryRun run;
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    {
        AppendView view;
        view.resize(kViewWidth, kViewHeight);
        ShowExposed(&view);
        AppendHex(view, kHistoryBytes);
        TrimHeap();
        int refusals = 0;
        QObject::connect(&view, &AppendView::copyRefused, [&refusals] { ++refusals; });
        QGuiApplication::clipboard()->clear();

        std::size_t before = ResidentBytes();
        ResetPeak();
        view.selectAll();
        view.copy();
        QApplication::processEvents();
        run.refusedPeakMb = Mb(static_cast<double>(PeakBytes()) - static_cast<double>(before));
        if (refusals != 1 || !QGuiApplication::clipboard()->text().isEmpty()) {
            run.failure = "the copy of all of it was not refused";
        }

        const std::uint64_t end = view.byteCount();
        const std::uint64_t copied = AppendView::kMostCopyBytes - 1024;
        view.selectRange(end - copied, end);
        TrimHeap();
        before = ResidentBytes();
        ResetPeak();
        view.copy();
        QApplication::processEvents();
        run.copyPeakMb = Mb(static_cast<double>(PeakBytes()) - static_cast<double>(before));
        run.copyHeldMb = Mb(static_cast<double>(ResidentBytes()) - static_cast<double>(before));
        const auto got = static_cast<std::uint64_t>(QGuiApplication::clipboard()->text().size());
        if (got != copied && run.failure.empty()) {
            run.failure = "the clipboard got " + std::to_string(got) + " of " +
                          std::to_string(copied) + " characters";
        }
        QGuiApplication::clipboard()->clear();
        view.selectRange(0, 0);

        run.warm = CountMatches(view, expected);
        run.cold.failure = DropPageCache();
        if (run.cold.failure.empty()) {
            run.cold = CountMatches(view, expected);
        }
    }
    qunsetenv("XDG_CACHE_HOME");
    return run;
}

void AddRun(Samples& seconds, Samples& stall, const SearchRun& run)
{
    if (!run.failure.empty()) {
        seconds.fail(run.failure);
        stall.fail(run.failure);
        return;
    }
    seconds.add(run.seconds);
    stall.add(run.stallMs);
}

void HistoryFigures()
{
    WriteSection("14. A 10^9-byte history (hex text, spill file on disk): copying and searching");
    const std::uint64_t expected = PlainCount(HexText(kAppendChunk), kHistoryBytes, "4A 6F");
    Samples refused;
    Samples copyPeak;
    Samples copyHeld;
    Samples warmSeconds;
    Samples warmStall;
    Samples coldSeconds;
    Samples coldStall;
    for (int r = 0; r < kLongRepeats; ++r) {
        const HistoryRun run = History(expected);
        if (run.failure.empty()) {
            refused.add(run.refusedPeakMb);
            copyPeak.add(run.copyPeakMb);
            copyHeld.add(run.copyHeldMb);
        } else {
            refused.fail(run.failure);
            copyPeak.fail(run.failure);
            copyHeld.fail(run.failure);
        }
        AddRun(warmSeconds, warmStall, run.warm);
        AddRun(coldSeconds, coldStall, run.cold);
    }
    const double copied = Mb(2.0 * static_cast<double>(AppendView::kMostCopyBytes - 1024));
    WriteRow({"Ctrl+A, copy of 10^9 bytes (refused): peak RSS growth", Spread(refused, 1, "MB"),
              "-", "-", "-", "-"});
    WriteRow({"copy of 64 MiB - 1 KiB (" + Fixed(copied, 1) + " MB as UTF-16): peak RSS growth",
              Spread(copyPeak, 1, "MB"), "-", "-", "-", "-"});
    WriteRow({"  held by the clipboard after it", Spread(copyHeld, 1, "MB"), "-", "-", "-", "-"});
    const std::string search =
        "hex search 4A 6F over 10^9 bytes (" + std::to_string(expected) + " matches)";
    WriteRow({search + ", warm (pages just written, in the page cache): time to count all",
              Spread(warmSeconds, 2, "s"), "-", "-", "-", "-"});
    WriteRow({"  longest event-loop stall meanwhile", Spread(warmStall, 1, "ms"), "< 50 ms", "-",
              "-", Met(warmStall, warmStall.max() < 50.0)});
    WriteRow({search + ", cold (page cache dropped): time to count all",
              Spread(coldSeconds, 2, "s"), "-", "-", "-", "-"});
    WriteRow({"  longest event-loop stall meanwhile", Spread(coldStall, 1, "ms"), "< 50 ms", "-",
              "-", Met(coldStall, coldStall.max() < 50.0)});
}

template <typename Work> void WithCacheFolder(Work work)
{
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    work();
    qunsetenv("XDG_CACHE_HOME");
}

// The visual lines of 10^8 bytes of hex text laid out at `width` from the
// start: what a view widened to it must come to.
std::size_t VisualLinesAt(int width)
{
    AppendView view;
    view.resize(width, kViewHeight);
    ShowExposed(&view);
    AppendHex(view, kRewrapBytes);
    RunUntil([&] { return !view.lines().relayoutPending(); });
    return view.lines().visualLineCount();
}

void RewrapFigures()
{
    WriteSection("15. A new width for 10^8 bytes of hex text (spill file on disk)");
    constexpr int kWider = kViewWidth + 137;
    Samples seconds;
    Samples stall;
    WithCacheFolder([&] {
        const std::size_t expected = VisualLinesAt(kWider);
        for (int r = 0; r < kLongRepeats; ++r) {
            AppendView view;
            view.resize(kViewWidth, kViewHeight);
            ShowExposed(&view);
            AppendHex(view, kRewrapBytes);
            const std::size_t before = view.lines().visualLineCount();
            StallProbe probe;
            const auto start = Clock::now();
            view.resize(kWider, kViewHeight);
            const bool finished = RunUntil([&] { return !view.lines().relayoutPending(); });
            const double taken = SecondsSince(start);
            const double longest = probe.longestMs();
            const std::size_t lines = view.lines().visualLineCount();
            if (!finished) {
                seconds.fail("the new layout had not caught up after 60 s");
            } else if (lines != expected || lines == before) {
                seconds.fail(std::to_string(lines) + " visual lines, " + std::to_string(expected) +
                             " laid out at that width from the start");
            } else {
                seconds.add(taken);
                stall.add(longest);
            }
        }
    });
    stall.failure = seconds.failure;
    WriteRow({"resize and rewrap 10^8 bytes", Spread(seconds, 2, "s"), "-", "-", "-", "-"});
    WriteRow({"  longest event-loop stall meanwhile", Spread(stall, 1, "ms"), "< 50 ms", "-", "-",
              Met(stall, stall.max() < 50.0)});
}

// ---- finding over repetitive data ----

struct ZerosRun {
    bool complete = false;
    double seconds = 0;
    double stallMs = 0;
};

// 10^8 zero bytes as the receive view shows them in decimal (" 0 0 0 ..."),
// under one header, with its spill file in a folder of its own; then a hex
// find for 4000 zero bytes counted over all of it. Complete when the count
// is every place the pattern fits.
ZerosRun FindInZeros()
{
    constexpr std::uint64_t kBytes = 100000000;
    constexpr std::uint64_t kPatternBytes = 4000;
    constexpr std::uint64_t kChunkBytes = 32768;
    ZerosRun run;
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    {
        AppendView view;
        view.resize(kViewWidth, kViewHeight);
        ShowExposed(&view);
        view.Append(ReceiveHeaderText(true, "12:34:56"));
        std::string chunk;
        for (std::uint64_t i = 0; i < kChunkBytes; ++i) {
            AppendReceivedByte(ModeDecimal, 0, chunk);
        }
        for (std::uint64_t n = 0; n < kBytes; n += kChunkBytes) {
            view.AppendBytes(
                std::string_view(chunk).substr(0, 2 * std::min(kChunkBytes, kBytes - n)));
            if ((n / kChunkBytes) % 64 == 63) {
                QApplication::processEvents();
            }
        }
        QApplication::processEvents();
        std::string query;
        for (std::uint64_t i = 0; i < kPatternBytes; ++i) {
            query += "00 ";
        }
        std::string bad;
        TextSearch search(&view);
        StallProbe probe;
        const auto start = Clock::now();
        search.setPattern(*SearchPattern::Hex(query, bad, ModeDecimal));
        RunUntil([&] { return !search.counting(); });
        run.seconds = SecondsSince(start);
        run.stallMs = probe.longestMs();
        run.complete = !search.counting() && search.count() == kBytes - kPatternBytes + 1;
        if (!run.complete) {
            std::fprintf(stderr, "bench: %llu of %llu matches counted\n",
                         static_cast<unsigned long long>(search.count()),
                         static_cast<unsigned long long>(kBytes - kPatternBytes + 1));
        }
    }
    qunsetenv("XDG_CACHE_HOME");
    return run;
}

// "median [min..max] unit, N runs", or why there is no figure.
std::string RunsSpread(const Samples& s, int digits, const std::string& unit, int runs)
{
    if (s.empty()) {
        return "could not run";
    }
    const auto done = static_cast<int>(s.values.size());
    return Spread(s, digits, unit) + ", " + std::to_string(done) + " runs" +
           (done < runs ? " (" + std::to_string(runs - done) + " could not run)" : "");
}

void ZerosFigures()
{
    WriteSection("16. Finding over repetitive data: 10^8 zero bytes in decimal (spill file on "
                 "disk), a hex find for 4000 zero bytes");
    Samples stall;
    Samples seconds;
    for (int r = 0; r < kLongRepeats; ++r) {
        const ZerosRun run = FindInZeros();
        if (run.complete) {
            stall.add(run.stallMs);
            seconds.add(run.seconds);
        }
    }
    WriteRow({"4000-byte pattern over 10^8 bytes of zeros: longest event-loop stall",
              RunsSpread(stall, 1, "ms", kLongRepeats), "< 20 ms", "-", "-",
              Yes(!stall.empty() && stall.max() < 20.0)});
    WriteRow({"  time to count all matches", RunsSpread(seconds, 2, "s", kLongRepeats), "-", "-",
              "-", "-"});
}

} // namespace

int main(int argc, char** argv)
{
    return RunBenchMode(argc, argv,
                        "quorvane-bench-view "
                        "append|receptions|letters|failedspill|history|rewrap|zeros",
                        {{"append", AppendFigures},
                         {"receptions", ReceptionFigures},
                         {"letters", LetterFigures},
                         {"failedspill", FailedSpillFigures},
                         {"history", HistoryFigures},
                         {"rewrap", RewrapFigures},
                         {"zeros", ZerosFigures}});
}
