#pragma once

#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/uDBFunc.h"

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
