#pragma once

#include "collect/TRunParams.h"
#include "collect/TRunResult.h"
#include "net/THttpResult.h"
#include "page/TPageResult.h"
#include "platform/TAsyncTask.h"

#include <QObject>
#include <QString>

class QEventLoop;
class TDM;

// One collection run: for a keyword, the search result pages one after another, each downloaded, its data
// block cut out, its listings stored in the data module's goods query and written to the database file, then
// a pause. Every step is reported as a log message. The caller's events go on meanwhile: the download and the
// write run on threads of their own, and the run lets pending events through at fixed points between its
// steps, which is where a stop request or a close takes effect.
class TCollectionRun : public QObject
{
    Q_OBJECT

public:
    explicit TCollectionRun(TDM& dm, TRunParams params = {}, QObject* parent = nullptr);
    ~TCollectionRun() override;

    // Runs the whole collection and returns when it has ended. The goods query must be open. The run logs
    // its start line, the lines of every page and, unless storing failed, its closing line.
    TRunResult Run(const QString& keyword, int pageCount);
    bool IsRunning() const { return m_running; }

    // Ends the run. A download in progress is given up at once and its page is not stored; a page being stored
    // is stored, and the run ends after the pause that follows it.
    void RequestStop();
    bool StopRequested() const { return m_stopRequested; }
    // The caller is going away: a download in progress is given up at once, a pause ends, and nothing more is
    // stored. A write in progress still reaches the file; WaitForWrite waits for it.
    void Close();
    bool Writing() const { return m_writer.Running(); }
    void WaitForWrite() { m_writer.Join(); }

    // A line of the run's log as the log pane shows it: the local time "hh:mm:ss", ":   ", the message.
    static QString LogLine(const QString& message);

    // The search URL of a page. The keyword's control characters, blanks, DEL and "#%&+<> go out
    // percent-encoded; every other character as its code page 936 bytes.
    static QString SearchUrl(const QString& host, const QString& keyword, int offset);

    // The steps of a page, for a caller that runs them itself. ExtractPageJson cuts the data block out of a
    // page (LastPage().Framing tells its framing); StorePageJson stores the listings of a block and returns
    // their number, with the store's message in *error when storing failed.
    QString ExtractPageJson(QString page);
    int StorePageJson(const QString& keyword, const QString& block, qint32 framing, QString* error);
    const TPageResult& LastPage() const { return m_pageResult; }

signals:
    // One line of the run's log, without its time stamp.
    void Log(const QString& message);
    // Before each page and after each stored one: the page, the pages asked for, the rows stored so far.
    void Progress(int page, int pageCount, int stored);
    // A page's data block was cut out, in this framing (-1 when none was found).
    void PageCut(qint32 framing);
    // A page's rows were stored and written.
    void PageStored(int rows);
    // Why the run got no rows from a page, in words a user can act on.
    void Reason(const QString& cause);
    // The run has ended (also when storing failed).
    void Finished(const TRunResult& result);

private:
    bool CollectPages(const QString& keyword, int pageCount, TRunResult* result);
    // A page that gave no rows: its log line and its cause; the run ends after it.
    void EndWithoutRows(const QString& line, const THttpResult& download, TRunResult* result);
    // Dispatches every pending event; false once the run is closed.
    bool ProcessMessages();
    // Downloads a page on a thread of its own while events go on. False when the run was closed meanwhile:
    // the download is then given up and nothing of it is kept.
    bool DownloadPage(const QString& url, QString* text, THttpResult* outcome);
    // Writes the rows a page stored to the file on a thread of its own while events go on.
    bool WriteGoodsRows(QString* error);
    // Waits ms while events go on; false once the run is closed.
    bool Pause(int ms);
    // Runs a local event loop until it is quit, or until the run is closed.
    void WaitIn(QEventLoop& loop);

    TDM& m_dm;
    TRunParams m_params;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_closed = false;
    bool m_downloading = false;
    QEventLoop* m_waitLoop = nullptr; // the local loop the run waits in, quit when the run is closed
    TAsyncTask m_writer; // writes a page's rows to the file
    TPageResult m_pageResult; // the last page's outcome, from ExtractPageJson and StorePageJson
};
