// The settings file reader and writer over an arbitrary file. The first line of the input names the section
// and the key the operations use ("section=key"); the rest is the file.
#include "platform/TProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {
const QString& FilePath()
{
    // Every write ends in a sync; in memory that costs nothing, so the run tries many more inputs.
    static QTemporaryDir* dir = QDir(QStringLiteral("/dev/shm")).exists()
        ? new QTemporaryDir(QStringLiteral("/dev/shm/mercatix-fuzz-XXXXXX"))
        : new QTemporaryDir;
    static const QString path = dir->filePath(QStringLiteral("fuzz.ini"));
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype newline = input.indexOf('\n');
    const QByteArray names = newline < 0 ? input : input.left(newline);
    const qsizetype eq = names.indexOf('=');
    const QString section = QString::fromLatin1(eq < 0 ? names : names.left(eq));
    const QString key = QString::fromLatin1(eq < 0 ? QByteArray("Left") : names.mid(eq + 1));
    QFile file(FilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 0;
    }
    file.write(newline < 0 ? QByteArray() : input.mid(newline + 1));
    file.close();

    TProfileFile ini(FilePath());
    ini.ReadString(section, key, QStringLiteral("默认"));
    ini.ReadInteger(section, key, 3);
    TProfileFile::CutValue(input);
    ini.WriteString(section, key, QStringLiteral("值=1"));
    if (ini.ReadString(section, key, QString()) != QStringLiteral("值=1") && !section.isEmpty() && !key.isEmpty()) {
        // Only names the file format cannot hold (with brackets, line ends, "=" or outer blanks) may read back
        // differently; anything else means a write was lost.
        const bool awkward = section.contains(QLatin1Char(']')) || section.contains(QLatin1Char('\r'))
            || section.contains(QLatin1Char('\n')) || key.contains(QLatin1Char('=')) || key.contains(QLatin1Char('\r'))
            || key.contains(QLatin1Char('\n')) || section.trimmed() != section || key.trimmed() != key
            || key.startsWith(QLatin1Char(';')) || key.startsWith(QLatin1Char('['));
        if (!awkward) {
            qFatal("a written value did not read back");
        }
    }
    ini.EraseSection(section);
    return 0;
}
