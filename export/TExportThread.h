#pragma once

#include "export/TExportJob.h"

#include <QThread>

// Runs an export job on its own thread. Progress arrives as a signal, at most once per chunk; when the
// thread has finished, Succeeded(), Error() and RowsWritten() tell the outcome.
class TExportThread : public QThread
{
    Q_OBJECT

public:
    explicit TExportThread(TExportRequest request, QObject* parent = nullptr);
    ~TExportThread() override;

    const QString& Path() const { return m_path; }
    void Cancel() { m_job.Cancel(); }
    bool Cancelled() const { return m_job.Cancelled(); }
    bool Succeeded() const { return m_succeeded; }
    const QString& Error() const { return m_error; }
    qint64 RowsWritten() const { return m_job.RowsWritten(); }

signals:
    void Progress(qint64 done, qint64 total);

protected:
    void run() override;

private:
    QString m_path;
    TExportJob m_job;
    bool m_succeeded = false;
    QString m_error;
};
