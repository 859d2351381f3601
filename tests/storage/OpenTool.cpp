// Opens the program's database file with the data module as the program does at its start, writes rows tagged
// with a name, and reports, so that a test can start several of these at once on one file.
// Usage: OpenTool <database path> <tag> <rows>. Prints "READY", then waits for a line on standard input before it
// opens the file.
// Prints "OPENED <device:inode>" once the file is open, "WARN <text>" for every warning shown, and
// "FILE <device:inode>" after the rows were written; exits 0, or 3 when the file did not open, 4 when the rows
// were not written.
#include "storage/engine/TRowSet.h"
#include "storage/uDataModule.h"
#include "tests/storage/TWarningRecorder.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <iostream>
#include <string>
#include <sys/stat.h>

namespace {
QByteArray Identity(const QString& path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return "none";
    }
    return QByteArray::number(static_cast<qulonglong>(info.st_dev)) + ':'
        + QByteArray::number(static_cast<qulonglong>(info.st_ino));
}

bool WriteRows(TDM& dm, const QString& tag, int count, QString* error)
{
    if (!dm.OpenGoodsQuery(error)) {
        return false;
    }
    TRowSet& rows = *dm.qrGoodsList();
    for (int i = 0; i < count; ++i) {
        if (!rows.Append(error)) {
            return false;
        }
        rows.SetValue(rows.FieldIndex(QStringLiteral("keyname")), tag);
        rows.SetValue(rows.FieldIndex(QStringLiteral("title")), QStringLiteral("%1 %2").arg(tag).arg(i));
        rows.Post();
    }
    return dm.ApplyGoodsRows(error);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString tag = QString::fromLocal8Bit(argv[2]);
    std::printf("READY\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    TWarningRecorder warnings;
    TDM dm;
    dm.PrepareDatabase(path); // as the program's start does: a file already there is opened early
    QString error;
    int status = 0;
    if (!dm.OpenDatabase(path, &error)) {
        std::printf("FAIL %s\n", error.toUtf8().constData());
        status = 3;
    } else {
        std::printf("OPENED %s\n", Identity(path).constData());
        std::fflush(stdout);
        if (!WriteRows(dm, tag, QString::fromLocal8Bit(argv[3]).toInt(), &error)) {
            std::printf("FAIL %s\n", error.toUtf8().constData());
            status = 4;
        }
        std::printf("FILE %s\n", Identity(path).constData());
    }
    for (const QString& text : warnings.Texts) {
        std::printf("WARN %s\n", text.toUtf8().constData());
    }
    return status;
}
