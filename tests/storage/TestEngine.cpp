#include "storage/engine/TConnection.h"
#include "storage/engine/TConnectionString.h"
#include "storage/engine/TDerivedKeys.h"
#include "storage/engine/TJetDialect.h"
#include "storage/engine/TPbkdf2Sha512.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "tests/support/TestFiles.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <future>
#include <thread>
#define SQLITE_HAS_CODEC 1
#include <openssl/evp.h>
#include <sqlcipher/sqlite3.h>

namespace {
const QString Key = QStringLiteral("k\x01y");

QString ConnectionString(const QString& path, const QString& password = Key)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2;")
        .arg(TConnectionString::Quote(path), password);
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void connectionString_data();
    void connectionString();
    void jetDialect_data();
    void jetDialect();
    void createdFileIsEncrypted();
    void createRefusesExistingFile();
    void noPasswordMeansPlainFile();
    void openFailsWithProviderMessage_data();
    void openFailsWithProviderMessage();
    void earlyConnectionIsTakenOnlyForItsFile_data();
    void earlyConnectionIsTakenOnlyForItsFile();
    void keyIsDerivedOncePerFile();
    void keysMatchTheCipherLibrarysOwn();
    void derivationMatchesGeneralPbkdf2_data();
    void derivationMatchesGeneralPbkdf2();
    void rejectedStatementKeepsConnection();
    void tablesAndColumns();
    void rowSetFields();
    void applyInsertsPendingRowsAndReadsIds();
    void failedApplyWritesNothing();
    void busyFileIsWaitedFor_data();
    void busyFileIsWaitedFor();
    void connectionCloseClosesRowSet();
    void modelFollowsRowSet();

private:
    void OpenSample(TConnection* connection);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestEngine::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("a;b.db"));
}

void TestEngine::OpenSample(TConnection* connection)
{
    QString error;
    QVERIFY2(TConnection::CreateDatabase(ConnectionString(m_path), &error), qPrintable(error));
    QVERIFY2(connection->Open(ConnectionString(m_path), &error), qPrintable(error));
    QVERIFY2(connection->Execute(QStringLiteral("create table t(id COUNTER CONSTRAINT PK_t PRIMARY KEY, "
                                                "name varchar(20), price float, n integer, note memo)"),
                                 &error),
             qPrintable(error));
}

void TestEngine::connectionString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << "Provider=P;Data Source=/a/b.db;Jet OLEDB:Database Password=pw;" << true << "/a/b.db"
                           << "pw";
    QTest::newRow("keys in other case, blanks") << " provider = P ; DATA SOURCE =  /a b.db ;jet oledb:database "
                                                   "password=pw"
                                                << true << "/a b.db"
                                                << "pw";
    QTest::newRow("double quotes keep ; and blanks")
        << "Data Source=\" /x;y.db\";Jet OLEDB:Database Password=\"p\"\"w\";" << true << " /x;y.db"
        << "p\"w";
    QTest::newRow("single quotes") << "Data Source='/x;''y.db'" << true << "/x;'y.db" << QString();
    QTest::newRow("control bytes stay") << "Jet OLEDB:Database Password=\x01z\x1f" << true << QString() << "\x01z\x1f";
    QTest::newRow("pair without =") << "Provider=P;Data Source" << false << QString() << QString();
    QTest::newRow("unclosed quote") << "Data Source=\"/x;y" << false << QString() << QString();
    QTest::newRow("text after quote") << "Data Source=\"/x\"y;" << false << QString() << QString();
}

void TestEngine::connectionString()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    TConnectionString parsed;
    QString error;
    QCOMPARE(parsed.Parse(text, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (ok) {
        QTEST(parsed.Value(QStringLiteral("data source")), "source");
        QTEST(parsed.Value(QStringLiteral("Jet OLEDB:Database Password")), "password");
        const QString quoted = TConnectionString::Quote(parsed.Value(QStringLiteral("Data Source")));
        QVERIFY(parsed.Parse(QStringLiteral("Data Source=%1;").arg(quoted), &error));
        QTEST(parsed.Value(QStringLiteral("Data Source")), "source");
    }
}

void TestEngine::jetDialect_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("counter with constraint")
        << "CREATE TABLE `g` (\n   id COUNTER CONSTRAINT PK_g PRIMARY KEY,\n  `n` varchar(10) DEFAULT NULL\n);"
        << "CREATE TABLE `g` (\n   id INTEGER CONSTRAINT PK_g PRIMARY KEY AUTOINCREMENT,\n  `n` varchar(10) DEFAULT "
           "NULL\n);";
    QTest::newRow("bare counter, memo") << "create table t(ID counter, ItemText memo )"
                                        << "create table t(ID INTEGER PRIMARY KEY AUTOINCREMENT, ItemText TEXT )";
    QTest::newRow("alter add memo") << "alter table t add c Memo"
                                    << "alter table t add c TEXT";
    QTest::newRow("columns named like the types") << "create table t(counter int, [memo] text, `counter` memo)"
                                                  << "create table t(counter int, [memo] text, `counter` TEXT)";
    QTest::newRow("literals untouched") << "create table t(c varchar(9) default 'memo counter')"
                                        << "create table t(c varchar(9) default 'memo counter')";
    QTest::newRow("other statements untouched") << "insert into t(memo) values('counter')"
                                                << "insert into t(memo) values('counter')";
    QTest::newRow("select untouched") << "select id counter from t"
                                      << "select id counter from t";
}

void TestEngine::jetDialect()
{
    QFETCH(QString, sql);
    QTEST(TJetDialect::Translate(sql), "expected");
}

void TestEngine::createdFileIsEncrypted()
{
    TConnection connection;
    OpenSample(&connection);
    connection.Close();
    const QByteArray bytes = ReadFileBytes(m_path);
    QVERIFY(bytes.size() >= 4096);
    QVERIFY(!bytes.startsWith("SQLite format 3"));
    QVERIFY(!bytes.contains("CREATE TABLE"));
    QString error;
    QVERIFY2(connection.Open(ConnectionString(m_path), &error), qPrintable(error));
    QStringList tables;
    QVERIFY(connection.Tables(&tables, &error));
    QCOMPARE(tables, QStringList{QStringLiteral("t")});
}

void TestEngine::noPasswordMeansPlainFile()
{
    QString error;
    QVERIFY2(TConnection::CreateDatabase(ConnectionString(m_path, QString()), &error), qPrintable(error));
    TConnection connection;
    QVERIFY2(connection.Open(ConnectionString(m_path, QString()), &error), qPrintable(error));
    QVERIFY2(connection.Execute(QStringLiteral("create table t(n integer)"), &error), qPrintable(error));
    connection.Close();
    QVERIFY(ReadFileBytes(m_path).startsWith("SQLite format 3"));
    QVERIFY(!connection.Open(ConnectionString(m_path), &error));
    QCOMPARE(error, QStringLiteral("file is not a database"));
}

void TestEngine::createRefusesExistingFile()
{
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a database, but mine");
    file.close();
    QString error;
    QVERIFY(!TConnection::CreateDatabase(ConnectionString(m_path), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(ReadFileBytes(m_path), QByteArray("not a database, but mine"));
    QVERIFY(!TConnection::CreateDatabase(ConnectionString(m_dir->filePath(QStringLiteral("no/dir.db"))), &error));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("no/dir.db"))));
}

void TestEngine::openFailsWithProviderMessage_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: an encrypted database with another key
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("prefetched"); // opening was started early: the failure still comes from Open
    for (const bool prefetched : {false, true}) {
        const char* early = prefetched ? ", started early" : "";
        QTest::addRow("wrong password%s", early) << QByteArray() << "file is not a database" << prefetched;
        QTest::addRow("damaged file%s", early) << QByteArray(8192, '\x5a') << "file is not a database" << prefetched;
        QTest::addRow("text file%s", early)
            << QByteArray("hello\r\nworld\r\n") << "file is not a database" << prefetched;
    }
}

void TestEngine::openFailsWithProviderMessage()
{
    QFETCH(QByteArray, content);
    QString error;
    if (content.isEmpty()) {
        QVERIFY(TConnection::CreateDatabase(ConnectionString(m_path, QStringLiteral("other")), &error));
    } else {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    TConnection connection;
    QFETCH(bool, prefetched);
    if (prefetched) {
        connection.Prefetch(ConnectionString(m_path));
    }
    QVERIFY(!connection.Open(ConnectionString(m_path), &error));
    QTEST(error, "message");
    QVERIFY(!connection.IsOpen());
}

void TestEngine::earlyConnectionIsTakenOnlyForItsFile_data()
{
    QTest::addColumn<bool>("created"); // kept open by Create, else started early by Prefetch
    QTest::addColumn<bool>("replaced"); // the file replaced by one with another password before Open
    QTest::newRow("created") << true << false;
    QTest::newRow("created, file replaced") << true << true;
    QTest::newRow("started early") << false << false;
    QTest::newRow("started early, file replaced") << false << true;
}

// A connection kept from creating the file or started early is used only for the very file it was opened
// on: a file replaced meanwhile is opened afresh and judged by its own password.
void TestEngine::earlyConnectionIsTakenOnlyForItsFile()
{
    QFETCH(bool, created);
    QFETCH(bool, replaced);
    QString error;
    TConnection connection;
    if (created) {
        QVERIFY2(connection.Create(ConnectionString(m_path), &error), qPrintable(error));
    } else {
        QVERIFY2(TConnection::CreateDatabase(ConnectionString(m_path), &error), qPrintable(error));
        connection.Prefetch(ConnectionString(m_path));
    }
    if (replaced) {
        QVERIFY(QFile::rename(m_path, m_path + QStringLiteral(".old")));
        QVERIFY(TConnection::CreateDatabase(ConnectionString(m_path, QStringLiteral("other")), &error));
    }
    const bool opened = connection.Open(ConnectionString(m_path), &error);
    QCOMPARE(opened, !replaced);
    if (opened) {
        QVERIFY2(connection.Execute(QStringLiteral("create table t(n integer)"), &error), qPrintable(error));
        connection.Close();
        TConnection again;
        QVERIFY2(again.Open(ConnectionString(m_path), &error), qPrintable(error));
        QStringList tables;
        QVERIFY(again.Tables(&tables, &error));
        QCOMPARE(tables, QStringList{QStringLiteral("t")});
    } else {
        QCOMPARE(error, QStringLiteral("file is not a database"));
    }
}

// Connections to one file share the key derived for its salt, also when they open at the same time; a new
// file of the same password has a salt of its own and so a key of its own.
void TestEngine::keyIsDerivedOncePerFile()
{
    QString error;
    const int before = TDerivedKeys::Derivations();
    QVERIFY2(TConnection::CreateDatabase(ConnectionString(m_path), &error), qPrintable(error));
    QCOMPARE(TDerivedKeys::Derivations(), before + 1);
    auto open = [this]() {
        auto connection = std::make_unique<TConnection>();
        QString failure;
        return connection->Open(ConnectionString(m_path), &failure) ? std::move(connection) : nullptr;
    };
    auto first = std::async(std::launch::async, open);
    auto second = std::async(std::launch::async, open);
    const std::unique_ptr<TConnection> a = first.get();
    const std::unique_ptr<TConnection> b = second.get();
    QVERIFY(a != nullptr && b != nullptr);
    QCOMPARE(TDerivedKeys::Derivations(), before + 1);
    QVERIFY2(a->Execute(QStringLiteral("create table t(n integer)"), &error), qPrintable(error));
    QStringList tables;
    QVERIFY(b->Tables(&tables, &error));
    QCOMPARE(tables, QStringList{QStringLiteral("t")});

    // As a raw key, the kept key opens the file too.
    const QByteArray raw = TDerivedKeys::RawKey(Key.toUtf8(), TDerivedKeys::ReadSalt(m_path));
    TConnection byKey;
    QVERIFY2(byKey.Open(ConnectionString(m_path, QString::fromLatin1(raw)), &error), qPrintable(error));
    QCOMPARE(TDerivedKeys::Derivations(), before + 1);

    const QString other = m_dir->filePath(QStringLiteral("other.db"));
    QVERIFY(TConnection::CreateDatabase(ConnectionString(other), &error));
    TConnection third;
    QVERIFY2(third.Open(ConnectionString(other), &error), qPrintable(error));
    QCOMPARE(TDerivedKeys::Derivations(), before + 2);
}

// A file created here opens with the password through the cipher library's own derivation, and a file the
// cipher library created with the password opens here: the keys are the same.
void TestEngine::keysMatchTheCipherLibrarysOwn()
{
    const QByteArray password = Key.toUtf8();
    auto openByLibrary = [&](const QString& path, const char* sql) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        const bool ok = sqlite3_key(db, password.constData(), static_cast<int>(password.size())) == SQLITE_OK
            && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return ok;
    };
    QString error;
    {
        TConnection connection;
        OpenSample(&connection);
    }
    QVERIFY(openByLibrary(m_path, "SELECT n FROM t"));
    QVERIFY(!ReadFileBytes(m_path).startsWith("SQLite format 3"));

    const QString byLibrary = m_dir->filePath(QStringLiteral("library.db"));
    QVERIFY(openByLibrary(byLibrary, "CREATE TABLE u(n integer)"));
    QVERIFY(!ReadFileBytes(byLibrary).startsWith("SQLite format 3"));
    TConnection connection;
    QVERIFY2(connection.Open(ConnectionString(byLibrary), &error), qPrintable(error));
    QStringList tables;
    QVERIFY(connection.Tables(&tables, &error));
    QCOMPARE(tables, QStringList{QStringLiteral("u")});
}

void TestEngine::derivationMatchesGeneralPbkdf2_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("salt");
    QTest::addColumn<int>("iterations");
    QTest::addColumn<int>("keyBytes");
    const QByteArray salt = QByteArray::fromHex("00ff102030405060708090a0b0c0d0e0");
    QTest::newRow("one iteration") << QByteArray("password") << QByteArray("salt") << 1 << 64;
    QTest::newRow("two iterations") << QByteArray("password") << QByteArray("salt") << 2 << 32;
    QTest::newRow("file salt") << QByteArray("k\x01y") << salt << 1000 << 32;
    QTest::newRow("empty password and salt") << QByteArray() << QByteArray() << 5 << 32;
    QTest::newRow("password of a whole block") << QByteArray(128, 'p') << salt << 3 << 32;
    QTest::newRow("password longer than a block") << QByteArray(200, '\xe4') << salt << 3 << 32;
    QTest::newRow("key over two blocks") << QByteArray("password") << salt << 7 << 100;
    QTest::newRow("key of one byte") << QByteArray("password") << salt << 7 << 1;
}

// The fast derivation gives exactly what the general PBKDF2 gives, for any password, salt and length.
void TestEngine::derivationMatchesGeneralPbkdf2()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, salt);
    QFETCH(int, iterations);
    QFETCH(int, keyBytes);
    QByteArray expected(keyBytes, Qt::Uninitialized);
    QCOMPARE(PKCS5_PBKDF2_HMAC(password.constData(), static_cast<int>(password.size()),
                               reinterpret_cast<const unsigned char*>(salt.constData()), static_cast<int>(salt.size()),
                               iterations, EVP_sha512(), keyBytes, reinterpret_cast<unsigned char*>(expected.data())),
             1);
    QCOMPARE(TPbkdf2Sha512::Derive(password, salt, iterations, keyBytes).toHex(), expected.toHex());
    QVERIFY(TPbkdf2Sha512::Derive(password, salt, 0, keyBytes).isEmpty());
}

void TestEngine::rejectedStatementKeepsConnection()
{
    TConnection connection;
    OpenSample(&connection);
    QString error;
    QVERIFY(!connection.Execute(QStringLiteral("insert into nowhere values(1)"), &error));
    QCOMPARE(error, QStringLiteral("no such table: nowhere"));
    QVERIFY(connection.IsOpen());
    QVERIFY(connection.Execute(QStringLiteral("insert into t(name) values('x')"), &error));
}

void TestEngine::tablesAndColumns()
{
    TConnection connection;
    OpenSample(&connection);
    QString error;
    QVERIFY(connection.Execute(QStringLiteral("create view v as select name from t"), &error));
    QStringList names;
    QVERIFY(connection.Tables(&names, &error));
    QCOMPARE(names, (QStringList{QStringLiteral("t"), QStringLiteral("v")})); // no sqlite_sequence
    QVERIFY(connection.Columns(QStringLiteral("T"), &names, &error));
    QCOMPARE(names.join(','), QStringLiteral("id,name,price,n,note"));
    QVERIFY(connection.Columns(QStringLiteral("missing"), &names, &error));
    QVERIFY(names.isEmpty());
}

void TestEngine::rowSetFields()
{
    TConnection connection;
    OpenSample(&connection);
    TRowSet rows;
    rows.SetConnection(&connection);
    rows.SetDisplayLabel(QStringLiteral("NAME"), QStringLiteral("Name label"));
    QString error;
    QVERIFY2(rows.Open(QStringLiteral("select * from t where 1=2"), &error), qPrintable(error));
    QCOMPARE(rows.FieldCount(), 5);
    QCOMPARE(rows.RowCount(), 0);
    QCOMPARE(rows.TableName(), QStringLiteral("t"));
    QCOMPARE(rows.Field(0).DataType, TField::Counter);
    QVERIFY(rows.Field(0).ReadOnly);
    QCOMPARE(rows.Field(1).DataType, TField::Text);
    QCOMPARE(rows.Field(1).Size, 20);
    QCOMPARE(rows.Field(1).DisplayName(), QStringLiteral("Name label"));
    QCOMPARE(rows.Field(2).DataType, TField::Float);
    QCOMPARE(rows.Field(3).DataType, TField::Integer);
    QCOMPARE(rows.Field(4).DataType, TField::Text);
    QCOMPARE(rows.Field(4).DisplayName(), QStringLiteral("note"));
    QVERIFY(!rows.Field(3).ReadOnly);
}

void TestEngine::applyInsertsPendingRowsAndReadsIds()
{
    TConnection connection;
    OpenSample(&connection);
    TRowSet rows;
    rows.SetConnection(&connection);
    QString error;
    QVERIFY(rows.Open(QStringLiteral("select * from t"), &error));
    const QString odd = QStringLiteral("it's \"quoted\"; drop table t; --\\r");
    for (int i = 0; i < 3; ++i) {
        QVERIFY(rows.Append(&error));
        rows.SetValue(1, i == 1 ? odd : QStringLiteral("row %1").arg(i));
        rows.SetValue(2, 1.25 * i);
        rows.Post();
    }
    QCOMPARE(rows.PendingCount(), 3);
    QVERIFY2(rows.ApplyUpdates(&error), qPrintable(error));
    QCOMPARE(rows.PendingCount(), 0);
    QCOMPARE(rows.Value(0, 0).toLongLong(), 1);
    QCOMPARE(rows.Value(2, 0).toLongLong(), 3);
    QVERIFY(rows.ApplyUpdates(&error)); // nothing pending: nothing written twice

    TRowSet reread;
    reread.SetConnection(&connection);
    QVERIFY(reread.Open(QStringLiteral("select id, name, price, n from t order by id"), &error));
    QCOMPARE(reread.RowCount(), 3);
    QCOMPARE(reread.Value(1, 1).toString(), odd);
    QCOMPARE(reread.Value(2, 2).toDouble(), 2.5);
    QVERIFY(reread.Value(2, 3).isNull());
}

void TestEngine::failedApplyWritesNothing()
{
    TConnection connection;
    OpenSample(&connection);
    QString error;
    QVERIFY(connection.Execute(QStringLiteral("create trigger refuse before insert on t when new.name = 'boom' "
                                              "begin select raise(abort, 'refused by trigger'); end"),
                               &error));
    TRowSet rows;
    rows.SetConnection(&connection);
    QVERIFY(rows.Open(QStringLiteral("select * from t"), &error));
    for (const char* name : {"first", "boom", "third"}) {
        QVERIFY(rows.Append(&error));
        rows.SetValue(1, QString::fromLatin1(name));
        rows.Post();
    }
    QVERIFY(!rows.ApplyUpdates(&error));
    QCOMPARE(error, QStringLiteral("refused by trigger"));
    QCOMPARE(rows.PendingCount(), 3);
    QVERIFY(rows.Value(0, 0).isNull());

    TRowSet count;
    count.SetConnection(&connection);
    QVERIFY(count.Open(QStringLiteral("select count(*) from t"), &error));
    QCOMPARE(count.Value(0, 0).toInt(), 0);
    // The pending rows go in once the cause is gone.
    QVERIFY(connection.Execute(QStringLiteral("drop trigger refuse"), &error));
    QVERIFY2(rows.ApplyUpdates(&error), qPrintable(error));
    QVERIFY(count.Open(QStringLiteral("select count(*) from t"), &error));
    QCOMPARE(count.Value(0, 0).toInt(), 3);
}

void TestEngine::busyFileIsWaitedFor_data()
{
    QTest::addColumn<int>("holdMs"); // how long another connection holds the file; -1: until the write gave up
    QTest::addColumn<bool>("written");
    QTest::newRow("held past the busy timeout") << 1000 << true;
    QTest::newRow("held past the write wait") << -1 << false;
}

// A write that meets a file another connection holds waits for it past the busy timeout, attempt after attempt;
// only a file held past the write wait fails the write, and its rows stay pending for the next one.
void TestEngine::busyFileIsWaitedFor()
{
    QFETCH(int, holdMs);
    QFETCH(bool, written);
    TConnection connection;
    OpenSample(&connection);
    connection.SetBusyTimeout(200);
    connection.SetWriteWait(written ? 5000 : 600);
    TRowSet rows;
    rows.SetConnection(&connection);
    QString error;
    QVERIFY(rows.Open(QStringLiteral("select * from t"), &error));
    for (int i = 0; i < 3; ++i) {
        QVERIFY(rows.Append(&error));
        rows.SetValue(1, QStringLiteral("row %1").arg(i));
        rows.Post();
    }
    TConnection other;
    QVERIFY(other.Open(ConnectionString(m_path), &error));
    QVERIFY(other.Execute(QStringLiteral("BEGIN IMMEDIATE"), &error));
    std::thread releaser;
    if (holdMs >= 0) {
        releaser = std::thread([&other, holdMs]() {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            QString ignored;
            other.Execute(QStringLiteral("COMMIT"), &ignored);
        });
    }
    QElapsedTimer clock;
    clock.start();
    const bool ok = rows.ApplyUpdates(&error);
    const qint64 elapsed = clock.elapsed();
    if (releaser.joinable()) {
        releaser.join();
    }
    QCOMPARE(ok, written);
    if (written) {
        QVERIFY2(elapsed >= 900, qPrintable(QString::number(elapsed)));
    } else {
        QCOMPARE(error, QStringLiteral("database is locked"));
        QVERIFY2(elapsed >= 600 && elapsed < 5000, qPrintable(QString::number(elapsed)));
        QCOMPARE(rows.PendingCount(), 3);
        QVERIFY(other.Execute(QStringLiteral("COMMIT"), &error));
        QVERIFY2(rows.ApplyUpdates(&error), qPrintable(error));
    }
    QCOMPARE(rows.PendingCount(), 0);
    TRowSet count;
    count.SetConnection(&connection);
    QVERIFY(count.Open(QStringLiteral("select count(*) from t"), &error));
    QCOMPARE(count.Value(0, 0).toInt(), 3);
}

void TestEngine::connectionCloseClosesRowSet()
{
    TConnection connection;
    OpenSample(&connection);
    TRowSet rows;
    rows.SetConnection(&connection);
    QString error;
    QVERIFY(rows.Open(QStringLiteral("select * from t"), &error));
    QVERIFY(rows.Append(&error));
    rows.Post();
    QVERIFY(rows.ApplyUpdates(&error)); // leaves a prepared statement behind
    connection.Close();
    QVERIFY(!rows.IsOpen());
    QCOMPARE(rows.RowCount(), 0);
    QVERIFY(!rows.Append(&error));
    QVERIFY(!rows.ApplyUpdates(&error));
}

void TestEngine::modelFollowsRowSet()
{
    TConnection connection;
    OpenSample(&connection);
    TRowSet rows;
    rows.SetConnection(&connection);
    TRowSetModel model(&rows);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    rows.SetDisplayLabel(QStringLiteral("price"), QStringLiteral("Price"));
    QString error;
    QVERIFY(rows.Open(QStringLiteral("select * from t"), &error));
    rows.SetVisible(4, false);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Price"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("name"));

    QVERIFY(rows.Append(&error));
    rows.SetValue(1, QStringLiteral("one"));
    rows.Post();
    QCOMPARE(inserted.count(), 1);
    rows.DisableControls();
    for (int i = 0; i < 5; ++i) {
        QVERIFY(rows.Append(&error));
        rows.Post();
    }
    QCOMPARE(model.rowCount(), 1);
    rows.EnableControls();
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.last().at(1).toInt(), 1);
    QCOMPARE(inserted.last().at(2).toInt(), 5);
    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("one"));
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));

    QVERIFY(rows.ApplyUpdates(&error));
    QCOMPARE(model.data(model.index(5, 0)).toInt(), 6);
    const int resets = reset.count();
    QVERIFY(rows.Open(QStringLiteral("select * from t where 1=2"), &error));
    QVERIFY(reset.count() > resets);
    QCOMPARE(model.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "TestEngine.moc"
