#include "platform/ProgramResources.h"

#include <QDir>
#include <QFile>

namespace {
// The entry of a resource folder whose name equals the given one without regard to case.
QString FindEntry(const QString& folder, const QString& name, QDir::Filters filters)
{
    const QStringList entries = QDir(folder).entryList(filters);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return folder + entry;
        }
    }
    return QString();
}
} // namespace

namespace ProgramResources {

bool Find(const QString& name, const QString& type, QByteArray* data)
{
    if (name.isEmpty() || type.isEmpty()) {
        return false;
    }
    const QString typeFolder = FindEntry(QStringLiteral(":/"), type, QDir::Dirs);
    if (typeFolder.isEmpty()) {
        return false;
    }
    const QString path = FindEntry(typeFolder + QLatin1Char('/'), name, QDir::Files);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    *data = file.readAll();
    return true;
}

} // namespace ProgramResources
