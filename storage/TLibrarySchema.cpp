#include "storage/TLibrarySchema.h"

#include "storage/TUpgradeStep.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TStatement.h"

#include <QDateTime>
#include <QStringList>

const char* const TLibrarySchema::Version = "1.0.2";
const char* const TLibrarySchema::CollectTimeColumn = "collect_time";
const char* const TLibrarySchema::SearchTable = "goodslist_fts";

namespace {
// Statements that (re)make the index and its triggers; the index starts empty and is filled in chunks.
const char* const SearchIndexSql[] = {
    "DROP TRIGGER IF EXISTS goodslist_fts_insert",
    "DROP TRIGGER IF EXISTS goodslist_fts_delete",
    "DROP TRIGGER IF EXISTS goodslist_fts_update",
    "DROP TABLE IF EXISTS goodslist_fts",
    "CREATE VIRTUAL TABLE goodslist_fts USING fts5(title, nick, item_loc, content='goodslist', "
    "content_rowid='id', tokenize='trigram', columnsize=0)",
};

const char* const TriggerSql[] = {
    "CREATE TRIGGER goodslist_fts_insert AFTER INSERT ON goodslist BEGIN "
    "INSERT INTO goodslist_fts(rowid, title, nick, item_loc) VALUES (new.id, new.title, new.nick, new.item_loc); "
    "END",
    "CREATE TRIGGER goodslist_fts_delete AFTER DELETE ON goodslist BEGIN "
    "INSERT INTO goodslist_fts(goodslist_fts, rowid, title, nick, item_loc) "
    "VALUES ('delete', old.id, old.title, old.nick, old.item_loc); END",
    "CREATE TRIGGER goodslist_fts_update AFTER UPDATE OF id, title, nick, item_loc ON goodslist BEGIN "
    "INSERT INTO goodslist_fts(goodslist_fts, rowid, title, nick, item_loc) "
    "VALUES ('delete', old.id, old.title, old.nick, old.item_loc); "
    "INSERT INTO goodslist_fts(rowid, title, nick, item_loc) VALUES (new.id, new.title, new.nick, new.item_loc); "
    "END",
};

// Sorts by these columns and the keyword filter read an index instead of the whole table.
const char* const IndexSql[] = {
    "CREATE INDEX IF NOT EXISTS goodslist_keyname ON goodslist(keyname)",
    "CREATE INDEX IF NOT EXISTS goodslist_view_price ON goodslist(view_price)",
    "CREATE INDEX IF NOT EXISTS goodslist_comment_count ON goodslist(comment_count)",
    "CREATE INDEX IF NOT EXISTS goodslist_collect_time ON goodslist(collect_time)",
};

bool Exec(TConnection* connection, const QString& sql, QString* error)
{
    TStatement statement;
    return statement.Prepare(connection, sql, error) && statement.Run(error);
}

bool Scalar(TConnection* connection, const QString& sql, const QVariantList& values, QVariant* result, QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection, sql, error) || !statement.Bind(values, error)) {
        return false;
    }
    if (statement.Next()) {
        *result = statement.Value(0);
        return true;
    }
    *result = QVariant();
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}

bool HasColumn(TConnection* connection, const QString& table, const QString& column)
{
    QStringList names;
    QString error;
    return connection->Columns(table, &names, &error) && names.contains(column, Qt::CaseInsensitive);
}

// Fills the index from the rows there are, one chunk of ids after another.
bool FillSearchIndex(TConnection* connection, qint64 total, qint64 steps, const TLibrarySchema::Progress& progress,
                     QString* error)
{
    TStatement chunk;
    if (!chunk.Prepare(connection,
                       QStringLiteral("INSERT INTO goodslist_fts(rowid, title, nick, item_loc) "
                                      "SELECT id, title, nick, item_loc FROM goodslist WHERE id > ?1 AND id <= ?2"),
                       error)) {
        return false;
    }
    QVariant range;
    if (!Scalar(connection, QStringLiteral("SELECT coalesce(max(id), 0) FROM goodslist"), {}, &range, error)) {
        return false;
    }
    const qint64 lastId = range.toLongLong();
    // Ids are dense but for deleted rows, so ranges of ids make chunks of about the same size.
    for (qint64 after = 0; after < lastId; after += TLibrarySchema::IndexChunkRows) {
        chunk.Reset();
        if (!chunk.Bind({after, after + TLibrarySchema::IndexChunkRows}, error) || !chunk.Run(error)) {
            return false;
        }
        if (progress) {
            progress(qMin(lastId, after + TLibrarySchema::IndexChunkRows) * total / lastId, steps);
        }
    }
    return true;
}

bool RunSteps(TConnection* connection, const TLibrarySchema::Progress& progress, QString* error)
{
    QVariant rows;
    if (!Scalar(connection, QStringLiteral("SELECT count(*) FROM goodslist"), {}, &rows, error)) {
        return false;
    }
    const qint64 total = rows.toLongLong();
    // Every index costs about as much as a pass over the rows.
    const qint64 perIndex = qMax<qint64>(total / 4, 1);
    const qint64 steps = total + perIndex * static_cast<qint64>(std::size(IndexSql) + 1) + 1;
    if (!HasColumn(connection, QStringLiteral("goodslist"), QLatin1String(TLibrarySchema::CollectTimeColumn))
        && !Exec(connection,
                 QStringLiteral("ALTER TABLE goodslist ADD COLUMN %1 varchar(32) DEFAULT NULL")
                     .arg(QLatin1String(TLibrarySchema::CollectTimeColumn)),
                 error)) {
        return false;
    }
    for (const char* sql : SearchIndexSql) {
        if (!Exec(connection, QString::fromLatin1(sql), error)) {
            return false;
        }
    }
    // Filled in chunks, the index is many segments that every later write would go on merging: they are merged
    // now, with a progress report after each step, and from then on a page's write adds a small segment.
    if (!FillSearchIndex(connection, total, steps, progress, error)
        || !TLibrarySchema::MergeSearchIndex(connection, error, [&]() {
               if (progress) {
                   progress(total, steps);
               }
           })) {
        return false;
    }
    for (const char* sql : TriggerSql) {
        if (!Exec(connection, QString::fromLatin1(sql), error)) {
            return false;
        }
    }
    qint64 done = total + perIndex;
    if (progress) {
        progress(done, steps);
    }
    for (const char* sql : IndexSql) {
        if (!Exec(connection, QString::fromLatin1(sql), error)) {
            return false;
        }
        done += perIndex;
        if (progress) {
            progress(done, steps);
        }
    }
    return Exec(connection,
                QStringLiteral("UPDATE userver SET verno = '%1'").arg(QLatin1String(TLibrarySchema::Version)), error);
}
} // namespace

bool TLibrarySchema::HasTable(TConnection* connection, const QString& table)
{
    QStringList tables;
    QString error;
    return connection->Tables(&tables, &error) && tables.contains(table, Qt::CaseInsensitive);
}

bool TLibrarySchema::IsInPlace(TConnection* connection)
{
    QVariant count;
    QString error;
    return Scalar(connection, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name = ?1"),
                  {QStringLiteral("goodslist_fts_insert")}, &count, &error)
        && count.toLongLong() > 0;
}

bool TLibrarySchema::Upgrade(TConnection* connection, const Progress& reporter, QString* error)
{
    if (!HasTable(connection, QStringLiteral("goodslist"))) {
        return true;
    }
    return TUpgradeStep::Run(
        connection, reporter,
        [connection](const Progress& progress, QString* failure) { return RunSteps(connection, progress, failure); },
        error);
}

bool TLibrarySchema::MergeSearchIndex(TConnection* connection, QString* error, const std::function<void()>& between)
{
    const QString changes = QStringLiteral("SELECT total_changes()");
    for (;;) {
        QVariant before;
        QVariant after;
        if (!Scalar(connection, changes, {}, &before, error)
            || !Exec(connection,
                     QStringLiteral("INSERT INTO goodslist_fts(goodslist_fts, rank) VALUES ('merge', -200)"), error)
            || !Scalar(connection, changes, {}, &after, error)) {
            return false;
        }
        if (after.toLongLong() - before.toLongLong() < 2) {
            return true; // the last call found nothing to merge
        }
        if (between) {
            between();
        }
    }
}

QString TLibrarySchema::CollectTimeNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
}
