#pragma once

#include "FakeSerialPort.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "Offscreen.h"
#include "SharedSettings.h"

#include <QComboBox>
#include <memory>

namespace quorvane::bench
{

// The main window from its start-up defaults on a fake port, shown, its
// message boxes recorded, the receive view in `rcvMode`.
struct FakeWindow {
    MessageRecorder recorder;
    FakeSerialPort* port = nullptr;
    std::unique_ptr<FrmMain> main;

    explicit FakeWindow(int rcvMode = ModeDecimal)
    {
        ApplyStartupDefaults(Shared());
        auto fake = std::make_unique<FakeSerialPort>();
        port = fake.get();
        main = std::make_unique<FrmMain>(std::move(fake));
        ShowExposed(main.get());
        main->findChild<QComboBox*>(QStringLiteral("cmbRcv"))->setCurrentIndex(rcvMode);
    }
};

} // namespace quorvane::bench
