#include "storage/uConst.h"

#include "platform/ShellFolders.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

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

// Removes the permissions of group and others: the collected data is the user's alone. Only an entry of the kind
// the program makes there is changed: a folder found where a file belongs (or a link, a device) is left as it is,
// so that its owner can still enter it.
static void KeepPrivate(const QString& path, mode_t kind, mode_t keep)
{
    struct stat info
    {
    };
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) == 0 && (info.st_mode & S_IFMT) == kind && (info.st_mode & 077) != 0) {
        ::chmod(name.constData(), info.st_mode & keep);
    }
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
    QDir().mkpath(WithTrailingSeparator(documentsFolder));
    QDir().mkdir(DataDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    KeepPrivate(DataDir, S_IFDIR, 0700);
    for (const QString& file : {DbPath, DbPath + QStringLiteral("-wal"), DbPath + QStringLiteral("-shm"),
                                DbPath + QStringLiteral("-journal"), IniPath}) {
        KeepPrivate(file, S_IFREG, 0600);
    }
}

void InitPaths()
{
    ShellFolders::EnsureHomeFolder();
    InitPaths(GetPersonalFolder());
}
