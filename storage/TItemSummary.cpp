#include "storage/TItemSummary.h"

#include "storage/TStoreSql.h"

#include <QStringList>
#include <QVariant>

const char* const TItemSummary::Table = "itemsummary";
const char* const TItemSummary::CountTable = "itemcount";

namespace {
const char* const TriggerNames[] = {"goodslist_item_insert", "goodslist_item_delete", "goodslist_item_update"};

// The summary of one key made anew from its rows (none left: its row goes), and the count adjusted by the change.
// A key that is NULL matches nothing, so every statement leaves the tables alone for it.
QString Recount(const char* key)
{
    return QStringLiteral(
               "UPDATE itemcount SET listings = listings + EXISTS (SELECT 1 FROM goodslist WHERE item_key = %1) "
               "- EXISTS (SELECT 1 FROM itemsummary WHERE item_key = %1); "
               "DELETE FROM itemsummary WHERE item_key = %1; "
               "INSERT INTO itemsummary(item_key, sightings, last_id) SELECT item_key, count(*), max(id) "
               "FROM goodslist WHERE item_key = %1 GROUP BY item_key; ")
        .arg(QLatin1String(key));
}

QStringList MakeSql()
{
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS itemsummary (item_key TEXT PRIMARY KEY, sightings integer NOT NULL, "
                       "last_id integer NOT NULL) WITHOUT ROWID"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS itemcount (listings integer NOT NULL)"),
        QStringLiteral("DELETE FROM itemsummary"),
        QStringLiteral("DELETE FROM itemcount"),
        QStringLiteral("INSERT INTO itemsummary(item_key, sightings, last_id) SELECT item_key, count(*), max(id) "
                       "FROM goodslist WHERE item_key IS NOT NULL GROUP BY item_key"),
        QStringLiteral("INSERT INTO itemcount(listings) SELECT count(*) FROM itemsummary"),
        // A stored row only adds: the common case of every page's write stays two short statements.
        QStringLiteral("CREATE TRIGGER goodslist_item_insert AFTER INSERT ON goodslist WHEN new.item_key IS NOT NULL "
                       "BEGIN "
                       "UPDATE itemcount SET listings = listings + 1 "
                       "WHERE NOT EXISTS (SELECT 1 FROM itemsummary WHERE item_key = new.item_key); "
                       "INSERT INTO itemsummary(item_key, sightings, last_id) VALUES (new.item_key, 1, new.id) "
                       "ON CONFLICT(item_key) DO UPDATE SET sightings = sightings + 1, "
                       "last_id = max(last_id, excluded.last_id); "
                       "END"),
        QStringLiteral("CREATE TRIGGER goodslist_item_delete AFTER DELETE ON goodslist WHEN old.item_key IS NOT NULL "
                       "BEGIN ")
            + Recount("old.item_key") + QStringLiteral("END"),
        QStringLiteral("CREATE TRIGGER goodslist_item_update AFTER UPDATE OF id, item_key ON goodslist "
                       "WHEN old.item_key IS NOT new.item_key OR old.id <> new.id BEGIN ")
            + Recount("old.item_key") + Recount("new.item_key") + QStringLiteral("END"),
    };
}
} // namespace

bool TItemSummary::Build(TConnection* connection, QString* error)
{
    if (IsInPlace(connection)) {
        return true;
    }
    // A missing trigger means the summary may have missed changes: it is made anew with its triggers.
    for (const char* name : TriggerNames) {
        if (!TStoreSql::Run(connection, QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(name)), {},
                            error)) {
            return false;
        }
    }
    for (const QString& sql : MakeSql()) {
        if (!TStoreSql::Run(connection, sql, {}, error)) {
            return false;
        }
    }
    return true;
}

bool TItemSummary::IsInPlace(TConnection* connection)
{
    QVariant count;
    QString error;
    const bool read = TStoreSql::Value(connection,
                                       QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN (?1, ?2, ?3, "
                                                      "?4, ?5)"),
                                       {QLatin1String(Table), QLatin1String(CountTable), QLatin1String(TriggerNames[0]),
                                        QLatin1String(TriggerNames[1]), QLatin1String(TriggerNames[2])},
                                       &count, &error);
    return read && count.toInt() == 5;
}
