#pragma once

#include <QString>

// The user's special folders.
namespace ShellFolders {
// The path of a special folder of the current user, or an empty text when the system knows none.
// "Personal" is the documents folder.
QString Lookup(const QString& name);
// Without HOME in the environment every per-user folder would land at the root of the file system: HOME is then
// set to the user's home folder from the password database.
void EnsureHomeFolder();
} // namespace ShellFolders
