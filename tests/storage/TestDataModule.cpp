#include "platform/ProgramResources.h"
#include "storage/TDatabaseLock.h"
#include "storage/TDatabaseMessage.h"
#include "storage/TLibrarySchema.h"
#include "storage/TRunSchema.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"
#include "tests/TestPaths.h"
#include "tests/storage/TWarningRecorder.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
QStringList Tables(TDM& dm)
{
    QStringList tables;
    QString error;
    dm.conn()->Tables(&tables, &error);
    return tables;
}

QVariant Scalar(TDM& dm, const QString& sql)
{
    QString error;
    std::unique_ptr<TRowSet> query = dm.DBFunc()->CreateQuery(sql, &error);
    return query != nullptr && query->RowCount() > 0 ? query->Value(0, 0) : QVariant(error);
}

bool RunOnFile(const QString& path, const QStringList& statements)
{
    TConnection connection;
    QString error;
    if (!connection.Open(TDBFunc::ConnectionString(path, TDBFunc::Password()), &error)) {
        qWarning() << error;
        return false;
    }
    for (const QString& sql : statements) {
        if (!connection.Execute(sql, &error)) {
            qWarning() << sql << error;
            return false;
        }
    }
    return true;
}
} // namespace

class TestDataModule : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void scriptResourceIsByteExact();
    void scriptSplitsAtSemicolons();
    void newFileGetsSchema();
    void startCases_data();
    void startCases();
    void unreadableFileFailsOpen();
    void emptyFileIsCreatedAnew();
    void openWaitsForLockOfAnotherProgram_data();
    void openWaitsForLockOfAnotherProgram();
    void lockHeldTooLongFailsOpenWithReason();
    void newFileIsPrivate();
    void goodsQueryFieldsAndHeaders();
    void openGoodsQueryEmptiesRows();
    void goodsQueryNeedsOpenDatabase();

private:
    void CreateFile();

    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestDataModule::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("gleanbox.db"));
}

void TestDataModule::cleanup()
{
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

void TestDataModule::CreateFile()
{
    TDM dm;
    QString error;
    QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
    dm.CloseDatabase();
}

void TestDataModule::scriptResourceIsByteExact()
{
    TDM::LoadSqlScript(QStringLiteral("data"), QStringLiteral("sql")); // registers the resource
    QByteArray bytes;
    QVERIFY(ProgramResources::Find(QStringLiteral("dAtA"), QStringLiteral("Sql"), &bytes));
    QCOMPARE(bytes.size(), 922);
    QCOMPARE(bytes.count("\r\n"), 21);
    QCOMPARE(bytes.count('\n'), 21);
    QVERIFY(bytes.endsWith(");"));
    QCOMPARE(bytes, ReadFileBytes(QStringLiteral(MERCATIX_SOURCE_DIR "/storage/schema.sql")));
    QVERIFY(!ProgramResources::Find(QStringLiteral("data"), QStringLiteral("txt"), &bytes));
    QVERIFY(!ProgramResources::Find(QStringLiteral("other"), QStringLiteral("sql"), &bytes));
}

void TestDataModule::scriptSplitsAtSemicolons()
{
    const QStringList statements = TDM::LoadSqlScript(QStringLiteral("DATA"), QStringLiteral("SQL"));
    QCOMPARE(statements.size(), 2);
    QVERIFY(statements.at(0).startsWith(QStringLiteral(
        "CREATE TABLE `goodslist` (   id COUNTER CONSTRAINT PK_goodslistLevel26 PRIMARY KEY,  `keyname`")));
    QVERIFY(statements.at(0).endsWith(QStringLiteral("DEFAULT NULL,  `pid` varchar(20) DEFAULT NULL);")));
    QCOMPARE(statements.at(1),
             QStringLiteral("create table dSysCfg(ID COUNTER CONSTRAINT PK_dSysCfgLevel26 PRIMARY KEY,    \tGroupKey "
                            "varchar(50),  GroupCode varchar(250),  GroupValue varchar(50), Status integer,  \tItemKey "
                            "varchar(30), ItemCode varchar(30), ItemValue varchar(50), ItemText memo );"));
    QCOMPARE(statements.join(QString()).size(), 922 - 21 * 2);
    QVERIFY(TDM::LoadSqlScript(QStringLiteral("missing"), QStringLiteral("sql")).isEmpty());
}

void TestDataModule::newFileGetsSchema()
{
    TDM dm;
    QString error;
    QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
    QCOMPARE(Tables(dm).mid(0, 3), (QStringList{"userver", "goodslist", "dSysCfg"}));
    for (const char* table : {"goodslist_fts", "collectrun", "watchlist", "alertlog"}) {
        QVERIFY2(Tables(dm).contains(QLatin1String(table)), table);
    }
    QVERIFY(!Tables(dm).contains(QStringLiteral("bb")));
    QVERIFY(TRunSchema::IsInPlace(dm.conn()));
    QCOMPARE(dm.DBFunc()->Version(), QStringLiteral("1.0.3"));
    QCOMPARE(Scalar(dm, QStringLiteral("select verno from userver")).toString(), QStringLiteral("1.0.3"));
    QCOMPARE(Scalar(dm, QStringLiteral("select count(*) from userver")).toInt(), 1);
    QVERIFY(dm.DBFunc()->ExecuteSql(QStringLiteral("insert into goodslist(title) values('a')")));
    QVERIFY(dm.DBFunc()->ExecuteSql(QStringLiteral("insert into goodslist(title) values('b')")));
    QCOMPARE(Scalar(dm, QStringLiteral("select max(id) from goodslist")).toInt(), 2);
    QVERIFY(dm.DBFunc()->ExecuteSql(QStringLiteral("insert into dSysCfg(ItemText) values('t')")));
    QCOMPARE(Scalar(dm, QStringLiteral("select ID from dSysCfg")).toInt(), 1);
    dm.CloseDatabase();
    const QByteArray bytes = ReadFileBytes(m_path);
    QVERIFY(!bytes.startsWith("SQLite format 3"));
    QVERIFY(!bytes.contains("goodslist"));
}

void TestDataModule::startCases_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("hasBb");
    QTest::addColumn<bool>("fileUnchanged");
    QTest::addColumn<bool>("goodsQueryOpens");
    QTest::newRow("at 1.0.3") << QStringList() << "1.0.3" << false << true << true;
    QTest::newRow("at 1.0.2") << RunRecordsRemoval() + QStringList{"update userver set verno='1.0.2'"} << "1.0.3"
                              << false << false << true;
    QTest::newRow("at 1.0.1") << QStringList{"update userver set verno='1.0.1'", "drop table goodslist_fts"} << "1.0.3"
                              << false << false << true;
    QTest::newRow("at 1.0") << QStringList{"update userver set verno='1.0'"} << "1.0.3" << true << false << true;
    // A file that lacks tables of the schema gets them; the tables it has stay as they are.
    QTest::newRow("no userver, no goodslist")
        << QStringList{"drop table userver", "drop table goodslist"} << "1.0.3" << true << false << true;
    QTest::newRow("no goodslist") << QStringList{"drop table goodslist"} << "1.0.3" << false << false << true;
    QTest::newRow("no dSysCfg") << QStringList{"drop table dSysCfg"} << "1.0.3" << false << false << true;
    QTest::newRow("no watchlist") << QStringList{"drop table watchlist"} << "1.0.3" << false << false << true;
    QTest::newRow("at 0.9") << QStringList{"update userver set verno='0.9'"} << "0.9" << false << true << true;
    QTest::newRow("empty userver") << QStringList{"delete from userver"} << "" << false << true << true;
    QTest::newRow("at 2.0") << QStringList{"update userver set verno='2.0'"} << "2.0" << false << true << true;
}

void TestDataModule::startCases()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, version);
    QFETCH(bool, fileUnchanged);
    CreateFile();
    QVERIFY(RunOnFile(m_path, setup));
    const QByteArray before = ReadFileBytes(m_path);
    for (int start = 1; start <= 2; ++start) {
        TDM dm;
        QString error;
        QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
        QCOMPARE(dm.DBFunc()->Version(), version);
        QCOMPARE(Scalar(dm, QStringLiteral("select count(*) from userver")).toInt(), version.isEmpty() ? 0 : 1);
        QTEST(Tables(dm).contains(QStringLiteral("bb")), "hasBb");
        QTEST(dm.OpenGoodsQuery(&error), "goodsQueryOpens");
        QVERIFY(Tables(dm).contains(QStringLiteral("goodslist")) && Tables(dm).contains(QStringLiteral("dSysCfg")));
        // A goods table made anew gets its search index and triggers back.
        QVERIFY(version != QLatin1String(TRunSchema::Version)
                || (TLibrarySchema::IsInPlace(dm.conn()) && TRunSchema::IsInPlace(dm.conn())));
        dm.CloseDatabase();
        if (start == 1) {
            QCOMPARE(ReadFileBytes(m_path) == before, fileUnchanged);
        }
    }
    // The second start found the file at its final state and ran nothing.
    const QByteArray settled = ReadFileBytes(m_path);
    {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
    }
    QCOMPARE(ReadFileBytes(m_path), settled);
}

void TestDataModule::unreadableFileFailsOpen()
{
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x13'));
    file.close();
    TDM dm;
    QString error;
    QVERIFY(!dm.OpenDatabase(m_path, &error));
    QCOMPARE(error, TDatabaseMessage::Text(QStringLiteral("file is not a database"), m_path));
    QCOMPARE(ReadFileBytes(m_path), QByteArray(4096, '\x13'));
}

// What a crash right after creating the file leaves: it is made anew with its schema, on this start and the next.
void TestDataModule::emptyFileIsCreatedAnew()
{
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    for (int start = 1; start <= 2; ++start) {
        TDM dm;
        QString error;
        QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
        const QStringList tables = Tables(dm);
        for (const char* table : {"userver", "goodslist", "dSysCfg", "goodslist_fts"}) {
            QVERIFY2(tables.contains(QLatin1String(table)), table);
        }
        QCOMPARE(dm.DBFunc()->Version(), QStringLiteral("1.0.3"));
        QVERIFY2(dm.OpenGoodsQuery(&error), qPrintable(error));
    }
    QVERIFY(!ReadFileBytes(m_path).startsWith("SQLite format 3")); // encrypted like any new file
}

void TestDataModule::openWaitsForLockOfAnotherProgram_data()
{
    QTest::addColumn<bool>("ended"); // the holder ended without letting the lock go (a crash)
    QTest::newRow("held, then let go") << false;
    QTest::newRow("left by a program that ended") << true;
}

// While another program holds the lock beside the file, a start waits for it and then opens the file that
// program made; a lock whose program has ended is taken over at once.
void TestDataModule::openWaitsForLockOfAnotherProgram()
{
    QFETCH(bool, ended);
    const QString lockPath = TDatabaseLock::LockPath(m_path);
    QCOMPARE(QFileInfo(lockPath).fileName(), QStringLiteral("gleanbox.db.lock"));
    QLockFile held(lockPath);
    std::thread maker;
    if (ended) {
        const pid_t child = fork();
        if (child == 0) {
            QLockFile lock(lockPath);
            _exit(lock.tryLock(0) ? 0 : 1); // ends holding it
        }
        int status = -1;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QVERIFY(QFileInfo::exists(lockPath));
    } else {
        QVERIFY(held.tryLock(0));
        // The other program makes the file while it holds the lock, slowly.
        maker = std::thread([this, &held]() {
            QString ignored;
            TConnection::CreateDatabase(TDBFunc::ConnectionString(m_path, TDBFunc::Password()), &ignored);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            held.unlock();
        });
    }
    QElapsedTimer clock;
    clock.start();
    if (!ended) {
        QVERIFY(QTest::qWaitFor([this]() { return QFileInfo(m_path).size() > 0; }, 900));
    }
    const QByteArray made = ReadFileBytes(m_path).left(16); // the salt of the file being made, if any
    {
        TDM dm;
        QString error;
        const bool opened = dm.OpenDatabase(m_path, &error);
        if (maker.joinable()) {
            maker.join();
        }
        QVERIFY2(opened, qPrintable(error));
        QVERIFY2(dm.OpenGoodsQuery(&error), qPrintable(error));
    }
    const qint64 elapsed = clock.elapsed();
    if (ended) {
        QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
    } else {
        QVERIFY2(elapsed >= 900, qPrintable(QString::number(elapsed)));
        QCOMPARE(ReadFileBytes(m_path).left(16), made); // that file, not one made anew
    }
    QVERIFY(!QFileInfo::exists(lockPath));
}

void TestDataModule::lockHeldTooLongFailsOpenWithReason()
{
    QLockFile held(TDatabaseLock::LockPath(m_path));
    QVERIFY(held.tryLock(0));
    TDatabaseLock lock(m_path);
    QString error;
    QVERIFY(!lock.Acquire(&error, 300));
    QVERIFY2(error.contains(m_path) && error.contains(QStringLiteral("另一个程序")), qPrintable(error));
    held.unlock();
    QVERIFY(lock.Acquire(&error, 300));
}

void TestDataModule::newFileIsPrivate()
{
    TDM dm;
    QString error;
    QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
    QVERIFY(dm.DBFunc()->ExecuteSql(QStringLiteral("insert into goodslist(title) values('a')")));
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    for (const QString& path : {m_path, m_path + QStringLiteral("-wal")}) {
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser), owner);
    }
}

void TestDataModule::goodsQueryFieldsAndHeaders()
{
    TDM dm;
    QAbstractItemModelTester tester(dm.dsGoodsList(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QString error;
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QVERIFY2(dm.OpenGoodsQuery(&error), qPrintable(error));
    const QStringList titles{"id",   "goodstypeno", "标题",     "图片", "详细",   "价格", "运费", "原价",
                             "地点", "淘宝号",      "旺旺昵称", "店铺", "评价数", "nid",  "pid",  "keyname"};
    const QStringList names{
        "id",       "goodstypeno", "title", "pic_url",  "detail_url",    "view_price", "view_fee", "reserve_price",
        "item_loc", "user_id",     "nick",  "shopLink", "comment_count", "nid",        "pid",      "keyname"};
    QAbstractItemModel* model = dm.dsGoodsList();
    QCOMPARE(model->columnCount(), 16);
    QCOMPARE(model->rowCount(), 0);
    for (int column = 0; column < 16; ++column) {
        QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), titles.at(column));
        QCOMPARE(model->headerData(column, Qt::Horizontal, TRowSetModel::FieldNameRole).toString(), names.at(column));
        QCOMPARE(model->headerData(column, Qt::Horizontal, TRowSetModel::DisplayWidthRole).toInt(), 20);
    }
    const TRowSet& query = *dm.qrGoodsList();
    QCOMPARE(query.Field(0).DataType, TField::Counter);
    QCOMPARE(query.Field(2).Size, 100);
    QCOMPARE(query.Field(8).Size, 45);
    QCOMPARE(query.Field(5).DataType, TField::Float);
    QCOMPARE(query.Field(12).DataType, TField::Integer);
}

void TestDataModule::openGoodsQueryEmptiesRows()
{
    TDM dm;
    QAbstractItemModelTester tester(dm.dsGoodsList(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QString error;
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QVERIFY(dm.OpenGoodsQuery(&error));
    TRowSet& query = *dm.qrGoodsList();
    for (int i = 0; i < 3; ++i) {
        QVERIFY(query.Append(&error));
        query.SetValue(query.FieldIndex(QStringLiteral("title")), QStringLiteral("t%1").arg(i));
        query.Post();
    }
    QVERIFY(dm.ApplyGoodsRows(&error));
    QVERIFY(query.Append(&error));
    query.Post(); // one row never applied
    QCOMPARE(dm.dsGoodsList()->rowCount(), 4);
    QVERIFY(dm.OpenGoodsQuery(&error));
    QCOMPARE(query.RowCount(), 0);
    QCOMPARE(dm.dsGoodsList()->rowCount(), 0);
    QCOMPARE(dm.dsGoodsList()->columnCount(), 16);
    QCOMPARE(Scalar(dm, QStringLiteral("select count(*) from goodslist")).toInt(), 3);
}

void TestDataModule::goodsQueryNeedsOpenDatabase()
{
    TDM dm;
    QString error;
    QVERIFY(!dm.OpenGoodsQuery(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QVERIFY(dm.OpenGoodsQuery(&error));
    dm.CloseDatabase();
    QVERIFY(!dm.qrGoodsList()->IsOpen());
    QVERIFY(!dm.OpenGoodsQuery(&error));
}

QTEST_GUILESS_MAIN(TestDataModule)
#include "TestDataModule.moc"
