#include "storage/TDatabaseMessage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// Each engine text the user can meet is told in Chinese with the file's path and a remedy, and the engine's
// own text stays as the detail at the end.
class TestDatabaseMessage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void text_data();
    void text();
    void withoutPath();

private:
    QTemporaryDir m_dir;
};

void TestDatabaseMessage::text_data()
{
    QTest::addColumn<QString>("engineError");
    QTest::addColumn<QString>("entry"); // what lies at the path: "file", "folder", "pipe" or "nothing"
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("remedy"); // empty: the message offers none
    const QString moveAside = QStringLiteral("移到别处或改名");
    QTest::newRow("wrong password or foreign file")
        << "file is not a database"
        << "file" << QStringLiteral("不是本程序的数据库，或者已经损坏") << moveAside;
    QTest::newRow("damaged") << "database disk image is malformed"
                             << "file" << QStringLiteral("已经损坏") << moveAside;
    QTest::newRow("cannot open") << "unable to open database file"
                                 << "file" << QStringLiteral("无法打开") << QStringLiteral("当前用户可以读写");
    QTest::newRow("busy") << "database is locked"
                          << "file" << QStringLiteral("正被另一个程序占用") << QStringLiteral("请稍候再试");
    QTest::newRow("table locked") << "database table is locked"
                                  << "file" << QStringLiteral("正被另一个程序占用") << QStringLiteral("请稍候再试");
    QTest::newRow("full") << "database or disk is full"
                          << "file" << QStringLiteral("所在的磁盘已满") << QStringLiteral("腾出磁盘空间");
    QTest::newRow("read-only") << "attempt to write a readonly database"
                               << "file" << QStringLiteral("只能读，不能写") << QStringLiteral("权限");
    QTest::newRow("input/output") << "disk I/O error"
                                  << "file" << QStringLiteral("磁盘出错") << QStringLiteral("备份");
    QTest::newRow("not a plain file") << "Could not find file '%1'."
                                      << "pipe" << QStringLiteral("不是一个普通的文件")
                                      << QStringLiteral("移走它或给它改名");
    QTest::newRow("nothing there") << "Could not find file '%1'."
                                   << "nothing" << QStringLiteral("不存在，也无法创建") << QStringLiteral("可以写入");
    QTest::newRow("folder at the path") << "Could not find file '%1'."
                                        << "folder" << QStringLiteral("上是一个文件夹，不是文件")
                                        << QStringLiteral("移走这个文件夹");
    QTest::newRow("folder whatever the text")
        << "unable to open database file"
        << "folder" << QStringLiteral("上是一个文件夹，不是文件") << QStringLiteral("移走这个文件夹");
    QTest::newRow("statement") << "no such table: goodslist"
                               << "file" << QStringLiteral("上的操作没有完成") << QString();
}

void TestDatabaseMessage::text()
{
    QFETCH(QString, engineError);
    QFETCH(QString, entry);
    QFETCH(QString, cause);
    QFETCH(QString, remedy);
    const QString path = m_dir.filePath(QStringLiteral("%1/gleanbox.db").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(entry == QLatin1String("folder") ? path : QFileInfo(path).path()));
    if (entry == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (entry == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    const QString detail = engineError.contains(QLatin1String("%1")) ? engineError.arg(path) : engineError;
    const QString message = TDatabaseMessage::Text(detail, path);
    const QString firstLine = message.section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(firstLine.contains(QDir::toNativeSeparators(path)) && firstLine.contains(cause), qPrintable(message));
    const QString advice = message.section(QLatin1Char('\n'), 1, 1);
    QVERIFY2(remedy.isEmpty() ? advice.isEmpty() : advice.contains(remedy), qPrintable(message));
    QVERIFY2(message.endsWith(QStringLiteral("\n\n详细信息：") + detail), qPrintable(message));
}

// A failure with no file known yet still reads as a sentence, and an empty engine text adds no detail line.
void TestDatabaseMessage::withoutPath()
{
    QCOMPARE(TDatabaseMessage::Text(QStringLiteral("database is locked"), QString()).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("数据库正被另一个程序占用。"));
    const QString path = m_dir.filePath(QStringLiteral("gleanbox.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(TDatabaseMessage::Text(QString(), path), QStringLiteral("数据库文件 %1 上的操作没有完成。").arg(path));
}

QTEST_GUILESS_MAIN(TestDatabaseMessage)
#include "TestDatabaseMessage.moc"
