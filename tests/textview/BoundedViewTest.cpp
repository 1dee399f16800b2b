// A view whose spill file takes no more pages drops its oldest text within
// its bound and says so in its first row, and the file is tried again once
// a minute; a file at its cap does the same; a
// page the file cannot give back shows the gap marker; the end of the last
// line is replaced in place, also across pages that moved out.
#include "AppendView.h"
#include "ByteFormat.h"
#include "SpillFile.h"
#include "TextLines.h"

#include <QTest>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <string>

using namespace quorvane;

namespace
{

constexpr std::size_t kBudget = 1024 * 1024;

// About `bytes` of receptions in hex, each under its header.
std::string Receptions(std::size_t bytes, int seed = 0)
{
    std::string out;
    for (int i = 0; out.size() < bytes; ++i) {
        out += "\r\n12:34:56接收：";
        for (int k = 0; k < 150 + i % 200; ++k) {
            AppendReceivedByte(ModeHex, static_cast<std::uint8_t>(k * 7 + i + seed), out);
        }
    }
    return out;
}

// Pieces of about `piece` bytes, cut between characters.
void AppendInPieces(AppendView& view, const std::string& text, std::size_t piece = 4096)
{
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.size(), at + piece);
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            ++end;
        }
        view.append(std::string_view(text).substr(at, end - at));
        at = end;
    }
}

QStringList Rows(const AppendView& view)
{
    QStringList rows;
    for (qsizetype i = 0; i < view.visualLineCount(); ++i) {
        rows << view.visualLineText(i);
    }
    return rows;
}

class BoundedView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cache.isValid());
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }
    static void Show(AppendView& view)
    {
        view.resize(300, 120);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    // What the view keeps is the newest part of what was appended, and
    // everything that reads it agrees: rows, selection and screen readers.
    static void ExpectKeptTail(AppendView& view, const std::string& appended, const QString& why)
    {
        const QString all = QString::fromStdString(appended);
        const QString kept = view.text();
        EXPECT_GT(kept.size(), 100000);
        EXPECT_LT(kept.size(), all.size());
        EXPECT_TRUE(all.endsWith(kept));
        const QString notice = view.visualLineText(0);
        EXPECT_TRUE(notice.startsWith("……较早的 ") && notice.endsWith(" MB 已丢弃" + why))
            << notice.toStdString();
        const QStringList rows = Rows(view);
        EXPECT_TRUE(kept.startsWith(rows.value(1))) << "the row after the notice starts the text";
        EXPECT_TRUE(kept.endsWith(rows.last()));
        view.selectAll();
        EXPECT_EQ(view.selectedText(), kept);
        QAccessibleTextInterface* reader =
            QAccessible::queryAccessibleInterface(&view)->textInterface();
        EXPECT_EQ(reader->characterCount(), notice.size() + 1 + kept.size());
        EXPECT_EQ(reader->text(0, notice.size() + 20), notice + "\n" + kept.left(19));
        int start = 0;
        int end = 0;
        EXPECT_EQ(reader->textAtOffset(3, QAccessible::LineBoundary, &start, &end), notice + "\n");
        reader->selection(0, &start, &end);
        EXPECT_EQ(end - start, kept.size());
    }

    QTemporaryDir cache;
};

// A folder that cannot be made, then can: the text past the bound is
// dropped, and after 清 空 the file is tried again and holds the text.
TEST_F(BoundedView, AFailedFileDropsTheOldestTextAndIsTriedAgainAfterClear)
{
    bool broken = true;
    const SpillOpener flaky = [&](std::string& where) {
        where = cache.path().toStdString();
        if (broken) {
            errno = EACCES;
            return -1;
        }
        return CacheSpillOpener()(where);
    };
    AppendView view(kBudget, flaky);
    Show(view);
    const std::string text = Receptions(6000000);
    AppendInPieces(view, text);
    view.finishLayout();
    EXPECT_LE(view.storageBytes(), kBudget + kBudget / 2);
    ExpectKeptTail(view, text, "(缓存文件无法写入)");

    view.resize(view.width() + 90, view.height()); // wrapping again stays within the bound
    view.finishLayout();
    EXPECT_LE(view.storageBytes(), kBudget + kBudget / 2);
    EXPECT_TRUE(view.visualLineText(0).startsWith("……较早的 "));

    broken = false;
    view.clear();
    AppendInPieces(view, text);
    EXPECT_EQ(view.text(), QString::fromStdString(text));
    EXPECT_LE(view.storageBytes(), kBudget + kBudget / 2);
    EXPECT_FALSE(view.visualLineText(0).startsWith("……"));
}

// A file that cannot be made is not tried again for every page, only once
// its minute has passed.
TEST_F(BoundedView, AFailedFileIsTriedAgainOnceAMinute)
{
    int opens = 0;
    bool broken = true;
    SpillFile file(
        4096,
        [&](std::string& where) {
            ++opens;
            where = cache.path().toStdString();
            if (broken) {
                errno = ENOSPC;
                return -1;
            }
            return CacheSpillOpener()(where);
        },
        kBudget);
    SpillFile::Clock::time_point now = SpillFile::Clock::now();
    file.setClock([&] { return now; });
    const std::string page(4096, 'p');
    EXPECT_EQ(file.write(page.data()), -1);
    broken = false;
    now += SpillFile::kRetryAfter - std::chrono::seconds(1);
    EXPECT_FALSE(file.canWrite());
    EXPECT_EQ(file.write(page.data()), -1);
    EXPECT_EQ(opens, 1);
    now += std::chrono::seconds(1);
    EXPECT_EQ(file.write(page.data()), 0);
    EXPECT_EQ(opens, 2);
}

TEST_F(BoundedView, AFileAtItsCapDropsTheOldestText)
{
    AppendView view(kBudget / 4, CacheSpillOpener(), 2 * kBudget);
    Show(view);
    const std::string text = Receptions(6000000, 3);
    AppendInPieces(view, text, 65536);
    EXPECT_LE(view.storageBytes(), kBudget);
    ExpectKeptTail(view, text, "(缓存文件已达上限)");
    EXPECT_GT(view.byteCount() - view.lines().begin(), kBudget) << "the file still holds its part";
}

// A file whose pages cannot be read back (open for writing only).
TEST_F(BoundedView, APageThatCannotBeReadBackShowsTheGapMarker)
{
    const QString path = cache.filePath("spill");
    const SpillOpener writeOnly = [&](std::string& where) {
        where = path.toStdString();
        return ::open(where.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    };
    AppendView view(kBudget / 4, writeOnly);
    Show(view);
    AppendInPieces(view, Receptions(1000000));
    view.verticalScrollBar()->setValue(0);
    view.viewport()->repaint();
    const QString all = view.text();
    const QString marker = QString::fromUtf8(TextLines::kGapMarker.data(),
                                             static_cast<qsizetype>(TextLines::kGapMarker.size()));
    EXPECT_TRUE(all.left(1000).contains(marker));
    EXPECT_FALSE(all.contains(QChar(u'\0')));
    EXPECT_TRUE(all.endsWith(QString::fromStdString(Receptions(1000000).substr(999000))));
}

// A hex row of 16 bytes completed in place as its bytes arrive; the last
// line spans pages that moved out, and a long cut reaches into them.
TEST_F(BoundedView, ReplaceEndCompletesTheLastLineAcrossPages)
{
    AppendView view(kBudget / 4, CacheSpillOpener());
    AppendView fresh;
    Show(view);
    Show(fresh);
    std::string expected = Receptions(200000) + "\r\n" + std::string(300000, 'x');
    view.append(expected);
    view.selectAll();
    view.replaceEnd(250000, "0A 1B");
    expected.resize(expected.size() - 250000);
    expected += "0A 1B";
    EXPECT_EQ(view.selectionEnd(), view.byteCount() - 5) << "the selection kept what stays";
    for (const char* more : {" 2C", " 3D 4E", ""}) {
        view.replaceEnd(0, more);
        expected += more;
    }
    view.replaceEnd(6, " FF"); // " 3D 4E" becomes " FF"
    expected.resize(expected.size() - 6);
    expected += " FF";
    view.replaceEnd(view.byteCount(), "tail"); // never past the last line's break
    expected.resize(expected.rfind("\r\n") + 2);
    expected += "tail";
    fresh.append(expected);
    EXPECT_EQ(view.text(), QString::fromStdString(expected));
    EXPECT_EQ(Rows(view), Rows(fresh));
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
}

} // namespace
