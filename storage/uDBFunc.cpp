#include "storage/uDBFunc.h"

#include "storage/TDatabaseMessage.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TConnectionString.h"
#include "storage/engine/TRowSet.h"
#include "ui/uPubFunc.h"

#include <algorithm>

namespace {
const char* const ConnectionTemplate
    = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2;";

// Non-printing bytes among printing ones; no zero byte, ";", "=", quote or blank, so that the value
// needs no quoting in the connection string.
const char DatabasePassword[] = "\x01"
                                "Mx\x02"
                                "gL\x1f"
                                "7q\x03"
                                "Rk\x7f"
                                "Zp\x04"
                                "W9\x1e\x05"
                                "tN\x06";
static_assert(sizeof(DatabasePassword) - 1 == 23, "the password is 23 bytes");

const int QueryDisplayWidth = 20;

// Text for a quoted literal of a statement: single quotes doubled.
QString Literal(QString text)
{
    return text.replace(QLatin1Char('\''), QLatin1String("''"));
}

int VersionPart(const QStringList& parts, qsizetype i)
{
    if (i >= parts.size()) {
        return 0;
    }
    bool ok = false;
    const int value = parts.at(i).toInt(&ok);
    return ok ? value : 0;
}

void ShowWarning(const QString& text)
{
    if (PubFunc != nullptr) {
        PubFunc->ShowNotice(text);
    }
}
} // namespace

TDBFunc::TDBFunc() = default;
TDBFunc::~TDBFunc() = default;

void TDBFunc::BindConnection(const TConnRef* connRef)
{
    FConnRef = connRef;
}

TConnection* TDBFunc::Connection() const
{
    return FConnRef != nullptr ? FConnRef->get() : nullptr;
}

bool TDBFunc::IsConnected() const
{
    return Connection() != nullptr && Connection()->IsOpen();
}

QString TDBFunc::Password()
{
    return QString::fromLatin1(DatabasePassword, sizeof(DatabasePassword) - 1);
}

QString TDBFunc::ConnectionString(const QString& path, const QString& password)
{
    return QString::fromLatin1(ConnectionTemplate)
        .arg(TConnectionString::Quote(path), TConnectionString::Quote(password));
}

bool TDBFunc::CreateDatabase(const QString& path)
{
    return CreateDatabaseWithPassword(path, Password());
}

bool TDBFunc::CreateDatabaseWithPassword(const QString& path, const QString& password)
{
    QString ignored;
    const QString connectionString = ConnectionString(path, password);
    // A bound connection that is not in use keeps the new file open, so that OpenConnection does not
    // derive the key a second time.
    if (Connection() != nullptr && !Connection()->IsOpen()) {
        return Connection()->Create(connectionString, &ignored);
    }
    return TConnection::CreateDatabase(connectionString, &ignored);
}

bool TDBFunc::OpenConnection(const QString& path, const QString& initVersion, QString* error)
{
    if (Connection() == nullptr) {
        *error = QStringLiteral("No connection is bound to the database layer.");
        return false;
    }
    FPath = path;
    // Open closes whatever the connection had open, but for a file it has just created with this password.
    if (!Connection()->Open(ConnectionString(path, Password()), error) || !RefreshTableList(error)) {
        return false;
    }
    EnsureVersionTable(initVersion);
    error->clear();
    const QString version = ReadVersion(error);
    if (!error->isEmpty()) {
        return false;
    }
    FVersion = version;
    return true;
}

void TDBFunc::CloseConnection()
{
    if (IsConnected()) {
        Connection()->Close();
    }
}

bool TDBFunc::ExecuteSql(const QString& sql)
{
    QString statement = sql;
    statement.replace(QLatin1String("\\r"), QLatin1String("\r"));
    QString error;
    if (Connection() == nullptr) {
        error = TConnection::NotOpenMessage();
    } else if (Connection()->Execute(statement, &error)) {
        return true;
    }
    ShowWarning(TDatabaseMessage::Text(error, FPath));
    return false;
}

bool TDBFunc::OpenQuery(TRowSet* query, const QString& sql, QString* error)
{
    if (!IsConnected()) {
        return true;
    }
    if (query->Connection() != Connection()) {
        query->SetConnection(Connection());
    }
    query->DisableControls();
    const bool ok = query->Open(sql, error);
    for (int i = 0; ok && i < query->FieldCount(); ++i) {
        query->SetDisplayWidth(i, QueryDisplayWidth);
    }
    query->EnableControls();
    return ok;
}

std::unique_ptr<TRowSet> TDBFunc::CreateQuery(const QString& sql, QString* error)
{
    auto query = std::make_unique<TRowSet>();
    query->SetConnection(Connection());
    if (!IsConnected()) {
        *error = TConnection::NotOpenMessage();
        return nullptr;
    }
    if (!OpenQuery(query.get(), sql, error)) {
        return nullptr;
    }
    return query;
}

bool TDBFunc::RefreshTableList(QString* error)
{
    FTableList.clear();
    FFieldLists.clear();
    if (Connection() == nullptr || !Connection()->Tables(&FTableList, error)) {
        return false;
    }
    for (const QString& table : std::as_const(FTableList)) {
        QStringList fields;
        if (!Connection()->Columns(table, &fields, error)) {
            return false;
        }
        FFieldLists.push_back(fields);
    }
    return true;
}

bool TDBFunc::EnsureVersionTable(const QString& initVersion)
{
    if (TableIndex(QStringLiteral("userver")) >= 0) {
        return true;
    }
    if (!ExecuteSql(QStringLiteral("create table userver(verno varchar(20)) "))) {
        return false;
    }
    return ExecuteSql(QStringLiteral("insert into userver(verno) values('%1') ").arg(Literal(initVersion)));
}

QString TDBFunc::ReadVersion(QString* error)
{
    std::unique_ptr<TRowSet> query = CreateQuery(QStringLiteral("select verno from userver"), error);
    if (query == nullptr || query->RowCount() == 0) {
        return QString();
    }
    return query->Value(0, 0).toString();
}

void TDBFunc::WriteVersion(const QString& version)
{
    ExecuteSql(QStringLiteral("update userver set verno='%1'").arg(Literal(version)));
    FVersion = version;
}

bool TDBFunc::VersionBelow(const QString& target) const
{
    if (FVersion == target) {
        return false;
    }
    const QStringList own = FVersion.split(QLatin1Char('.'));
    const QStringList other = target.split(QLatin1Char('.'));
    const qsizetype count = std::max(own.size(), other.size());
    for (qsizetype i = 0; i < count; ++i) {
        const int a = VersionPart(own, i);
        const int b = VersionPart(other, i);
        if (a != b) {
            return a < b;
        }
    }
    return false;
}

bool TDBFunc::CreateTableIfAbsent(const QString& table, const QString& sql)
{
    if (TableIndex(table) >= 0) {
        return false;
    }
    ExecuteSql(sql);
    FTableList.append(table);
    FFieldLists.push_back(ReadFieldList(table));
    return true;
}

bool TDBFunc::AddFieldIfAbsent(const QString& table, const QString& field, const QString& sql)
{
    const qsizetype index = TableIndex(table);
    if (index < 0 || FFieldLists[static_cast<size_t>(index)].contains(field, Qt::CaseInsensitive)) {
        return false;
    }
    ExecuteSql(sql);
    FFieldLists[static_cast<size_t>(index)] = ReadFieldList(table);
    return true;
}

bool TDBFunc::DropFieldIfPresent(const QString& table, const QString& field, const QString& sql)
{
    const qsizetype index = TableIndex(table);
    if (index < 0 || !FFieldLists[static_cast<size_t>(index)].contains(field, Qt::CaseInsensitive)) {
        return false;
    }
    ExecuteSql(sql);
    FFieldLists[static_cast<size_t>(index)] = ReadFieldList(table);
    return true;
}

QStringList TDBFunc::FieldList(const QString& table) const
{
    const qsizetype index = TableIndex(table);
    return index >= 0 ? FFieldLists[static_cast<size_t>(index)] : QStringList();
}

qsizetype TDBFunc::TableIndex(const QString& table) const
{
    for (qsizetype i = 0; i < FTableList.size(); ++i) {
        if (FTableList.at(i).compare(table, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QStringList TDBFunc::ReadFieldList(const QString& table) const
{
    QStringList fields;
    QString error;
    if (Connection() != nullptr) {
        Connection()->Columns(table, &fields, &error);
    }
    return fields;
}
