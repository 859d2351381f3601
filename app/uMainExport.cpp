// Export of the goods: the dialog, the copy of the grid's rows, the worker thread and its progress.
#include "app/TExportDialog.h"
#include "app/uMain.h"
#include "export/TExportJob.h"
#include "export/TExportThread.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"
#include "ui/TMessageBox.h"
#include "ui/TProgressForm.h"
#include "ui/TSystemBrowser.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QUrl>

namespace {
const int ProgressSteps = 1000;
} // namespace

void TMainForm::btnExportClick()
{
    if (IsExporting() || m_running) {
        return; // a run keeps the grid changing; the export waits until it has ended
    }
    QStringList keywords;
    QString error;
    if (m_dm->conn()->IsOpen() && !TExportJob::Keywords(m_dm->conn(), &keywords, &error)) {
        keywords.clear(); // the dialog then offers no keyword filter
    }
    TExportDialog dialog(keywords, grid->model()->rowCount(), this);
    if (m_exportChoice.Ask(dialog, cbSearch->currentText())) {
        StartExport(ExportRequestOf(dialog));
    }
}

std::vector<TExportColumn> TMainForm::ExportColumns() const
{
    const QHeaderView* header = grid->horizontalHeader();
    const QAbstractItemModel* model = grid->model();
    std::vector<TExportColumn> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical)) {
            columns.push_back({ColumnField(logical), model->headerData(logical, Qt::Horizontal).toString()});
        }
    }
    return columns;
}

// The grid's rows are copied here, on the window's thread, so the worker never touches the goods query.
TExportRequest TMainForm::ExportRequestOf(const TExportDialog& dialog) const
{
    TExportRequest request;
    request.RowSource = dialog.Source();
    request.FileFormat = dialog.Format();
    request.Path = dialog.Path();
    request.Columns = ExportColumns();
    if (request.RowSource == TExportRequest::TableRows) {
        request.ConnectionString = TDBFunc::ConnectionString(DbPath, TDBFunc::Password());
        request.FilterKeyword = dialog.FilterKeyword();
        request.Keyword = dialog.Keyword();
        return request;
    }
    const TRowSet* rows = m_dm->qrGoodsList();
    std::vector<int> fields;
    for (const TExportColumn& column : request.Columns) {
        fields.push_back(rows->FieldIndex(column.Field));
    }
    // The rows in the order the grid shows them, sorted or not.
    const int count = m_sortModel->rowCount();
    request.Rows.reserve(static_cast<size_t>(count) * fields.size());
    for (int row = 0; row < count; ++row) {
        const int source = m_sortModel->mapToSource(m_sortModel->index(row, 0)).row();
        for (const int field : fields) {
            request.Rows.push_back(rows->Value(source, field));
        }
    }
    return request;
}

void TMainForm::StartExport(TExportRequest request)
{
    const QString path = QDir::toNativeSeparators(request.Path);
    m_exportThread = new TExportThread(std::move(request), this);
    // Not modal: the window stays usable while the worker writes the file.
    m_exportProgress
        = new TProgressForm(QStringLiteral("导出"), QStringLiteral("正在导出到 %1").arg(path), ProgressSteps, this);
    m_exportProgress->setObjectName("ExportProgress");
    m_exportProgress->ShowAfter(300);
    connect(m_exportProgress, &TProgressForm::Canceled, m_exportThread, &TExportThread::Cancel);
    connect(m_exportThread, &TExportThread::Progress, this, &TMainForm::ExportProgress);
    connect(m_exportThread, &QThread::finished, this, &TMainForm::ExportFinished);
    btnExport->setEnabled(false);
    m_exportThread->start(QThread::LowPriority);
}

void TMainForm::ExportProgress(qint64 done, qint64 total)
{
    if (m_exportProgress == nullptr || m_exportProgress->WasCanceled()) {
        return;
    }
    m_exportProgress->SetValue(total > 0 ? static_cast<int>(done * ProgressSteps / total) : 0);
    m_exportProgress->SetText(QStringLiteral("正在导出到 %1\n%2 / %3 行")
                                  .arg(QDir::toNativeSeparators(m_exportThread->Path()))
                                  .arg(done)
                                  .arg(total));
}

void TMainForm::ExportFinished()
{
    TExportThread* thread = m_exportThread;
    if (thread == nullptr) {
        return;
    }
    m_exportThread = nullptr;
    // The outcome is already settled: closing the progress window cancels nothing.
    disconnect(m_exportProgress, nullptr, thread, nullptr);
    m_exportProgress->Finish();
    m_exportProgress->deleteLater();
    m_exportProgress = nullptr;
    btnExport->setEnabled(true);
    const QString path = QDir::toNativeSeparators(thread->Path());
    if (!m_closed && thread->Succeeded()) {
        const bool open = TMessageBox::Ask(TMessageBox::Information, QStringLiteral("导出"),
                                           QStringLiteral("已导出 %1 行到 %2").arg(thread->RowsWritten()).arg(path),
                                           QStringLiteral("打开所在文件夹"), QStringLiteral("关闭"));
        if (open) {
            TSystemBrowser::Open(QUrl::fromLocalFile(QFileInfo(thread->Path()).absolutePath()));
        }
    } else if (!m_closed && !thread->Cancelled()) {
        TMessageBox::Show(TMessageBox::Critical, QStringLiteral("导出失败"),
                          QStringLiteral("无法导出到 %1：%2").arg(path, thread->Error()));
    }
    thread->deleteLater();
}

// Closing the window ends a running export: the file stays as it was before.
void TMainForm::StopExport()
{
    if (m_exportThread != nullptr) {
        m_exportThread->Cancel();
        m_exportThread->wait();
        ExportFinished();
    }
}
