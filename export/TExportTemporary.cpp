#include "export/TExportTemporary.h"

#include "platform/TSystemError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
const int Attempts = 100;

QString RandomPart()
{
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString part;
    for (int i = 0; i < 6; ++i) {
        part += QLatin1Char(Letters[QRandomGenerator::global()->bounded(int(sizeof(Letters) - 1))]);
    }
    return part;
}

bool ProcessEnded(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool SyncPath(const QByteArray& path, int flags)
{
    const int fd = ::open(path.constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    const int failure = errno;
    ::close(fd);
    errno = failure;
    return synced;
}
} // namespace

bool TExportTemporary::Create(const QString& target, QString* temporary, QString* error)
{
    const QFileInfo info(target);
    const QString prefix = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.')
        + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-');
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        const QString name = prefix + RandomPart() + QStringLiteral(".part");
        const QByteArray bytes = QFile::encodeName(name);
        const int fd = ::open(bytes.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            *temporary = name;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    *error = TSystemError::Last();
    return false;
}

bool TExportTemporary::Replace(const QString& temporary, const QString& target, QString* error)
{
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(QFileInfo(target).absoluteFilePath());
    // rename() replaces an existing file in one step, so the path never holds a partial file.
    if (!SyncPath(from, O_RDONLY) || std::rename(from.constData(), to.constData()) != 0) {
        *error = TSystemError::Last();
        return false;
    }
    SyncPath(QFile::encodeName(QFileInfo(target).absolutePath()), O_RDONLY | O_DIRECTORY);
    return true;
}

void TExportTemporary::RemoveStale(const QString& folder)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (ProcessEnded(WriterOf(name))) {
            QFile::remove(dir.filePath(name));
        }
    }
}

qint64 TExportTemporary::WriterOf(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.(\\d{1,10})-[A-Za-z0-9]{6}\\.part$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}
