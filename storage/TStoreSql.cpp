#include "storage/TStoreSql.h"

#include "storage/engine/TConnection.h"
#include "storage/engine/TStatement.h"

bool TStoreSql::Run(TConnection* connection, const QString& sql, const QVariantList& values, QString* error)
{
    TStatement statement;
    return statement.Prepare(connection, sql, error) && statement.Bind(values, error) && statement.Run(error);
}

bool TStoreSql::Value(TConnection* connection, const QString& sql, const QVariantList& values, QVariant* result,
                      QString* error)
{
    TStatement statement;
    if (!statement.Prepare(connection, sql, error) || !statement.Bind(values, error)) {
        return false;
    }
    *result = statement.Next() ? statement.Value(0) : QVariant();
    if (statement.Failed()) {
        *error = statement.Error();
        return false;
    }
    return true;
}

bool TStoreSql::Changed(TConnection* connection, const QString& sql, const QVariantList& values, bool* changed,
                        QString* error)
{
    QVariant id;
    if (!Value(connection, sql, values, &id, error)) {
        return false;
    }
    *changed = !id.isNull();
    return true;
}

bool TStoreSql::InTransaction(TConnection* connection, const std::function<bool(QString* error)>& work, QString* error)
{
    if (!Run(connection, QStringLiteral("BEGIN IMMEDIATE"), {}, error)) {
        return false;
    }
    QString failure;
    if (work(&failure) && Run(connection, QStringLiteral("COMMIT"), {}, &failure)) {
        return true;
    }
    QString ignored;
    Run(connection, QStringLiteral("ROLLBACK"), {}, &ignored);
    *error = failure;
    return false;
}
