#include "platform/CodePage.h"
#include "platform/TProfileFile.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_path = m_dir.filePath("test.ini");
        QFile::remove(m_path);
    }

    void roundTripInCodePageBytes();
    void defaults_data();
    void defaults();
    void namesIgnoreLetterCase();
    void newKeyLandsInItsOwnSection_data();
    void newKeyLandsInItsOwnSection();
    void readsAreCutAt2047Bytes_data();
    void readsAreCutAt2047Bytes();
    void eraseSectionKeepsTheOthers();
    void unwritableFileFails();
    void updateIsWrittenOnceAtItsEnd();
    void failedUpdateKeepsTheOldFile();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void TestProfileFile::roundTripInCodePageBytes()
{
    TProfileFile ini(m_path);
    QVERIFY(ini.WriteString("Param", "search", QStringLiteral("办公桌#13书架#13")));
    QVERIFY(ini.WriteInteger("Wnd", "Left", -5));
    QVERIFY(ini.WriteString("Param", "search", QStringLiteral("椅子#13")));
    QCOMPARE(ini.ReadString("Param", "search", "x"), QStringLiteral("椅子#13"));
    QCOMPARE(ini.ReadInteger("Wnd", "Left", 0), -5);
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains(CodePage::FromUnicode(QStringLiteral("search=椅子#13"))));
    QCOMPARE(bytes.count("search="), 1);
}

void TestProfileFile::defaults_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("value");
    QTest::newRow("no file") << QByteArray() << 7;
    QTest::newRow("no section") << QByteArray("[Other]\r\nPageNum=3\r\n") << 7;
    QTest::newRow("no key") << QByteArray("[Param]\r\nsearch=a\r\n") << 7;
    QTest::newRow("not a number") << QByteArray("[Param]\r\nPageNum=abc\r\n") << 7;
    QTest::newRow("number") << QByteArray("[Param]\r\nPageNum = 500\r\n") << 500;
    QTest::newRow("LF line ends") << QByteArray("[Param]\nPageNum=0\n") << 0;
}

void TestProfileFile::defaults()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, value);
    if (!contents.isNull()) {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QCOMPARE(TProfileFile(m_path).ReadInteger("Param", "PageNum", 7), value);
}

void TestProfileFile::namesIgnoreLetterCase()
{
    TProfileFile ini(m_path);
    QVERIFY(ini.WriteString("grid", "grid.Title", "0,1"));
    QVERIFY(ini.WriteString("GRID", "GRID.title", "2,3"));
    QCOMPARE(ini.ReadString("Grid", "grid.TITLE", ""), QStringLiteral("2,3"));
}

// A key the file lacks goes to the end of its own section, also when other sections follow it, before the blank
// lines that close the section off.
void TestProfileFile::newKeyLandsInItsOwnSection_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("section before another") << QByteArray("[Param]\r\nsearch=a\r\n[Wnd]\r\nLeft=1\r\n")
                                            << QByteArray("[Param]\r\nsearch=a\r\nPageNum=42\r\n[Wnd]\r\nLeft=1\r\n");
    QTest::newRow("blank line between") << QByteArray("[Param]\r\nsearch=a\r\n\r\n[Wnd]\r\nLeft=1\r\n")
                                        << QByteArray("[Param]\r\nsearch=a\r\nPageNum=42\r\n\r\n[Wnd]\r\nLeft=1\r\n");
    QTest::newRow("empty section") << QByteArray("[Param]\r\n[Wnd]\r\nLeft=1\r\n")
                                   << QByteArray("[Param]\r\nPageNum=42\r\n[Wnd]\r\nLeft=1\r\n");
    QTest::newRow("same key in the next section")
        << QByteArray("[Param]\nsearch=a\n[Wnd]\nPageNum=7\n")
        << QByteArray("[Param]\r\nsearch=a\r\nPageNum=42\r\n[Wnd]\r\nPageNum=7\r\n");
}

void TestProfileFile::newKeyLandsInItsOwnSection()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, written);
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    TProfileFile ini(m_path);
    QVERIFY(ini.WriteInteger("Param", "PageNum", 42));
    QCOMPARE(ReadFileBytes(m_path), written);
    QCOMPARE(TProfileFile(m_path).ReadInteger("Param", "PageNum", 0), 42);
}

void TestProfileFile::readsAreCutAt2047Bytes_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    const QString ascii(3000, QLatin1Char('a'));
    QTest::newRow("single bytes") << ascii << ascii.left(2047);
    const QString chinese(1500, QChar(0x684C)); // 桌, two bytes each
    QTest::newRow("never half a character") << chinese << chinese.left(1023);
    QTest::newRow("short value whole") << QStringLiteral("办公桌") << QStringLiteral("办公桌");
}

void TestProfileFile::readsAreCutAt2047Bytes()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    TProfileFile ini(m_path);
    QVERIFY(ini.WriteString("Param", "search", value));
    QCOMPARE(ini.ReadString("Param", "search", ""), expected);
}

void TestProfileFile::eraseSectionKeepsTheOthers()
{
    TProfileFile ini(m_path);
    QVERIFY(ini.WriteString("Wnd", "Top", "140"));
    QVERIFY(ini.WriteString("grid", "grid.title", "0,160"));
    QVERIFY(ini.WriteString("Param", "PageNum", "3"));
    QVERIFY(ini.EraseSection("grid"));
    QCOMPARE(ini.ReadString("grid", "grid.title", "gone"), QStringLiteral("gone"));
    QCOMPARE(ini.ReadInteger("Wnd", "Top", 0), 140);
    QCOMPARE(ini.ReadInteger("Param", "PageNum", 0), 3);
    QVERIFY(ini.EraseSection("absent"));
}

void TestProfileFile::unwritableFileFails()
{
    TProfileFile ini(m_dir.filePath("missing-folder/test.ini"));
    QVERIFY(!ini.WriteString("Wnd", "Left", "1"));
}

void TestProfileFile::updateIsWrittenOnceAtItsEnd()
{
    TProfileFile ini(m_path);
    QVERIFY(ini.WriteString("Param", "PageNum", "3"));
    const QByteArray before = ReadFileBytes(m_path);
    ini.BeginUpdate();
    QVERIFY(ini.WriteString("Wnd", "Left", "262"));
    QVERIFY(ini.EraseSection("Param"));
    QCOMPARE(ini.ReadInteger("Wnd", "Left", 0), 262); // reads see the pending content
    QCOMPARE(ReadFileBytes(m_path), before);
    QVERIFY(ini.EndUpdate());
    QCOMPARE(ReadFileBytes(m_path), QByteArray("[Wnd]\r\nLeft=262\r\n"));
    QCOMPARE(QFile::permissions(m_path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}

void TestProfileFile::failedUpdateKeepsTheOldFile()
{
    const QString folder = m_dir.filePath("folder.ini");
    QVERIFY(QDir().mkpath(folder)); // a folder where the file should be: the new content cannot take its place
    TProfileFile ini(folder);
    ini.BeginUpdate();
    QVERIFY(ini.WriteString("Wnd", "Left", "1"));
    QString error;
    QVERIFY(!ini.EndUpdate(&error));
    QCOMPARE(error, QStringLiteral("这是一个文件夹"));
    QCOMPARE(ini.LastErrno(), EISDIR);
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList()); // no temporary file left
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "TestProfileFile.moc"
