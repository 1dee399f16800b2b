#pragma once

#include "DialogResources.h"
#include "FakeSerialPort.h"
#include "FrmMain.h"
#include "IntervalTimer.h"
#include "MessageRecorder.h"
#include "SharedSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace quorvane
{

// A started main window on a fake port; its buttons open the dialogs.
class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitDialogResources();
        ApplyStartupDefaults(Shared());
        auto fake = makePort();
        port = fake.get();
        window = std::make_unique<FrmMain>(std::move(fake));
        window->show();
    }
    virtual std::unique_ptr<FakeSerialPort> makePort()
    {
        return std::make_unique<FakeSerialPort>();
    }
    void TearDown() override { window.reset(); }

    // The dialog with this object name, if it exists (visible or hidden).
    QWidget* dialog(const char* name) const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window->findChild<QWidget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    }
    template <typename T = QWidget> T* in(const char* dialogName, const char* name) const
    {
        QWidget* d = dialog(dialogName);
        EXPECT_NE(d, nullptr) << dialogName;
        T* w = d ? d->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void clickIn(const char* dialogName, const char* name)
    {
        QTest::mouseClick(in<QAbstractButton>(dialogName, name), Qt::LeftButton);
    }
    void clickMain(const char* name)
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QString::fromLatin1(name)),
                          Qt::LeftButton);
    }
    QString mainCaption(const char* name) const
    {
        return window->findChild<QAbstractButton*>(QString::fromLatin1(name))->text();
    }
    // Saves a picture of a window when QUORVANE_SHOTS is set (for looking at it).
    static void Snapshot(QWidget* w, const char* file)
    {
        const QString dir = qEnvironmentVariable("QUORVANE_SHOTS");
        if (!dir.isEmpty() && w) {
            w->grab().save(QDir(dir).filePath(QString::fromLatin1(file)));
        }
    }

    MessageRecorder recorder;
    FakeSerialPort* port = nullptr;
    std::unique_ptr<FrmMain> window;
};

} // namespace quorvane
