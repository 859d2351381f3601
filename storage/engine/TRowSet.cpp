#include "storage/engine/TRowSet.h"

#include "storage/engine/TConnection.h"
#include "storage/engine/TJetDialect.h"
#include "storage/engine/TSqlite.h"

#include <algorithm>

namespace {
const QVariant NullValue;

QString FromUtf8(const unsigned char* text, int bytes)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(text), bytes);
}

QVariant ColumnValue(sqlite3_stmt* statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_TEXT: {
        const unsigned char* text = sqlite3_column_text(statement, column);
        return QVariant(FromUtf8(text, sqlite3_column_bytes(statement, column)));
    }
    case SQLITE_BLOB: {
        const void* blob = sqlite3_column_blob(statement, column);
        return QVariant(QByteArray(static_cast<const char*>(blob), sqlite3_column_bytes(statement, column)));
    }
    default:
        return QVariant();
    }
}

// Binds without copying: the values outlive the statement's step. Texts are read through constData(), which never
// detaches or reallocates: the window's thread may read the same strings while a page is written here.
int BindValue(sqlite3_stmt* statement, int parameter, const QVariant& value)
{
    if (value.isNull()) {
        return sqlite3_bind_null(statement, parameter);
    }
    switch (value.metaType().id()) {
    case QMetaType::QString: {
        // A null text is still a text: only a null variant binds NULL.
        static const char16_t Empty[] = u"";
        const QString* text = static_cast<const QString*>(value.constData());
        const void* data = text->isNull() ? static_cast<const void*>(Empty) : text->constData();
        return sqlite3_bind_text16(statement, parameter, data, static_cast<int>(text->size() * 2), SQLITE_STATIC);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(statement, parameter, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray* bytes = static_cast<const QByteArray*>(value.constData());
        return sqlite3_bind_blob(statement, parameter, bytes->constData(), static_cast<int>(bytes->size()),
                                 SQLITE_STATIC);
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        return sqlite3_bind_int64(statement, parameter, value.toLongLong());
    default: {
        const QString text = value.toString();
        return sqlite3_bind_text16(statement, parameter, text.constData(), static_cast<int>(text.size() * 2),
                                   SQLITE_TRANSIENT);
    }
    }
}

bool IsCounter(sqlite3* db, sqlite3_stmt* statement, int column)
{
    const char* table = sqlite3_column_table_name(statement, column);
    const char* origin = sqlite3_column_origin_name(statement, column);
    if (table == nullptr || origin == nullptr) {
        return false;
    }
    int autoIncrement = 0;
    const int rc = sqlite3_table_column_metadata(db, sqlite3_column_database_name(statement, column), table, origin,
                                                 nullptr, nullptr, nullptr, nullptr, &autoIncrement);
    return rc == SQLITE_OK && autoIncrement != 0;
}
} // namespace

TRowSet::TRowSet(QObject* parent)
    : QObject(parent)
{
}

TRowSet::~TRowSet() = default;

void TRowSet::SetConnection(TConnection* connection)
{
    if (m_connection != nullptr) {
        disconnect(m_connection, nullptr, this, nullptr);
    }
    m_writes = {};
    Close();
    m_connection = connection;
    if (connection != nullptr) {
        connect(connection, &TConnection::AboutToClose, this, &TRowSet::ConnectionClosing);
    }
}

TConnection* TRowSet::Connection() const
{
    return m_connection;
}

bool TRowSet::Open(const QString& sql, QString* error)
{
    Close();
    if (m_connection == nullptr || !m_connection->IsOpen()) {
        *error = TConnection::NotOpenMessage();
        return false;
    }
    sqlite3* db = m_connection->Handle();
    sqlite3_stmt* raw = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &raw, nullptr) != SQLITE_OK) {
        *error = SqliteMessage(db);
        return false;
    }
    TStatementHandle statement(raw);
    if (raw == nullptr) {
        *error = QStringLiteral("Command text was not set for the command object.");
        return false;
    }
    if (!ReadFields(raw, error)) {
        AnnounceReset();
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        ReadRow(raw);
    }
    if (rc != SQLITE_DONE) {
        *error = SqliteMessage(db);
        Close();
        AnnounceReset();
        return false;
    }
    m_sql = sql;
    m_open = true;
    m_appliedRows = m_rowCount;
    AnnounceReset();
    return true;
}

// Takes the fields of the statement, in the order of the defined fields when there are any.
bool TRowSet::ReadFields(sqlite3_stmt* statement, QString* error)
{
    sqlite3* db = m_connection->Handle();
    const int count = sqlite3_column_count(statement);
    std::vector<TField> columns(static_cast<size_t>(count));
    m_table.clear();
    for (int i = 0; i < count; ++i) {
        TField& field = columns[static_cast<size_t>(i)];
        field.Name = QString::fromUtf8(sqlite3_column_name(statement, i));
        const QString declared = QString::fromUtf8(sqlite3_column_decltype(statement, i));
        field.DataType = IsCounter(db, statement, i) ? TField::Counter : TField::TypeOfDeclared(declared);
        field.Size = TField::SizeOfDeclared(declared);
        field.ReadOnly = field.DataType == TField::Counter;
        field.DisplayLabel = m_labels.value(field.Name.toLower());
        const QString table = QString::fromUtf8(sqlite3_column_table_name(statement, i));
        m_table = i == 0 || m_table == table ? table : QString();
    }
    std::vector<TField> fields;
    std::vector<int> sources;
    for (int i = 0; m_definedNames.isEmpty() && i < count; ++i) {
        fields.push_back(columns[static_cast<size_t>(i)]);
        sources.push_back(i);
    }
    for (qsizetype i = 0; i < m_definedNames.size(); ++i) {
        const QString& name = m_definedNames.at(i);
        const TField& defined = m_definedFields[static_cast<size_t>(i)];
        const auto found = std::find_if(columns.begin(), columns.end(), [&name](const TField& column) {
            return column.Name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (found == columns.end() && defined.Optional) {
            continue;
        }
        if (found == columns.end()) {
            *error = QStringLiteral("%1: field not found").arg(name);
            return false;
        }
        TField field = *found;
        field.Optional = defined.Optional;
        // A defined field stays shown or hidden as it was set, whatever the statement.
        const int previous = FieldIndex(name);
        field.Visible = previous >= 0 ? m_fields[static_cast<size_t>(previous)].Visible : defined.Visible;
        fields.push_back(field);
        sources.push_back(static_cast<int>(found - columns.begin()));
    }
    m_fields.swap(fields);
    m_sourceColumns.swap(sources);
    return true;
}

void TRowSet::ReadRow(sqlite3_stmt* statement)
{
    const int count = FieldCount();
    for (int i = 0; i < count; ++i) {
        m_values.push_back(ColumnValue(statement, m_sourceColumns[static_cast<size_t>(i)]));
    }
    ++m_rowCount;
}

void TRowSet::ConnectionClosing()
{
    m_writes = {};
    Close();
}

void TRowSet::Close()
{
    // The prepared write statements stay for the next open on the same connection.
    const bool hadRows = m_rowCount > 0 || m_appending;
    m_values.clear();
    m_rowCount = 0;
    m_appliedRows = 0;
    m_appending = false;
    const bool wasOpen = m_open;
    m_open = false;
    if (wasOpen || hadRows) {
        AnnounceReset();
    }
}

int TRowSet::FieldIndex(const QString& name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].Name.compare(name, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TRowSet::DefineFields(std::vector<TField> fields)
{
    Close();
    m_definedNames.clear();
    for (const TField& field : fields) {
        m_labels.insert(field.Name.toLower(), field.DisplayLabel);
        m_definedNames.append(field.Name);
    }
    m_definedFields = fields;
    m_fields = std::move(fields);
    m_resetPending = true;
    AnnounceReset();
}

void TRowSet::SetDisplayLabel(const QString& fieldName, const QString& label)
{
    m_labels.insert(fieldName.toLower(), label);
    const int index = FieldIndex(fieldName);
    if (index >= 0) {
        m_fields[static_cast<size_t>(index)].DisplayLabel = label;
        AnnounceFields();
    }
}

void TRowSet::SetDisplayWidth(int index, int characters)
{
    m_fields.at(static_cast<size_t>(index)).DisplayWidth = characters;
    AnnounceFields();
}

void TRowSet::SetVisible(int index, bool visible)
{
    m_fields.at(static_cast<size_t>(index)).Visible = visible;
    // The columns a view shows change with visibility.
    m_resetPending = true;
    AnnounceReset();
}

const QVariant& TRowSet::Value(int row, int field) const
{
    if (row < 0 || row >= m_rowCount || field < 0 || field >= FieldCount()) {
        return NullValue;
    }
    return m_values[static_cast<size_t>(row) * m_fields.size() + static_cast<size_t>(field)];
}

QVariant& TRowSet::At(int row, int field)
{
    return m_values[static_cast<size_t>(row) * m_fields.size() + static_cast<size_t>(field)];
}

bool TRowSet::Append(QString* error)
{
    if (!m_open) {
        *error = TConnection::NotOpenMessage();
        return false;
    }
    Cancel();
    m_values.resize(m_values.size() + m_fields.size());
    m_appending = true;
    return true;
}

void TRowSet::SetValue(int field, QVariant value)
{
    if (m_appending && field >= 0 && field < FieldCount()) {
        At(m_rowCount, field) = std::move(value);
    }
}

void TRowSet::Post()
{
    if (!m_appending) {
        return;
    }
    m_appending = false;
    ++m_rowCount;
    AnnounceRows();
}

void TRowSet::Cancel()
{
    if (m_appending) {
        m_values.resize(static_cast<size_t>(m_rowCount) * m_fields.size());
        m_appending = false;
    }
}

void TRowSet::Reserve(int rows)
{
    m_values.reserve((static_cast<size_t>(m_rowCount) + static_cast<size_t>(rows) + 1) * m_fields.size());
}

bool TRowSet::ApplyUpdates(QString* error)
{
    std::vector<qint64> ids;
    if (!WritePending(&ids, error)) {
        return false;
    }
    TakeIds(ids);
    return true;
}

bool TRowSet::WritePending(std::vector<qint64>* ids, QString* error)
{
    ids->clear();
    if (!m_open || m_connection == nullptr || !m_connection->IsOpen()) {
        *error = TConnection::NotOpenMessage();
        return false;
    }
    if (PendingCount() == 0) {
        return true;
    }
    sqlite3_stmt* insert = InsertStatement(error);
    if (insert == nullptr) {
        return false;
    }
    // A file that another program holds past the busy timeout is waited for again: the rows stay pending
    // meanwhile and go to the file once it is free.
    return m_connection->RetryWhileBusy([&](bool* busy) { return WriteAttempt(insert, ids, busy, error); });
}

// One transaction of the pending rows; on failure it is rolled back and nothing is written.
bool TRowSet::WriteAttempt(sqlite3_stmt* insert, std::vector<qint64>* ids, bool* busy, QString* error)
{
    ids->clear();
    sqlite3* db = m_connection->Handle();
    QString failure;
    if (Step(db, &m_writes.begin, "BEGIN IMMEDIATE", &failure) && InsertPending(insert, ids, &failure)
        && Step(db, &m_writes.commit, "COMMIT", &failure)) {
        return true;
    }
    *error = failure.isEmpty() ? SqliteMessage(db) : failure;
    *busy = m_connection->LastFailedBusy();
    if (sqlite3_get_autocommit(db) == 0) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    ids->clear();
    return false;
}

// Runs a statement without rows, prepared on first use and kept with the connection.
bool TRowSet::Step(sqlite3* db, TStatementHandle* statement, const char* sql, QString* error)
{
    if (*statement == nullptr) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK) {
            *error = SqliteMessage(db);
            return false;
        }
        statement->reset(raw);
    }
    const int rc = sqlite3_step(statement->get());
    sqlite3_reset(statement->get());
    if (rc != SQLITE_DONE) {
        *error = SqliteMessage(db);
        return false;
    }
    return true;
}

// The INSERT for the writable fields, prepared once and kept while the connection stays open.
sqlite3_stmt* TRowSet::InsertStatement(QString* error)
{
    if (m_table.isEmpty()) {
        *error = QStringLiteral("Insufficient base table information for updating or refreshing.");
        return nullptr;
    }
    QStringList names;
    QStringList parameters;
    for (const TField& field : m_fields) {
        if (!field.ReadOnly) {
            names.append(TJetDialect::QuoteName(field.Name));
            parameters.append(QStringLiteral("?%1").arg(parameters.size() + 1));
        }
    }
    const QByteArray sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(TJetDialect::QuoteName(m_table), names.join(QLatin1String(", ")),
                                    parameters.join(QLatin1String(", ")))
                               .toUtf8();
    if (m_writes.insert != nullptr && m_writes.insertSql == sql) {
        return m_writes.insert.get();
    }
    sqlite3_stmt* raw = nullptr;
    sqlite3* db = m_connection->Handle();
    if (sqlite3_prepare_v3(db, sql.constData(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw, nullptr)
        != SQLITE_OK) {
        *error = SqliteMessage(db);
        return nullptr;
    }
    m_writes.insert.reset(raw);
    m_writes.insertSql = sql;
    return raw;
}

bool TRowSet::InsertPending(sqlite3_stmt* insert, std::vector<qint64>* ids, QString* error)
{
    sqlite3* db = m_connection->Handle();
    ids->reserve(static_cast<size_t>(PendingCount()));
    for (int row = m_appliedRows; row < m_rowCount; ++row) {
        sqlite3_reset(insert);
        int parameter = 0;
        for (int field = 0; field < FieldCount(); ++field) {
            if (!Field(field).ReadOnly && BindValue(insert, ++parameter, At(row, field)) != SQLITE_OK) {
                *error = SqliteMessage(db);
                return false;
            }
        }
        if (sqlite3_step(insert) != SQLITE_DONE) {
            *error = SqliteMessage(db);
            sqlite3_reset(insert);
            return false;
        }
        ids->push_back(sqlite3_last_insert_rowid(db));
    }
    sqlite3_reset(insert);
    sqlite3_clear_bindings(insert);
    return true;
}

void TRowSet::TakeIds(const std::vector<qint64>& ids)
{
    const int first = m_appliedRows;
    if (ids.empty() || !m_open || first + static_cast<qint64>(ids.size()) > m_rowCount) {
        return; // closed (or reopened) while the rows were written
    }
    m_appliedRows = m_rowCount;
    int counter = -1;
    for (int i = 0; i < FieldCount(); ++i) {
        if (Field(i).DataType == TField::Counter) {
            counter = i;
        }
    }
    if (counter < 0) {
        return;
    }
    for (size_t i = 0; i < ids.size(); ++i) {
        At(first + static_cast<int>(i), counter) = QVariant(static_cast<qlonglong>(ids[i]));
    }
    const int last = std::min(m_announcedRows, m_rowCount) - 1;
    if (ControlsDisabled() && first < m_announcedRows) {
        m_resetPending = true;
    } else if (!ControlsDisabled() && first <= last) {
        emit RowsChanged(first, last);
    }
}

void TRowSet::DisableControls()
{
    ++m_disableCount;
}

void TRowSet::EnableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0) {
        return;
    }
    if (m_resetPending) {
        AnnounceReset();
        return;
    }
    if (m_fieldsPending) {
        AnnounceFields();
    }
    AnnounceRows();
}

void TRowSet::AnnounceReset()
{
    if (ControlsDisabled()) {
        m_resetPending = true;
        return;
    }
    m_resetPending = false;
    m_fieldsPending = false;
    m_announcedRows = m_rowCount;
    emit Reset();
}

void TRowSet::AnnounceFields()
{
    if (ControlsDisabled()) {
        m_fieldsPending = true;
        return;
    }
    m_fieldsPending = false;
    emit FieldsChanged();
}

void TRowSet::AnnounceRows()
{
    if (ControlsDisabled() || m_rowCount <= m_announcedRows) {
        return;
    }
    const int first = m_announcedRows;
    m_announcedRows = m_rowCount;
    emit RowsAppended(first, m_rowCount - 1);
}
