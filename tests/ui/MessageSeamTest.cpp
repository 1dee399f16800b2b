// A real message box, as the user meets it.
#include "MessageRecorder.h"
#include "MessageSeam.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace quorvane;

TEST(MessageSeam, AMinimisedBoxComesBackWhileItsWindowIsShown)
{
    QWidget window;
    window.show();
    window.activateWindow();
    bool minimised = false;
    bool restored = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->showMinimized();
        minimised = box->isMinimized();
        restored = WaitUntil([box] { return !box->isMinimized() && box->isVisible(); });
        box->accept();
    });
    MessageSeam::instance().show(MessageId::BreakReceived);
    EXPECT_TRUE(minimised);
    EXPECT_TRUE(restored);
}
