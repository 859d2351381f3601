#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TConnection;
class TRowSet;

// The database access layer: creates the password-protected file, opens the connection, runs statements (a failed
// one shows a warning box, TDatabaseMessage with the provider's message as its detail), opens queries, keeps the
// names of the tables and their columns, and keeps the schema version of the table userver.
class TDBFunc
{
public:
    using TConnRef = std::unique_ptr<TConnection>;

    TDBFunc();
    ~TDBFunc();

    // The owner's connection field; every operation reads the connection through it.
    void BindConnection(const TConnRef* connRef);

    // Creates a new, empty database file with the built-in password; false when a file exists
    // at the path or the file cannot be made. Shows nothing.
    bool CreateDatabase(const QString& path);
    bool CreateDatabaseWithPassword(const QString& path, const QString& password);

    // Connects to the file, loads the table and column names, creates userver with the initial
    // version when it is missing and reads the version. False with the provider's message otherwise.
    bool OpenConnection(const QString& path, const QString& initVersion, QString* error);
    void CloseConnection();

    // Runs a statement that returns no rows; the two characters "\r" become a carriage return.
    bool ExecuteSql(const QString& sql);
    // Reopens a query on the connection with a statement, every field 20 characters wide. Does nothing
    // and returns true when there is no open connection.
    bool OpenQuery(TRowSet* query, const QString& sql, QString* error);
    // A new query on the connection, opened with the statement; null with the message on failure.
    std::unique_ptr<TRowSet> CreateQuery(const QString& sql, QString* error);

    bool RefreshTableList(QString* error);
    bool EnsureVersionTable(const QString& initVersion);
    // The version in userver, or an empty text for an empty table; the message goes to error.
    QString ReadVersion(QString* error);
    void WriteVersion(const QString& version);
    bool VersionBelow(const QString& target) const;

    bool CreateTableIfAbsent(const QString& table, const QString& sql);
    bool AddFieldIfAbsent(const QString& table, const QString& field, const QString& sql);
    bool DropFieldIfPresent(const QString& table, const QString& field, const QString& sql);

    const QStringList& TableList() const { return FTableList; }
    // The column names of a table, found without regard to case; empty for an unknown table.
    QStringList FieldList(const QString& table) const;
    QString Version() const { return FVersion; }

    // The connection string for a file and a password.
    static QString ConnectionString(const QString& path, const QString& password);
    // The built-in password: 23 bytes, some of them non-printing.
    static QString Password();

private:
    TConnection* Connection() const;
    bool IsConnected() const;
    qsizetype TableIndex(const QString& table) const;
    QStringList ReadFieldList(const QString& table) const;

    const TConnRef* FConnRef = nullptr;
    QStringList FTableList;
    std::vector<QStringList> FFieldLists; // one list per entry of FTableList, at the same index
    QString FVersion;
    QString FPath; // the file of the last OpenConnection, named in warnings
};
