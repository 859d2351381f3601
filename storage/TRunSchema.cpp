#include "storage/TRunSchema.h"

#include "page/TItemKey.h"
#include "storage/TItemSummary.h"
#include "storage/TLibrarySchema.h"
#include "storage/TStoreSql.h"
#include "storage/TUpgradeStep.h"
#include "storage/engine/TConnection.h"

#include <QStringList>

#include <atomic>
#include <memory>

const char* const TRunSchema::Version = "1.0.3";
const char* const TRunSchema::RunIdColumn = "run_id";
const char* const TRunSchema::ItemKeyColumn = "item_key";
const char* const TRunSchema::ItemKeyFunction = "item_key";

namespace {
const char* const TableSql[] = {
    "CREATE TABLE IF NOT EXISTS collectrun (id INTEGER PRIMARY KEY AUTOINCREMENT, keyname varchar(100) DEFAULT NULL, "
    "source varchar(10) DEFAULT NULL, started varchar(32) DEFAULT NULL, finished varchar(32) DEFAULT NULL, "
    "pages_asked integer DEFAULT NULL, pages_read integer DEFAULT NULL, rows_stored integer DEFAULT NULL, "
    "outcome varchar(10) DEFAULT NULL, reason TEXT DEFAULT NULL)",
    "CREATE INDEX IF NOT EXISTS collectrun_keyname ON collectrun(keyname, outcome)",
    // owner and lease_until (milliseconds since the epoch) say which program runs the watch, and until when.
    "CREATE TABLE IF NOT EXISTS watchlist (id INTEGER PRIMARY KEY AUTOINCREMENT, keyname varchar(100) NOT NULL, "
    "pages integer NOT NULL, every_hours float NOT NULL, drop_percent float DEFAULT NULL, "
    "below_price float DEFAULT NULL, enabled integer NOT NULL DEFAULT 1, last_run_id integer DEFAULT NULL, "
    "owner TEXT DEFAULT NULL, lease_until integer DEFAULT NULL)",
    "CREATE TABLE IF NOT EXISTS alertlog (id INTEGER PRIMARY KEY AUTOINCREMENT, run_id integer NOT NULL, "
    "item_key TEXT NOT NULL, title varchar(100) DEFAULT NULL, detail_url varchar(255) DEFAULT NULL, "
    "old_price float DEFAULT NULL, new_price float DEFAULT NULL, rule varchar(10) NOT NULL, "
    "raised varchar(32) DEFAULT NULL, UNIQUE (run_id, item_key, rule))",
};

const char* const ColumnSql[][2] = {
    {"run_id", "ALTER TABLE goodslist ADD COLUMN run_id integer DEFAULT NULL"},
    {"item_key", "ALTER TABLE goodslist ADD COLUMN item_key TEXT DEFAULT NULL"},
};

// A row whose key is its own id gets it from the database once the id is known. The condition is the rule's
// (no item number but blanks, no detail link, no listing link) in plain SQL, so that a program of an earlier
// version, which knows no item_key function, still stores rows here. The blanks are the characters Qt trims.
const char* const TriggerSql[] = {
    "DROP TRIGGER IF EXISTS goodslist_key_insert",
    "CREATE TRIGGER goodslist_key_insert AFTER INSERT ON goodslist WHEN new.item_key IS NULL "
    "AND trim(coalesce(new.nid, ''), char(32, 9, 10, 11, 12, 13, 133, 160, 5760, 8192, 8193, 8194, 8195, 8196, 8197, "
    "8198, 8199, 8200, 8201, 8202, 8232, 8233, 8239, 8287, 12288)) = '' "
    "AND coalesce(new.detail_url, '') = '' AND coalesce(new.shopLink, '') = '' "
    "BEGIN UPDATE goodslist SET item_key = '#' || new.id WHERE id = new.id; END",
};

// Rows stored before the step belong to no run: the run index leaves them out, which keeps it small and quick to
// build on a large file. A query for a run's rows (run_id = ?) still reads it.
const char* const IndexSql[] = {
    "CREATE INDEX IF NOT EXISTS goodslist_run_id ON goodslist(run_id) WHERE run_id IS NOT NULL",
    "CREATE INDEX IF NOT EXISTS goodslist_item_key ON goodslist(item_key)",
};

const char* const FillSql = "UPDATE goodslist SET item_key = item_key(nid, detail_url, shopLink, id) "
                            "WHERE item_key IS NULL";

const QString Goods = QStringLiteral("goodslist");

bool Exec(TConnection* connection, const char* sql, QString* error)
{
    return TStoreSql::Run(connection, QString::fromLatin1(sql), {}, error);
}

bool HasColumn(TConnection* connection, const char* column)
{
    QStringList names;
    QString error;
    return connection->Columns(Goods, &names, &error) && names.contains(QLatin1String(column), Qt::CaseInsensitive);
}

qint64 Count(TConnection* connection, const QString& sql)
{
    QVariant count;
    QString ignored;
    return TStoreSql::Value(connection, sql, {}, &count, &ignored) ? count.toLongLong() : -1;
}

bool Registered(TConnection* connection, const std::function<void()>& called, QString* error)
{
    return connection->CreateFunction(
        QLatin1String(TRunSchema::ItemKeyFunction), 4,
        [called](const QVariantList& a) {
            if (called) {
                called();
            }
            return QVariant(
                TItemKey::Of(a.at(0).toString(), a.at(1).toString(), a.at(2).toString(), a.at(3).toLongLong()));
        },
        error);
}

// The rows without a key get theirs, with a report every few thousand rows.
bool FillKeys(TConnection* connection, qint64 rows, qint64 steps, const TRunSchema::Progress& progress, QString* error)
{
    auto done = std::make_shared<std::atomic<qint64>>(0);
    const auto counted = [done, rows, steps, progress]() {
        const qint64 now = ++*done;
        if (progress && now % 4096 == 0) {
            progress(qMin(now, rows), steps);
        }
    };
    if (!Registered(connection, counted, error)) {
        return false;
    }
    const bool filled = Exec(connection, FillSql, error);
    // The counting function refers to this step's progress: the plain one takes its place.
    QString ignored;
    const bool plain = TRunSchema::RegisterItemKey(connection, filled ? error : &ignored);
    return filled && plain;
}

bool RunSteps(TConnection* connection, const TRunSchema::Progress& progress, QString* error)
{
    for (const char* sql : TableSql) {
        if (!Exec(connection, sql, error)) {
            return false;
        }
    }
    bool keyAdded = false;
    for (const auto& [column, sql] : ColumnSql) {
        if (!HasColumn(connection, column)) {
            keyAdded = keyAdded || QLatin1String(column) == QLatin1String(TRunSchema::ItemKeyColumn);
            if (!Exec(connection, sql, error)) {
                return false;
            }
        }
    }
    for (const char* sql : TriggerSql) {
        if (!Exec(connection, sql, error)) {
            return false;
        }
    }
    // Where the column is new every row lacks its key, and counting them all reads an index instead of the table.
    const qint64 rows
        = qMax<qint64>(Count(connection,
                             keyAdded ? QStringLiteral("SELECT count(*) FROM goodslist")
                                      : QStringLiteral("SELECT count(*) FROM goodslist WHERE item_key IS NULL")),
                       0);
    // Every index, and the summary of the listings, costs about a quarter of the pass that fills the keys.
    const qint64 perIndex = qMax<qint64>(rows / 4, 1);
    const qint64 steps = rows + perIndex * static_cast<qint64>(std::size(IndexSql) + 1) + 1;
    if (!FillKeys(connection, rows, steps, progress, error)) {
        return false;
    }
    qint64 done = rows;
    for (const char* sql : IndexSql) {
        if (progress) {
            progress(done, steps);
        }
        if (!Exec(connection, sql, error)) {
            return false;
        }
        done += perIndex;
    }
    if (progress) {
        progress(done, steps);
    }
    if (!TItemSummary::Build(connection, error)) {
        return false;
    }
    if (progress) {
        progress(done + perIndex, steps);
    }
    return TStoreSql::Run(connection, QStringLiteral("UPDATE userver SET verno = ?1"),
                          {QString::fromLatin1(TRunSchema::Version)}, error);
}

} // namespace

bool TRunSchema::RegisterItemKey(TConnection* connection, QString* error)
{
    return Registered(connection, {}, error);
}

QString TRunSchema::KeyBeforeInsert(const QString& nid, const QString& detailUrl, const QString& listingUrl)
{
    if (nid.trimmed().isEmpty() && detailUrl.isEmpty() && listingUrl.isEmpty()) {
        return QString();
    }
    return TItemKey::Of(nid, detailUrl, listingUrl, 0);
}

bool TRunSchema::IsInPlace(TConnection* connection)
{
    for (const char* table : {"collectrun", "watchlist", "alertlog"}) {
        if (!TLibrarySchema::HasTable(connection, QLatin1String(table))) {
            return false;
        }
    }
    if (!HasColumn(connection, RunIdColumn) || !HasColumn(connection, ItemKeyColumn)) {
        return false;
    }
    const qint64 objects = Count(connection,
                                 QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN "
                                                "('goodslist_key_insert', 'goodslist_run_id', 'goodslist_item_key')"));
    // Rows a program of an earlier version stored have no key yet; the index finds them at once.
    return objects == 3 && TItemSummary::IsInPlace(connection)
        && Count(connection, QStringLiteral("SELECT EXISTS (SELECT 1 FROM goodslist WHERE item_key IS NULL)")) == 0;
}

bool TRunSchema::Upgrade(TConnection* connection, const Progress& reporter, QString* error)
{
    if (!TLibrarySchema::HasTable(connection, Goods)) {
        return true;
    }
    return TUpgradeStep::Run(
        connection, reporter,
        [connection](const Progress& progress, QString* failure) { return RunSteps(connection, progress, failure); },
        error);
}
