#include "app/uStartup.h"

#include "app/uMain.h"
#include "platform/TTerminationSignals.h"
#include "storage/uConst.h"
#include "storage/uDataModule.h"
#include "ui/TApplication.h"
#include "ui/uDelayFunc.h"
#include "ui/uPubFunc.h"

#include <memory>

void InitModules()
{
    TDelayProcManager::Init();
    InitPubFunc();
    InitPaths();
}

void DoneModules()
{
    TDelayProcManager::Done();
    DonePubFunc();
}

int RunProgram(int argc, char** argv, const std::function<void(TMainForm*)>& onInitialised)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    // Names the installed desktop entry, whose icon and name the desktop shows for the program's windows.
    QGuiApplication::setDesktopFileName(QStringLiteral(MERCATIX_APP_ID));
    InitModules();
    // The application's title until the window sets the product's: what the task bar shows during start-up.
    app.SetTitle(QStringLiteral("Mercadox V1.0"));
    auto dm = std::make_unique<TDM>();
    DM = dm.get();
    dm->PrepareDatabase(DbPath); // the key is derived while the window is built
    auto form = std::make_unique<TMainForm>(DM);
    MainForm = form.get();
    PubFunc->SetMainWindow(MainForm);
    // A logout, `kill` or Ctrl+C closes the window as its user would: the settings are saved and the database is
    // closed before the program ends.
    TTerminationSignals terminations;
    QObject::connect(&terminations, &TTerminationSignals::Received, MainForm, &TMainForm::CloseOnRequest);
    if (onInitialised) {
        QObject::connect(MainForm, &TMainForm::Initialised, MainForm, [onInitialised] { onInitialised(MainForm); });
    }
    MainForm->show();
    const int code = app.exec();
    form.reset();
    dm.reset();
    DM = nullptr;
    DoneModules();
    return code;
}
