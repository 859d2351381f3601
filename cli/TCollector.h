#pragma once

#include "cli/TCollectorCommand.h"
#include "collect/TRunParams.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class INotifier;
class QTextStream;
class TCollectionRun;
class TDM;
struct TRunSummary;
struct TWatch;

// The collector without a window: collects keywords and runs watches with the window's requests, pauses,
// deadlines, rows and run records, writing the log lines and one summary per run (or one JSON object per run)
// to its output. It never writes the settings file.
class TCollector : public QObject
{
    Q_OBJECT

public:
    // Exit statuses.
    static constexpr int AllComplete = 0;
    static constexpr int NotAllComplete = 1; // a run was partial, failed or stopped
    static constexpr int BadUsage = 2;
    static constexpr int NoDatabase = 3;

    TCollector(QTextStream& out, QTextStream& err, INotifier* notifier, TRunParams params = {});
    ~TCollector() override;

    // Carries out a command line (the arguments after the program's name); the exit status.
    int Execute(const QStringList& arguments);
    // Ends the run in progress as 停止 does and runs nothing more.
    void Stop();

    // The program: real output streams, desktop notifications, SIGINT and SIGTERM as a stop.
    static int Main(const QStringList& arguments);

private:
    int Carry(const TCollectorCommand& command);
    bool OpenDatabase();
    int RunKeywords(const TCollectorCommand& command);
    int AddWatch(const TCollectorCommand& command);
    int ListWatches();
    int RemoveWatch(qint64 id);
    int RunWatches(const TCollectorCommand& command);
    // Runs one keyword as a recorded run and reports it.
    TRunSummary Collect(const QString& keyword, int pages, const QString& source, const QVariant& drop,
                        const QVariant& below, bool json);
    void Report(const TRunSummary& summary, bool json);
    int Fail(int status, const QString& message);

    QTextStream& m_out;
    QTextStream& m_err;
    INotifier* m_notifier;
    TRunParams m_params;
    std::unique_ptr<TDM> m_dm;
    TCollectionRun* m_run = nullptr;
    bool m_stopped = false;
};
