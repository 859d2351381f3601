#pragma once

#include "storage/engine/TSqliteHandles.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

class TConnection;

// One prepared statement with bound parameters, stepped row by row. Texts are bound as values, never
// spliced into the statement, so no user text can change what a statement does.
class TStatement
{
public:
    TStatement() = default;
    // Prepares the statement on an open connection; Error() says what failed.
    TStatement(TConnection* connection, const QString& sql);

    bool Prepare(TConnection* connection, const QString& sql, QString* error);
    const QString& Error() const { return m_error; }

    // Binds ?1, ?2, ... in order: null, integer, floating-point, text or byte values.
    bool Bind(const QVariantList& values, QString* error);
    // The next row: true while there is one. At the end or on failure false; Failed() tells which.
    bool Next();
    bool Failed() const { return !m_error.isEmpty(); }
    // Runs to the end; false with the provider's message.
    bool Run(QString* error);
    void Reset();

    int ColumnCount() const;
    QVariant Value(int column) const;
    qint64 Int(int column) const;
    double Double(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3* m_db = nullptr;
    TStatementHandle m_statement;
    QString m_error;
};
