// The views as screen readers see them: text by character offsets (UTF-16
// units), pieces by character, word and row, caret and selection. (The
// announcements of appended text are checked on a real desktop.)
#include "AppendView.h"

#include <QAccessible>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvane;

namespace
{

class ViewToReaders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.resize(300, 120);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        accessible = QAccessible::queryAccessibleInterface(&view);
        ASSERT_NE(accessible, nullptr);
        text = accessible->textInterface();
        ASSERT_NE(text, nullptr);
    }

    QString at(int offset, QAccessible::TextBoundaryType boundary, int* start, int* end) const
    {
        return text->textAtOffset(offset, boundary, start, end);
    }

    AppendView view;
    QAccessibleInterface* accessible = nullptr;
    QAccessibleTextInterface* text = nullptr;
};

TEST_F(ViewToReaders, ReadsTheTextByCharacterWordAndRow)
{
    const QString shown = QStringLiteral("12:34:56接收：0 A FF \r\n08:00:00接收：😀 7");
    view.append(shown.toStdString());
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    EXPECT_TRUE(accessible->state().readOnly);
    EXPECT_TRUE(accessible->state().multiLine);
    EXPECT_EQ(text->characterCount(), shown.size());
    EXPECT_EQ(text->text(0, -1), shown);
    EXPECT_EQ(text->text(8, 11), QStringLiteral("接收："));

    int start = 0;
    int end = 0;
    EXPECT_EQ(at(9, QAccessible::CharBoundary, &start, &end), QStringLiteral("收"));
    EXPECT_EQ(std::pair(start, end), std::pair(9, 10));
    EXPECT_EQ(at(15, QAccessible::WordBoundary, &start, &end), QStringLiteral("FF"));
    EXPECT_EQ(std::pair(start, end), std::pair(15, 17));
    EXPECT_EQ(at(2, QAccessible::LineBoundary, &start, &end),
              QStringLiteral("12:34:56接收：0 A FF \r\n"));
    EXPECT_EQ(text->textAfterOffset(2, QAccessible::LineBoundary, &start, &end),
              QStringLiteral("08:00:00接收：😀 7"));
    EXPECT_EQ(end, shown.size());
    const int emoji = static_cast<int>(shown.indexOf(QStringLiteral("😀")));
    EXPECT_EQ(at(emoji + 1, QAccessible::CharBoundary, &start, &end), QStringLiteral("😀"))
        << "an offset inside a surrogate pair gives the whole character";
    EXPECT_FALSE(text->characterRect(9).isEmpty());
    EXPECT_EQ(text->offsetAtPoint(text->characterRect(9).center()), 9);
}

TEST_F(ViewToReaders, CaretAndSelectionAreTheViews)
{
    view.append("AB 接收 CD");
    text->setSelection(0, 3, 5);
    EXPECT_EQ(view.selectedText(), QStringLiteral("接收"));
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(3, 5));
    EXPECT_EQ(text->cursorPosition(), 5);
    text->removeSelection(0);
    EXPECT_EQ(text->selectionCount(), 0);
    text->setCursorPosition(1);
    EXPECT_EQ(text->cursorPosition(), 1);
    EXPECT_FALSE(view.hasSelection());
}

} // namespace
