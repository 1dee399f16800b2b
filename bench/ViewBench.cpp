// The receive view under load, against the QPlainTextEdit view it replaced.
//   quorvane-bench-view append      one long reception appended in 256-byte pieces
//   quorvane-bench-view receptions  many short receptions, each under its header
#include "AppendView.h"
#include "BenchReport.h"
#include "ByteFormat.h"
#include "Controls.h"
#include "FakeSerialPort.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "PlainTextAppendView.h"
#include "Offscreen.h"
#include "SharedSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <algorithm>
#include <cstdio>
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
    view->append("12:34:56接收：");
    QApplication::processEvents();
    AppendRun run;
    const std::string_view all(text);
    const auto start = Clock::now();
    for (std::size_t at = 0; at < all.size(); at += kBatch) {
        const auto before = Clock::now();
        view->append(all.substr(at, kBatch));
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
        view.append(ReceiveHeaderText(view.IsEmpty(), "12:34:56"));
        view.append(DataText(i));
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
        ApplyStartupDefaults(Shared());
        MessageRecorder recorder;
        auto fake = std::make_unique<FakeSerialPort>();
        FakeSerialPort* port = fake.get();
        FrmMain main(std::move(fake));
        ShowExposed(&main);
        main.findChild<QComboBox*>(QStringLiteral("cmbRcv"))->setCurrentIndex(ModeHex);
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

} // namespace

int main(int argc, char** argv)
{
    return RunBenchMode(argc, argv, "quorvane-bench-view append|receptions",
                        {{"append", AppendFigures}, {"receptions", ReceptionFigures}});
}
