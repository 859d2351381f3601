#pragma once

#include "storage/engine/TSqliteHandles.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>

// A connection to a password-protected database file, opened from a connection string with the keys
// "Provider", "Data Source" and "Jet OLEDB:Database Password". Statements are in the Jet dialect
// (see TJetDialect); failures are returned with the provider's message.
class TConnection : public QObject
{
    Q_OBJECT

public:
    static constexpr int BusyTimeoutMs = 8000;

    explicit TConnection(QObject* parent = nullptr);
    ~TConnection() override;

    // Creates a new, empty database file protected by the connection string's password.
    // Fails when a file exists at the path; nothing is left behind on failure.
    static bool CreateDatabase(const QString& connectionString, QString* error);

    // Closes any open connection and opens the file of the connection string. A wrong password,
    // a damaged file or a file that is no database fail here, not at the first statement.
    bool Open(const QString& connectionString, QString* error);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }

    // Runs a statement (or several, separated by ";") that returns no rows.
    bool Execute(const QString& sql, QString* error);

    // Names of the user tables and views, in the order of their creation.
    bool Tables(QStringList* names, QString* error) const;
    // Column names of a table or view, in their order; empty for an unknown table.
    bool Columns(const QString& table, QStringList* names, QString* error) const;

    // Ends the statement running on this connection at its next step, from any thread; it fails with
    // "interrupted". Does nothing while closed.
    void Interrupt();
    // Calls the handler about every `instructions` steps of the virtual machine while a statement runs;
    // a handler that returns true ends the statement as interrupted. An empty handler removes it.
    void SetProgressHandler(int instructions, std::function<bool()> handler);
    // A deterministic SQL function of the connection, called with the values of its arguments.
    using TFunction = std::function<QVariant(const QVariantList& arguments)>;
    bool CreateFunction(const QString& name, int argumentCount, TFunction function, QString* error);

    // The raw handle for the engine's own classes; null while closed.
    sqlite3* Handle() const { return m_db.get(); }

signals:
    // Sent before the connection closes, while statements on it can still be finalised.
    void AboutToClose();

private:
    TSqliteHandle m_db;
    std::unique_ptr<std::function<bool()>> m_progress;
};
