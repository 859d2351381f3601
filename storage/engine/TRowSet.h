#pragma once

#include "storage/engine/TField.h"
#include "storage/engine/TSqliteHandles.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

class TConnection;

// A client-side set of rows read by a statement. Rows appended and posted stay pending in memory until
// ApplyUpdates writes them all in one transaction to the statement's table. Views follow the row set
// through its signals; while the controls are disabled they hear nothing, and enabling them again
// announces everything that changed in one go.
class TRowSet : public QObject
{
    Q_OBJECT

public:
    explicit TRowSet(QObject* parent = nullptr);
    ~TRowSet() override;

    // The connection the row set opens on; the row set closes when the connection closes.
    void SetConnection(TConnection* connection);
    TConnection* Connection() const;

    // Closes the row set, runs the statement and takes its fields and rows.
    bool Open(const QString& sql, QString* error);
    // Drops every row, pending ones included. The fields stay as they were.
    void Close();
    bool IsOpen() const { return m_open; }
    QString Sql() const { return m_sql; }
    // The table that the fields come from, where pending rows are written; empty for a computed result.
    QString TableName() const { return m_table; }

    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    const TField& Field(int index) const { return m_fields.at(static_cast<size_t>(index)); }
    // The index of a field by name, without regard to case; -1 when there is none.
    int FieldIndex(const QString& name) const;
    // The fields a closed row set shows before its first open. Later opens keep them, in this order
    // and with their labels, and fail when the statement lacks one of them that is not optional.
    void DefineFields(std::vector<TField> fields);
    // The label a field of this name gets now and at every later open.
    void SetDisplayLabel(const QString& fieldName, const QString& label);
    void SetDisplayWidth(int index, int characters);
    void SetVisible(int index, bool visible);

    int RowCount() const { return m_rowCount; }
    int PendingCount() const { return m_rowCount - m_appliedRows; }
    // The value of a posted row; a null variant for SQL NULL or an index out of range.
    const QVariant& Value(int row, int field) const;

    // Starts a new row at the end, all fields NULL; Post adds it, Cancel drops it.
    bool Append(QString* error);
    void SetValue(int field, QVariant value);
    void Post();
    void Cancel();
    // Makes room for this many more rows.
    void Reserve(int rows);

    // Writes every pending row to the table in one transaction of bound INSERTs, all or nothing, and
    // reads the numbers the database gave them back into the counter field. A file that another connection
    // holds is waited for (TConnection::RetryWhileBusy); the rows stay pending until they are written.
    bool ApplyUpdates(QString* error);
    // ApplyUpdates in two steps, so that the write may run on another thread: WritePending only reads the
    // rows (nothing may change them meanwhile) and gives the numbers the rows got; TakeIds, on the row set's
    // own thread, puts them into the counter field. A row set closed meanwhile takes none.
    bool WritePending(std::vector<qint64>* ids, QString* error);
    void TakeIds(const std::vector<qint64>& ids);

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

signals:
    // Fields and rows were replaced: reread everything.
    void Reset();
    // Rows first..last were appended at the end.
    void RowsAppended(int first, int last);
    // Values of rows first..last changed.
    void RowsChanged(int first, int last);
    // Field settings (labels, widths, visibility) changed.
    void FieldsChanged();

private:
    bool ReadFields(sqlite3_stmt* statement, QString* error);
    void ReadRow(sqlite3_stmt* statement);
    void ConnectionClosing();
    static bool Step(sqlite3* db, TStatementHandle* statement, const char* sql, QString* error);
    sqlite3_stmt* InsertStatement(QString* error);
    bool InsertPending(sqlite3_stmt* insert, std::vector<qint64>* ids, QString* error);
    bool WriteAttempt(sqlite3_stmt* insert, std::vector<qint64>* ids, bool* busy, QString* error);
    void AnnounceReset();
    void AnnounceFields();
    void AnnounceRows();
    QVariant& At(int row, int field);

    QPointer<TConnection> m_connection;
    QString m_sql;
    QString m_table;
    bool m_open = false;
    std::vector<TField> m_fields;
    QStringList m_definedNames; // the fields defined before the first open, in their order
    std::vector<TField> m_definedFields; // the same fields as they were defined
    std::vector<int> m_sourceColumns; // the statement's column of each field
    std::vector<QVariant> m_values; // row after row, FieldCount() values each
    int m_rowCount = 0;
    int m_appliedRows = 0;
    bool m_appending = false;
    QHash<QString, QString> m_labels; // lower-case field name to label
    struct TWrites
    {
        TStatementHandle insert;
        QByteArray insertSql;
        TStatementHandle begin;
        TStatementHandle commit;
    };
    TWrites m_writes; // prepared on the connection, finalised before it closes
    int m_disableCount = 0;
    int m_announcedRows = 0;
    bool m_resetPending = false;
    bool m_fieldsPending = false;
};
