#include "cli/TCollector.h"

#include "collect/TCollectionRun.h"
#include "collect/TDesktopNotifier.h"
#include "collect/TRunRecorder.h"
#include "collect/TRunSummary.h"
#include "platform/TTerminationSignals.h"
#include "storage/TWatchList.h"
#include "storage/uConst.h"
#include "storage/uDataModule.h"
#include "ui/uPubFunc.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSysInfo>
#include <QTextStream>

#include <cstdio>

namespace {
// How long a watch's claim lasts: longer than its slowest run (every page at its deadline and its pause).
QDateTime LeaseEnd(int pages)
{
    return QDateTime::currentDateTime().addSecs(static_cast<qint64>(pages) * 62 + 300);
}

QString Rule(const QVariant& value, const QString& unit)
{
    return value.isNull() ? QStringLiteral("—") : QString::number(value.toDouble()) + unit;
}
} // namespace

TCollector::TCollector(QTextStream& out, QTextStream& err, INotifier* notifier, TRunParams params)
    : m_out(out)
    , m_err(err)
    , m_notifier(notifier)
    , m_params(std::move(params))
{
}

TCollector::~TCollector() = default;

int TCollector::Main(const QStringList& arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    TDesktopNotifier notifier;
    TCollector collector(out, err, &notifier);
    TTerminationSignals termination;
    QObject::connect(&termination, &TTerminationSignals::Received, &collector, &TCollector::Stop);
    // A failed statement's warning goes to the error output: there is no window to show a box in.
    InitPubFunc();
    PubFunc->SetNoticeSink([&err](const QString& text) { err << QStringLiteral("警告：") << text << Qt::endl; });
    const int status = collector.Execute(arguments);
    DonePubFunc();
    return status;
}

int TCollector::Execute(const QStringList& arguments)
{
    TCollectorCommand command;
    QString error;
    if (!TCollectorCommand::Parse(arguments, &command, &error)) {
        m_err << QStringLiteral("mercatix-collect：") << error << "\n\n" << TCollectorCommand::Usage();
        m_err.flush();
        return BadUsage;
    }
    if (command.What == TCollectorCommand::Help) {
        m_out << TCollectorCommand::Usage();
        m_out.flush();
        return AllComplete;
    }
    if (!OpenDatabase()) {
        return NoDatabase;
    }
    const int status = Carry(command);
    m_out.flush();
    m_err.flush();
    m_dm->CloseDatabase();
    return status;
}

int TCollector::Carry(const TCollectorCommand& command)
{
    switch (command.What) {
    case TCollectorCommand::Run:
        return RunKeywords(command);
    case TCollectorCommand::WatchAdd:
        return AddWatch(command);
    case TCollectorCommand::WatchList:
        return ListWatches();
    case TCollectorCommand::WatchRemove:
        return RemoveWatch(command.WatchId);
    case TCollectorCommand::WatchRun:
        return RunWatches(command);
    case TCollectorCommand::Help:
        break;
    }
    return AllComplete;
}

void TCollector::Stop()
{
    m_stopped = true;
    if (m_run != nullptr) {
        m_run->RequestStop();
    }
}

bool TCollector::OpenDatabase()
{
    InitPaths();
    m_dm = std::make_unique<TDM>();
    QString error;
    if (!m_dm->OpenDatabase(DbPath, &error) || !m_dm->OpenGoodsQuery(&error)) {
        Fail(NoDatabase, QStringLiteral("无法打开数据库 %1：%2").arg(QDir::toNativeSeparators(DbPath), error));
        return false;
    }
    return true;
}

int TCollector::Fail(int status, const QString& message)
{
    m_err << QStringLiteral("mercatix-collect：") << message << Qt::endl;
    return status;
}

int TCollector::RunKeywords(const TCollectorCommand& command)
{
    bool allComplete = true;
    for (const QString& keyword : command.Keywords) {
        if (m_stopped) {
            return NotAllComplete;
        }
        const TRunSummary summary = Collect(keyword, command.Pages, QStringLiteral("command"), {}, {}, command.Json);
        allComplete &= summary.Result.Outcome == TRunOutcome::Complete;
    }
    return allComplete ? AllComplete : NotAllComplete;
}

TRunSummary TCollector::Collect(const QString& keyword, int pages, const QString& source, const QVariant& drop,
                                const QVariant& below, bool json)
{
    TCollectionRun run(*m_dm, m_params);
    if (!json) {
        connect(&run, &TCollectionRun::Log, this,
                [this](const QString& message) { m_out << TCollectionRun::LogLine(message) << Qt::endl; });
    }
    TRunSummary summary;
    summary.Keyword = keyword;
    if (!m_dm->OpenGoodsQuery(&summary.Result.StoreError)) {
        summary.Result.Outcome = TRunOutcome::Failed;
        Report(summary, json);
        return summary;
    }
    m_run = &run;
    TRunRecorder recorder(*m_dm, m_notifier);
    summary = recorder.Run(run, keyword, pages, source, drop, below);
    m_run = nullptr;
    Report(summary, json);
    return summary;
}

void TCollector::Report(const TRunSummary& summary, bool json)
{
    if (!summary.Result.StoreError.isEmpty()) {
        Fail(NotAllComplete, summary.Result.StoreError);
    }
    if (!summary.RecordError.isEmpty()) {
        Fail(NotAllComplete, QStringLiteral("无法记录本次采集：") + summary.RecordError);
    }
    m_out << (json ? QString::fromUtf8(summary.Json()) : summary.Line()) << Qt::endl;
}

int TCollector::AddWatch(const TCollectorCommand& command)
{
    TWatch watch;
    watch.Keyword = command.Keywords.first();
    watch.Pages = command.Pages;
    watch.EveryHours = command.EveryHours;
    watch.DropPercent = command.DropPercent;
    watch.BelowPrice = command.BelowPrice;
    QString error;
    if (!TWatchList::Validate(watch, &error)) {
        return Fail(BadUsage, error);
    }
    const qint64 id = TWatchList(m_dm->conn()).Add(watch, &error);
    if (id == 0) {
        return Fail(NotAllComplete, error);
    }
    m_out << QStringLiteral("已添加监控 %1：%2").arg(id).arg(watch.Keyword) << Qt::endl;
    return AllComplete;
}

int TCollector::ListWatches()
{
    std::vector<TWatch> watches;
    QString error;
    if (!TWatchList(m_dm->conn()).List(&watches, &error)) {
        return Fail(NotAllComplete, error);
    }
    m_out << QStringLiteral("编号\t关键字\t页数\t间隔\t降价提醒\t低价提醒\t启用") << Qt::endl;
    for (const TWatch& watch : watches) {
        m_out << QStringLiteral("%1\t%2\t%3\t%4 小时\t%5\t%6\t%7")
                     .arg(watch.Id)
                     .arg(watch.Keyword)
                     .arg(watch.Pages)
                     .arg(watch.EveryHours)
                     .arg(Rule(watch.DropPercent, QStringLiteral("%")), Rule(watch.BelowPrice, QString()),
                          watch.Enabled ? QStringLiteral("是") : QStringLiteral("否"))
              << Qt::endl;
    }
    return AllComplete;
}

int TCollector::RemoveWatch(qint64 id)
{
    QString error;
    if (!TWatchList(m_dm->conn()).Remove(id, &error)) {
        return Fail(BadUsage, error);
    }
    m_out << QStringLiteral("已删除监控 %1").arg(id) << Qt::endl;
    return AllComplete;
}

int TCollector::RunWatches(const TCollectorCommand& command)
{
    TWatchList list(m_dm->conn());
    std::vector<TWatch> watches;
    QString error;
    const bool listed
        = command.All ? list.List(&watches, &error) : list.Due(QDateTime::currentDateTime(), &watches, &error);
    if (!listed) {
        return Fail(NotAllComplete, error);
    }
    const QString owner
        = QStringLiteral("%1:%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
    bool allComplete = true;
    for (const TWatch& watch : watches) {
        if (m_stopped) {
            return NotAllComplete;
        }
        if (!watch.Enabled) {
            continue;
        }
        if (!list.Claim(watch.Id, owner, LeaseEnd(watch.Pages), &error)) {
            if (!error.isEmpty()) {
                return Fail(NotAllComplete, error);
            }
            m_err << QStringLiteral("监控 %1（%2）正由另一个程序运行，跳过").arg(watch.Id).arg(watch.Keyword)
                  << Qt::endl;
            continue;
        }
        const TRunSummary summary = Collect(watch.Keyword, watch.Pages, QStringLiteral("watch"), watch.DropPercent,
                                            watch.BelowPrice, command.Json);
        allComplete &= summary.Result.Outcome == TRunOutcome::Complete;
        list.Release(watch.Id, owner, summary.RunId, &error);
    }
    return allComplete ? AllComplete : NotAllComplete;
}
