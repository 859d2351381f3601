#include "library/TComparisonQuery.h"

#include "storage/TRunComparison.h"
#include "storage/TRunRecords.h"
#include "storage/engine/TStatement.h"

#include <algorithm>

namespace {
bool FindRun(TConnection* connection, qint64 id, TRunRecord* run, QString* error)
{
    TRunRecords records(connection);
    if (!records.Find(id, run, error)) {
        return false;
    }
    if (const QString unfit = TComparisonQuery::Unfit(*run); !unfit.isEmpty()) {
        *error = unfit;
        return false;
    }
    return true;
}
} // namespace

QString TComparisonQuery::Unfit(const TRunRecord& run)
{
    if (run.Outcome == QLatin1String(TRunRecords::Complete)) {
        return QString();
    }
    // A page a run did not read would show its listings as gone.
    const QString outcome = run.Outcome.isEmpty() ? QStringLiteral("尚未结束") : TRunRecords::OutcomeText(run.Outcome);
    QString text = QStringLiteral("编号 %1 的运行%2，不能比较").arg(run.Id).arg(outcome);
    if (!run.Reason.isEmpty()) {
        text += QStringLiteral("（原因：%1）").arg(run.Reason);
    }
    return text;
}

bool TComparisonQuery::Runs(TConnection* connection, std::vector<TRunRecord>* runs, QString* error)
{
    return TRunRecords(connection).List(runs, error);
}

bool TComparisonQuery::Keywords(TConnection* connection, QStringList* keywords, QString* error)
{
    keywords->clear();
    TStatement statement;
    if (!statement.Prepare(
            connection, QStringLiteral("SELECT DISTINCT keyname FROM collectrun WHERE keyname <> '' ORDER BY keyname"),
            error)) {
        return false;
    }
    while (statement.Next()) {
        keywords->append(statement.Value(0).toString());
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}

bool TComparisonQuery::CompareLatest(TConnection* connection, const QString& keyword, TResult* result, QString* error)
{
    TRunRecords records(connection);
    TRunRecord newer;
    TRunRecord older;
    if (!records.PreviousComplete(keyword, 0, &newer, error)
        || (newer.Id != 0 && !records.PreviousComplete(keyword, newer.Id, &older, error))) {
        return false;
    }
    if (older.Id == 0) {
        *error = QStringLiteral("关键字“%1”的完整采集不到两次，没有可比较的运行").arg(keyword);
        return false;
    }
    return Compare(connection, older.Id, newer.Id, result, error);
}

bool TComparisonQuery::Compare(TConnection* connection, qint64 first, qint64 second, TResult* result, QString* error)
{
    if (first == second) {
        *error = QStringLiteral("请选择两次不同的运行");
        return false;
    }
    *result = TResult();
    return FindRun(connection, std::min(first, second), &result->Older, error)
        && FindRun(connection, std::max(first, second), &result->Newer, error)
        && TRunComparison::Compare(connection, result->Older.Id, result->Newer.Id, &result->Changes, error);
}
