// The library window behind 数据库, and the progress of a database upgrade at start-up.
#include "app/TLibraryWindow.h"
#include "app/uMain.h"
#include "library/TLibraryWorker.h"
#include "storage/engine/TConnection.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

#include <QProgressDialog>
#include <QTimer>

namespace {
const int UpgradeSteps = 1000;
} // namespace

// The library's connection opens on its own thread as soon as the window is up, so that the window's first
// opening finds it open, or joins its opening when it comes sooner. The key of an existing file was derived for
// the main connection already, so the opening costs little; a file created by this start derives it once more.
void TMainForm::PrepareLibrary()
{
    QTimer::singleShot(0, this, [this]() {
        if (!m_closed && m_library == nullptr && m_libraryWorker == nullptr && m_dm->conn()->IsOpen()) {
            m_libraryWorker = std::make_unique<TLibraryWorker>(TDBFunc::ConnectionString(DbPath, TDBFunc::Password()));
        }
    });
}

void TMainForm::btnLibraryClick()
{
    if (m_library == nullptr) {
        m_library = new TLibraryWindow(
            m_dm, TDBFunc::ConnectionString(DbPath, TDBFunc::Password()),
            [this](TExportRequest request) {
                if (!IsExporting()) {
                    StartExport(std::move(request));
                }
            },
            this, std::move(m_libraryWorker), &m_exportChoice);
    }
    m_library->show();
    m_library->raise();
    m_library->activateWindow();
}

// Building the search index of a large file takes a while: the upgrade runs on a thread of its own while this
// thread's event loop keeps the windows painted, and the progress window shows how far it is.
void TMainForm::ShowUpgradeProgress(qint64 done, qint64 total)
{
    if (m_upgradeProgress == nullptr) {
        m_upgradeProgress
            = new QProgressDialog(QStringLiteral("正在升级数据库：建立搜索索引…"), QString(), 0, UpgradeSteps, this);
        m_upgradeProgress->setObjectName("UpgradeProgress");
        m_upgradeProgress->setWindowTitle(ProductCaption());
        m_upgradeProgress->setCancelButton(nullptr);
        m_upgradeProgress->setMinimumDuration(500);
        m_upgradeProgress->setAutoClose(false);
        m_upgradeProgress->setAutoReset(false);
    }
    m_upgradeProgress->setValue(total > 0 ? static_cast<int>(done * UpgradeSteps / total) : 0);
}

void TMainForm::EndUpgradeProgress()
{
    delete m_upgradeProgress;
    m_upgradeProgress = nullptr;
}
