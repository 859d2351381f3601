#include "platform/TAtomicFile.h"

#include "platform/TSystemError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

bool Fail(int failure, QString* error, int* errnum)
{
    *error = TSystemError::Text(failure);
    if (errnum != nullptr) {
        *errnum = failure;
    }
    return false;
}

// The rename itself reaches the disk only with the folder's entries.
void SyncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

bool TAtomicFile::Write(const QString& path, const QByteArray& bytes, QString* error, int* errnum)
{
    const QFileInfo target(path);
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const QByteArray finalName = QFile::encodeName(target.absoluteFilePath());
    QByteArray temporary = folder + "/." + QFile::encodeName(target.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC); // mode 0600
    if (fd < 0) {
        return Fail(errno, error, errnum);
    }
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    int failure = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok && std::rename(temporary.constData(), finalName.constData()) != 0) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return Fail(failure, error, errnum);
    }
    SyncFolder(folder);
    return true;
}
