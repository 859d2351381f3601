#include "storage/TRunRecords.h"

#include "storage/TLibrarySchema.h"
#include "storage/TStoreSql.h"
#include "storage/engine/TStatement.h"

#include <QStringList>

#include <limits>

const char* const TRunRecords::Complete = "complete";
const char* const TRunRecords::Failed = "failed";
const char* const TRunRecords::Partial = "partial";
const char* const TRunRecords::Stopped = "stopped";

namespace {
const char* const Columns = "SELECT id, keyname, source, started, finished, pages_asked, pages_read, rows_stored, "
                            "outcome, reason FROM collectrun ";

TRunRecord Read(const TStatement& row)
{
    TRunRecord record;
    record.Id = row.Int(0);
    record.Keyword = row.Value(1).toString();
    record.Source = row.Value(2).toString();
    record.Started = row.Value(3).toString();
    record.Finished = row.Value(4).toString();
    record.PagesAsked = static_cast<int>(row.Int(5));
    record.PagesRead = static_cast<int>(row.Int(6));
    record.RowsStored = static_cast<int>(row.Int(7));
    record.Outcome = row.Value(8).toString();
    record.Reason = row.Value(9).toString();
    return record;
}

// The runs a statement selects, in its order.
bool Select(TConnection* connection, const QString& where, const QVariantList& values, std::vector<TRunRecord>* runs,
            QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection, QLatin1String(Columns) + where, error) || !statement.Bind(values, error)) {
        return false;
    }
    runs->clear();
    while (statement.Next()) {
        runs->push_back(Read(statement));
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}
} // namespace

QString TRunRecords::OutcomeText(const QString& outcome)
{
    static const char* const texts[][2]
        = {{Complete, "完整"}, {Partial, "不完整"}, {Failed, "失败"}, {Stopped, "中止"}};
    for (const auto& [name, text] : texts) {
        if (outcome == QLatin1String(name)) {
            return QString::fromUtf8(text);
        }
    }
    return outcome.isEmpty() ? QStringLiteral("进行中") : outcome;
}

TRunRecords::TRunRecords(TConnection* connection)
    : m_connection(connection)
{
}

qint64 TRunRecords::Begin(const QString& keyword, const QString& source, int pagesAsked, QString* error)
{
    if (!QStringList{"window", "watch", "command"}.contains(source)) {
        *error = QStringLiteral("未知的运行来源：%1").arg(source);
        return 0;
    }
    QVariant id;
    if (!TStoreSql::Value(m_connection,
                          QStringLiteral("INSERT INTO collectrun (keyname, source, started, pages_asked, pages_read, "
                                         "rows_stored) VALUES (?1, ?2, ?3, ?4, 0, 0) RETURNING id"),
                          {keyword, source, TLibrarySchema::CollectTimeNow(), pagesAsked}, &id, error)) {
        return 0;
    }
    return id.toLongLong();
}

bool TRunRecords::Finish(qint64 id, int pagesRead, int rowsStored, const QString& outcome, const QString& reason,
                         QString* error)
{
    if (!QStringList{Complete, Failed, Partial, Stopped}.contains(outcome)) {
        *error = QStringLiteral("未知的运行结果：%1").arg(outcome);
        return false;
    }
    bool changed = false;
    if (!TStoreSql::Changed(m_connection,
                            QStringLiteral("UPDATE collectrun SET finished = ?2, pages_read = ?3, rows_stored = ?4, "
                                           "outcome = ?5, reason = ?6 WHERE id = ?1 AND outcome IS NULL RETURNING id"),
                            {id, TLibrarySchema::CollectTimeNow(), pagesRead, rowsStored, outcome, reason}, &changed,
                            error)) {
        return false;
    }
    if (changed) {
        return true;
    }
    TRunRecord record;
    if (Find(id, &record, error)) {
        *error = QStringLiteral("运行 %1 已经结束（%2）").arg(id).arg(record.Outcome);
    }
    return false;
}

bool TRunRecords::Find(qint64 id, TRunRecord* record, QString* error)
{
    std::vector<TRunRecord> runs;
    if (!Select(m_connection, QStringLiteral("WHERE id = ?1"), {id}, &runs, error)) {
        return false;
    }
    if (runs.empty()) {
        *error = QStringLiteral("没有编号为 %1 的运行").arg(id);
        return false;
    }
    *record = runs.front();
    return true;
}

bool TRunRecords::List(std::vector<TRunRecord>* runs, QString* error, int limit)
{
    return Select(m_connection, QStringLiteral("ORDER BY id DESC LIMIT ?1"), {limit > 0 ? limit : -1}, runs, error);
}

bool TRunRecords::PreviousComplete(const QString& keyword, qint64 before, TRunRecord* record, QString* error)
{
    std::vector<TRunRecord> runs;
    if (!Select(m_connection,
                QStringLiteral("WHERE keyname = ?1 AND outcome = ?2 AND id < ?3 ORDER BY id DESC LIMIT 1"),
                {keyword, QLatin1String(Complete), before > 0 ? before : std::numeric_limits<qint64>::max()}, &runs,
                error)) {
        return false;
    }
    *record = runs.empty() ? TRunRecord() : runs.front();
    return true;
}
