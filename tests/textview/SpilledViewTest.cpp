// A view whose text passes its memory budget: the older pages wait in a
// temporary file and come back exactly for painting, selection, copying and
// character offsets; clearing starts afresh; a file that cannot be made or
// written keeps memory within its bound by dropping the oldest text, with one
// line on standard error.
#include "AppendView.h"
#include "ByteFormat.h"
#include "PagedStore.h"
#include "TextLines.h"

#include <QTest>
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quorvane;

namespace
{

constexpr std::size_t kBudget = 256 * 1024;

// About 3 MB as the receive view gets it: receptions in hex under their
// headers, and now and then text with Chinese, a character outside the BMP
// and lone CR and LF breaks. Pieces end at character boundaries.
const std::vector<std::string>& Receptions()
{
    static const std::vector<std::string> pieces = [] {
        std::vector<std::string> out;
        for (int i = 0; i < 3000; ++i) {
            out.push_back("\r\n12:34:56接收：");
            std::string data;
            for (int k = 0; k < 200 + i % 300; ++k) {
                AppendReceivedByte(ModeHex, static_cast<std::uint8_t>(k * 7 + i), data);
            }
            out.push_back(data);
            if (i % 10 == 0) {
                out.push_back("\r\nline " + std::to_string(i) + " 文本 \xF0\x9F\x98\x80\rcr\nlf");
            }
        }
        return out;
    }();
    return pieces;
}

std::string Joined()
{
    std::string all;
    for (const std::string& piece : Receptions()) {
        all += piece;
    }
    return all;
}

void Show(AppendView& view)
{
    view.resize(300, 120);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
}

void AppendAll(AppendView& view)
{
    for (const std::string& piece : Receptions()) {
        view.append(piece);
    }
}

// Each row of two views, the first that differs reported.
void ExpectSameRows(const AppendView& a, const AppendView& b)
{
    ASSERT_EQ(a.visualLineCount(), b.visualLineCount());
    for (qsizetype row = 0; row < a.visualLineCount(); ++row) {
        if (a.visualLineText(row) != b.visualLineText(row)) {
            ADD_FAILURE() << "row " << row << " differs";
            return;
        }
    }
}

// The spilled view beside one that holds everything in memory.
class SpilledView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cache.isValid());
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
        Show(spilled);
        Show(whole);
    }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }

    QTemporaryDir cache;
    AppendView spilled{kBudget, CacheSpillOpener()};
    AppendView whole;
};

TEST_F(SpilledView, ReadsBackExactlyWhatWasAppended)
{
    AppendAll(spilled);
    AppendAll(whole);
    EXPECT_GT(spilled.byteCount(), 3000000u);
    EXPECT_LT(spilled.storageBytes(), 1024u * 1024) << "the older pages left memory";
    EXPECT_EQ(spilled.text(), QString::fromStdString(Joined()));
    ExpectSameRows(spilled, whole);

    spilled.verticalScrollBar()->setValue(0);
    whole.verticalScrollBar()->setValue(0);
    EXPECT_EQ(spilled.viewport()->grab().toImage(), whole.viewport()->grab().toImage());

    // Character offsets, as the accessible text counts them.
    const TextLines& lines = spilled.lines();
    for (const qsizetype row : {qsizetype{0}, qsizetype{1}, spilled.visualLineCount() / 3,
                                spilled.visualLineCount() - 2}) {
        const std::uint64_t pos = lines.visualLine(static_cast<std::size_t>(row)).begin;
        const std::uint64_t offset = lines.utf16Offset(pos);
        EXPECT_EQ(offset, std::uint64_t(QString::fromStdString(lines.bytes(0, pos)).size()));
        EXPECT_EQ(lines.positionOfUtf16(offset), pos) << row;
    }
    EXPECT_EQ(lines.utf16Offset(lines.size()), std::uint64_t(spilled.text().size()));
    EXPECT_EQ(lines.positionOfUtf16(lines.utf16Offset(lines.size()) + 5), lines.size());
}

// From a row read back from disk to the last one, still in memory: several
// megabytes selected and copied.
TEST_F(SpilledView, SelectionAndCopyCrossFromDiskToMemory)
{
    for (AppendView* view : {&spilled, &whole}) {
        AppendAll(*view);
        QScrollBar* bar = view->verticalScrollBar();
        bar->setValue(0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->pointOf(2, 3));
        bar->setValue(bar->maximum());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          view->pointOf(view->visualLineCount() - 1, 4));
    }
    const QString selected = spilled.selectedText();
    EXPECT_GT(selected.size(), 2000000);
    EXPECT_EQ(selected, whole.selectedText());
    EXPECT_TRUE(selected.startsWith(whole.visualLineText(2).mid(3)));

    QGuiApplication::clipboard()->clear();
    spilled.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), selected);
    spilled.verticalScrollBar()->setValue(0);
    spilled.viewport()->repaint(); // the selection painted on rows read back
}

// The text is wrapped again from disk; the old rows' file space is used
// again by what follows.
TEST_F(SpilledView, ANewWidthWrapsTheSpilledTextAgain)
{
    AppendAll(spilled);
    AppendAll(whole);
    for (AppendView* view : {&spilled, &whole}) {
        view->resize(view->width() + 137, view->height());
        view->finishLayout();
    }
    ExpectSameRows(spilled, whole);
    AppendAll(spilled);
    AppendAll(whole);
    EXPECT_EQ(spilled.text(), whole.text());
    ExpectSameRows(spilled, whole);
}

TEST_F(SpilledView, ClearGivesTheMemoryBackAndStartsAfresh)
{
    AppendAll(spilled);
    spilled.selectAll();
    spilled.clear();
    EXPECT_TRUE(spilled.IsEmpty());
    EXPECT_FALSE(spilled.hasSelection());
    EXPECT_LE(spilled.storageBytes(), 4u * 64 * 1024) << "a page for the text and each index";

    AppendAll(spilled);
    AppendAll(whole);
    EXPECT_EQ(spilled.text(), whole.text());
    ExpectSameRows(spilled, whole);
}

// A page read back stays cached; once its slot in the file is freed and
// written again, reading it gives the new page, not the cached one.
TEST(PagedStore, ASlotWrittenAgainReadsBackItsNewPage)
{
    QTemporaryDir cache;
    ASSERT_TRUE(cache.isValid());
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    constexpr std::size_t kPage = PagedStore::kPageBytes;
    PagePool pool(4 * kPage, CacheSpillOpener());
    const auto fill = [](PagedStore& store, char first) {
        for (char c = first; c < first + 6; ++c) {
            const std::string page(kPage, c);
            store.append(page.data(), page.size());
        }
    };
    auto old = std::make_unique<PagedStore>(pool);
    fill(*old, 'a');
    EXPECT_EQ(old->at(0), 'a');
    EXPECT_EQ(old->at(kPage), 'b');
    old.reset();
    PagedStore store(pool);
    fill(store, 'A');
    EXPECT_LE(pool.memoryBytes(), 4 * kPage);
    for (std::size_t i = 6; i-- > 0;) { // the slots freed last are written first
        EXPECT_EQ(store.at(i * kPage + 7), 'A' + i) << i;
    }
    qunsetenv("XDG_CACHE_HOME");
}

// Standard error caught in a file while it lives.
class StderrCapture
{
public:
    StderrCapture() : file_(std::tmpfile())
    {
        std::fflush(stderr);
        saved_ = ::dup(2);
        ::dup2(::fileno(file_), 2);
    }
    ~StderrCapture()
    {
        restore();
        std::fclose(file_);
    }
    // The lines the program wrote itself.
    std::vector<std::string> programLines()
    {
        restore();
        std::rewind(file_);
        std::vector<std::string> lines;
        char buffer[1024];
        while (std::fgets(buffer, sizeof buffer, file_) != nullptr) {
            if (std::string(buffer).rfind("quorvane:", 0) == 0) {
                lines.emplace_back(buffer);
            }
        }
        return lines;
    }

private:
    void restore()
    {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
    }

    std::FILE* file_;
    int saved_ = -1;
};

// A cache folder that cannot be made (under a regular file), and a file
// that takes no bytes (/dev/full: no space left on the device).
TEST(SpillFailure, KeepsMemoryBoundedAndSaysWhyOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString regular = dir.filePath("file");
    ASSERT_TRUE(QFile(regular).open(QIODevice::WriteOnly));
    qputenv("XDG_CACHE_HOME", regular.toUtf8());
    const SpillOpener full = [](std::string& where) {
        where = "/dev/full";
        return ::open("/dev/full", O_RDWR | O_CLOEXEC);
    };
    const struct {
        SpillOpener opener;
        std::string cause;
    } cases[] = {{CacheSpillOpener(), regular.toStdString() + "/quorvane: Not a directory"},
                 {full, "/dev/full: No space left on device"}};
    for (const auto& c : cases) {
        StderrCapture capture;
        {
            AppendView view(kBudget, c.opener);
            Show(view);
            AppendAll(view);
            AppendAll(view);
            const QString all = QString::fromStdString(Joined() + Joined());
            EXPECT_TRUE(all.endsWith(view.text())) << c.cause;
            EXPECT_LT(view.storageBytes(), 4 * kBudget) << c.cause;
            view.verticalScrollBar()->setValue(0);
            EXPECT_TRUE(view.visualLineText(0).startsWith("……较早的 "));
            EXPECT_TRUE(view.visualLineText(0).endsWith(" MB 已丢弃(缓存文件无法写入)"));
        }
        const std::vector<std::string> lines = capture.programLines();
        ASSERT_EQ(lines.size(), 1u) << c.cause;
        EXPECT_NE(lines[0].find(c.cause), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find("文本保留在内存中"), std::string::npos) << lines[0];
    }
    qunsetenv("XDG_CACHE_HOME");
}

} // namespace
