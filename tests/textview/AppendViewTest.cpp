// The send and receive views: exact text, lines and wrapping, scrolling,
// selection and copy, clearing, and large receptions.
#include "AppendView.h"
#include "MessageRecorder.h"

#include <QTest>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <string>

using namespace quorvane;

namespace
{

class View : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.resize(300, 120);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    QStringList rows() const
    {
        QStringList out;
        for (qsizetype i = 0; i < view.visualLineCount(); ++i) {
            out << view.visualLineText(i);
        }
        return out;
    }
    qreal width(const QString& text) const
    {
        const QFontMetricsF metrics(view.font());
        qreal sum = 0;
        for (QChar ch : text) {
            sum += metrics.horizontalAdvance(ch == u'\t' ? QChar(u' ') : ch);
        }
        return sum;
    }
    // Rows are wrapped to the viewport less a margin of 4 pixels each side.
    qreal wrapWidth() const { return view.viewport()->width() - 8; }
    void setWrapWidth(qreal w)
    {
        const int extra = static_cast<int>(w) + 8 - view.viewport()->width();
        view.resize(view.width() + extra, view.height());
        ASSERT_EQ(view.viewport()->width(), static_cast<int>(w) + 8);
    }
    QScrollBar* bar() const { return view.verticalScrollBar(); }
    QString clipboard() const { return QGuiApplication::clipboard()->text(); }

    AppendView view;
};

std::string HexReception(std::size_t bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i) {
        const auto b = static_cast<unsigned char>(i * 7);
        if (b >= 0x10) {
            out.push_back(digits[b >> 4]);
        }
        out.push_back(digits[b & 0x0F]);
        out.push_back(' ');
    }
    return out;
}

// ---- text and lines ----

TEST_F(View, TextIsExactlyWhatWasAppended)
{
    const char* pieces[] = {"12:34:56接收：",   "0 A FF ", "\r\n",     "ab\rcd\nef", "\r", "\n",
                            "\xEF\xBF\xBD end", "\r",      "x\r\n\r\n"};
    std::string all;
    for (const char* piece : pieces) {
        view.append(piece);
        all += piece;
    }
    EXPECT_EQ(view.text(), QString::fromUtf8(all.c_str()));
    EXPECT_FALSE(view.IsEmpty());
    EXPECT_EQ(rows(),
              QStringList({"12:34:56接收：0 A FF ", "ab", "cd", "ef", "\uFFFD end", "x", "", ""}));
}

TEST_F(View, CrLfSplitAcrossAppendsIsOneBreak)
{
    view.append("one\r");
    EXPECT_EQ(rows(), QStringList({"one", ""}));
    view.append("\ntwo\r");
    view.append("three");
    EXPECT_EQ(rows(), QStringList({"one", "two", "three"}));
    EXPECT_EQ(view.text(), "one\r\ntwo\rthree");
    view.append("\n");
    view.append("\n");
    EXPECT_EQ(rows(), QStringList({"one", "two", "three", "", ""}));
    EXPECT_EQ(view.text(), "one\r\ntwo\rthree\n\n");
}

TEST_F(View, InvalidBytesShowAsReplacementCharacters)
{
    view.append("a\xFF"
                "b");
    view.append("\xE6\x8E"); // a character cut short
    view.append("c");
    EXPECT_EQ(view.text(), QString::fromUtf8("a\xEF\xBF\xBD"
                                             "b\xEF\xBF\xBD\xEF\xBF\xBD"
                                             "c"));
}

TEST_F(View, AppendingNothingChangesNothing)
{
    view.append("");
    EXPECT_TRUE(view.IsEmpty());
    EXPECT_EQ(view.visualLineCount(), 1);
    view.Append("via the sink");
    EXPECT_EQ(view.text(), "via the sink");
}

// ---- wrapping ----

TEST_F(View, WrapsAtBlanksToTheWidth)
{
    const qreal w = width("xxxx xxxx ") + width("xx");
    setWrapWidth(w);
    view.append("xxxx xxxx xxxx xxxx xxxx\r\nxxxx");
    EXPECT_EQ(rows(), QStringList({"xxxx xxxx ", "xxxx xxxx ", "xxxx", "xxxx"}));
}

TEST_F(View, WordsWiderThanTheRowAreCutBetweenCharacters)
{
    const QString word(300, QChar(u'X'));
    view.append("ab " + word.toStdString() + " cd");
    const QStringList shown = rows();
    ASSERT_GT(shown.size(), 3);
    EXPECT_EQ(shown.first(), "ab ");
    EXPECT_EQ(shown.join(QString()), "ab " + word + " cd");
    for (qsizetype i = 1; i + 1 < shown.size(); ++i) {
        const QString& row = shown[i];
        EXPECT_LE(width(row.trimmed()), wrapWidth()) << i;
        if (!row.endsWith(u' ')) {
            EXPECT_GT(width(row + u'X'), wrapWidth()) << "row " << i << " could hold one more";
        }
    }
}

// Every break is where a greedy fill must put it: each row fits, and the
// first word of the next row would not have fitted after it.
TEST_F(View, EveryRowIsFilledGreedily)
{
    const std::string text = HexReception(3000) + "\r\n" + "a bb ccc dddd eeeee ffffff\r\n" +
                             "接收 数据 十六进制 " + HexReception(50);
    view.append(text);
    const QStringList shown = rows();
    const QString all = view.text();
    QString joined;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QString& row = shown[i];
        joined += row;
        if (i + 1 < shown.size() && all.mid(joined.size(), 2) == "\r\n") {
            joined += "\r\n";
            continue; // the end of a logical line
        }
        EXPECT_FALSE(row.startsWith(u' ')) << i;
        QString content = row;
        while (content.endsWith(u' ')) {
            content.chop(1);
        }
        EXPECT_LE(width(content), wrapWidth()) << i;
        if (i + 1 < shown.size()) {
            const QString nextWord = shown[i + 1].section(u' ', 0, 0);
            EXPECT_GT(width(row) + width(nextWord), wrapWidth()) << i;
        }
    }
    EXPECT_EQ(joined, all);
}

// Wrapping as the text grows gives the rows that wrapping it at once gives,
// and a new width wraps everything again.
TEST_F(View, GrowingTextWrapsAsTheWholeDoes)
{
    const std::string text = HexReception(20000);
    for (std::size_t at = 0; at < text.size(); at += 768) {
        view.append(std::string_view(text).substr(at, 768));
    }
    AppendView whole;
    whole.resize(view.size());
    whole.show();
    whole.append(text);
    EXPECT_EQ(view.visualLineCount(), whole.visualLineCount());
    EXPECT_EQ(rows().join(u'|').toStdString(), [&] {
        QStringList out;
        for (qsizetype i = 0; i < whole.visualLineCount(); ++i) {
            out << whole.visualLineText(i);
        }
        return out.join(u'|').toStdString();
    }());

    const qsizetype before = view.visualLineCount();
    view.resize(view.width() + 150, view.height());
    view.finishLayout();
    EXPECT_LT(view.visualLineCount(), before);
    EXPECT_EQ(rows().join(QString()), view.text());
    EXPECT_EQ(bar()->value(), bar()->maximum()) << "still at the end";
}

// A text too large to wrap again at once keeps its old rows until the new
// ones have caught up, appends included.
TEST_F(View, ANewWidthIsAppliedInTheBackgroundForLargeText)
{
    const std::string text = HexReception(1200000);
    view.append(text);
    const qsizetype before = view.visualLineCount();
    view.resize(view.width() + 200, view.height());
    view.append("\r\nafter");

    AppendView fresh;
    fresh.resize(view.size());
    fresh.show();
    fresh.append(text + "\r\nafter");
    ASSERT_TRUE(
        WaitUntil([&] { return view.visualLineCount() == fresh.visualLineCount(); }, 20000));
    EXPECT_LT(view.visualLineCount(), before);
    EXPECT_EQ(view.visualLineText(view.visualLineCount() - 1), "after");
    EXPECT_EQ(view.visualLineText(1000), fresh.visualLineText(1000));
    EXPECT_EQ(bar()->value(), bar()->maximum());
}

// ---- scrolling ----

TEST_F(View, EachAppendScrollsToTheEnd)
{
    for (int i = 0; i < 200; ++i) {
        view.append("\r\nline " + std::to_string(i));
    }
    EXPECT_GT(bar()->maximum(), 150);
    EXPECT_EQ(bar()->value(), bar()->maximum());
    EXPECT_EQ(bar()->maximum() + bar()->pageStep(), view.visualLineCount());
    EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    bar()->setValue(0);
    view.append(" more");
    EXPECT_EQ(bar()->value(), bar()->maximum());

    // Not while the user drags a selection.
    bar()->setValue(10);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, view.pointOf(12, 0));
    view.append("\r\nwhile selecting");
    EXPECT_EQ(bar()->value(), 10);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, view.pointOf(12, 2));
    view.append("\r\nafter");
    EXPECT_EQ(bar()->value(), bar()->maximum());

    // The bar is painted with the rows, a little later, never left unpainted.
    EXPECT_TRUE(WaitUntil([&] { return bar()->updatesEnabled(); }));
    view.hide();
    view.append("\r\nhidden");
    EXPECT_TRUE(bar()->updatesEnabled());
}

// ---- selection and copy ----

TEST_F(View, SelectAllAndCopyGiveTheExactText)
{
    view.append("first line\r\nsecond\rthird\nfourth 接收");
    view.setFocus();
    EXPECT_FALSE(view.hasSelection());
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(view.hasSelection());
    EXPECT_EQ(view.selectedText(), view.text());
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "first line\r\nsecond\rthird\nfourth 接收");
}

TEST_F(View, ASelectionToTheEndTakesTheLfOfASplitCrLf)
{
    view.append("ab\r");
    view.selectAll();
    view.append("\ncd");
    EXPECT_EQ(view.selectedText(), "ab\r\n");
    view.selectAll();
    EXPECT_EQ(view.selectedText(), "ab\r\ncd");
}

TEST_F(View, MouseDragSelectsAcrossLines)
{
    view.append("hello world\r\nsecond line");
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, view.pointOf(0, 6));
    QTest::mouseMove(view.viewport(), view.pointOf(1, 3));
    QTest::mouseMove(view.viewport(), view.pointOf(1, 6));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, view.pointOf(1, 6));
    EXPECT_EQ(view.selectedText(), "world\r\nsecond");

    // Shift+click moves the free end; the anchor stays.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, view.pointOf(0, 8));
    EXPECT_EQ(view.selectedText(), "wo");
    // A click alone selects nothing.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.pointOf(1, 2));
    EXPECT_FALSE(view.hasSelection());
    // Dragging below the text reaches its end.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, view.pointOf(1, 7));
    QTest::mouseMove(view.viewport(), QPoint(5, view.viewport()->height() - 2));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {},
                        QPoint(5, view.viewport()->height() - 2));
    EXPECT_EQ(view.selectedText(), "line");
}

TEST_F(View, DoubleClickSelectsAWord)
{
    view.append("0A 1B 2C\r\n12:34:56接收：FF");
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.pointOf(0, 4));
    EXPECT_EQ(view.selectedText(), "1B");
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.pointOf(1, 9));
    EXPECT_EQ(view.selectedText(), "12:34:56接收：FF");
}

TEST_F(View, KeyboardExtendsTheSelection)
{
    view.append("abc def\r\nghi");
    view.setFocus();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.pointOf(0, 1));
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), "bc");
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), "bc def");
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), "bc def\r\ng");
    QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), "a");
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier); // to the start of the next row
    EXPECT_EQ(view.selectedText(), "bc def\r\n");
}

TEST_F(View, ContextMenuCopiesAndSelectsAll)
{
    view.append("0A 0B\r\n0C");
    std::unique_ptr<QMenu> menu(view.createContextMenu());
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->text().startsWith("复制"));
    EXPECT_TRUE(actions[1]->text().startsWith("全选"));
    EXPECT_FALSE(actions[0]->isEnabled()) << "nothing selected";
    actions[1]->trigger();
    EXPECT_EQ(view.selectedText(), "0A 0B\r\n0C");

    menu.reset(view.createContextMenu());
    ASSERT_TRUE(menu->actions()[0]->isEnabled());
    QGuiApplication::clipboard()->clear();
    menu->actions()[0]->trigger();
    EXPECT_EQ(clipboard(), "0A 0B\r\n0C");
}

TEST_F(View, ClearEmptiesTheView)
{
    view.append("abc\r\ndef");
    view.selectAll();
    view.clear();
    EXPECT_TRUE(view.IsEmpty());
    EXPECT_TRUE(view.text().isEmpty());
    EXPECT_FALSE(view.hasSelection());
    EXPECT_EQ(view.visualLineCount(), 1);
    EXPECT_EQ(bar()->maximum(), 0);
    view.append("\nx"); // no CR is pending any more
    EXPECT_EQ(rows(), QStringList({"", "x"}));
}

TEST_F(View, KeepsAFocusPolicyAndTheAccessibleName)
{
    view.setAccessibleName("接收数据显示区");
    EXPECT_EQ(view.accessibleName(), "接收数据显示区");
    EXPECT_TRUE(view.focusPolicy() & Qt::TabFocus);
}

// ---- copy cap ----

// Past 64 MiB a copy takes nothing and says so; just under it, it copies.
TEST(CopyCap, ARefusedCopyLeavesTheClipboardAndSignals)
{
    QTemporaryDir cache;
    ASSERT_TRUE(cache.isValid());
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    AppendView view(4 << 20, CacheSpillOpener());
    const std::string chunk(1 << 20, 'x');
    for (std::uint64_t n = 0; n <= AppendView::kMostCopyBytes; n += chunk.size()) {
        view.append(chunk);
    }
    QSignalSpy refused(&view, &AppendView::copyRefused);
    QGuiApplication::clipboard()->setText("before");
    view.selectAll();
    view.copy();
    EXPECT_EQ(refused.count(), 1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    const std::uint64_t end = view.byteCount();
    view.selectRange(end - AppendView::kMostCopyBytes, end);
    view.copy();
    EXPECT_EQ(refused.count(), 1);
    EXPECT_EQ(QGuiApplication::clipboard()->text().size(), qsizetype(AppendView::kMostCopyBytes));
    QGuiApplication::clipboard()->clear();
    qunsetenv("XDG_CACHE_HOME");
}

// ---- endless runs ----

// A run of one letter, and one of blanks, is wrapped at the width; a
// double-click in the middle of the run looks 4096 bytes either way.
TEST_F(View, EndlessRunsAreWrappedAtTheWidth)
{
    for (const char c : {'W', ' '}) {
        view.clear();
        view.append("ab");
        for (int i = 0; i < 64; ++i) {
            view.append(std::string(16384, c));
        }
        const QStringList shown = rows();
        ASSERT_GT(shown.size(), 1000) << c;
        for (qsizetype i = 1; i + 1 < shown.size(); ++i) {
            ASSERT_LE(width(shown[i]), wrapWidth() + width(" ")) << c << " row " << i;
        }
        const qsizetype middle = shown.size() / 2;
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.pointOf(middle, 2));
        EXPECT_EQ(view.selectedText(),
                  QString(2 * 4096, QChar(c)).mid(0, view.selectedText().size()));
        EXPECT_GE(view.selectedText().size(), 4096);
        EXPECT_LE(view.selectedText().size(), 2 * 4096);
    }
}

// ---- large receptions ----

TEST_F(View, OneMegabyteOnOneLineStaysCompact)
{
    const std::string text = HexReception(350000); // about a megabyte of text
    ASSERT_GT(text.size(), 1000000u);
    view.append("12:34:56接收：");
    for (std::size_t at = 0; at < text.size(); at += 256 * 3) {
        view.append(std::string_view(text).substr(at, 256 * 3));
    }
    view.append(text); // and once more in one piece
    const auto characters = static_cast<double>(view.text().size());
    EXPECT_EQ(view.text().size(), qsizetype(2 * text.size() + 11));
    EXPECT_GT(view.visualLineCount(), 1000);
    EXPECT_LE(static_cast<double>(view.storageBytes()), 4.0 * characters);
    EXPECT_GE(static_cast<double>(view.storageBytes()), characters);
    EXPECT_EQ(view.visualLineText(view.visualLineCount() - 1).size() > 0, true);
    EXPECT_EQ(bar()->value(), bar()->maximum());
}

} // namespace

namespace
{

int PixelsOf(const QImage& image, const QColor& color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == color;
        }
    }
    return count;
}

// Check words are painted in their colours, their text unchanged; bytes
// that read like them are not.
TEST_F(View, MarkedWordsArePaintedInTheirColourOutsideTheBytes)
{
    const QColor red(0xC0, 0x00, 0x00);
    view.setMarkedWords({{" [失败", red}});
    view.AppendBytes(" [失败 bytes]");
    view.finishLayout();
    EXPECT_EQ(PixelsOf(view.viewport()->grab().toImage(), red), 0);
    view.append(" [失败 超时]");
    view.finishLayout();
    EXPECT_EQ(view.text(), QStringLiteral(" [失败 bytes] [失败 超时]"));
    EXPECT_GT(PixelsOf(view.viewport()->grab().toImage(), red), 0);
}

// A verdict that wraps keeps its colour on every row it runs onto, and one
// whose blank ended the row before still opens in colour.
TEST_F(View, MarkedWordsKeepTheirColourWhenTheyWrap)
{
    const QColor red(0xC0, 0x00, 0x00);
    view.setMarkedWords({{" [失败", red}});
    // As many x as make the blank before the verdict end the first row.
    const std::string verdict = " [失败 应为 01 03 14 * 收到 01 83 02 C0 F1 01 83 02 C0 F1 01 83 C0 F1]";
    bool wrapped = false;
    for (std::size_t n = 1; n < 200 && !wrapped; ++n) {
        view.clear();
        view.append(std::string(n, 'x') + verdict);
        view.finishLayout();
        wrapped = view.visualLineCount() >= 3 &&
                  view.visualLineText(1).startsWith(QStringLiteral("[失败"));
    }
    ASSERT_TRUE(wrapped);
    const QImage image = view.viewport()->grab().toImage();
    const int rowHeight = view.fontMetrics().lineSpacing();
    for (int row = 1; row <= 2; ++row) {
        const QImage band = image.copy(0, row * rowHeight + 2, image.width(), rowHeight - 4);
        EXPECT_GT(PixelsOf(band, red), 0) << "row " << row;
    }
}

} // namespace
