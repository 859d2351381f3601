// The collection run without a window: its log, its result and how each kind of end is told apart.
#include "collect/TCollectionRun.h"
#include "storage/uDataModule.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestDatabase.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

Q_DECLARE_METATYPE(TResponseScript)
Q_DECLARE_METATYPE(TRunOutcome)

namespace {
const QString Start = QStringLiteral("=======开始采集=======");
const QString Finished = QStringLiteral("=======完成采集=======");
const QString Stopped = QStringLiteral("=======中止采集=======");

TResponseScript Page(int count, int first = 0)
{
    return TResponseScript::WithLength(200, TSearchPages::Page(count, first));
}
} // namespace

class TestRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void logAndResultOfACompleteRun();
    void outcomes_data();
    void outcomes();
    void stopDuringAStalledDownloadEndsAtOnce();
    void stopWhileAPageIsStoredKeepsThePage();

private:
    TRunParams Params() const;
    QStringList RunAndLog(TCollectionRun& run, int pages, TRunResult* result);

    QTemporaryDir m_dir;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<TFakeMarketplace> m_server;
};

void TestRun::initTestCase()
{
    m_dm = std::make_unique<TDM>();
    QString error;
    QVERIFY2(m_dm->OpenDatabase(m_dir.filePath(QStringLiteral("gleanbox.db")), &error), qPrintable(error));
}

void TestRun::init()
{
    m_server = std::make_unique<TFakeMarketplace>();
    QVERIFY(m_server->Start());
    QString error;
    QVERIFY2(m_dm->conn()->Execute(QStringLiteral("delete from goodslist"), &error), qPrintable(error));
    QVERIFY2(m_dm->OpenGoodsQuery(&error), qPrintable(error));
}

TRunParams TestRun::Params() const
{
    TRunParams params;
    params.Host = m_server->Host();
    params.PauseMs = 10;
    params.TimeoutMs = 3000;
    return params;
}

QStringList TestRun::RunAndLog(TCollectionRun& run, int pages, TRunResult* result)
{
    QStringList log;
    connect(&run, &TCollectionRun::Log, &run, [&log](const QString& line) { log << line; });
    *result = run.Run(QStringLiteral("desk"), pages);
    return log;
}

void TestRun::logAndResultOfACompleteRun()
{
    m_server->Enqueue(Page(44));
    m_server->Enqueue(Page(40, 44));
    TCollectionRun run(*m_dm, Params());
    QSignalSpy stored(&run, &TCollectionRun::PageStored);
    QSignalSpy finished(&run, &TCollectionRun::Finished);
    TRunResult result;
    const QStringList log = RunAndLog(run, 2, &result);
    QCOMPARE(log,
             QStringList({Start, "正在采集第1页", "完成网络提取", "完成数据保存", "", "正在采集第2页", "完成网络提取",
                          "完成数据保存", "", Finished}));
    QCOMPARE(result.Outcome, TRunOutcome::Complete);
    QCOMPARE(result.PagesRead, 2);
    QCOMPARE(result.RowsStored, 84);
    QVERIFY(result.Cause.isEmpty());
    QCOMPARE(stored.size(), 2);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(QueryDatabaseFile(m_dir.filePath(QStringLiteral("gleanbox.db")),
                               QStringLiteral("select count(*) from goodslist"))
                 .toInt(),
             84);
    QCOMPARE(TFakeMarketplace::Target(m_server->Requests().at(1)), TSearchPages::Target(QStringLiteral("desk"), 44));
}

// A page that gives no listings ends the run; whether that is a failure depends on why, and on whether a page
// was stored before it.
void TestRun::outcomes_data()
{
    QTest::addColumn<QList<TResponseScript>>("pages");
    QTest::addColumn<int>("asked");
    QTest::addColumn<TRunOutcome>("outcome");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("cause");
    const TResponseScript login
        = TResponseScript::WithLength(200, "<html><title>登录</title><form><input type=password></form></html>");
    QTest::newRow("every page read") << QList<TResponseScript>{Page(3), Page(3, 3)} << 2 << TRunOutcome::Complete << 6
                                     << false;
    QTest::newRow("results ran out") << QList<TResponseScript>{Page(3), Page(0)} << 3 << TRunOutcome::Complete << 3
                                     << false;
    QTest::newRow("first page a login page") << QList<TResponseScript>{login} << 3 << TRunOutcome::Failed << 0 << true;
    QTest::newRow("first page an HTTP error")
        << QList<TResponseScript>{TResponseScript::WithLength(503, "busy")} << 3 << TRunOutcome::Failed << 0 << true;
    QTest::newRow("first page empty") << QList<TResponseScript>{Page(0)} << 3 << TRunOutcome::Failed << 0 << false;
    QTest::newRow("second page cut off")
        << QList<TResponseScript>{Page(3),
                                  TResponseScript::WithLength(200, "<title>t</title>g_page_config = {\"mods\":")}
        << 3 << TRunOutcome::Partial << 3 << true;
    QTest::newRow("second page a redirect")
        << QList<TResponseScript>{Page(3), TResponseScript::WithLength(302, "", {"Location: https://login.example/"})}
        << 3 << TRunOutcome::Partial << 3 << true;
}

void TestRun::outcomes()
{
    QFETCH(QList<TResponseScript>, pages);
    QFETCH(int, asked);
    for (const TResponseScript& page : pages) {
        m_server->Enqueue(page);
    }
    TCollectionRun run(*m_dm, Params());
    TRunResult result;
    const QStringList log = RunAndLog(run, asked, &result);
    QTEST(result.Outcome, "outcome");
    QTEST(result.RowsStored, "rows");
    QTEST(!result.Cause.isEmpty(), "cause");
    QCOMPARE(log.last(), Finished);
    if (!result.Cause.isEmpty()) {
        QCOMPARE(log.at(log.size() - 2), QStringLiteral("原因：") + result.Cause);
    }
}

void TestRun::stopDuringAStalledDownloadEndsAtOnce()
{
    m_server->Enqueue(Page(3));
    m_server->Enqueue(TResponseScript().Stall());
    TCollectionRun run(*m_dm, Params());
    connect(&run, &TCollectionRun::Log, &run, [&run](const QString& line) {
        if (line == QStringLiteral("正在采集第2页")) {
            QTimer::singleShot(100, &run, &TCollectionRun::RequestStop);
        }
    });
    QElapsedTimer clock;
    clock.start();
    TRunResult result;
    const QStringList log = RunAndLog(run, 3, &result);
    QVERIFY2(clock.elapsed() < Params().TimeoutMs - 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(log.mid(log.size() - 2), QStringList({"正在采集第2页", Stopped}));
    QCOMPARE(result.Outcome, TRunOutcome::Stopped);
    QCOMPARE(result.RowsStored, 3);
    QCOMPARE(m_dm->qrGoodsList()->RowCount(), 3);
}

// A stop while a page is being stored lets the page reach the file; the run ends after its pause.
void TestRun::stopWhileAPageIsStoredKeepsThePage()
{
    m_server->Enqueue(Page(3));
    m_server->Enqueue(Page(3, 3));
    TCollectionRun run(*m_dm, Params());
    connect(&run, &TCollectionRun::PageStored, &run, &TCollectionRun::RequestStop);
    TRunResult result;
    const QStringList log = RunAndLog(run, 2, &result);
    QCOMPARE(log.last(), Stopped);
    QCOMPARE(result.Outcome, TRunOutcome::Stopped);
    QCOMPARE(result.RowsStored, 3);
    QCOMPARE(m_server->Requests().size(), 1);
}

QTEST_GUILESS_MAIN(TestRun)
#include "TestRun.moc"
