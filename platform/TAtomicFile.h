#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's whole content in one step: the bytes go to a temporary file beside it, which takes the
// file's place only once every byte has reached the disk. On failure the old file stays as it was and no
// temporary file is left. A new file is readable and writable by its owner only.
class TAtomicFile
{
public:
    // False with the reason in Chinese (TSystemError) and, when errnum is given, the failed call's errno value.
    static bool Write(const QString& path, const QByteArray& bytes, QString* error, int* errnum = nullptr);
};
