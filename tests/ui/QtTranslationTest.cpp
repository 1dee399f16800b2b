// Qt's own texts in Chinese, and a start without the translation.
#include "QtTranslation.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace quorvane;

TEST(QtTranslation, TextBoxMenusSpeakChineseWhenInstalled)
{
    QTemporaryDir empty;
    EXPECT_FALSE(InstallQtChineseTexts(*qApp, empty.path())) << "no translation there";

    ASSERT_TRUE(InstallQtChineseTexts(*qApp, {})) << "qt6-translations-l10n is not installed";
    QPlainTextEdit box;
    std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    QStringList captions;
    for (QAction* action : menu->actions()) {
        captions << action->text();
    }
    EXPECT_TRUE(captions.join(u' ').contains(QStringLiteral("全选"))) << captions.join(u' ').toStdString();
    EXPECT_TRUE(captions.join(u' ').contains(QStringLiteral("粘贴")));
}
