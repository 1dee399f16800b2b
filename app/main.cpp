#include "Controls.h"
#include "DialogResources.h"
#include "FrmMain.h"
#include "QtTranslation.h"
#include "SharedSettings.h"
#include "TermiosPort.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    quorvane::InstallQtChineseTexts(app, {});
    quorvane::ApplyProgramFont();
    quorvane::ApplyFrameLook();

    using namespace quorvane;
    InitDialogResources();
    QApplication::setWindowIcon(ProgramIcon());
    // Start-up: the settings record and the send-mode state take their defaults.
    ApplyStartupDefaults(Shared());

    FrmMain frmMain(std::make_unique<TermiosPort>());
    QObject::connect(&frmMain, &FrmMain::unloaded, &app, &QApplication::quit);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &frmMain,
                     &QWidget::close);
    frmMain.show();
    return QApplication::exec();
}
