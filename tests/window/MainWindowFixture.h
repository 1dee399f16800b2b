#pragma once

#include "AppendView.h"
#include "FakeSerialPort.h"
#include "FrmMain.h"
#include "IntervalTimer.h"
#include "MessageRecorder.h"
#include "SharedSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace quorvane {

// A freshly started main window on a fake port, with message boxes recorded
// and the receive header's clock pinned to 12:34:56.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ApplyStartupDefaults(Shared());
        auto fake = std::make_unique<FakeSerialPort>();
        port = fake.get();
        window = std::make_unique<FrmMain>(std::move(fake));
        window->setTimeOfDay([] { return QStringLiteral("12:34:56"); });
        window->show();
    }

    template <typename T = QWidget> T* find(const char* name) const
    {
        auto* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QPlainTextEdit* txtSend() const { return find<QPlainTextEdit>("txtSend"); }
    QPushButton* cmdSend() const { return find<QPushButton>("cmdSend"); }
    AppendView* txtSView() const { return find<AppendView>("txtSView"); }
    AppendView* txtRView() const { return find<AppendView>("txtRView"); }
    QString status() const { return find<QLabel>("ComStatus")->text(); }
    QString sendView() const { return txtSView()->text(); }
    QString rcvView() const { return txtRView()->text(); }

    void typeSend(const QString& text) { txtSend()->setPlainText(text); }
    void clickSend() { QTest::mouseClick(cmdSend(), Qt::LeftButton); }
    void click(const char* name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }

    // Timed sending chosen and confirmed, as the send-mode dialog leaves it.
    void chooseTimedSending(int intervalMs)
    {
        window->setTimer1Interval(intervalMs);
        window->setSendCaption(QStringLiteral("开始发送"));
    }

    bool lockedControlsEnabled() const
    {
        return find("cmdSendset")->isEnabled() && find("cmdFrame")->isEnabled() &&
               find("cmbRcv")->isEnabled() && find("cmdRcvset")->isEnabled();
    }
    bool lockedControlsDisabled() const
    {
        return !find("cmdSendset")->isEnabled() && !find("cmdFrame")->isEnabled() &&
               !find("cmbRcv")->isEnabled() && !find("cmdRcvset")->isEnabled();
    }

    MessageRecorder recorder;
    FakeSerialPort* port = nullptr;
    std::unique_ptr<FrmMain> window;
};

const ByteList kDefaultFrame123 = {0x00, 0x03, 0x01, 0x02, 0x03, 0x03, 0xFF};

} // namespace quorvane
