#pragma once

#include "storage/engine/TSqliteHandles.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <future>
#include <memory>

// A connection to a password-protected database file, opened from a connection string with the keys
// "Provider", "Data Source" and "Jet OLEDB:Database Password". Statements are in the Jet dialect
// (see TJetDialect); failures are returned with the provider's message.
class TConnection : public QObject
{
    Q_OBJECT

public:
    static constexpr int BusyTimeoutMs = 8000;
    // How long a write transaction waits in all for a file that other connections hold: attempt after attempt of
    // the busy timeout each. Well above the longest transaction of the system's own programs (an upgrade of a large
    // file, an older version's one-transaction deletion), so that only a program that keeps the file for good
    // fails a write.
    static constexpr int WriteWaitMs = 120000;
    // The provider's message for an operation on a closed connection, query or database.
    static QString NotOpenMessage();

    explicit TConnection(QObject* parent = nullptr);
    ~TConnection() override;

    // Creates a new, empty database file protected by the connection string's password.
    // Fails when a file exists at the path; nothing is left behind on failure.
    static bool CreateDatabase(const QString& connectionString, QString* error);
    // The same, keeping this connection open on the new file (any other connection is closed first). The next
    // Open of the same file with the same password takes it as it is: the key is derived once.
    bool Create(const QString& connectionString, QString* error);

    // Starts opening an existing file of the connection string on a worker thread, so that the key is derived
    // while the caller does other work; the next Open of the same file takes that connection. Nothing is
    // reported here: when it fails, Open opens the file itself and reports what fails.
    void Prefetch(const QString& connectionString);

    // Closes any open connection and opens the file of the connection string. A wrong password,
    // a damaged file or a file that is no database fail here, not at the first statement.
    bool Open(const QString& connectionString, QString* error);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }

    // Runs a statement (or several, separated by ";") that returns no rows.
    bool Execute(const QString& sql, QString* error);

    // How long a statement waits for a file that another connection holds before it fails with "database is
    // locked" (BusyTimeoutMs unless set), and how long RetryWhileBusy goes on (WriteWaitMs unless set).
    void SetBusyTimeout(int ms) { m_busyTimeoutMs = ms; }
    void SetWriteWait(int ms) { m_writeWaitMs = ms; }
    // Whether the last statement failed because another connection held the file past the busy timeout. Ask
    // before anything else runs on the connection.
    bool LastFailedBusy() const;
    // Makes a write transaction again while it fails on a busy file, until the write wait has passed since the
    // first attempt. An attempt returns whether it succeeded; when it fails it leaves no transaction open and
    // tells through *busy whether the file was busy (LastFailedBusy before its rollback).
    bool RetryWhileBusy(const std::function<bool(bool* busy)>& attempt);

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
    void Adopt(TSqliteHandle db);
    static int BusyWait(void* connection, int count);

    TSqliteHandle m_db;
    int m_busyTimeoutMs = BusyTimeoutMs;
    int m_writeWaitMs = WriteWaitMs;
    QElapsedTimer m_busySince; // from the first wait for the file that a statement meets
    QString m_createdPath; // set from Create to the next Open or Close
    QByteArray m_createdKey;
    QByteArray m_createdIdentity;
    struct TPrefetch
    {
        QString path;
        QByteArray key;
        QByteArray identity; // device and inode of the file when the open started
        std::future<TSqliteHandle> db;
    };
    TPrefetch m_prefetch;
    TSqliteHandle TakePrefetched(const QString& path, const QByteArray& key);
    std::unique_ptr<std::function<bool()>> m_progress;
};
