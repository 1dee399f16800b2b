// Finding in a view: what a pattern matches (plain text in either case, hex
// bytes in each way the views show them), counting and stepping through the
// whole history (the part in the spill file too) while the view grows, and
// the find bar as a user drives it.
#include "AppendView.h"
#include "ByteFormat.h"
#include "FindBar.h"
#include "HexCharRows.h"
#include "MessageRecorder.h"
#include "SearchPattern.h"
#include "TextSearch.h"

#include <QTest>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace quorvane;

namespace
{

struct PatternCase {
    const char* name;
    bool hex;
    DisplayMode shownAs; // for hex bytes
    const char* query;
    const char* text;
    std::vector<std::uint64_t> starts; // every match, in order
};

class Patterns : public ::testing::TestWithParam<PatternCase>
{
};

// Where the pattern's matches start, and where the last one ends, in a text
// searched whole.
std::pair<std::vector<std::uint64_t>, std::uint64_t>
Found(bool hex, DisplayMode shownAs, const std::string& query, std::string text)
{
    std::string bad;
    const std::optional<SearchPattern> pattern =
        hex ? SearchPattern::Hex(query, bad, shownAs) : SearchPattern::Plain(query);
    EXPECT_TRUE(pattern) << bad;
    if (!pattern) {
        return {};
    }
    pattern->prepare(text);
    std::vector<SearchPattern::Match> found;
    pattern->find(text, 0, 0, text.size(), true, true, found);
    std::vector<std::uint64_t> starts;
    for (const SearchPattern::Match& m : found) {
        starts.push_back(m.begin);
    }
    return {starts, found.empty() ? 0 : found.back().end};
}

TEST_P(Patterns, MatchWhereTheyShouldAndNowhereElse)
{
    const PatternCase& c = GetParam();
    EXPECT_EQ(Found(c.hex, c.shownAs, c.query, c.text).first, c.starts);
}

// Rows of 16 bytes with their characters, as the receive view (rows joined
// by CR LF) and the send view (each further row behind two blanks) show
// them: bytes are found within a row and where they go on in the next one,
// never in an offset, and not from one reception into the next.
TEST(Patterns, HexFindsBytesInRowsOfSixteenAndAcrossTheirBreaks)
{
    ByteList bytes;
    for (std::uint8_t b = 0; b < 0x28; ++b) {
        bytes.push_back(b);
    }
    for (const char* continuation : {"", "  "}) {
        const std::string rows = HexCharFrame(bytes, continuation);
        const std::string text = "接收：\r\n" + rows + "\r\n接收：\r\n" + HexCharFrame({0x28}, "");
        const auto at = [&](const char* token) { return text.find(token, 0); };
        EXPECT_EQ(Found(true, ModeHexChars, "0d 0e", text).first,
                  std::vector<std::uint64_t>{at(" 0D 0E") + 1});
        const auto across = Found(true, ModeHexChars, "0F 10 11", text);
        EXPECT_EQ(across.first, std::vector<std::uint64_t>{at(" 0F  ") + 1}) << continuation;
        EXPECT_EQ(across.second, at(" 11 ") + 3);
        EXPECT_EQ(Found(true, ModeHexChars, "1F 20", text).first.size(), 1U) << continuation;
        EXPECT_EQ(Found(true, ModeHexChars, "10", text).first,
                  std::vector<std::uint64_t>{at(" 10 ") + 1});
        EXPECT_TRUE(Found(true, ModeHexChars, "27 28", text).first.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Find, Patterns,
    ::testing::Values(
        PatternCase{"PlainInEitherCase", false, ModeString, "ab", "AB aB xab\r\nAb", {0, 3, 7, 11}},
        PatternCase{"PlainOverlaps", false, ModeString, "aa", "aaaa", {0, 1, 2}},
        PatternCase{"PlainSpansALineBreak", false, ModeString, "x\r\ny", "x\r\nyx\r\n", {0}},
        PatternCase{"PlainChinese", false, ModeString, "接收", "12接收：接收", {2, 11}},
        PatternCase{"HexAsCharacters", true, ModeString, "41 42", "xABx 41 42", {1}},
        PatternCase{"HexAsHexTokens", true, ModeHex, "a d 41", "0A D 41 A D 41 A D 410 ", {8}},
        PatternCase{"HexAtTheStartOfTheText", true, ModeHex, "0a 0d", "A D 7", {0}},
        PatternCase{"HexAsDecimalValues",
                    true,
                    ModeDecimal,
                    "0a 0d",
                    " 10 13 10 130 110 13 10 13",
                    {1, 21}},
        PatternCase{"HexLineBreakAsCharacters", true, ModeString, "0D 0a", "a\r\nb", {1}},
        PatternCase{"HexEuroSign", true, ModeString, "80", "€ 80 128", {0}},
        PatternCase{"HexZeroHasNoCharacter", true, ModeHex, "00", "\x01 0 ", {2}},
        PatternCase{"HexOverlaps", true, ModeHex, "00 00", "0 0 0 ", {0, 2}},
        PatternCase{"HexAfterTheHeader", true, ModeHex, "7", "接收：7 E", {9}},
        // Hex text of other bytes reads as these in decimal, and the other
        // way round: only the way the view shows bytes counts.
        PatternCase{"HexNotAsDecimalInHex", true, ModeHex, "0D 0E", "13 14 D E", {6}},
        PatternCase{"HexNotAsHexInDecimal", true, ModeDecimal, "13 14", " 13 14 19 20", {7}}),
    [](const ::testing::TestParamInfo<PatternCase>& info) { return std::string(info.param.name); });

TEST(Patterns, HexTokensAreOneOrTwoDigits)
{
    std::string bad;
    EXPECT_FALSE(SearchPattern::Hex("0A 123 FF", bad, ModeHex));
    EXPECT_EQ(bad, "123");
    EXPECT_FALSE(SearchPattern::Hex("0A xy", bad, ModeHex));
    EXPECT_EQ(bad, "xy");
    EXPECT_FALSE(SearchPattern::Hex("   ", bad, ModeHex));
    EXPECT_EQ(bad, "");
    EXPECT_TRUE(SearchPattern::Hex(" f\t0 ", bad, ModeHex));
}

// ---- bytes, not the tool's own text ----

// What the window gives a view: a reception's header, check words, bytes
// shown as text, bytes arriving for rows of 16, a frame sent.
struct Piece {
    enum Kind { Header, Words, Shown, Received, Sent } kind;
    std::string text;
    ByteList bytes;
};

const Piece kHeader{Piece::Header, {}, {}};
Piece Words(std::string text)
{
    return {Piece::Words, std::move(text), {}};
}
Piece Shown(std::string text)
{
    return {Piece::Shown, std::move(text), {}};
}
Piece Received(ByteList bytes)
{
    return {Piece::Received, {}, std::move(bytes)};
}
Piece Sent(ByteList bytes)
{
    return {Piece::Sent, {}, std::move(bytes)};
}

ByteList Counting(std::uint8_t from, std::uint8_t to)
{
    ByteList bytes;
    for (unsigned b = from; b <= to; ++b) {
        bytes.push_back(static_cast<std::uint8_t>(b));
    }
    return bytes;
}

void Feed(AppendView& view, DisplayMode mode, const std::vector<Piece>& pieces)
{
    HexCharRows rows;
    for (const Piece& piece : pieces) {
        if (piece.kind == Piece::Header) {
            view.append(ReceiveHeaderText(view.IsEmpty(), "12:34:56"));
            rows.Reset();
        } else if (piece.kind == Piece::Words) {
            view.append(piece.text);
        } else if (piece.kind == Piece::Shown) {
            view.appendBytes(piece.text);
        } else if (piece.kind == Piece::Received) {
            const HexCharRows::Update update = rows.Add(piece.bytes.data(), piece.bytes.size());
            view.replaceEnd(update.replace, update.text, update.hex);
        } else {
            StartSendLine(view);
            AppendFrameText(mode, piece.bytes, view);
        }
    }
}

std::uint64_t CountIn(AppendView& view, const SearchPattern& pattern)
{
    TextSearch search(&view);
    search.setPattern(pattern);
    EXPECT_TRUE(WaitUntil([&] { return !search.counting(); }));
    return search.count();
}

struct BytesCase {
    const char* name;
    DisplayMode shownAs;
    std::vector<Piece> pieces;
    bool hex;
    const char* query;
    std::uint64_t count;
};

class BytesShown : public ::testing::TestWithParam<BytesCase>
{
};

// Hex bytes are found in what was received or sent, never in a header's
// time, check words, the line break between receptions or a row's
// characters; plain text is found everywhere.
TEST_P(BytesShown, HexFindsOnlyTheBytes)
{
    const BytesCase& c = GetParam();
    AppendView view;
    Feed(view, c.shownAs, c.pieces);
    std::string bad;
    EXPECT_EQ(CountIn(view, c.hex ? *SearchPattern::Hex(c.query, bad, c.shownAs)
                                  : SearchPattern::Plain(c.query)),
              c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Find, BytesShown,
    ::testing::Values(
        BytesCase{"HexNotInTheTime", ModeHex, {kHeader, Shown("12 34 "), kHeader}, true, "12", 1},
        BytesCase{"HexNotInCheckWords",
                  ModeHex,
                  {kHeader, Shown("C5 CE "), Words(" [校验错误 应为 C5 CD 收到 C5 CE]")},
                  true,
                  "C5 CE",
                  1},
        BytesCase{"DecimalNotInTheTime", ModeDecimal, {kHeader, Shown(" 12 56")}, true, "0C", 1},
        BytesCase{"StringNotAcrossReceptions",
                  ModeString,
                  {kHeader, Shown("A"), kHeader, Shown("A\r\n")},
                  true,
                  "41 0D 0A",
                  1},
        BytesCase{
            "HexAcrossReads", ModeHex, {kHeader, Shown("41 "), Shown("42 ")}, true, "41 42", 1},
        BytesCase{"RowsNotInTheCharacters",
                  ModeHexChars,
                  {kHeader, Received({0x41, 0x42, 0x20, 0x43, 0x44})},
                  true,
                  "CD",
                  0},
        BytesCase{"RowsOfAReceptionGoOn",
                  ModeHexChars,
                  {kHeader, Received(Counting(0, 9)), Received(Counting(10, 19))},
                  true,
                  "0F 10 11",
                  1},
        BytesCase{"RowsNotFromFrameToFrame",
                  ModeHexChars,
                  {Sent(Counting(0, 15)), Sent(Counting(0, 17))},
                  true,
                  "0F 00",
                  0},
        BytesCase{"RowsOfAFrameGoOn",
                  ModeHexChars,
                  {Sent(Counting(0, 15)), Sent(Counting(0, 17))},
                  true,
                  "0F 10",
                  1},
        BytesCase{"PlainInHeaders", ModeHex, {kHeader, Shown("12 "), kHeader}, false, "12:34", 2}),
    [](const ::testing::TestParamInfo<BytesCase>& info) { return std::string(info.param.name); });

// A pattern as long as the box takes, over a long run of one value: every
// match is counted, overlapping ones and those across pieces, pages and
// rows included, and one that differs in its last byte matches nowhere.
TEST(LongPatterns, AreCountedWholeOverARunOfOneValue)
{
    AppendView view;
    std::string zeros;
    for (int i = 0; i < 150000; ++i) {
        zeros += " 0";
    }
    Feed(view, ModeDecimal, {kHeader, Shown(zeros)});
    std::string query;
    for (int i = 0; i < 4000; ++i) {
        query += "00 ";
    }
    std::string bad;
    EXPECT_EQ(CountIn(view, *SearchPattern::Hex(query, bad, ModeDecimal)), 150000U - 4000U + 1U);
    EXPECT_EQ(CountIn(view, *SearchPattern::Hex(query + "01", bad, ModeDecimal)), 0U);

    AppendView rows; // a reception in pieces: its partial first row is replaced
    Feed(rows, ModeHexChars, {kHeader, Received(ByteList(5, 0)), Received(ByteList(19995, 0))});
    EXPECT_EQ(CountIn(rows, *SearchPattern::Hex(query.substr(0, 300), bad, ModeHexChars)),
              20000U - 99U);
}

// A view of several pages, most of them in the spill file, with matches on
// page boundaries; the count is checked against a plain search of the text.
class Search : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cache.isValid());
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
        view.resize(300, 120);
        view.show();
        for (int i = 0; text.size() < 900000; ++i) {
            text += "\r\n12:34:56接收：";
            text += std::string(40 + i % 90, static_cast<char>('a' + i % 26));
            text += i % 7 == 0 ? " Frame " : " frame ";
        }
        for (std::size_t page = 65536; page < text.size(); page += 65536 * 3) {
            std::size_t at = page - 3; // across a page boundary, over letters only
            while (!std::all_of(&text[at], &text[at + 5], [](char c) { return c >= 'a'; })) {
                --at;
            }
            text.replace(at, 5, "FRAME");
        }
        // Each header as the window writes it, what follows as bytes shown.
        const std::string_view all(text);
        for (std::size_t at = 0; at < all.size();) {
            const std::size_t bytes = all.find("：", at) + std::strlen("：");
            const std::size_t next = std::min(all.find('\r', bytes), all.size());
            view.append(all.substr(at, bytes - at));
            view.appendBytes(all.substr(bytes, next - bytes));
            at = next;
        }
    }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }
    std::vector<std::uint64_t> Expected(const std::string& all) const
    {
        std::string folded = all;
        for (char& c : folded) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        std::vector<std::uint64_t> starts;
        for (std::size_t at = folded.find("frame"); at != std::string::npos;
             at = folded.find("frame", at + 1)) {
            starts.push_back(at);
        }
        return starts;
    }
    void WaitForCount(TextSearch& search, std::uint64_t count)
    {
        ASSERT_TRUE(WaitUntil([&] { return !search.counting() && search.count() == count; }))
            << search.count() << " of " << count;
    }

    QTemporaryDir cache;
    AppendView view{128 * 1024, CacheSpillOpener()};
    std::string text;
};

TEST_F(Search, CountsAndStepsThroughTheWholeHistory)
{
    TextSearch search(&view);
    search.setPattern(SearchPattern::Plain("frame"));
    const std::vector<std::uint64_t> starts = Expected(text);
    WaitForCount(search, starts.size());

    view.selectRange(0, 0);
    QSignalSpy found(&search, &TextSearch::found);
    std::vector<std::uint64_t> seen;
    for (int i = 0; i < 4; ++i) {
        search.findNext();
        ASSERT_TRUE(WaitUntil([&] { return found.count() == i + 1; }));
        seen.push_back(view.selectionBegin());
        EXPECT_EQ(search.currentNumber(), std::uint64_t(i + 1));
    }
    EXPECT_EQ(seen, std::vector<std::uint64_t>(starts.begin(), starts.begin() + 4));
    EXPECT_EQ(view.selectedText().toLower(), "frame");

    search.findPrevious();
    ASSERT_TRUE(WaitUntil([&] { return view.selectionBegin() == starts[2]; }));
    view.selectRange(starts[0], starts[0] + 5);
    search.findPrevious(); // round the start to the last match
    ASSERT_TRUE(WaitUntil([&] { return view.selectionBegin() == starts.back(); }));
    EXPECT_EQ(search.currentNumber(), starts.size());
    search.findNext(); // and round the end to the first
    ASSERT_TRUE(WaitUntil([&] { return view.selectionBegin() == starts.front(); }));
}

// Text arriving while the history is counted is counted too; a replaced end
// and 清 空 are followed.
TEST_F(Search, FollowsTheViewAsItChanges)
{
    TextSearch search(&view);
    search.setPattern(SearchPattern::Plain("frame"));
    const std::string more = "\r\nlast frame";
    view.append(more);
    WaitForCount(search, Expected(text + more).size());
    view.replaceEnd(3, "og"); // the last "frame" becomes "frog"
    WaitForCount(search, Expected(text + more).size() - 1);
    view.clear();
    WaitForCount(search, 0);
    view.append("FRAME frame");
    WaitForCount(search, 2);
}

TEST_F(Search, TheBarFindsCountsAndCloses)
{
    MessageRecorder recorder;
    FindBar bar(&view);
    bar.resize(500, 30);
    EXPECT_TRUE(bar.isHidden());
    bar.openBar();
    auto* box = bar.findChild<QLineEdit*>("txtFind");
    auto* hex = bar.findChild<QCheckBox*>("chkFindHex");
    ASSERT_NE(box, nullptr);
    ASSERT_NE(hex, nullptr);
    for (const char* name : {"cmdFindNext", "cmdFindPrevious", "lblFindCount"}) {
        ASSERT_NE(bar.findChild<QWidget*>(name), nullptr) << name;
    }
    EXPECT_EQ(box->accessibleName(), "查找内容");
    QTest::keyClicks(box, "FRAME");
    const std::size_t total = Expected(text).size();
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return bar.status() == QString("第 1 / %1 处").arg(total); }))
        << bar.status().toStdString();
    QTest::keyClick(box, Qt::Key_F3);
    ASSERT_TRUE(WaitUntil([&] { return bar.status() == QString("第 2 / %1 处").arg(total); }));
    QTest::keyClick(box, Qt::Key_F3, Qt::ShiftModifier);
    ASSERT_TRUE(WaitUntil([&] { return bar.status() == QString("第 1 / %1 处").arg(total); }));

    hex->setChecked(true);
    EXPECT_TRUE(bar.status().contains("不是十六进制")) << bar.status().toStdString();
    box->setText("7A 7A 7A 7A 7A 7A");
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return bar.status().startsWith("第 1 / "); }));
    EXPECT_EQ(view.selectedText(), "zzzzzz");
    box->setText("0A 0B 0C");
    ASSERT_TRUE(WaitUntil([&] { return bar.status() == "无匹配"; }));
    EXPECT_TRUE(recorder.messages().empty());

    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(bar.isHidden());
    EXPECT_EQ(view.focusWidget(), &view);
}

} // namespace
