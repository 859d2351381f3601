// The collection run behind the collect and stop buttons, and its log.
#include "app/TEnterFilter.h"
#include "app/uMain.h"
#include "collect/INotifier.h"
#include "collect/TCollectionRun.h"
#include "collect/TRunRecorder.h"
#include "collect/TSearchKeyword.h"
#include "storage/TDatabaseMessage.h"
#include "storage/uConst.h"
#include "storage/uDataModule.h"
#include "ui/TApplication.h"
#include "ui/TMessageBox.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>

void TMainForm::AddLog(const QString& message)
{
    RzMemo2->appendPlainText(TCollectionRun::LogLine(message));
}

// The window shows what the run reports: its log lines, its progress and the cause of a page without rows.
void TMainForm::ConnectRun()
{
    m_run = new TCollectionRun(*m_dm, m_params, this);
    connect(m_run, &TCollectionRun::Log, this, &TMainForm::AddLog);
    connect(m_run, &TCollectionRun::Progress, this, [this](int page, int pageCount, int stored) {
        SetRunProgress(QStringLiteral("第 %1/%2 页，已保存 %3 条").arg(page).arg(pageCount).arg(stored));
    });
    connect(m_run, &TCollectionRun::PageCut, this, [this](qint32 framing) { PageFormat = framing; });
    connect(m_run, &TCollectionRun::Reason, this, &TMainForm::ShowReason);
}

bool TMainForm::KeywordIsSearchable(const QString& keyword)
{
    const QString missing = TSearchKeyword::MissingCharacter(keyword);
    if (missing.isEmpty()) {
        return true;
    }
    TMessageBox::Show(
        TMessageBox::Warning, QStringLiteral("警告"),
        QStringLiteral("关键字中的字符“%1”无法搜索：网站使用的 GBK 编码中没有这个字符。请删去或换掉它。").arg(missing));
    return false;
}

// The combo box holds the keyboard focus for its line edit (the line edit's focus proxy) and hands keys on to
// it directly, so a filter on the line edit alone never sees a key typed by the user: the filter watches both.
// It takes Enter, so the combo box neither inserts the keyword nor acts on it again.
void TMainForm::SetUpSearchBox()
{
    cbSearch->lineEdit()->setMaxLength(MaxKeywordLength);
    auto* enter = new TEnterFilter(cbSearch, [this]() {
        if (RzBitBtn1->isEnabled()) {
            RzBitBtn1Click();
        }
    });
    cbSearch->installEventFilter(enter);
    cbSearch->lineEdit()->installEventFilter(enter);
}

// The status pane keeps the cause of the last run's end until the next run; the run logs its "原因：" line.
void TMainForm::ShowReason(const QString& cause)
{
    const QString line = cause.isEmpty() ? QString() : QStringLiteral("原因：") + cause;
    RzStatusPane1->setText(cause.isEmpty() ? m_statusHint : line);
    RzStatusPane1->setToolTip(line);
}

void TMainForm::SetRunning(bool running)
{
    m_running = running;
    RzBitBtn1->setEnabled(!running);
    RzBitBtn2->setEnabled(running);
    btnExport->setEnabled(!running);
}

void TMainForm::RzBitBtn1Click()
{
    CollectAs(QStringLiteral("window"));
}

// A run of the keyword and page count in the window's boxes, recorded with its source; a watch's run carries the
// watch's alert rules. The run's id when it was recorded, else 0.
qint64 TMainForm::CollectAs(const QString& source, const QVariant& dropPercent, const QVariant& belowPrice)
{
    if (m_running) {
        return 0; // a press during a run is ignored
    }
    if (!DatabaseReady() || !KeywordIsSearchable(cbSearch->currentText())) {
        return 0;
    }
    // However the run ends, the window is ready for the next one.
    SetRunning(true);
    const auto ended = qScopeGuard([this]() { SetRunning(false); });
    QString error;
    if (!m_dm->OpenGoodsQuery(&error)) {
        TApplication::HandleError(error);
        return 0;
    }
    ShowReason(QString());
    StopFlag = false;
    const int pageCount = edPageNum->ReadValue();
    const TRunSummary summary
        = m_recorder->Run(*m_run, cbSearch->currentText(), pageCount, source, dropPercent, belowPrice);
    if (!summary.Result.StoreError.isEmpty()) {
        // The run ended without a closing line.
        TApplication::HandleError(TDatabaseMessage::Text(summary.Result.StoreError, DbPath));
        return summary.RunId;
    }
    SetRunProgress(QStringLiteral("本次采集共 %1 条").arg(summary.Result.RowsStored));
    emit RunRecorded(summary.RunId);
    return summary.RunId;
}

void TMainForm::RzBitBtn2Click()
{
    StopFlag = true;
    m_run->RequestStop();
}

QString TMainForm::ExtractPageJson(QString page)
{
    return m_run->ExtractPageJson(std::move(page));
}

int TMainForm::StorePageJson(const QString& keyword, const QString& block, QString* error)
{
    return m_run->StorePageJson(keyword, block, PageFormat, error);
}
