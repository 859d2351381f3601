#include "net/TPageDownload.h"
#include "tests/support/TFakeMarketplace.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

class TestPageDownload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void resultArrivesOnStartingThread();
    void abandonedOrDroppedDownloadNeverReports();

private:
    std::unique_ptr<TFakeMarketplace> m_server;
};

void TestPageDownload::init()
{
    m_server = std::make_unique<TFakeMarketplace>();
    QVERIFY(m_server->Start());
}

// The starting thread's loop runs on while the page comes; the result is handed over there.
void TestPageDownload::resultArrivesOnStartingThread()
{
    m_server->Enqueue(TResponseScript::WithLength(404, "page").Pause(0));
    m_server->Enqueue(TResponseScript().Pause(500).Send("HTTP/1.0 200 OK\r\n\r\nlate page"));
    TPageDownload download;
    QThread* resultThread = nullptr;
    QString text;
    THttpResult outcome;
    connect(&download, &TPageDownload::Finished, this, [&](const QString& page, const THttpResult& result) {
        resultThread = QThread::currentThread();
        text = page;
        outcome = result;
    });
    download.Start(m_server->Url("/a"), {});
    QVERIFY(download.Running());
    QTRY_VERIFY(!download.Running());
    QCOMPARE(resultThread, QThread::currentThread());
    QCOMPARE(text, QStringLiteral("page"));
    QCOMPARE(outcome.status, 404);

    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks]() { ++ticks; });
    ticker.start(20);
    download.Start(m_server->Url("/b"), {});
    QTRY_COMPARE(text, QStringLiteral("late page"));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
}

// A download given up, or whose object goes, ends at once (its connection closes) and reports nothing.
void TestPageDownload::abandonedOrDroppedDownloadNeverReports()
{
    // The server serves one connection at a time: the third is answered only once the first two are closed.
    m_server->Enqueue(TResponseScript().Stall());
    m_server->Enqueue(TResponseScript().Stall());
    m_server->Enqueue(TResponseScript::WithLength(200, "third"));
    TPageDownload download;
    QStringList reported;
    connect(&download, &TPageDownload::Finished, this,
            [&reported](const QString& page, const THttpResult&) { reported.append(page); });
    download.Start(m_server->Url("/a"), {});
    QTest::qWait(100);
    download.Abandon();
    QVERIFY(!download.Running());
    {
        TPageDownload dropped;
        connect(&dropped, &TPageDownload::Finished, this,
                [&reported](const QString& page, const THttpResult&) { reported.append(page); });
        dropped.Start(m_server->Url("/b"), {});
        QTest::qWait(100);
    }
    QElapsedTimer clock;
    clock.start();
    download.Start(m_server->Url("/c"), {});
    QTRY_VERIFY_WITH_TIMEOUT(!reported.isEmpty(), 5000);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QTest::qWait(100);
    QCOMPARE(reported, QStringList({QStringLiteral("third")}));
}

QTEST_GUILESS_MAIN(TestPageDownload)
#include "TestPageDownload.moc"
