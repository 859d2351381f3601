#pragma once

#include <QString>

// What the user reads when one of the program's files cannot be written: what happened in Chinese, naming the
// file, and what the user can do about it; the system's own text follows as a detail for a report.
class TFileMessage
{
public:
    // The message for a write of the file at path that failed with errno value errnum (0 when it is not known).
    static QString NotWritten(const QString& path, int errnum);
};
