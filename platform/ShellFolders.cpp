#include "platform/ShellFolders.h"

#include <QStandardPaths>

namespace ShellFolders {

QString Lookup(const QString& name)
{
    if (name.compare(QLatin1String("Personal"), Qt::CaseInsensitive) == 0) {
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    }
    return QString();
}

} // namespace ShellFolders
