#include "app/uMain.h"

#include "app/TLibraryWindow.h"
#include "app/TWatchScheduler.h"
#include "app/TWatchWindow.h"
#include "collect/INotifier.h"
#include "collect/TCollectionRun.h"
#include "collect/TRunRecorder.h"
#include "library/TLibraryWorker.h"
#include "storage/engine/TConnection.h"
#include "storage/uConst.h"
#include "storage/uDataModule.h"
#include "ui/TApplication.h"
#include "ui/TMessageBox.h"
#include "ui/uDelayFunc.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(TDM* dm, TRunParams params, QWidget* parent)
    : TBaseForm(parent)
    , m_dm(dm)
    , m_params(std::move(params))
{
    setObjectName("MainForm");
    setWindowTitle("MainForm");
    move(262, 140);
    resize(870, 500);
    CreateControls();
    RzBitBtn2->setEnabled(false); // no run to stop yet
    m_statusHint = RzStatusPane1->text();
    SetUpSearchBox();
    ConnectRun();
    CreateWatchControls();
    cbSearch->setFocus(); // the window opens with the keyword box ready for typing, not on 采集
    FormCreate();
}

TMainForm::~TMainForm()
{
    m_run->WaitForWrite();
    if (MainForm == this) {
        MainForm = nullptr;
    }
}

QString TMainForm::ProductCaption()
{
    return QStringLiteral("%1 V%2").arg(QStringLiteral("Mercatix"), QStringLiteral(MERCATIX_VERSION));
}

void TMainForm::FormCreate()
{
    QPointer<TMainForm> self(this);
    DelayCall(QString(), false, 1, 0.02, [self](const QString&) {
        if (self) {
            self->InitAfterCreate();
        }
    });
}

void TMainForm::InitAfterCreate()
{
    if (m_closed) {
        return; // closed before its start had run: nothing is opened any more
    }
    setWindowTitle(ProductCaption());
    if (App() != nullptr) {
        App()->SetTitle(windowTitle());
    }
    QString error;
    m_dm->SetUpgradeProgress([this](qint64 done, qint64 total) { ShowUpgradeProgress(done, total); });
    m_opening = true;
    const bool opened = m_dm->OpenDatabase(DbPath, &error);
    m_opening = false;
    m_dm->SetUpgradeProgress({});
    EndUpgradeProgress();
    if (!opened || !m_dm->OpenGoodsQuery(&error)) {
        // The initialisation ends here: no settings are loaded and the window is not raised.
        m_openError = error;
        TApplication::HandleError(error);
        return;
    }
    LoadSettings();
    show();
    raise();
    activateWindow();
    // Typing goes to the keyword at once; the keyword shown is selected, so typing replaces it.
    cbSearch->setFocus(Qt::ActiveWindowFocusReason);
    cbSearch->lineEdit()->selectAll();
    emit Initialised();
    PrepareLibrary();
    StartWatches();
}

bool TMainForm::DatabaseReady()
{
    if (m_dm->conn()->IsOpen()) {
        return true;
    }
    // The reason, when the start gave one, names the file and what to do.
    const QString text = m_openError.isEmpty()
        ? QStringLiteral("不能采集：数据库文件 %1 没有打开。").arg(QDir::toNativeSeparators(DbPath))
        : QStringLiteral("不能采集：数据库没有打开。\n") + m_openError;
    TMessageBox::Show(TMessageBox::Warning, QStringLiteral("采集"), text);
    return false;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TMainForm::FormClose()
{
    m_closed = true;
    m_run->Close(); // a run waiting for a page or in its pause ends at once
    m_scheduler->Stop();
    delete m_watchWindow;
    m_watchWindow = nullptr;
    delete m_library; // its worker ends before the database closes
    m_library = nullptr;
    m_libraryWorker.reset();
    StopExport();
    if (m_run->Writing()) {
        // A page's rows being written reach the file before it closes. Another program holding the file can
        // keep the write waiting for seconds: the window is gone meanwhile instead of standing still.
        hide();
    }
    m_run->WaitForWrite();
    m_recorder->Abandon(); // a run still going on is recorded as stopped before the file closes
    if (m_settingsLoaded) {
        SaveSettings();
    }
    m_dm->CloseDatabase();
}
