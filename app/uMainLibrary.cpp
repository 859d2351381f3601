// The library window behind 数据库, and the progress of a database upgrade at start-up.
#include "app/TLibraryWindow.h"
#include "app/uMain.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {
const int UpgradeSteps = 1000;
} // namespace

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
            this);
    }
    m_library->show();
    m_library->raise();
    m_library->activateWindow();
}

// Building the search index of a large file takes a while: the window shows how far it is and stays painted.
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
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMainForm::EndUpgradeProgress()
{
    delete m_upgradeProgress;
    m_upgradeProgress = nullptr;
}
