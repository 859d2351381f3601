#pragma once

#include <QString>
#include <QVariant>

#include <span>

// Writes rows of cells to a file that appears at its path only when Commit succeeds; until then the
// rows go to a temporary file in the same folder, which Discard (or the destructor) removes.
// Cells are numbers (integers, doubles), dates and times (QDateTime, local time), texts, or null variants for
// empty cells.
class TTableWriter
{
public:
    virtual ~TTableWriter() = default;

    // Starts the temporary file next to the path; false with the reason when it cannot be made.
    virtual bool Open(const QString& path, QString* error) = 0;
    virtual bool WriteRow(std::span<const QVariant> cells, QString* error) = 0;
    // Finishes the file and puts it in the place of the path, replacing a file that was there.
    virtual bool Commit(QString* error) = 0;
    // Drops everything written so far; the path keeps what it held before.
    virtual void Discard() = 0;
};
