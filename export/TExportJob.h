#pragma once

#include "export/TExportRequest.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class TConnection;
class TTableWriter;

// Writes the rows of a request to its file: a header row of the column titles, then the rows. Table rows
// are read through the job's own connection in chunks in the order of their id, so the job can run on
// any thread and holds only one chunk at a time. The file appears only when every row has been written;
// a failure or a cancel leaves the path as it was.
class TExportJob
{
public:
    // Rows done and rows in all; called after every chunk on the job's thread.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    static constexpr int ChunkRows = 10000;

    explicit TExportJob(TExportRequest request);
    ~TExportJob();

    void SetProgress(Progress progress) { m_progress = std::move(progress); }
    // False with the reason; a cancelled job reports false with Cancelled() true.
    bool Run(QString* error);
    // Safe from any thread; the job stops at the next row.
    void Cancel() { m_cancel = true; }
    bool Cancelled() const { return m_cancel; }
    qint64 RowsWritten() const { return m_written; }

    // The distinct non-empty keywords of the table goodslist, sorted.
    static bool Keywords(TConnection* connection, QStringList* keywords, QString* error);

private:
    bool WriteHeader(TTableWriter* writer, QString* error);
    bool WriteGivenRows(TTableWriter* writer, QString* error);
    bool WriteTableRows(TTableWriter* writer, QString* error);
    QString KeywordCondition() const;
    QString ChunkSql(qint64 afterId, qint64 lastId) const;
    bool CountTableRows(TConnection* connection, qint64* total, qint64* lastId, QString* error);
    bool StopRequested(QString* error) const;
    // The value as the column writes it.
    QVariant Cell(size_t column, const QVariant& value) const;
    void Report(qint64 total);

    TExportRequest m_request;
    Progress m_progress;
    std::atomic<bool> m_cancel = false;
    qint64 m_written = 0;
};
