#include "app/uStartup.h"
#include "storage/TRunSchema.h"
#include "storage/engine/TConnection.h"
#include "storage/uConst.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"
#include "ui/TApplication.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

namespace {
void PlantFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

// Starts with data files planted before the program starts.
class TestDataFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dataFolderIsAPlainFile();
    void runIsRefusedWhenTheDatabaseDidNotOpen();
    void emptyDatabaseFileStartsNormally();
    void folderAtTheDatabasePath();
    void largeOldFileUpgradesWhileTheWindowLives();
    void closeRequestDuringTheUpgradeWaitsForIt();
};

void TestDataFiles::init()
{
    TMainFormFixture::RemoveDataFiles();
    QVERIFY(QDir().mkpath(DataDir));
}

void TestDataFiles::cleanup()
{
    const QString folder = QDir::cleanPath(DataDir);
    if (!QFileInfo(folder).isDir()) {
        QFile::remove(folder);
        InitPaths(QFileInfo(folder).path());
    }
}

void TestDataFiles::dataFolderIsAPlainFile()
{
    const QString folder = QDir::cleanPath(DataDir);
    QVERIFY(QDir(folder).removeRecursively());
    PlantFile(folder, "not a folder");
    InitPaths(QFileInfo(folder).path());
    TMainFormFixture fixture;
    fixture.Start();
    QCOMPARE(fixture.Boxes().size(), 1);
    const QString box = fixture.Boxes().first();
    QVERIFY2(box.contains(QDir::toNativeSeparators(folder)) && box.contains(QStringLiteral("不是文件夹")),
             qPrintable(box));
    QCOMPARE(ReadFileBytes(folder), QByteArray("not a folder"));
}

void TestDataFiles::runIsRefusedWhenTheDatabaseDidNotOpen()
{
    PlantFile(DbPath, QByteArray(4096, 'x'));
    TFakeMarketplace server;
    QVERIFY(server.Start());
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start(TMainFormFixture::LocalRun(server.Host()));
    fixture.ClearBoxes();
    form->RzBitBtn1->click();
    QCOMPARE(fixture.Boxes().size(), 1);
    const QString box = fixture.Boxes().first();
    QVERIFY2(box.startsWith(QStringLiteral("采集|不能采集：数据库没有打开。\n")) && box.contains(DbPath)
                 && box.contains(QStringLiteral("不是本程序的数据库"))
                 && box.endsWith(QStringLiteral("详细信息：file is not a database")),
             qPrintable(box));
    QTest::qWait(200);
    QVERIFY(server.Requests().isEmpty());
    QVERIFY(form->RzMemo2->toPlainText().isEmpty());
    QCOMPARE(ReadFileBytes(DbPath), QByteArray(4096, 'x'));
}

void TestDataFiles::emptyDatabaseFileStartsNormally()
{
    PlantFile(DbPath, QByteArray());
    TMainFormFixture fixture;
    fixture.Start();
    QCOMPARE(fixture.Boxes(), QStringList());
    fixture.Restart();
    QCOMPARE(fixture.Boxes(), QStringList());
    QVERIFY(QFileInfo(DbPath).size() > 0);
}

// A folder where the database file belongs: the start says so in Chinese with the path and what to do, and the
// folder keeps its mode, so that its owner can still enter it.
void TestDataFiles::folderAtTheDatabasePath()
{
    QVERIFY(QDir().mkpath(DbPath));
    const auto remove = qScopeGuard([]() { QDir().rmdir(DbPath); });
    QVERIFY(QFile::setPermissions(DbPath,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                      | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    const QFile::Permissions mode = QFile::permissions(DbPath);
    InitPaths(QFileInfo(QDir::cleanPath(DataDir)).path());
    TMainFormFixture fixture;
    fixture.Start();
    QCOMPARE(fixture.Boxes().size(), 1);
    const QString box = fixture.Boxes().first();
    QVERIFY2(box.contains(QStringLiteral("数据库文件的位置 %1 上是一个文件夹").arg(DbPath))
                 && box.contains(QStringLiteral("请移走这个文件夹"))
                 && box.contains(QStringLiteral("详细信息：Could not find file")),
             qPrintable(box));
    fixture.Stop();
    QCOMPARE(QFile::permissions(DbPath), mode);
}

// A large file of the version before the search index: its upgrade runs while the window's event loop goes on
// with the progress window up, and start-up then ends initialised over the upgraded file.
void TestDataFiles::largeOldFileUpgradesWhileTheWindowLives()
{
    QString error;
    QVERIFY2(MakeFileBeforeSearchIndex(DbPath, 40000, &error), qPrintable(error));
    int ticksWithProgress = 0;
    QTimer timer;
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, [&ticksWithProgress]() {
        if (MainForm != nullptr
            && MainForm->findChild<QProgressDialog*>(QStringLiteral("UpgradeProgress")) != nullptr) {
            ++ticksWithProgress;
        }
    });
    timer.start();
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    timer.stop();
    QVERIFY(ticksWithProgress > 0);
    QVERIFY(form->findChild<QProgressDialog*>(QStringLiteral("UpgradeProgress")) == nullptr);
    QCOMPARE(fixture.Boxes(), QStringList());
    QVERIFY(form->isVisible());
    QCOMPARE(QueryDatabaseFile(DbPath, QStringLiteral("SELECT verno FROM userver")).toString(),
             QStringLiteral("1.0.3"));
    QCOMPARE(QueryDatabaseFile(DbPath, QStringLiteral("SELECT count(*) FROM goodslist_fts")).toLongLong(), 40000);
}

// A termination signal while the start upgrades the file: the upgrade ends first, on a connection nothing closes
// under it, and then the window closes as its user would close it.
void TestDataFiles::closeRequestDuringTheUpgradeWaitsForIt()
{
    QString error;
    QVERIFY2(MakeFileBeforeSearchIndex(DbPath, 40000, &error), qPrintable(error));
    bool requested = false;
    QTimer timer;
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, [&requested]() {
        if (!requested && MainForm != nullptr
            && MainForm->findChild<QProgressDialog*>(QStringLiteral("UpgradeProgress")) != nullptr) {
            requested = true;
            MainForm->CloseOnRequest();
        }
    });
    timer.start();
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    timer.stop();
    QVERIFY(requested);
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(!fixture.Dm()->conn()->IsOpen());
    QCOMPARE(fixture.Boxes(), QStringList());
    QVERIFY(QFileInfo(IniPath).size() > 0); // the settings were loaded, and so they were saved
    QCOMPARE(QueryDatabaseFile(DbPath, QStringLiteral("SELECT verno FROM userver")).toString(),
             QString::fromLatin1(TRunSchema::Version));
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestDataFiles test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}

#include "TestDataFiles.moc"
