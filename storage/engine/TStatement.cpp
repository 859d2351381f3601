#include "storage/engine/TStatement.h"

#include "storage/engine/TConnection.h"
#include "storage/engine/TSqlite.h"

namespace {
int BindOne(sqlite3_stmt* statement, int parameter, const QVariant& value)
{
    if (value.isNull()) {
        return sqlite3_bind_null(statement, parameter);
    }
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(statement, parameter, value.toDouble());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return sqlite3_bind_int64(statement, parameter, value.toLongLong());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob(statement, parameter, bytes.constData(), static_cast<int>(bytes.size()),
                                 SQLITE_TRANSIENT);
    }
    default: {
        const QString text = value.toString();
        return sqlite3_bind_text16(statement, parameter, text.constData(), static_cast<int>(text.size() * 2),
                                   SQLITE_TRANSIENT);
    }
    }
}
} // namespace

TStatement::TStatement(TConnection* connection, const QString& sql)
{
    Prepare(connection, sql, &m_error);
}

bool TStatement::Prepare(TConnection* connection, const QString& sql, QString* error)
{
    m_statement.reset();
    m_error.clear();
    m_db = connection != nullptr ? connection->Handle() : nullptr;
    if (m_db == nullptr) {
        m_error = TConnection::NotOpenMessage();
        *error = m_error;
        return false;
    }
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), static_cast<int>(text.size()), &raw, nullptr) != SQLITE_OK
        || raw == nullptr) {
        m_error = raw == nullptr && sqlite3_errcode(m_db) == SQLITE_OK ? QStringLiteral("Empty statement.")
                                                                       : SqliteMessage(m_db);
        sqlite3_finalize(raw);
        *error = m_error;
        return false;
    }
    m_statement.reset(raw);
    return true;
}

bool TStatement::Bind(const QVariantList& values, QString* error)
{
    for (int i = 0; i < values.size(); ++i) {
        if (BindOne(m_statement.get(), i + 1, values.at(i)) != SQLITE_OK) {
            m_error = SqliteMessage(m_db);
            *error = m_error;
            return false;
        }
    }
    return true;
}

bool TStatement::Next()
{
    if (m_statement == nullptr) {
        return false;
    }
    const int rc = sqlite3_step(m_statement.get());
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        m_error = SqliteMessage(m_db);
    }
    return false;
}

bool TStatement::Run(QString* error)
{
    while (Next()) { }
    if (Failed()) {
        *error = m_error;
        return false;
    }
    return true;
}

void TStatement::Reset()
{
    if (m_statement != nullptr) {
        sqlite3_reset(m_statement.get());
        sqlite3_clear_bindings(m_statement.get());
    }
    m_error.clear();
}

int TStatement::ColumnCount() const
{
    return m_statement != nullptr ? sqlite3_column_count(m_statement.get()) : 0;
}

QVariant TStatement::Value(int column) const
{
    sqlite3_stmt* statement = m_statement.get();
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                                          sqlite3_column_bytes(statement, column)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                                   sqlite3_column_bytes(statement, column)));
    default:
        return QVariant();
    }
}

qint64 TStatement::Int(int column) const
{
    return sqlite3_column_int64(m_statement.get(), column);
}

double TStatement::Double(int column) const
{
    return sqlite3_column_double(m_statement.get(), column);
}

bool TStatement::IsNull(int column) const
{
    return sqlite3_column_type(m_statement.get(), column) == SQLITE_NULL;
}
