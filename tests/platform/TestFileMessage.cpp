#include "platform/TFileMessage.h"

#include <QTest>

#include <cerrno>
#include <cstring>

// A failed write is told in Chinese with the file's path, its reason and what the user can do, and the system's
// own text stays as the detail at the end.
class TestFileMessage : public QObject
{
    Q_OBJECT

private slots:
    void notWritten_data();
    void notWritten();
    void unknownReason();
};

void TestFileMessage::notWritten_data()
{
    QTest::addColumn<int>("errnum");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("remedy"); // empty: the message offers none
    QTest::newRow("full disk") << ENOSPC << QStringLiteral("磁盘空间不足") << QStringLiteral("腾出磁盘空间");
    QTest::newRow("quota") << EDQUOT << QStringLiteral("超出磁盘配额") << QStringLiteral("磁盘配额");
    QTest::newRow("permission") << EACCES << QStringLiteral("没有权限") << QStringLiteral("当前用户需要能写入");
    QTest::newRow("immutable") << EPERM << QStringLiteral("不允许的操作") << QStringLiteral("chattr");
    QTest::newRow("read-only mount") << EROFS << QStringLiteral("文件系统只读") << QStringLiteral("重新挂载为可写");
    QTest::newRow("folder at the path") << EISDIR << QStringLiteral("这是一个文件夹")
                                        << QStringLiteral("移走这个文件夹");
    QTest::newRow("size limit") << EFBIG << QStringLiteral("文件过大") << QStringLiteral("ulimit -f");
    QTest::newRow("no folder") << ENOENT << QStringLiteral("没有那个文件或文件夹") << QStringLiteral("文件夹存在");
    QTest::newRow("input/output") << EIO << QStringLiteral("读写错误") << QStringLiteral("检查磁盘");
    QTest::newRow("uncommon") << EXFULL << QStringLiteral("系统错误 %1").arg(EXFULL) << QString();
}

void TestFileMessage::notWritten()
{
    QFETCH(int, errnum);
    QFETCH(QString, reason);
    QFETCH(QString, remedy);
    const QString path = QStringLiteral("/home/user/Documents/softcfg/gleanbox.ini");
    const QString message = TFileMessage::NotWritten(path, errnum);
    const QStringList lines = message.split(QLatin1Char('\n'));
    QVERIFY2(lines.first().startsWith(QStringLiteral("无法写入文件 %1：").arg(path)) && lines.first().contains(reason),
             qPrintable(message));
    QCOMPARE(lines.size(), remedy.isEmpty() ? 3 : 4);
    QVERIFY2(remedy.isEmpty() || lines.at(1).contains(remedy), qPrintable(message));
    QCOMPARE(lines.last(),
             QStringLiteral("详细信息：%1 (errno %2)").arg(QString::fromLocal8Bit(std::strerror(errnum))).arg(errnum));
}

void TestFileMessage::unknownReason()
{
    QCOMPARE(TFileMessage::NotWritten(QStringLiteral("/tmp/a.ini"), 0), QStringLiteral("无法写入文件 /tmp/a.ini。"));
}

QTEST_GUILESS_MAIN(TestFileMessage)
#include "TestFileMessage.moc"
