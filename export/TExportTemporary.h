#pragma once

#include <QString>

// The temporary file an export writes before it takes the place of the target: hidden, beside the target, and
// named after the target and the writing process, so that a later export can tell a file that a killed export
// left behind ("." + name + "." + process id + "-" + six characters + ".part").
class TExportTemporary
{
public:
    // Creates a new, empty temporary file for the target; the permissions are those of any new file.
    static bool Create(const QString& target, QString* temporary, QString* error);
    // Puts the temporary file, once it has reached the disk, in the place of the target.
    static bool Replace(const QString& temporary, const QString& target, QString* error);
    // Removes the temporary files in the folder whose process has ended.
    static void RemoveStale(const QString& folder);
    // The process that wrote a temporary file of this name, or 0 when the name is no such file's.
    static qint64 WriterOf(const QString& fileName);
};
