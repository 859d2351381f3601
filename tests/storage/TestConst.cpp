#include "platform/ShellFolders.h"
#include "storage/uConst.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
mode_t Mode(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

void Create(const QString& path, mode_t mode)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
}
} // namespace

class TestConst : public QObject
{
    Q_OBJECT

private slots:
    void initPaths_data();
    void initPaths();
    void emptyDocumentsFolder();
    void dataFolderIsPrivate();
    void existingFilesAreTightened();
    void foldersAtFilePathsKeepTheirMode_data();
    void foldersAtFilePathsKeepTheirMode();
    void homeFromThePasswordDatabase();
};

void TestConst::initPaths_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("without trailing separator") << QString();
    QTest::newRow("with trailing separator") << QStringLiteral("/");
}

void TestConst::initPaths()
{
    QFETCH(QString, suffix);
    QTemporaryDir documents;
    InitPaths(documents.path() + suffix);
    const QString expected = documents.path() + QStringLiteral("/softcfg/");
    QCOMPARE(DataDir, expected);
    QCOMPARE(DbPath, expected + QStringLiteral("gleanbox.db"));
    QCOMPARE(IniPath, expected + QStringLiteral("gleanbox.ini"));
    QVERIFY(QDir(expected).exists());
}

// An empty documents folder puts the data folder at the root; the paths are checked without creating it.
void TestConst::emptyDocumentsFolder()
{
    const bool existed = QDir(QStringLiteral("/softcfg")).exists();
    SetPaths(QString());
    QCOMPARE(DataDir, QStringLiteral("/softcfg/"));
    QCOMPARE(DbPath, QStringLiteral("/softcfg/gleanbox.db"));
    QCOMPARE(IniPath, QStringLiteral("/softcfg/gleanbox.ini"));
    QCOMPARE(QDir(QStringLiteral("/softcfg")).exists(), existed);
}

void TestConst::dataFolderIsPrivate()
{
    QTemporaryDir documents;
    InitPaths(documents.path() + QStringLiteral("/Documents"));
    QCOMPARE(Mode(DataDir), mode_t(0700));
}

void TestConst::existingFilesAreTightened()
{
    QTemporaryDir documents;
    const QString folder = documents.path() + QStringLiteral("/softcfg/");
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    Create(folder + QStringLiteral("gleanbox.db"), 0644);
    Create(folder + QStringLiteral("gleanbox.db-wal"), 0664);
    Create(folder + QStringLiteral("gleanbox.ini"), 0666);
    Create(folder + QStringLiteral("other.txt"), 0644);
    InitPaths(documents.path());
    QCOMPARE(Mode(DataDir), mode_t(0700));
    QCOMPARE(Mode(DbPath), mode_t(0600));
    QCOMPARE(Mode(DbPath + QStringLiteral("-wal")), mode_t(0600));
    QCOMPARE(Mode(IniPath), mode_t(0600));
    QCOMPARE(Mode(folder + QStringLiteral("other.txt")), mode_t(0644)); // not the program's
}

// Only files are made private: a folder where a data file belongs stays enterable by its owner, and what is in
// it is left alone.
void TestConst::foldersAtFilePathsKeepTheirMode_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("database") << QStringLiteral("gleanbox.db");
    QTest::newRow("write-ahead log") << QStringLiteral("gleanbox.db-wal");
    QTest::newRow("settings") << QStringLiteral("gleanbox.ini");
}

void TestConst::foldersAtFilePathsKeepTheirMode()
{
    QFETCH(QString, name);
    QTemporaryDir documents;
    const QString folder = documents.path() + QStringLiteral("/softcfg/") + name;
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    Create(folder + QStringLiteral("/inside.txt"), 0644);
    InitPaths(documents.path());
    QCOMPARE(Mode(folder), mode_t(0755));
    QCOMPARE(Mode(folder + QStringLiteral("/inside.txt")), mode_t(0644));
    QCOMPARE(Mode(DataDir), mode_t(0700));
}

void TestConst::homeFromThePasswordDatabase()
{
    const QByteArray saved = qgetenv("HOME");
    qunsetenv("HOME");
    ShellFolders::EnsureHomeFolder();
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", saved);
    const passwd* user = ::getpwuid(::getuid());
    QVERIFY(user != nullptr);
    QCOMPARE(home, QByteArray(user->pw_dir));
}

QTEST_GUILESS_MAIN(TestConst)
#include "TestConst.moc"
