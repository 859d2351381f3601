#pragma once

#include "export/TTableWriter.h"

#include <QByteArray>
#include <QFile>

#include <memory>

// CSV in UTF-8 with a byte-order mark: records end with CR LF; a field holding a comma, a quote, CR or LF
// is quoted with its quotes doubled. A text that a spreadsheet would take for a formula (starting with
// "=", "+", "-", "@", a tab or CR) gets a leading apostrophe. Numbers are written in their shortest exact
// form, null cells as empty fields.
class TCsvWriter : public TTableWriter
{
public:
    TCsvWriter();
    ~TCsvWriter() override;

    bool Open(const QString& path, QString* error) override;
    bool WriteRow(std::span<const QVariant> cells, QString* error) override;
    bool Commit(QString* error) override;
    void Discard() override;

    // One cell as it appears in the file, quoted where needed.
    static QByteArray Field(const QVariant& cell);

private:
    bool Flush(QString* error);

    std::unique_ptr<QFile> m_file; // the temporary file
    QString m_path;
    QByteArray m_buffer;
};
