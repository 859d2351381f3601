#include "storage/TDatabaseMessage.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/uDBFunc.h"
#include "tests/storage/TWarningRecorder.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestDBFunc : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void password();
    void openCreatesVersionTable();
    void versionBelow_data();
    void versionBelow();
    void executeSqlTurnsBackslashRIntoCarriageReturn();
    void rejectedStatementWarnsOnce();
    void schemaChangeRunsOnlyWhenNeeded_data();
    void schemaChangeRunsOnlyWhenNeeded();
    void createTableTwiceRunsOnce();
    void createDatabaseKeepsExistingFile();
    void wrongPasswordFailsOpen();
    void openQueryWithoutConnectionDoesNothing();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<TConnection> m_conn;
    std::unique_ptr<TDBFunc> m_db;
    std::unique_ptr<TWarningRecorder> m_warnings;
};

void TestDBFunc::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("gleanbox.db"));
    m_conn = std::make_unique<TConnection>();
    m_db = std::make_unique<TDBFunc>();
    m_db->BindConnection(&m_conn);
    QVERIFY(m_db->CreateDatabase(m_path));
    QString error;
    QVERIFY2(m_db->OpenConnection(m_path, QStringLiteral("1.0"), &error), qPrintable(error));
}

void TestDBFunc::cleanup()
{
    m_db->CloseConnection();
    m_db.reset();
    m_conn.reset();
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

void TestDBFunc::password()
{
    const QByteArray bytes = TDBFunc::Password().toLatin1();
    QCOMPARE(bytes.size(), 23);
    QVERIFY(std::any_of(bytes.begin(), bytes.end(), [](char c) { return c > 0 && c < 0x20; }));
    for (char c : bytes) {
        QVERIFY(c != 0 && c != ';' && c != '=' && c != '"' && c != '\'' && c != ' ');
    }
}

void TestDBFunc::openCreatesVersionTable()
{
    QCOMPARE(m_db->Version(), QStringLiteral("1.0"));
    // Tables made by plain statements are not added to the list.
    QVERIFY(m_db->TableList().isEmpty());
    QString error;
    QCOMPARE(m_db->ReadVersion(&error), QStringLiteral("1.0"));
    m_db->WriteVersion(QStringLiteral("1.0.1"));
    QCOMPARE(m_db->Version(), QStringLiteral("1.0.1"));
    QVERIFY2(m_db->OpenConnection(m_path, QStringLiteral("9.9"), &error), qPrintable(error));
    QCOMPARE(m_db->Version(), QStringLiteral("1.0.1"));
    QCOMPARE(m_db->TableList(), QStringList{QStringLiteral("userver")});
    QCOMPARE(m_db->FieldList(QStringLiteral("USERVER")), QStringList{QStringLiteral("verno")});
}

void TestDBFunc::versionBelow_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("below");
    QTest::newRow("1.0 < 1.0.1") << "1.0"
                                 << "1.0.1" << true;
    QTest::newRow("same text") << "1.0.1"
                               << "1.0.1" << false;
    QTest::newRow("equal parts, other text") << "1.0"
                                             << "1.0.0" << false;
    QTest::newRow("parts compare as numbers") << "1.10"
                                              << "1.9" << false;
    QTest::newRow("1.9 < 1.10") << "1.9"
                                << "1.10" << true;
    QTest::newRow("empty version") << ""
                                   << "1.0.1" << true;
    QTest::newRow("newer") << "2.0"
                           << "1.0.1" << false;
    QTest::newRow("non-numeric part counts 0") << "1.x.5"
                                               << "1.0.1" << false;
    QTest::newRow("0.9") << "0.9"
                         << "1.0.1" << true;
}

void TestDBFunc::versionBelow()
{
    QFETCH(QString, version);
    QFETCH(QString, target);
    m_db->WriteVersion(version);
    QTEST(m_db->VersionBelow(target), "below");
}

void TestDBFunc::executeSqlTurnsBackslashRIntoCarriageReturn()
{
    QVERIFY(m_db->ExecuteSql(QStringLiteral("update userver set verno='x\\ry'")));
    QString error;
    QCOMPARE(m_db->ReadVersion(&error), QStringLiteral("x\ry"));
}

void TestDBFunc::rejectedStatementWarnsOnce()
{
    QVERIFY(!m_db->ExecuteSql(QStringLiteral("insert into nowhere values(1)")));
    // The warning names the file, the provider's message as its detail.
    QCOMPARE(m_warnings->Texts, QStringList{TDatabaseMessage::Text(QStringLiteral("no such table: nowhere"), m_path)});
    QVERIFY(m_warnings->Texts.first().contains(m_path));
    m_warnings->Texts.clear();
    QVERIFY(m_conn->IsOpen());
    QVERIFY(m_db->ExecuteSql(QStringLiteral("update userver set verno='2'")));
}

void TestDBFunc::schemaChangeRunsOnlyWhenNeeded_data()
{
    // A statement that runs shows a warning, since none of them is valid; "ok" names a valid one.
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("ran");
    QTest::newRow("create: table exists, other case") << "create"
                                                      << "UserVer"
                                                      << "" << false;
    QTest::newRow("create: new table") << "create"
                                       << "fresh"
                                       << "" << true;
    QTest::newRow("add: no table") << "add"
                                   << "aa"
                                   << "bb" << false;
    QTest::newRow("add: column exists, other case") << "add"
                                                    << "USERVER"
                                                    << "VERNO" << false;
    QTest::newRow("add: column absent") << "add"
                                        << "userver"
                                        << "extra" << true;
    QTest::newRow("drop: no table") << "drop"
                                    << "aa"
                                    << "aa" << false;
    QTest::newRow("drop: column absent") << "drop"
                                         << "userver"
                                         << "extra" << false;
    QTest::newRow("drop: column present, other case") << "drop"
                                                      << "USERVER"
                                                      << "VerNo" << true;
}

void TestDBFunc::schemaChangeRunsOnlyWhenNeeded()
{
    QFETCH(QString, operation);
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(bool, ran);
    QString error;
    QVERIFY(m_db->RefreshTableList(&error)); // userver is listed, as after a reopen
    const QString statement = QStringLiteral("this is no statement");
    bool result = false;
    if (operation == QLatin1String("create")) {
        result = m_db->CreateTableIfAbsent(table, statement);
    } else if (operation == QLatin1String("add")) {
        result = m_db->AddFieldIfAbsent(table, field, statement);
    } else {
        result = m_db->DropFieldIfPresent(table, field, statement);
    }
    QCOMPARE(result, ran);
    QCOMPARE(m_warnings->Texts.size(), ran ? 1 : 0);
    m_warnings->Texts.clear();
}

void TestDBFunc::createTableTwiceRunsOnce()
{
    const QString sql = QStringLiteral("create table bb(bb int)");
    QVERIFY(m_db->CreateTableIfAbsent(QStringLiteral("bb"), sql));
    QVERIFY(!m_db->CreateTableIfAbsent(QStringLiteral("BB"), sql));
    QCOMPARE(m_db->FieldList(QStringLiteral("bb")), QStringList{QStringLiteral("bb")});
    QVERIFY(m_db->AddFieldIfAbsent(QStringLiteral("bb"), QStringLiteral("cc"), "alter table bb add cc int"));
    QVERIFY(!m_db->AddFieldIfAbsent(QStringLiteral("bb"), QStringLiteral("CC"), "alter table bb add cc int"));
    QVERIFY(m_db->DropFieldIfPresent(QStringLiteral("bb"), QStringLiteral("cc"), "alter table bb drop cc"));
    QCOMPARE(m_db->FieldList(QStringLiteral("bb")), QStringList{QStringLiteral("bb")});
}

void TestDBFunc::createDatabaseKeepsExistingFile()
{
    m_db->CloseConnection();
    const QByteArray before = ReadFileBytes(m_path);
    QVERIFY(!before.isEmpty());
    QVERIFY(!m_db->CreateDatabase(m_path));
    QCOMPARE(ReadFileBytes(m_path), before);
}

void TestDBFunc::wrongPasswordFailsOpen()
{
    const QString other = m_dir->filePath(QStringLiteral("other.db"));
    QVERIFY(m_db->CreateDatabaseWithPassword(other, QStringLiteral("not the built-in one")));
    QString error;
    QVERIFY(!m_db->OpenConnection(other, QStringLiteral("1.0"), &error));
    QCOMPARE(error, QStringLiteral("file is not a database"));
    QVERIFY(!m_conn->IsOpen());
}

void TestDBFunc::openQueryWithoutConnectionDoesNothing()
{
    m_db->CloseConnection();
    TRowSet query;
    QString error;
    QVERIFY(m_db->OpenQuery(&query, QStringLiteral("select * from userver"), &error));
    QVERIFY(!query.IsOpen());
    QVERIFY(error.isEmpty());
}

QTEST_GUILESS_MAIN(TestDBFunc)
#include "TestDBFunc.moc"
