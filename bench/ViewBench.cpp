// The receive view under load, against the QPlainTextEdit view it replaced.
//   quorvane-bench-view append      one long reception appended in 256-byte pieces
//   quorvane-bench-view receptions  many short receptions, each under its header
//   quorvane-bench-view letters     10^8 bytes of one letter in string display: the
//                                   longest event-loop stall
//   quorvane-bench-view failedspill resident memory over 10^9 bytes with no spill file
//   quorvane-bench-view history     a 10^9-byte history: copying all of it (refused)
//                                   and just under the cap, counting a search
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
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>

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
    WriteRow({"time per KB, 20 MB run / 20 KB run", Fixed(growth, 2) + "x", "<= 1.25x", "-", "-",
              Yes(growth <= 1.25)});
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
        window.add(kReceptions / SecondsSince(start));
        if (!recorder.messages().empty()) {
            std::fprintf(stderr, "bench: unexpected message box: %s\n",
                         recorder.messages().front().text.c_str());
        }
    }
    WriteRow({"10^5 receptions through the main window (fake port)", Spread(window, 0, "lines/s"),
              "-", "-", "-", "-"});
    WriteRow({"memory growth per character shown (RSS)", Fixed(oursMemory, 2) + " B/char",
              "<= 4 B/char", Fixed(baseMemory, 1) + " B/char (10^4 receptions)",
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

// Runs the event loop until `done` holds (or a minute has passed).
void RunUntil(const std::function<bool()>& done)
{
    const auto start = Clock::now();
    while (!done() && SecondsSince(start) < 60) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// `total` bytes of hex text appended in 64 KiB pieces, painted now and then.
void AppendHex(AppendView& view, std::uint64_t total)
{
    const std::string chunk = HexText(64 * 1024);
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
double OneLetterStallMs(bool& complete)
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
    RunUntil([&] { return !feeder.isActive(); });
    QApplication::processEvents();
    const double stall = probe.longestMs();
    complete = view->byteCount() - before == kTotal && recorder.messages().empty();
    if (!complete) {
        std::fprintf(stderr, "bench: %llu of %llu bytes shown%s%s\n",
                     static_cast<unsigned long long>(view->byteCount() - before),
                     static_cast<unsigned long long>(kTotal),
                     recorder.messages().empty() ? "" : "; message: ",
                     recorder.messages().empty() ? "" : recorder.messages().front().text.c_str());
    }
    return stall;
}

void LetterFigures()
{
    WriteSection("12. Endless lines: 10^8 bytes of one letter through the main window, string "
                 "display, 4-64 KiB per read");
    Samples stall;
    for (int r = 0; r < kLongRepeats; ++r) {
        bool complete = false;
        const double ms = OneLetterStallMs(complete);
        if (complete) {
            stall.add(ms);
        } else {
            std::fprintf(stderr, "bench: the one-letter flood did not complete\n");
        }
    }
    WriteRow({"longest event-loop stall, 10^8 bytes of one letter", Spread(stall, 1, "ms"),
              "< 50 ms", "-", "-", Yes(!stall.empty() && stall.max() < 50.0)});
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
              Yes(!growth.empty() && growth.max() <= bound * 1.1)});
    WriteRow({"  text kept in the view", Spread(kept, 1, "MB"), "-", "-", "-", "-"});
}

struct HistoryRun {
    double refusedPeakMb = 0;
    double copyPeakMb = 0;
    double copyHeldMb = 0;
    double searchSeconds = 0;
    double searchStallMs = 0;
    std::uint64_t matches = 0;
};

// A shown view of 10^9 bytes of hex text with its spill file in a folder of
// its own: Ctrl+A and copy (refused above the cap), a copy just under the
// cap, and a hex search counted over all of it.
HistoryRun History()
{
    HistoryRun run;
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    {
        AppendView view;
        view.resize(kViewWidth, kViewHeight);
        ShowExposed(&view);
        AppendHex(view, 1000000000);
        TrimHeap();

        std::size_t before = ResidentBytes();
        ResetPeak();
        view.selectAll();
        view.copy();
        QApplication::processEvents();
        run.refusedPeakMb = Mb(static_cast<double>(PeakBytes()) - static_cast<double>(before));

        const std::uint64_t end = view.byteCount();
        view.selectRange(end - (AppendView::kMostCopyBytes - 1024), end);
        TrimHeap();
        before = ResidentBytes();
        ResetPeak();
        view.copy();
        QApplication::processEvents();
        run.copyPeakMb = Mb(static_cast<double>(PeakBytes()) - static_cast<double>(before));
        run.copyHeldMb = Mb(static_cast<double>(ResidentBytes()) - static_cast<double>(before));
        QGuiApplication::clipboard()->clear();
        view.selectRange(0, 0);

        TextSearch search(&view);
        std::string bad;
        StallProbe probe;
        const auto start = Clock::now();
        search.setPattern(*SearchPattern::Hex("4A 6F", bad, ModeHex));
        RunUntil([&] { return !search.counting(); });
        run.searchSeconds = SecondsSince(start);
        run.searchStallMs = probe.longestMs();
        run.matches = search.count();
    }
    qunsetenv("XDG_CACHE_HOME");
    return run;
}

void HistoryFigures()
{
    WriteSection("14. A 10^9-byte history (hex text, spill file on disk): copying and searching");
    Samples refused;
    Samples copyPeak;
    Samples copyHeld;
    Samples seconds;
    Samples stall;
    std::uint64_t matches = 0;
    for (int r = 0; r < kLongRepeats; ++r) {
        const HistoryRun run = History();
        refused.add(run.refusedPeakMb);
        copyPeak.add(run.copyPeakMb);
        copyHeld.add(run.copyHeldMb);
        seconds.add(run.searchSeconds);
        stall.add(run.searchStallMs);
        matches = run.matches;
    }
    const double copied = Mb(2.0 * static_cast<double>(AppendView::kMostCopyBytes - 1024));
    WriteRow({"Ctrl+A, copy of 10^9 bytes (refused): peak RSS growth", Spread(refused, 1, "MB"),
              "-", "-", "-", "-"});
    WriteRow({"copy of 64 MiB - 1 KiB: peak RSS growth", Spread(copyPeak, 1, "MB"),
              "text as UTF-16: " + Fixed(copied, 1) + " MB", "-", "-", "-"});
    WriteRow({"  held by the clipboard after it", Spread(copyHeld, 1, "MB"), "-", "-", "-", "-"});
    WriteRow({"hex search 4A 6F over 10^9 bytes: time to count all (" + std::to_string(matches) +
                  " matches)",
              Spread(seconds, 2, "s"), "-", "-", "-", "-"});
    WriteRow({"  longest event-loop stall meanwhile", Spread(stall, 1, "ms"), "< 50 ms", "-", "-",
              Yes(!stall.empty() && stall.max() < 50.0)});
}

void RewrapFigures()
{
    WriteSection("15. A new width for 10^8 bytes of hex text (spill file on disk)");
    Samples seconds;
    Samples stall;
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    for (int r = 0; r < kLongRepeats; ++r) {
        AppendView view;
        view.resize(kViewWidth, kViewHeight);
        ShowExposed(&view);
        AppendHex(view, 100000000);
        StallProbe probe;
        const auto start = Clock::now();
        view.resize(kViewWidth + 137, kViewHeight);
        RunUntil([&] { return !view.lines().relayoutPending(); });
        seconds.add(SecondsSince(start));
        stall.add(probe.longestMs());
    }
    qunsetenv("XDG_CACHE_HOME");
    WriteRow({"resize and rewrap 10^8 bytes", Spread(seconds, 2, "s"), "-", "-", "-", "-"});
    WriteRow({"  longest event-loop stall meanwhile", Spread(stall, 1, "ms"), "< 50 ms", "-", "-",
              Yes(!stall.empty() && stall.max() < 50.0)});
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
