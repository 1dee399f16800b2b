#pragma once

#include "AppendView.h"
#include "DeviceProcess.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "PortPath.h"
#include "SharedSettings.h"
#include "TermiosPort.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace quorvane
{

// quorvane-device on a pseudo-terminal as COM2, and the main window on the
// real termios port from the start-up defaults, its clock at 08:00:00.
class DeviceWindowTest : public ::testing::Test
{
protected:
    // `beforeWindow` changes the shared settings the window starts from.
    void start(const QStringList& deviceArgs, const std::function<void()>& beforeWindow = {})
    {
        ASSERT_TRUE(device.start(deviceArgs)) << "quorvane-device did not start";
        qputenv("QUORVANE_COM2", device.path().toUtf8());
        RefreshPortMap();
        ApplyStartupDefaults(Shared());
        if (beforeWindow) {
            beforeWindow();
        }
        window = std::make_unique<FrmMain>(std::make_unique<TermiosPort>());
        window->setTimeOfDay([] { return QStringLiteral("08:00:00"); });
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        device.stop();
        qunsetenv("QUORVANE_COM2");
        RefreshPortMap();
    }

    template <typename T = QWidget> T* find(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QString rcvView() const { return find<AppendView>("txtRView")->text(); }

    DeviceProcess device;
    MessageRecorder recorder;
    std::unique_ptr<FrmMain> window;
};

} // namespace quorvane
