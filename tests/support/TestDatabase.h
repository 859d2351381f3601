#pragma once

#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TStatement.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

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
    for (const QString& sql :
         {QStringLiteral("UPDATE userver SET verno = '1.0.1'"), QStringLiteral("DROP TRIGGER goodslist_fts_insert"),
          QStringLiteral("DROP TRIGGER goodslist_fts_delete"), QStringLiteral("DROP TRIGGER goodslist_fts_update"),
          QStringLiteral("DROP TABLE goodslist_fts"), QStringLiteral("DROP INDEX goodslist_collect_time"),
          QStringLiteral("ALTER TABLE goodslist DROP COLUMN collect_time"), fill}) {
        TStatement statement;
        if (!statement.Prepare(dm.conn(), sql, error) || !statement.Run(error)) {
            return false;
        }
    }
    return true;
}
