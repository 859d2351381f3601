#pragma once

#include <QByteArray>
#include <QString>

// An INI file with the semantics of the classic profile functions: the file holds code page 936 bytes,
// sections and keys match without regard to letter case, a read is cut at 2047 bytes, and every write
// goes to the file at once, unless the writes are collected between BeginUpdate() and EndUpdate(). The file is
// always replaced as a whole: a failed write leaves it as it was.
class TProfileFile
{
public:
    static constexpr int MaxValueBytes = 2047;

    explicit TProfileFile(QString path);

    QString Path() const { return m_path; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // The default also when the value does not parse as an integer.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;

    // False when the file cannot be written.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);
    bool EraseSection(const QString& section);

    // From here on the writes change the file's content in memory only; EndUpdate() writes it once.
    void BeginUpdate();
    // False with the reason when the file cannot be written; the file then keeps its old content.
    bool EndUpdate(QString* error = nullptr);
    // The reason of the last failed write, and the failed call's errno value (TFileMessage words it for the user).
    int LastErrno() const { return m_lastErrno; }

    // A value's bytes cut at the read limit, never in the middle of a double-byte character.
    static QByteArray CutValue(const QByteArray& bytes);

private:
    QByteArray Load() const;
    bool Store(const QByteArray& contents);

    QString m_path;
    bool m_updating = false;
    QByteArray m_contents; // the content while updating
    QString m_lastError;
    int m_lastErrno = 0;
};
