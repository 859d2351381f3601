#include "collect/TPagePipeline.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/uDataModule.h"
#include "tests/TestPaths.h"
#include "tests/support/TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(TPageFailure)

namespace {
// A page as the collection run takes it: cut, then stored.
TPageResult RunPage(TDM& dm, const QString& keyword, const QString& page)
{
    QString block;
    const TPageResult cut = TPagePipeline::Cut(page, &block);
    return cut.Ok() ? TPagePipeline(dm).Store(keyword, block, cut.Framing) : cut;
}

QString Auctions(int count)
{
    QStringList listings;
    for (int i = 0; i < count; ++i) {
        listings.append(QStringLiteral("{\"title\":\"桌%1\",\"view_price\":\"1.50\",\"nid\":\"%1\"}").arg(i));
    }
    return QStringLiteral("{\"mods\":{\"itemlist\":{\"data\":{\"auctions\":[%1]}}}}").arg(listings.join(','));
}

QString ConfigPage(const QString& block)
{
    return QStringLiteral("<html><script>g_page_config = %1;\n g_srp_loadCss();</script></html>").arg(block);
}

// The saved 2018 page data wrapped in a page of its own.
QString FixturePage()
{
    QFile file(QStringLiteral(MERCATIX_FIXTURES_DIR "/search-page-config-2018.js"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QStringLiteral("<html><script>") + QString::fromUtf8(file.readAll())
        + QStringLiteral("\ng_srp_loadCss();</script></html>");
}
} // namespace

class TestPagePipeline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void pages_data();
    void pages();
    void stepsGiveWhatRunGives();
    void failedStoreSaysWhyAndWritesNothing();

private:
    int FileRows();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TDM> m_dm;
};

void TestPagePipeline::initTestCase()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_dm = std::make_unique<TDM>();
}

// One database file for all cases (opening one costs a key derivation); each case starts from an empty table.
void TestPagePipeline::init()
{
    QString error;
    if (m_dm->DBFunc() == nullptr) {
        QVERIFY2(m_dm->OpenDatabase(m_dir->filePath(QStringLiteral("gleanbox.db")), &error), qPrintable(error));
    }
    QVERIFY2(m_dm->conn()->Execute(QStringLiteral("delete from goodslist"), &error), qPrintable(error));
    QVERIFY2(m_dm->OpenGoodsQuery(&error), qPrintable(error));
}

// The rows of goodslist in the file, read through a connection of its own.
int TestPagePipeline::FileRows()
{
    return QueryDatabaseFile(m_dir->filePath(QStringLiteral("gleanbox.db")),
                             QStringLiteral("select count(*) from goodslist"))
        .toInt();
}

void TestPagePipeline::pages_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("framing");
    QTest::addColumn<TPageFailure>("failure");
    QTest::addColumn<QString>("detail");
    QTest::newRow("saved page") << FixturePage() << 36 << 0 << TPageFailure::None << "";
    QTest::newRow("page config") << ConfigPage(Auctions(3)) << 3 << 0 << TPageFailure::None << "";
    QTest::newRow("body") << "{\"body\":[{\"title\":\"a\"},{\"title\":\"b\"}]},\"srpbase\":{}" << 2 << 1
                          << TPageFailure::None << "";
    QTest::newRow("empty listing array is the normal end")
        << ConfigPage(Auctions(0)) << 0 << 0 << TPageFailure::None << "";
    QTest::newRow("login page names its title")
        << "<html><head><TITLE lang=\"zh\">\n 亲，请登录 &amp; 验证 </TITLE></head></html>" << 0 << -1
        << TPageFailure::NoBlock << "亲，请登录 & 验证";
    QTest::newRow("login form")
        << "<html><title>登录</title><FORM id=\"J_Form\" action=\"//login.example/member/Login.jhtml\">"
           "<input name=u></form></html>"
        << 0 << -1 << TPageFailure::LoginPage << "登录";
    QTest::newRow("password field") << "<html><body><div><input class=x TYPE = 'Password' name=p></div></body></html>"
                                    << 0 << -1 << TPageFailure::LoginPage << "";
    QTest::newRow("a text about passwords is no login page")
        << "<html><title>t</title><p>type=password</p><form action=/search><input type=text></form></html>" << 0 << -1
        << TPageFailure::NoBlock << "t";
    QTest::newRow("page without title") << "<html>nothing</html>" << 0 << -1 << TPageFailure::NoBlock << "";
    QTest::newRow("empty page") << "" << 0 << -1 << TPageFailure::NoBlock << "";
    QTest::newRow("page cut off") << "<title>t</title>g_page_config = {\"mods\":" << 0 << 0 << TPageFailure::CutOff
                                  << "";
    QTest::newRow("block does not parse")
        << ConfigPage("{\"mods\":{\"itemlist\": }") << 0 << 0 << TPageFailure::NotParsed << "";
    QTest::newRow("no auctions") << ConfigPage("{\"mods\":{}}") << 0 << 0 << TPageFailure::NoListings << "";
    QTest::newRow("body object") << "\"body\":{\"a\":1}},\"srpbase\"" << 0 << 1 << TPageFailure::NoListings << "";
}

void TestPagePipeline::pages()
{
    QFETCH(QString, page);
    QFETCH(int, stored);
    QFETCH(int, framing);
    QFETCH(TPageFailure, failure);
    QFETCH(QString, detail);
    const TPageResult result = RunPage(*m_dm, QStringLiteral("办公桌"), page);
    QCOMPARE(result.Failure, failure);
    QCOMPARE(result.Detail, detail);
    QCOMPARE(result.Framing, framing);
    QCOMPARE(result.Stored, stored);
    QCOMPARE(m_dm->qrGoodsList()->RowCount(), stored);
    QCOMPARE(FileRows(), stored);
}

void TestPagePipeline::stepsGiveWhatRunGives()
{
    QString block;
    const TPageResult cut = TPagePipeline::Cut(ConfigPage(Auctions(2)), &block);
    QVERIFY(cut.Ok());
    QCOMPARE(cut.Framing, 0);
    QCOMPARE(block, Auctions(2));
    const TPageResult stored = TPagePipeline(*m_dm).Store(QStringLiteral("kw"), block, cut.Framing);
    QVERIFY(stored.Ok());
    QCOMPARE(stored.Stored, 2);
    QCOMPARE(FileRows(), 2);
}

void TestPagePipeline::failedStoreSaysWhyAndWritesNothing()
{
    m_dm->CloseDatabase();
    const TPageResult result = RunPage(*m_dm, QStringLiteral("kw"), ConfigPage(Auctions(2)));
    QCOMPARE(result.Failure, TPageFailure::StoreFailed);
    QVERIFY(!result.Detail.isEmpty());
    QCOMPARE(result.Stored, 0);
    QCOMPARE(FileRows(), 0);
}

QTEST_GUILESS_MAIN(TestPagePipeline)
#include "TestPagePipeline.moc"
