#include "storage/uConst.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestConst : public QObject
{
    Q_OBJECT

private slots:
    void initPaths_data();
    void initPaths();
    void emptyDocumentsFolder();
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

QTEST_GUILESS_MAIN(TestConst)
#include "TestConst.moc"
