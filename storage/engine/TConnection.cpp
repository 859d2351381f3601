#include "storage/engine/TConnection.h"

#include "storage/engine/TConnectionString.h"
#include "storage/engine/TDerivedKeys.h"
#include "storage/engine/TJetDialect.h"
#include "storage/engine/TSqlite.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace {
const char* const ProviderKey = "Provider";
const char* const DataSourceKey = "Data Source";
const char* const PasswordKey = "Jet OLEDB:Database Password";
const char* const JetProvider = "Microsoft.Jet.OLEDB.4.0";
// The step of the wait for a busy file: short, so that the gap another program leaves between two of its
// transactions is found before it begins the next.
const int BusyStepMs = 5;

struct TTarget
{
    QString path;
    QByteArray key;
};

bool ParseTarget(const QString& connectionString, TTarget* target, QString* error)
{
    TConnectionString parsed;
    if (!parsed.Parse(connectionString, error)) {
        return false;
    }
    if (parsed.Value(QLatin1String(ProviderKey)).compare(QLatin1String(JetProvider), Qt::CaseInsensitive) != 0) {
        *error = QStringLiteral("Provider cannot be found. It may not be properly installed.");
        return false;
    }
    target->path = parsed.Value(QLatin1String(DataSourceKey));
    target->key = parsed.Value(QLatin1String(PasswordKey)).toUtf8();
    if (target->path.isEmpty()) {
        *error = QStringLiteral("No data source was given.");
        return false;
    }
    return true;
}

bool Run(sqlite3* db, const char* sql, QString* error)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = SqliteMessage(db);
        return false;
    }
    return true;
}

// Opens the file with the key material given; the first read checks it, so a wrong one fails here.
TSqliteHandle OpenWith(const QString& path, const QByteArray& key, QString* error)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    TSqliteHandle db(raw);
    if (rc != SQLITE_OK) {
        *error = SqliteMessage(raw);
        return nullptr;
    }
    sqlite3_extended_result_codes(raw, 0);
    // The cipher library logs failed page checks to stderr unless told not to.
    sqlite3_exec(raw, "PRAGMA cipher_log_source = NONE", nullptr, nullptr, nullptr);
    // No key material means a file that is not encrypted.
    if (!key.isEmpty() && sqlite3_key(raw, key.constData(), static_cast<int>(key.size())) != SQLITE_OK) {
        *error = SqliteMessage(raw);
        return nullptr;
    }
    sqlite3_busy_timeout(raw, TConnection::BusyTimeoutMs);
    if (!Run(raw, "SELECT count(*) FROM sqlite_master", error)) {
        return nullptr;
    }
    return db;
}

// Opens the file with its password. A file that has its salt already opens with the key derived once for that
// salt in this process; should that key not open it, the password itself does, and reports what fails.
TSqliteHandle OpenKeyed(const TTarget& target, QString* error)
{
    const QByteArray salt = TDerivedKeys::IsRawKey(target.key) ? QByteArray() : TDerivedKeys::ReadSalt(target.path);
    if (!salt.isEmpty()) {
        QString ignored;
        TSqliteHandle db = OpenWith(target.path, TDerivedKeys::RawKey(target.key, salt), &ignored);
        if (db != nullptr) {
            return db;
        }
    }
    return OpenWith(target.path, target.key, error);
}

// One durable write per commit: a write-ahead log with a full sync at each commit.
bool Configure(sqlite3* db, QString* error)
{
    return Run(db, "PRAGMA journal_mode = WAL", error) && Run(db, "PRAGMA synchronous = FULL", error);
}

bool ReadNames(sqlite3* db, const char* sql, const QString& argument, QStringList* names, QString* error)
{
    names->clear();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        *error = SqliteMessage(db);
        return false;
    }
    TStatementHandle statement(raw);
    if (!argument.isNull()) {
        sqlite3_bind_text16(raw, 1, argument.constData(), static_cast<int>(argument.size() * 2), SQLITE_TRANSIENT);
    }
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        names->append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))));
    }
    if (rc != SQLITE_DONE) {
        *error = SqliteMessage(db);
        return false;
    }
    return true;
}

// Creates the encrypted file and returns the connection to it; nothing is left behind on failure.
TSqliteHandle CreateKeyed(const TTarget& target, QString* error)
{
    // The exclusive create refuses an existing file, also one that appears meanwhile. Only the owner may read
    // the file; the engine gives its journal files the same permissions.
    QFile file(target.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner)) {
        *error = QStringLiteral("Database already exists or cannot be created: %1").arg(file.errorString());
        return nullptr;
    }
    file.close();
    // A password is turned into its key here, once, with the salt the file is given; later connections find
    // that key kept for the salt. No password means a file that is not encrypted.
    const bool derive = !target.key.isEmpty() && !TDerivedKeys::IsRawKey(target.key);
    const QByteArray key = derive ? TDerivedKeys::NewFileKey(target.key) : QByteArray();
    TSqliteHandle db = key.isEmpty() ? OpenKeyed(target, error) : OpenWith(target.path, key, error);
    // Writing the header makes the file a database of its own right away.
    const bool ok = db != nullptr && Run(db.get(), "PRAGMA user_version = 1", error)
        && Run(db.get(), "PRAGMA user_version = 0", error) && Configure(db.get(), error);
    if (!ok) {
        db.reset();
        QFile::remove(target.path);
    }
    return db;
}
// The device and inode of a file, so that a file replaced meanwhile is told from the one opened.
QByteArray FileIdentity(const QString& path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    return QByteArray::number(static_cast<qulonglong>(info.st_dev)) + ':'
        + QByteArray::number(static_cast<qulonglong>(info.st_ino));
}

int CallProgress(void* handler)
{
    return (*static_cast<std::function<bool()>*>(handler))() ? 1 : 0;
}

QVariant ArgumentValue(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(value));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value)));
    }
}

void ResultValue(sqlite3_context* context, const QVariant& value)
{
    if (value.isNull()) {
        sqlite3_result_null(context);
        return;
    }
    switch (value.metaType().id()) {
    case QMetaType::Double:
        sqlite3_result_double(context, value.toDouble());
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        sqlite3_result_int64(context, value.toLongLong());
        return;
    default: {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_result_text(context, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    }
}

void CallFunction(sqlite3_context* context, int count, sqlite3_value** values)
{
    QVariantList arguments;
    arguments.reserve(count);
    for (int i = 0; i < count; ++i) {
        arguments.append(ArgumentValue(values[i]));
    }
    ResultValue(context, (*static_cast<TConnection::TFunction*>(sqlite3_user_data(context)))(arguments));
}

void DeleteFunction(void* function)
{
    delete static_cast<TConnection::TFunction*>(function);
}

} // namespace

QString TConnection::NotOpenMessage()
{
    return QStringLiteral("Operation is not allowed when the object is closed.");
}

TConnection::TConnection(QObject* parent)
    : QObject(parent)
{
}

TConnection::~TConnection()
{
    Close();
    TakePrefetched(QString(), QByteArray());
}

void TConnection::Prefetch(const QString& connectionString)
{
    TakePrefetched(QString(), QByteArray());
    TTarget target;
    QString ignored;
    if (!ParseTarget(connectionString, &target, &ignored) || !QFileInfo(target.path).isFile()) {
        return;
    }
    m_prefetch.path = target.path;
    m_prefetch.key = target.key;
    m_prefetch.identity = FileIdentity(target.path);
    m_prefetch.db = std::async(std::launch::async, [target] {
        QString error;
        return OpenKeyed(target, &error);
    });
}

// The prefetched connection when it is to this file and password and succeeded; any other is closed.
TSqliteHandle TConnection::TakePrefetched(const QString& path, const QByteArray& key)
{
    if (!m_prefetch.db.valid()) {
        return nullptr;
    }
    TSqliteHandle db = m_prefetch.db.get();
    const bool same = path == m_prefetch.path && key == m_prefetch.key && !m_prefetch.identity.isEmpty()
        && FileIdentity(path) == m_prefetch.identity;
    m_prefetch = {};
    return same ? std::move(db) : nullptr;
}

bool TConnection::CreateDatabase(const QString& connectionString, QString* error)
{
    TTarget target;
    return ParseTarget(connectionString, &target, error) && CreateKeyed(target, error) != nullptr;
}

bool TConnection::Create(const QString& connectionString, QString* error)
{
    Close();
    TTarget target;
    if (!ParseTarget(connectionString, &target, error)) {
        return false;
    }
    TSqliteHandle db = CreateKeyed(target, error);
    if (db == nullptr) {
        return false;
    }
    Adopt(std::move(db));
    m_createdPath = target.path;
    m_createdKey = target.key;
    m_createdIdentity = FileIdentity(target.path);
    return true;
}

bool TConnection::Open(const QString& connectionString, QString* error)
{
    TTarget target;
    if (!ParseTarget(connectionString, &target, error)) {
        Close();
        return false;
    }
    if (IsOpen() && !m_createdPath.isEmpty() && target.path == m_createdPath && target.key == m_createdKey
        && FileIdentity(target.path) == m_createdIdentity) {
        // Just created with this password: deriving the key again would only cost time.
        m_createdPath.clear();
        m_createdKey.clear();
        return true;
    }
    Close();
    if (!QFileInfo(target.path).isFile()) {
        *error = QStringLiteral("Could not find file '%1'.").arg(target.path);
        return false;
    }
    TSqliteHandle db = TakePrefetched(target.path, target.key);
    if (db == nullptr) {
        db = OpenKeyed(target, error);
    }
    if (db == nullptr || !Configure(db.get(), error)) {
        return false;
    }
    Adopt(std::move(db));
    return true;
}

void TConnection::Adopt(TSqliteHandle db)
{
    m_db = std::move(db);
    sqlite3_busy_handler(m_db.get(), BusyWait, this);
}

// Called by the engine while another connection holds the file: waits one step and asks again, until the busy
// timeout has passed since the statement first met the file busy.
int TConnection::BusyWait(void* connection, int count)
{
    auto* self = static_cast<TConnection*>(connection);
    if (count == 0) {
        self->m_busySince.start();
    }
    if (self->m_busySince.elapsed() >= self->m_busyTimeoutMs) {
        return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(count < 5 ? 1 : BusyStepMs));
    return 1;
}

bool TConnection::LastFailedBusy() const
{
    return m_db != nullptr && sqlite3_errcode(m_db.get()) == SQLITE_BUSY;
}

bool TConnection::RetryWhileBusy(const std::function<bool(bool* busy)>& attempt)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        bool busy = false;
        if (attempt(&busy)) {
            return true;
        }
        if (!busy || waited.elapsed() >= m_writeWaitMs) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(BusyStepMs));
    }
}

void TConnection::Close()
{
    m_createdPath.clear();
    m_createdKey.clear();
    m_createdIdentity.clear();
    if (m_db != nullptr) {
        emit AboutToClose();
        m_db.reset();
        m_progress.reset();
    }
}

void TConnection::Interrupt()
{
    if (m_db != nullptr) {
        sqlite3_interrupt(m_db.get());
    }
}

void TConnection::SetProgressHandler(int instructions, std::function<bool()> handler)
{
    if (m_db == nullptr) {
        return;
    }
    if (!handler) {
        sqlite3_progress_handler(m_db.get(), 0, nullptr, nullptr);
        m_progress.reset();
        return;
    }
    m_progress = std::make_unique<std::function<bool()>>(std::move(handler));
    sqlite3_progress_handler(m_db.get(), instructions, CallProgress, m_progress.get());
}

bool TConnection::CreateFunction(const QString& name, int argumentCount, TFunction function, QString* error)
{
    if (m_db == nullptr) {
        *error = NotOpenMessage();
        return false;
    }
    auto* owned = new TFunction(std::move(function));
    const int rc = sqlite3_create_function_v2(m_db.get(), name.toUtf8().constData(), argumentCount,
                                              SQLITE_UTF8 | SQLITE_DETERMINISTIC, owned, CallFunction, nullptr, nullptr,
                                              DeleteFunction);
    if (rc != SQLITE_OK) {
        *error = SqliteMessage(m_db.get());
        return false;
    }
    return true;
}

bool TConnection::Execute(const QString& sql, QString* error)
{
    if (m_db == nullptr) {
        *error = NotOpenMessage();
        return false;
    }
    const QByteArray text = TJetDialect::Translate(sql).toUtf8();
    const char* tail = text.constData();
    const char* end = tail + text.size();
    while (tail < end) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db.get(), tail, static_cast<int>(end - tail), &raw, &tail) != SQLITE_OK) {
            *error = SqliteMessage(m_db.get());
            return false;
        }
        TStatementHandle statement(raw);
        if (raw == nullptr) {
            continue; // only blanks or comments were left
        }
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) { }
        if (rc != SQLITE_DONE) {
            *error = SqliteMessage(m_db.get());
            return false;
        }
    }
    return true;
}

bool TConnection::Tables(QStringList* names, QString* error) const
{
    if (m_db == nullptr) {
        *error = NotOpenMessage();
        return false;
    }
    return ReadNames(
        m_db.get(),
        "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
        "ORDER BY rowid",
        QString(), names, error);
}

bool TConnection::Columns(const QString& table, QStringList* names, QString* error) const
{
    if (m_db == nullptr) {
        *error = NotOpenMessage();
        return false;
    }
    return ReadNames(m_db.get(), "SELECT name FROM pragma_table_info(?1) ORDER BY cid", table, names, error);
}
