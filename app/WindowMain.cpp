#include "CommandLine.h"
#include "Controls.h"
#include "DialogResources.h"
#include "FrmMain.h"
#include "PortPath.h"
#include "QtTranslation.h"
#include "SerialPort.h"
#include "SetupMenu.h"
#include "SharedSettings.h"
#include "RoutedPort.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QTimer>
#include <iostream>
#include <memory>
#include <sys/prctl.h>

// The window of quorvane: the program that quorvane becomes (the same
// process) when its command line asks for the window.
int main(int argc, char* argv[])
{
    // The process keeps the name it was started by.
    prctl(PR_SET_NAME, "quorvane", 0, 0, 0);
    const quorvane::CommandLine commandLine(argc, argv);
    if (const auto status = commandLine.answerWithoutWindows(std::cout, std::cerr)) {
        return *status;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    quorvane::InstallQtChineseTexts(app, {});
    quorvane::ApplyProgramFont();
    quorvane::ApplyFrameLook();

    using namespace quorvane;
    InitDialogResources();
    QApplication::setWindowIcon(ProgramIcon());
    // Start-up: the settings record and the send-mode state take their defaults.
    ApplyStartupDefaults(Shared());
    // COM1 to COM4 keep the devices found now until the port dialog opens.
    RefreshPortMap();

    FrmMain frmMain(std::make_unique<RoutedPort>());
    // The program ends once the frame on the wire has gone out: the window
    // is gone at once, the port lets its last frame finish (at most its time
    // on the line plus 100 ms).
    QObject::connect(&frmMain, &FrmMain::unloaded, &app, [&frmMain] {
        SerialPort& port = frmMain.port();
        if (port.PortOpen()) {
            port.setPortOpen(false);
        }
        if (!port.Draining()) {
            QApplication::quit();
            return;
        }
        QObject::connect(&port, &SerialPort::drained, qApp, &QApplication::quit);
        QTimer::singleShot(5000, qApp, &QApplication::quit); // a driver that never drains
    });
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &frmMain,
                     &QWidget::close);
    frmMain.show();
    if (!commandLine.options().logFile.empty()) {
        frmMain.StartRecord(QString::fromLocal8Bit(commandLine.options().logFile.c_str()));
    }
    if (!commandLine.options().setupFile.empty()) {
        frmMain.setup().OpenSetup(QString::fromLocal8Bit(commandLine.options().setupFile.c_str()));
    }
    return QApplication::exec();
}
