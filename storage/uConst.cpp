#include "storage/uConst.h"

#include "platform/ShellFolders.h"

#include <QDir>

QString DataDir;
QString DbPath;
QString IniPath;

namespace {
const QChar Separator = QLatin1Char('/');
}

static QString WithTrailingSeparator(QString path)
{
    if (!path.endsWith(Separator)) {
        path.append(Separator);
    }
    return path;
}

QString GetShellFolder(const QString& name)
{
    return WithTrailingSeparator(ShellFolders::Lookup(name));
}

QString GetPersonalFolder()
{
    return GetShellFolder(QStringLiteral("Personal"));
}

void SetPaths(const QString& documentsFolder)
{
    DataDir = WithTrailingSeparator(documentsFolder) + QStringLiteral("softcfg/");
    DbPath = DataDir + QStringLiteral("gleanbox.db");
    IniPath = DataDir + QStringLiteral("gleanbox.ini");
}

void InitPaths(const QString& documentsFolder)
{
    SetPaths(documentsFolder);
    QDir().mkpath(DataDir);
}

void InitPaths()
{
    InitPaths(GetPersonalFolder());
}
