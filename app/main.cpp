#include "Controls.h"
#include "DialogResources.h"
#include "FrmMain.h"
#include "SharedSettings.h"
#include "TermiosPort.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace {

// Qt's own texts (the text boxes' context menus, the file dialog) in
// Simplified Chinese, like the rest of the windows. Without the translation
// installed they stay in English.
void InstallQtChineseTexts(QApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    InstallQtChineseTexts(app);
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
