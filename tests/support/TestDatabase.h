#pragma once

#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TStatement.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

#include <QStringList>
#include <QVariant>

// The first value a statement returns from the program's database file, read through a connection of its
// own, as another program would see the file; the error text when the file or the statement fails.
inline QVariant QueryDatabaseFile(const QString& path, const QString& sql)
{
    TConnection connection;
    QString error;
    if (!connection.Open(TDBFunc::ConnectionString(path, TDBFunc::Password()), &error)) {
        return error;
    }
    TRowSet rows;
    rows.SetConnection(&connection);
    if (!rows.Open(sql, &error)) {
        return error;
    }
    return rows.Value(0, 0);
}

// What the step to run records added, taken away again, in the order the database allows.
inline const QStringList& RunRecordsRemoval()
{
    static const QStringList statements{
        QStringLiteral("DROP TRIGGER goodslist_item_insert"),
        QStringLiteral("DROP TRIGGER goodslist_item_delete"),
        QStringLiteral("DROP TRIGGER goodslist_item_update"),
        QStringLiteral("DROP TABLE itemsummary"),
        QStringLiteral("DROP TABLE itemcount"),
        QStringLiteral("DROP TRIGGER goodslist_key_insert"),
        QStringLiteral("DROP INDEX goodslist_run_id"),
        QStringLiteral("DROP INDEX goodslist_item_key"),
        QStringLiteral("ALTER TABLE goodslist DROP COLUMN run_id"),
        QStringLiteral("ALTER TABLE goodslist DROP COLUMN item_key"),
        QStringLiteral("DROP TABLE collectrun"),
        QStringLiteral("DROP TABLE watchlist"),
        QStringLiteral("DROP TABLE alertlog"),
        QStringLiteral("DELETE FROM sqlite_sequence WHERE name IN ('collectrun', 'watchlist', 'alertlog')"),
    };
    return statements;
}

inline bool RunOnConnection(TConnection* connection, const QStringList& statements, QString* error)
{
    for (const QString& sql : statements) {
        TStatement statement;
        if (!statement.Prepare(connection, sql, error) || !statement.Run(error)) {
            *error = sql + QStringLiteral(": ") + *error;
            return false;
        }
    }
    return true;
}

// Takes a file of the program back to the version before run records (1.0.2), as the program of that version
// left it: the rows stay, without their run and item key.
inline bool StepBackBeforeRunRecords(const QString& path, QString* error)
{
    TConnection connection;
    return connection.Open(TDBFunc::ConnectionString(path, TDBFunc::Password()), error)
        && RunOnConnection(&connection,
                           RunRecordsRemoval() + QStringList{QStringLiteral("UPDATE userver SET verno = '1.0.2'")},
                           error);
}

// Makes the file one of the version before the search index (1.0.1: no collection time, no search index) holding
// `rows` listings, as a file of that version is found at a start; the provider's message on failure.
inline bool MakeFileBeforeSearchIndex(const QString& path, int rows, QString* error)
{
    TDM dm;
    if (!dm.OpenDatabase(path, error)) {
        return false;
    }
    const QString fill = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                        "INSERT INTO goodslist(title, view_price) SELECT 'row ' || i, i FROM n")
                             .arg(rows);
    return RunOnConnection(dm.conn(),
                           RunRecordsRemoval()
                               + QStringList{QStringLiteral("UPDATE userver SET verno = '1.0.1'"),
                                             QStringLiteral("DROP TRIGGER goodslist_fts_insert"),
                                             QStringLiteral("DROP TRIGGER goodslist_fts_delete"),
                                             QStringLiteral("DROP TRIGGER goodslist_fts_update"),
                                             QStringLiteral("DROP TABLE goodslist_fts"),
                                             QStringLiteral("DROP INDEX goodslist_collect_time"),
                                             QStringLiteral("ALTER TABLE goodslist DROP COLUMN collect_time"), fill},
                           error);
}
