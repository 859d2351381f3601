#pragma once

#include <QString>

// The user's special folders.
namespace ShellFolders {
// The path of a special folder of the current user, or an empty text when the system knows none.
// "Personal" is the documents folder.
QString Lookup(const QString& name);
} // namespace ShellFolders
