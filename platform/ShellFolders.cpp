#include "platform/ShellFolders.h"

#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace ShellFolders {

QString Lookup(const QString& name)
{
    if (name.compare(QLatin1String("Personal"), Qt::CaseInsensitive) == 0) {
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    }
    return QString();
}

void EnsureHomeFolder()
{
    if (!qEnvironmentVariableIsEmpty("HOME")) {
        return;
    }
    const passwd* user = ::getpwuid(::getuid());
    if (user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] != '\0') {
        qputenv("HOME", user->pw_dir);
    }
}

} // namespace ShellFolders
