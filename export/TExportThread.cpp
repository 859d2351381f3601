#include "export/TExportThread.h"

TExportThread::TExportThread(TExportRequest request, QObject* parent)
    : QThread(parent)
    , m_path(request.Path)
    , m_job(std::move(request))
{
    m_job.SetProgress([this](qint64 done, qint64 total) { emit Progress(done, total); });
}

TExportThread::~TExportThread()
{
    m_job.Cancel();
    wait();
}

void TExportThread::run()
{
    m_succeeded = m_job.Run(&m_error);
}
