#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>

class TConnection;

// Short statements with bound values on a connection, for the run records, watches and alerts: each returns
// false with the provider's message when it fails.
class TStoreSql
{
public:
    static bool Run(TConnection* connection, const QString& sql, const QVariantList& values, QString* error);
    // The first value of the first row; a null variant when there is no row.
    static bool Value(TConnection* connection, const QString& sql, const QVariantList& values, QVariant* result,
                      QString* error);
    // Runs an UPDATE or DELETE that ends in "RETURNING id"; *changed tells whether it changed a row.
    static bool Changed(TConnection* connection, const QString& sql, const QVariantList& values, bool* changed,
                        QString* error);
    // Runs the work in one write transaction, committed when it succeeds and rolled back when it fails.
    static bool InTransaction(TConnection* connection, const std::function<bool(QString* error)>& work, QString* error);
};
