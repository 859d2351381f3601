#include "collect/TCollectionRun.h"

#include "collect/TPagePipeline.h"
#include "collect/TRunReason.h"
#include "collect/TSearchKeyword.h"
#include "net/TPageDownload.h"
#include "storage/uDataModule.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTime>
#include <QTimer>

TCollectionRun::TCollectionRun(TDM& dm, TRunParams params, QObject* parent)
    : QObject(parent)
    , m_dm(dm)
    , m_params(std::move(params))
{
}

TCollectionRun::~TCollectionRun()
{
    WaitForWrite();
}

QString TCollectionRun::LogLine(const QString& message)
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral(":   ") + message;
}

QString TCollectionRun::SearchUrl(const QString& host, const QString& keyword, int offset)
{
    QString url = QStringLiteral("http://") + host + QStringLiteral("/search?q=") + TSearchKeyword::Escape(keyword);
    if (offset > 0) {
        url += QStringLiteral("&s=%1").arg(offset);
    }
    return url;
}

TRunResult TCollectionRun::Run(const QString& keyword, int pageCount)
{
    m_running = true;
    const auto ended = qScopeGuard([this]() { m_running = false; });
    m_stopRequested = false;
    emit Log(QStringLiteral("=======开始采集======="));
    TRunResult result;
    if (CollectPages(keyword, pageCount, &result)) {
        // The closing line depends on the stop request alone, not on why the pages ended.
        emit Log(m_stopRequested ? QStringLiteral("=======中止采集=======") : QStringLiteral("=======完成采集======="));
        if (m_stopRequested || m_closed) {
            result.Outcome = TRunOutcome::Stopped;
        }
    }
    emit Finished(result);
    return result;
}

void TCollectionRun::RequestStop()
{
    m_stopRequested = true;
    if (m_downloading && m_waitLoop != nullptr) {
        m_waitLoop->quit(); // the download is given up as the run leaves its wait
    }
}

void TCollectionRun::Close()
{
    m_closed = true;
    if (m_waitLoop != nullptr) {
        m_waitLoop->quit(); // a run waiting for a page or in its pause ends at once
    }
}

// False when storing a page failed: the run then ends without a closing line.
bool TCollectionRun::CollectPages(const QString& keyword, int pageCount, TRunResult* result)
{
    int offset = 0;
    for (int page = 1; page <= pageCount; ++page) {
        emit Progress(page, pageCount, result->RowsStored);
        emit Log(QStringLiteral("正在采集第%1页").arg(page));
        QString text;
        THttpResult download;
        if (!DownloadPage(SearchUrl(m_params.Host, keyword, offset), &text, &download) && m_stopRequested
            && !m_closed) {
            break; // stopped during the download: nothing of the page is kept
        }
        emit Log(QStringLiteral("完成网络提取"));
        if (!ProcessMessages()) {
            break;
        }
        text = ExtractPageJson(std::move(text));
        if (!ProcessMessages()) {
            break;
        }
        if (text.isEmpty()) {
            EndWithoutRows(QStringLiteral("错误： ") + keyword, download, result);
            break;
        }
        QString error;
        const int count = StorePageJson(keyword, text, m_pageResult.Framing, &error);
        if (!error.isEmpty()) {
            result->StoreError = error;
            result->Outcome = result->PagesRead == 0 ? TRunOutcome::Failed : TRunOutcome::Partial;
            return false;
        }
        if (count > 0) {
            result->PagesRead = page;
            result->RowsStored += count;
        }
        if (!ProcessMessages()) {
            break;
        }
        if (count <= 0) {
            EndWithoutRows(QStringLiteral("没有数据保存"), download, result);
            break;
        }
        emit Progress(page, pageCount, result->RowsStored);
        emit PageStored(count);
        emit Log(QStringLiteral("完成数据保存"));
        emit Log(QString());
        if (!Pause(m_params.PauseMs) || m_stopRequested) {
            break;
        }
        offset += count;
    }
    return true;
}

void TCollectionRun::EndWithoutRows(const QString& line, const THttpResult& download, TRunResult* result)
{
    emit Log(line);
    // An empty listing array after a stored page is how the results run out; anything else is a failure.
    const bool ranOut = m_pageResult.Ok() && result->PagesRead > 0;
    if (!ranOut) {
        result->Outcome = result->PagesRead == 0 ? TRunOutcome::Failed : TRunOutcome::Partial;
    }
    result->Cause = TRunReason::Of(download, m_pageResult, m_params);
    if (!result->Cause.isEmpty()) {
        emit Log(QStringLiteral("原因：") + result->Cause);
        // The cause names a long redirect target by its host only; the log keeps the whole address.
        if (const QString address = TRunReason::FullAddress(download); !address.isEmpty()) {
            emit Log(QStringLiteral("转到的完整地址：") + address);
        }
    }
    emit Reason(result->Cause);
}

bool TCollectionRun::ProcessMessages()
{
    QCoreApplication::processEvents();
    return !m_closed;
}

void TCollectionRun::WaitIn(QEventLoop& loop)
{
    if (m_closed) {
        return;
    }
    m_waitLoop = &loop;
    loop.exec();
    m_waitLoop = nullptr;
}

bool TCollectionRun::DownloadPage(const QString& url, QString* text, THttpResult* outcome)
{
    THttpOptions options;
    options.ConnectMs = m_params.ConnectTimeoutMs;
    options.SilenceMs = m_params.TimeoutMs;
    options.DeadlineMs = m_params.PageDeadlineMs;
    TPageDownload download;
    QEventLoop loop;
    bool finished = false;
    connect(&download, &TPageDownload::Finished, &loop, [&](const QString& page, const THttpResult& result) {
        *text = page;
        *outcome = result;
        finished = true;
        loop.quit();
    });
    download.Start(url, options);
    m_downloading = true;
    if (!m_stopRequested) {
        WaitIn(loop);
    }
    m_downloading = false;
    return finished; // an unfinished download is given up as it goes out of scope
}

// A database that another writer holds (the engine waits up to its busy timeout) or a slow disk must not
// hold the caller's events, so the rows go to the file on a thread of their own while the events go on.
// Nothing changes the goods query meanwhile: the run waits here, a grid only reads it, and a close waits for
// the write before the file closes. The numbers the rows got are taken on this thread.
bool TCollectionRun::WriteGoodsRows(QString* error)
{
    std::vector<qint64> ids;
    const bool written = m_writer.RunAndWait([&]() { return m_dm.WriteGoodsRows(&ids, error); });
    if (written) {
        m_dm.TakeGoodsIds(ids);
    }
    return written;
}

bool TCollectionRun::Pause(int ms)
{
    if (ms > 0) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        WaitIn(loop);
    }
    return ProcessMessages();
}

QString TCollectionRun::ExtractPageJson(QString page)
{
    QString block;
    m_pageResult = TPagePipeline::Cut(std::move(page), &block);
    emit PageCut(m_pageResult.Framing);
    return block;
}

int TCollectionRun::StorePageJson(const QString& keyword, const QString& block, qint32 framing, QString* error)
{
    TPagePipeline pipeline(m_dm);
    pipeline.SetWriter([this](QString* failure) { return WriteGoodsRows(failure); });
    m_pageResult = pipeline.Store(keyword, block, framing);
    if (m_pageResult.Failure == TPageFailure::StoreFailed) {
        *error = m_pageResult.Detail;
    }
    return m_pageResult.Stored;
}
