// The watch lists behind 监控: the scheduler that runs due watches while the window is open, and its window.
#include "app/TWatchScheduler.h"
#include "app/TWatchWindow.h"
#include "app/uMain.h"
#include "collect/TDesktopNotifier.h"
#include "collect/TRunRecorder.h"
#include "storage/engine/TConnection.h"
#include "storage/uDataModule.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>

void TMainForm::CreateWatchControls()
{
    m_notifier = std::make_unique<TDesktopNotifier>();
    m_recorder = std::make_unique<TRunRecorder>(*m_dm, m_notifier.get());
    m_scheduler = new TWatchScheduler(
        m_dm->conn(), [this]() { return !m_running && !m_closed && m_dm->conn()->IsOpen(); },
        [this](const TWatch& watch) { return RunWatch(watch); }, this);
    connect(m_scheduler, &TWatchScheduler::NextDueChanged, this, [this](const QString& text) {
        NextWatchPane->setText(text);
        NextWatchPane->setVisible(!text.isEmpty());
        PlaceControls();
    });
    // A run of the window's own may have kept a due watch waiting.
    connect(this, &TMainForm::RunRecorded, m_scheduler,
            [this]() { QTimer::singleShot(0, m_scheduler, &TWatchScheduler::Check); });
}

void TMainForm::StartWatches()
{
    m_scheduler->Start();
}

qint64 TMainForm::RunWatch(const TWatch& watch)
{
    cbSearch->setEditText(watch.Keyword);
    edPageNum->setValue(watch.Pages);
    return CollectAs(QStringLiteral("watch"), watch.DropPercent, watch.BelowPrice);
}

void TMainForm::btnWatchClick()
{
    if (!DatabaseReady()) {
        return;
    }
    if (m_watchWindow == nullptr) {
        m_watchWindow = new TWatchWindow(m_dm->conn(), m_scheduler, this);
        connect(this, &TMainForm::RunRecorded, m_watchWindow, &TWatchWindow::Refresh);
    }
    m_watchWindow->Refresh();
    m_watchWindow->show();
    m_watchWindow->raise();
    m_watchWindow->activateWindow();
}
