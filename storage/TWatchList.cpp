#include "storage/TWatchList.h"

#include "storage/TStoreSql.h"
#include "storage/engine/TStatement.h"

#include <cmath>

namespace {
const char* const Columns = "SELECT id, keyname, pages, every_hours, drop_percent, below_price, enabled, "
                            "coalesce(last_run_id, 0) FROM watchlist ";

TWatch Read(const TStatement& row)
{
    TWatch watch;
    watch.Id = row.Int(0);
    watch.Keyword = row.Value(1).toString();
    watch.Pages = static_cast<int>(row.Int(2));
    watch.EveryHours = row.Double(3);
    watch.DropPercent = row.IsNull(4) ? QVariant() : QVariant(row.Double(4));
    watch.BelowPrice = row.IsNull(5) ? QVariant() : QVariant(row.Double(5));
    watch.Enabled = row.Int(6) != 0;
    watch.LastRunId = row.Int(7);
    return watch;
}

bool Select(TConnection* connection, const QString& where, const QVariantList& values, std::vector<TWatch>* watches,
            QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection, QLatin1String(Columns) + where, error) || !statement.Bind(values, error)) {
        return false;
    }
    watches->clear();
    while (statement.Next()) {
        watches->push_back(Read(statement));
    }
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}

QString NoSuchWatch(qint64 id)
{
    return QStringLiteral("没有编号为 %1 的监控").arg(id);
}

// The values a watch is written with, rules as numbers or nulls: ?2 keyword to ?7 on/off.
QVariantList Values(const TWatch& watch)
{
    QVariant drop;
    QVariant below;
    TWatchList::RuleValue(watch.DropPercent, &drop);
    TWatchList::RuleValue(watch.BelowPrice, &below);
    return {watch.Id, watch.Keyword.trimmed(), watch.Pages, watch.EveryHours, drop, below, watch.Enabled ? 1 : 0};
}
} // namespace

bool TWatchList::RuleValue(const QVariant& rule, QVariant* value)
{
    if (rule.isNull() || (rule.typeId() == QMetaType::QString && rule.toString().trimmed().isEmpty())) {
        *value = QVariant();
        return true;
    }
    bool ok = false;
    const double number
        = rule.typeId() == QMetaType::QString ? rule.toString().trimmed().toDouble(&ok) : rule.toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        return false;
    }
    *value = number;
    return true;
}

TWatchList::TWatchList(TConnection* connection)
    : m_connection(connection)
{
}

bool TWatchList::Validate(const TWatch& watch, QString* error)
{
    QVariant value;
    if (watch.Keyword.trimmed().isEmpty()) {
        *error = QStringLiteral("关键字不能为空");
    } else if (watch.Pages < MinPages || watch.Pages > MaxPages) {
        *error = QStringLiteral("页数必须在 %1 到 %2 之间：%3").arg(MinPages).arg(MaxPages).arg(watch.Pages);
    } else if (!(watch.EveryHours >= MinHours && watch.EveryHours <= MaxHours)) {
        *error = QStringLiteral("间隔必须在 %1 到 %2 小时之间：%3").arg(MinHours).arg(MaxHours).arg(watch.EveryHours);
    } else if (!RuleValue(watch.DropPercent, &value) || (!value.isNull() && !(value.toDouble() > 0))
               || value.toDouble() > 100) {
        *error = QStringLiteral("降价幅度必须是大于 0、不超过 100 的数：%1").arg(watch.DropPercent.toString());
    } else if (!RuleValue(watch.BelowPrice, &value) || value.toDouble() < 0) {
        *error = QStringLiteral("提醒价格必须是不小于 0 的数：%1").arg(watch.BelowPrice.toString());
    } else {
        return true;
    }
    return false;
}

bool TWatchList::KeywordTaken(const TWatch& watch, QString* error)
{
    QVariant other;
    if (!TStoreSql::Value(m_connection, QStringLiteral("SELECT id FROM watchlist WHERE keyname = ?1 AND id <> ?2"),
                          {watch.Keyword.trimmed(), watch.Id}, &other, error)) {
        return true;
    }
    if (!other.isNull()) {
        *error = QStringLiteral("关键字“%1”已有监控（编号 %2）").arg(watch.Keyword.trimmed()).arg(other.toLongLong());
        return true;
    }
    return false;
}

qint64 TWatchList::Add(const TWatch& watch, QString* error)
{
    TWatch added = watch;
    added.Id = 0;
    QVariant id;
    if (!Validate(added, error) || KeywordTaken(added, error)
        || !TStoreSql::Value(m_connection,
                             QStringLiteral("INSERT INTO watchlist (keyname, pages, every_hours, drop_percent, "
                                            "below_price, enabled) VALUES (?2, ?3, ?4, ?5, ?6, ?7) RETURNING id"),
                             Values(added), &id, error)) {
        return 0;
    }
    return id.toLongLong();
}

bool TWatchList::Update(const TWatch& watch, QString* error)
{
    bool changed = false;
    if (!Validate(watch, error) || KeywordTaken(watch, error)
        || !TStoreSql::Changed(m_connection,
                               QStringLiteral("UPDATE watchlist SET keyname = ?2, pages = ?3, every_hours = ?4, "
                                              "drop_percent = ?5, below_price = ?6, enabled = ?7 WHERE id = ?1 "
                                              "RETURNING id"),
                               Values(watch), &changed, error)) {
        return false;
    }
    if (!changed) {
        *error = NoSuchWatch(watch.Id);
        return false;
    }
    return true;
}

bool TWatchList::Remove(qint64 id, QString* error)
{
    bool changed = false;
    if (!TStoreSql::Changed(m_connection, QStringLiteral("DELETE FROM watchlist WHERE id = ?1 RETURNING id"), {id},
                            &changed, error)) {
        return false;
    }
    if (!changed) {
        *error = NoSuchWatch(id);
        return false;
    }
    return true;
}

bool TWatchList::List(std::vector<TWatch>* watches, QString* error)
{
    return Select(m_connection, QStringLiteral("ORDER BY id"), {}, watches, error);
}

bool TWatchList::Find(qint64 id, TWatch* watch, QString* error)
{
    std::vector<TWatch> watches;
    if (!Select(m_connection, QStringLiteral("WHERE id = ?1"), {id}, &watches, error)) {
        return false;
    }
    if (watches.empty()) {
        *error = NoSuchWatch(id);
        return false;
    }
    *watch = watches.front();
    return true;
}

bool TWatchList::DueTime(const TWatch& watch, QDateTime* due, QString* error)
{
    *due = QDateTime();
    if (watch.LastRunId <= 0) {
        return true;
    }
    QVariant started;
    if (!TStoreSql::Value(m_connection, QStringLiteral("SELECT started FROM collectrun WHERE id = ?1"),
                          {watch.LastRunId}, &started, error)) {
        return false;
    }
    // A last run whose record is gone or unreadable counts as none.
    const QDateTime start = QDateTime::fromString(started.toString(), Qt::ISODate);
    if (start.isValid()) {
        *due = start.addMSecs(static_cast<qint64>(std::llround(watch.EveryHours * 3600 * 1000)));
    }
    return true;
}

bool TWatchList::Due(const QDateTime& now, std::vector<TWatch>* watches, QString* error)
{
    std::vector<TWatch> enabled;
    if (!Select(m_connection, QStringLiteral("WHERE enabled <> 0 ORDER BY id"), {}, &enabled, error)) {
        return false;
    }
    watches->clear();
    for (const TWatch& watch : enabled) {
        QDateTime due;
        if (!DueTime(watch, &due, error)) {
            return false;
        }
        if (!due.isValid() || due <= now) {
            watches->push_back(watch);
        }
    }
    return true;
}

QDateTime TWatchList::NextDue(QString* error)
{
    std::vector<TWatch> enabled;
    if (!Select(m_connection, QStringLiteral("WHERE enabled <> 0 ORDER BY id"), {}, &enabled, error)) {
        return QDateTime();
    }
    QDateTime next;
    for (const TWatch& watch : enabled) {
        QDateTime due;
        if (!DueTime(watch, &due, error)) {
            return QDateTime();
        }
        if (!due.isValid()) {
            due = QDateTime::currentDateTime();
        }
        if (!next.isValid() || due < next) {
            next = due;
        }
    }
    return next;
}

bool TWatchList::Claim(qint64 id, const QString& owner, const QDateTime& until, QString* error)
{
    // One statement: of two programs that claim at once, the database lets one write first, and the other then
    // finds the watch held.
    bool taken = false;
    if (!TStoreSql::Changed(m_connection,
                            QStringLiteral("UPDATE watchlist SET owner = ?2, lease_until = ?3 WHERE id = ?1 AND "
                                           "(owner IS NULL OR owner = ?2 OR coalesce(lease_until, 0) <= ?4) "
                                           "RETURNING id"),
                            {id, owner, until.toMSecsSinceEpoch(), QDateTime::currentMSecsSinceEpoch()}, &taken,
                            error)) {
        return false;
    }
    if (taken) {
        return true;
    }
    TWatch watch;
    if (Find(id, &watch, error)) {
        error->clear(); // held by another program
    }
    return false;
}

bool TWatchList::Release(qint64 id, const QString& owner, qint64 lastRunId, QString* error)
{
    QVariant held;
    if (!TStoreSql::Value(m_connection,
                          QStringLiteral("UPDATE watchlist SET last_run_id = max(coalesce(last_run_id, 0), ?3), "
                                         "owner = CASE WHEN owner = ?2 THEN NULL ELSE owner END, "
                                         "lease_until = CASE WHEN owner = ?2 THEN NULL ELSE lease_until END "
                                         "WHERE id = ?1 RETURNING owner IS NULL"),
                          {id, owner, lastRunId}, &held, error)) {
        return false;
    }
    if (held.isNull()) {
        *error = NoSuchWatch(id);
        return false;
    }
    if (held.toLongLong() == 0) {
        *error = QStringLiteral("监控 %1 已由其他程序接手").arg(id);
        return false;
    }
    return true;
}
