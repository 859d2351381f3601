#include "net/HttpGetString.h"
#include "net/TAbortSignal.h"
#include "platform/CodePage.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TFullListener.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>
#include <QThread>

#include <memory>
#include <thread>

Q_DECLARE_METATYPE(TResponseScript)
Q_DECLARE_METATYPE(THttpFailure)

namespace {
// Short enough to keep the suite fast, long enough for a loaded machine to deliver each packet in time.
constexpr int WaitMs = 300;

QByteArray Head(const QByteArray& headers)
{
    return "HTTP/1.1 200 OK\r\n" + headers + "\r\n";
}

QByteArray Filler(qsizetype size, char c)
{
    return QByteArray(size, c);
}

// Waits short enough for a test and far apart, so that which of them ended a download is never in doubt.
THttpOptions ShortWaits()
{
    THttpOptions options;
    options.ConnectMs = 600;
    options.SilenceMs = 400;
    options.DeadlineMs = 1500;
    return options;
}
} // namespace

class TestHttpGetString : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void requestGoesOutAsRawBytes();
    void responses_data();
    void responses();
    void limits_data();
    void limits();
    void pageText_data();
    void pageText();
    void waits_data();
    void waits();
    void resets_data();
    void resets();
    void refusedConnectionGivesEmptyText();
    void httpsIsNotAttempted();
    void unsafeUrlIsNeverSent_data();
    void unsafeUrlIsNeverSent();
    void cookiesAreNeverSent();
    void chunkSizesAreHex_data();
    void chunkSizesAreHex();
    void outcomeKeepsWhatTheExchangeLearned_data();
    void outcomeKeepsWhatTheExchangeLearned();
    void waitsBoundHostileServers_data();
    void waitsBoundHostileServers();
    void abortEndsEveryWait_data();
    void abortEndsEveryWait();

private:
    std::unique_ptr<TFakeMarketplace> m_server;
};

void TestHttpGetString::init()
{
    m_server = std::make_unique<TFakeMarketplace>();
    QVERIFY(m_server->Start());
}

void TestHttpGetString::cleanup()
{
    m_server.reset();
}

void TestHttpGetString::requestGoesOutAsRawBytes()
{
    const QString keyword = QString::fromUtf8("连衣裙 夏&季");
    m_server->ServePage("/search?q=" + CodePage::FromUnicode(keyword), "<html>page</html>");

    QCOMPARE(HttpGetString(m_server->Url("/search?q=" + keyword), WaitMs), QStringLiteral("<html>page</html>"));

    const QByteArray expected = "GET /search?q=\xC1\xAC\xD2\xC2\xC8\xB9 \xCF\xC4&\xBC\xBE HTTP/1.0\r\n"
                                "Host: 127.0.0.1:"
        + QByteArray::number(m_server->Port())
        + "\r\n"
          "Keep-Alive: 300\r\n"
          "Connection: keep-alive\r\n"
          "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; Maxthon; .NET CLR 1.1.4322)\r\n"
          "\r\n";
    QCOMPARE(m_server->Requests(), QList<QByteArray>{expected});
}

// keepOpen: the server stays silent with the connection open after the response, so a client that waits for
// more than the framing allows (a trailer, the end of the connection) fails.
void TestHttpGetString::responses_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("keepOpen");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("Content-Length 0") << Head("Content-Length: 0\r\n") << true << true << QByteArray();
    QTest::newRow("204 reads no body") << QByteArray("HTTP/1.1 204 No Content\r\n\r\nleftover") << true << true
                                       << QByteArray();
    QTest::newRow("304 reads no body despite a length")
        << QByteArray("HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n\r\n") << true << true << QByteArray();
    QTest::newRow("404 body") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 20\r\n\r\n<html>missing</html>")
                              << true << true << QByteArray("<html>missing</html>");
    QTest::newRow("302 body, not followed")
        << QByteArray("HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 5\r\n\r\nmoved") << true << true
        << QByteArray("moved");
    QTest::newRow("302 without body") << QByteArray("HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\n\r\n") << false
                                      << true << QByteArray();
    QTest::newRow("chunked with extensions, trailer not read") << Head("Transfer-Encoding: chunked\r\n")
            + "5;name=value\r\nhello\r\n7 ; ext\r\n, world\r\n0\r\nX-Trailer: t\r\n"
                                                               << true << true << QByteArray("hello, world");
    QTest::newRow("chunked before Content-Length")
        << Head("Content-Length: 3\r\nTransfer-Encoding: chunked\r\n") + "4\r\nabcd\r\n0\r\n\r\n"
        << true << true << QByteArray("abcd");
    QTest::newRow("chunked among other codings")
        << Head("Transfer-Encoding: gzip, CHUNKED\r\n") + "a\r\n0123456789\r\n0\r\n"
        << true << true << QByteArray("0123456789");
    QTest::newRow("chunked ends at a line that is not hex")
        << Head("Transfer-Encoding: chunked\r\n") + "3\r\nabc\r\n\r\nend\r\nignored" << true << true
        << QByteArray("abc");
    QTest::newRow("close-delimited") << Head("Content-Type: text/html\r\n") + "<p>one</p>\n<p>two</p>" << false << true
                                     << QByteArray("<p>one</p>\n<p>two</p>");
    QTest::newRow("unparsable Content-Length ignored")
        << Head("Content-Length: ten\r\n") + "to the end" << false << true << QByteArray("to the end");
    QTest::newRow("negative Content-Length") << Head("Content-Length: -4\r\n") + "abcd" << true << true << QByteArray();
    QTest::newRow("no status line") << QByteArray("<html>\n<body>x</body></html>") << false << true
                                    << QByteArray("<html>\r\n<body>x</body></html>");
    QTest::newRow("no status line, first line longer than any header")
        << "<html>" + Filler(100000, 'x') << false << true << "<html>" + Filler(100000, 'x');
    QTest::newRow("folded header") << Head("Transfer-Encoding:\r\n  chunked\r\n") + "2\r\nok\r\n0\r\n"
                                   << true << true << QByteArray("ok");
    QTest::newRow("header names in any case")
        << Head("content-LENGTH: 2\r\n") + "okEXTRA" << true << true << QByteArray("ok");
    QTest::newRow("100 Continue skipped") << QByteArray("HTTP/1.1 100 Continue\r\n\r\n") + Head("Content-Length: 2\r\n")
            + "ok" << true << true << QByteArray("ok");
    QTest::newRow("empty lines before the status line")
        << QByteArray("\r\n\n") + Head("Content-Length: 2\r\n") + "ok" << true << true << QByteArray("ok");
    QTest::newRow("lower-case status line")
        << QByteArray("http/1.0 200 ok\r\ncontent-length: 2\r\n\r\nok") << true << true << QByteArray("ok");
    QTest::newRow("bare LF line ends") << QByteArray("HTTP/1.1 200 OK\nContent-Length: 2\n\nok") << true << true
                                       << QByteArray("ok");
    QTest::newRow("bare CR line ends") << QByteArray("HTTP/1.1 200 OK\rContent-Length: 2\r\rok") << true << true
                                       << QByteArray("ok");
    QTest::newRow("bare CR ends the head, nothing follows")
        << QByteArray("HTTP/1.1 200 OK\rContent-Length: 0\r\r") << true << true << QByteArray();

    QTest::newRow("closed before anything") << QByteArray() << false << false << QByteArray();
    QTest::newRow("closed after the status line")
        << QByteArray("HTTP/1.1 200 OK\r\n") << false << false << QByteArray();
    QTest::newRow("closed inside a header")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Le") << false << false << QByteArray();
    QTest::newRow("Content-Length body cut off")
        << Head("Content-Length: 10\r\n") + "hello" << false << false << QByteArray();
    QTest::newRow("chunk cut off") << Head("Transfer-Encoding: chunked\r\n") + "a\r\nhello" << false << false
                                   << QByteArray();
    QTest::newRow("chunked without its last chunk") << Head("Transfer-Encoding: chunked\r\n") + "3\r\nabc\r\n"
                                                    << false << false << QByteArray();
}

void TestHttpGetString::responses()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, keepOpen);
    QFETCH(bool, ok);
    QFETCH(QByteArray, body);
    TResponseScript script = TResponseScript::Raw(response);
    if (keepOpen)
        script.Stall();
    m_server->Enqueue(script);

    const THttpResult result = HttpGet(m_server->Url("/search?q=x"), WaitMs);

    QCOMPARE(result.ok, ok);
    QCOMPARE(result.body, body);
    QCOMPARE(m_server->Requests().size(), 1);
}

// Each of these would be accepted, or read without bound, if the reader trusted the server.
void TestHttpGetString::limits_data()
{
    QTest::addColumn<QByteArray>("response");

    QTest::newRow("Content-Length beyond 64 bits") << Head("Content-Length: 99999999999999999999999\r\n") + "hello";
    QTest::newRow("chunk size of 20 hex digits")
        << Head("Transfer-Encoding: chunked\r\n") + "FFFFFFFFFFFFFFFFFFFF\r\nhello\r\n0\r\n\r\n";
    QTest::newRow("endless header line") << Head("X-Filler: " + Filler(8 << 20, 'a') + "\r\nContent-Length: 2\r\n")
            + "ok";
    QTest::newRow("endless folded header")
        << Head("X-Filler: a\r\n" + QByteArray(" " + Filler(60, 'b') + "\r\n").repeated(2000) + "Content-Length: 2\r\n")
            + "ok";
    QTest::newRow("endless chunk-size line")
        << Head("Transfer-Encoding: chunked\r\n") + "2" + Filler(8 << 20, ' ') + "\r\nok\r\n0\r\n\r\n";
    QTest::newRow("body over 64 MiB") << Head({}) + Filler((64 << 20) + 1, 'x');
}

void TestHttpGetString::limits()
{
    QFETCH(QByteArray, response);
    m_server->Enqueue(TResponseScript::Raw(response));

    const THttpResult result = HttpGet(m_server->Url("/"), WaitMs);

    QVERIFY(!result.ok);
    QVERIFY(result.body.isEmpty());
}

void TestHttpGetString::pageText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");

    QTest::newRow("Chinese and ASCII") << QByteArray("<b>连衣裙 dress</b>") << QString::fromUtf8("<b>连衣裙 dress</b>");
    QTest::newRow("an emoji becomes ?") << QByteArray("好\xF0\x9F\x98\x80看") << QString::fromUtf8("好?看");
    QTest::newRow("cut-off sequence fails the page") << QByteArray("title 好\xE5\xA5") << QString();
}

void TestHttpGetString::pageText()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    m_server->Enqueue(TResponseScript::WithLength(200, body));

    QCOMPARE(HttpGetString(m_server->Url("/"), WaitMs), text);
}

void TestHttpGetString::waits_data()
{
    QTest::addColumn<TResponseScript>("script");
    QTest::addColumn<QString>("text");

    const QByteArray page = Head("Content-Length: 40\r\n") + Filler(40, 'p');
    QTest::newRow("silent server") << TResponseScript().Stall() << QString();
    QTest::newRow("stall inside the head") << TResponseScript::Raw("HTTP/1.1 200 OK\r\nContent-").Stall() << QString();
    QTest::newRow("stall inside a sized body") << TResponseScript::Raw(page.left(page.size() - 5)).Stall() << QString();
    QTest::newRow("stall inside a close-delimited body")
        << TResponseScript::Raw(Head({}) + "hello").Stall() << QString();
    // Twenty pieces 40 ms apart take far longer than one wait, but no single wait runs out.
    QTest::newRow("slow steady drip") << TResponseScript().Drip(page, int(page.size() / 20) + 1, 40)
                                      << QString(Filler(40, 'p'));
}

void TestHttpGetString::waits()
{
    QFETCH(TResponseScript, script);
    QFETCH(QString, text);
    m_server->Enqueue(script);

    QCOMPARE(HttpGetString(m_server->Url("/"), WaitMs), text);
}

void TestHttpGetString::resets_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("text");

    QTest::newRow("inside a sized body") << Head("Content-Length: 10\r\n") + "hello" << QString();
    QTest::newRow("inside a chunked body") << Head("Transfer-Encoding: chunked\r\n") + "a\r\nhello" << QString();
    QTest::newRow("ends a close-delimited body") << Head({}) + "hello" << QStringLiteral("hello");
}

void TestHttpGetString::resets()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, text);
    m_server->Enqueue(TResponseScript::Raw(sent).Reset());

    QCOMPARE(HttpGetString(m_server->Url("/"), WaitMs), text);
}

void TestHttpGetString::refusedConnectionGivesEmptyText()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();

    THttpResult outcome;
    QCOMPARE(HttpGetString(QStringLiteral("http://127.0.0.1:%1/").arg(port), ShortWaits(), &outcome), QString());
    QCOMPARE(outcome.failure, THttpFailure::Connect);
}

void TestHttpGetString::httpsIsNotAttempted()
{
    m_server->ServePage("/", "page");

    QCOMPARE(HttpGetString(QStringLiteral("https://%1/").arg(m_server->Host()), WaitMs), QString());
    QVERIFY(m_server->Requests().isEmpty());
}

void TestHttpGetString::unsafeUrlIsNeverSent_data()
{
    QTest::addColumn<QString>("target");

    QTest::newRow("CR LF in the query") << QStringLiteral("/search?q=a\r\nCookie: x=1");
    QTest::newRow("bare LF") << QStringLiteral("/search?q=a\nX: 1");
    QTest::newRow("bare CR") << QStringLiteral("/search?q=a\rX: 1");
    QTest::newRow("NUL") << QStringLiteral("/search?q=a") + QChar(0) + QStringLiteral("b");
}

void TestHttpGetString::unsafeUrlIsNeverSent()
{
    QFETCH(QString, target);
    m_server->SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, "page"); });

    QCOMPARE(HttpGetString(m_server->Url(target), WaitMs), QString());
    QVERIFY(m_server->Requests().isEmpty());
}

void TestHttpGetString::cookiesAreNeverSent()
{
    m_server->SetHandler([](const QByteArray&) {
        return TResponseScript::WithLength(200, "page", {"Set-Cookie: session=abc; Path=/"});
    });
    const QString url = m_server->Url("/search?q=x");

    QCOMPARE(HttpGetString(url, WaitMs), QStringLiteral("page"));
    QCOMPARE(HttpGetString(url, WaitMs), QStringLiteral("page"));

    const QList<QByteArray> requests = m_server->Requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[1], requests[0]);
    QVERIFY(!requests[1].contains("Cookie"));
}

// Chunk sizes of more than one hex digit, and a size line that arrives in two reads.
void TestHttpGetString::chunkSizesAreHex_data()
{
    QTest::addColumn<TResponseScript>("script");
    QTest::addColumn<QByteArray>("body");

    const QByteArray a26 = Filler(0x1A, 'a');
    const QByteArray b256 = Filler(0x100, 'b');
    const QByteArray head = Head("Transfer-Encoding: chunked\r\n");
    QTest::newRow("1A and 100") << TResponseScript::Raw(head + "1A\r\n" + a26 + "\r\n100\r\n" + b256 + "\r\n0\r\n\r\n")
                                << a26 + b256;
    QTest::newRow("size 100 split across two reads")
        << TResponseScript::Raw(head + "1A\r\n" + a26 + "\r\n1").Pause(100).Send("00\r\n" + b256 + "\r\n0\r\n\r\n")
        << a26 + b256;
    QTest::newRow("size 1A split across two reads")
        << TResponseScript::Raw(head + "1").Pause(100).Send("a\r\n" + a26 + "\r\n0\r\n\r\n") << a26;
}

void TestHttpGetString::chunkSizesAreHex()
{
    QFETCH(TResponseScript, script);
    QFETCH(QByteArray, body);
    m_server->Enqueue(script.Stall());

    const THttpResult result = HttpGet(m_server->Url("/"), WaitMs);

    QVERIFY(result.ok);
    QCOMPARE(result.body, body);
}

// The status, the redirect target and the kind of failure survive the download, for the run to report.
void TestHttpGetString::outcomeKeepsWhatTheExchangeLearned_data()
{
    QTest::addColumn<TResponseScript>("script");
    QTest::addColumn<THttpFailure>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("location");

    QTest::newRow("200") << TResponseScript::WithLength(200, "page") << THttpFailure::None << 200 << QByteArray();
    QTest::newRow("404") << TResponseScript::WithLength(404, "<html>gone</html>") << THttpFailure::None << 404
                         << QByteArray();
    QTest::newRow("302 to https") << TResponseScript::WithLength(302, "", {"Location:  https://s.example/search?q=x "})
                                  << THttpFailure::None << 302 << QByteArray("https://s.example/search?q=x");
    QTest::newRow("no status line") << TResponseScript::Raw("<html>x</html>") << THttpFailure::None << 0
                                    << QByteArray();
    QTest::newRow("cut off") << TResponseScript::Raw(Head("Content-Length: 10\r\n") + "hello") << THttpFailure::CutOff
                             << 200 << QByteArray();
    QTest::newRow("too large") << TResponseScript::Raw(Head("Content-Length: 99999999999999999999\r\n"))
                               << THttpFailure::TooLarge << 200 << QByteArray();
    QTest::newRow("not UTF-8") << TResponseScript::WithLength(200, "\xff\xfe binary") << THttpFailure::Encoding << 200
                               << QByteArray();
}

void TestHttpGetString::outcomeKeepsWhatTheExchangeLearned()
{
    QFETCH(TResponseScript, script);
    QFETCH(THttpFailure, failure);
    QFETCH(int, status);
    QFETCH(QByteArray, location);
    m_server->Enqueue(script);

    THttpResult outcome;
    HttpGetString(m_server->Url("/"), ShortWaits(), &outcome);

    QCOMPARE(outcome.failure, failure);
    QCOMPARE(outcome.ok, failure == THttpFailure::None);
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.location, location);
    QVERIFY(outcome.body.isEmpty());
}

// Every way a server can hold a download ends it with an empty text within its wait: silent after the accept,
// a byte now and then (each within the silence wait, the page never done), or no answer to the connection.
void TestHttpGetString::waitsBoundHostileServers_data()
{
    QTest::addColumn<TResponseScript>("script"); // unused for the full listener
    QTest::addColumn<bool>("fullListener");
    QTest::addColumn<THttpFailure>("failure");
    QTest::addColumn<int>("waitMs"); // the wait that ends it

    const THttpOptions waits = ShortWaits();
    QTest::newRow("silent after accept") << TResponseScript().Stall() << false << THttpFailure::Silence
                                         << waits.SilenceMs;
    QTest::newRow("silent inside the body") << TResponseScript::Raw(Head("Content-Length: 9\r\n") + "abc").Stall()
                                            << false << THttpFailure::Silence << waits.SilenceMs;
    QTest::newRow("a byte every 100 ms") << TResponseScript().Drip(Head({}) + Filler(200, 'x'), 1, 100).Stall() << false
                                         << THttpFailure::Deadline << waits.DeadlineMs;
    QTest::newRow("listener never accepts")
        << TResponseScript() << true << THttpFailure::ConnectTimeout << waits.ConnectMs;
}

void TestHttpGetString::waitsBoundHostileServers()
{
    QFETCH(TResponseScript, script);
    QFETCH(bool, fullListener);
    QFETCH(THttpFailure, failure);
    QFETCH(int, waitMs);
    TFullListener listener;
    QString url = m_server->Url("/");
    if (fullListener) {
        QVERIFY(listener.Port() != 0);
        url = QStringLiteral("http://127.0.0.1:%1/").arg(listener.Port());
    } else {
        m_server->Enqueue(script);
    }

    QElapsedTimer clock;
    clock.start();
    THttpResult outcome;
    QCOMPARE(HttpGetString(url, ShortWaits(), &outcome), QString());
    const qint64 elapsed = clock.elapsed();

    QCOMPARE(outcome.failure, failure);
    QVERIFY2(elapsed >= waitMs - 50 && elapsed < waitMs + 2000, qPrintable(QString::number(elapsed)));
}

// The abort ends a download at once wherever it waits, long before any of its waits would.
void TestHttpGetString::abortEndsEveryWait_data()
{
    QTest::addColumn<TResponseScript>("script");
    QTest::addColumn<bool>("fullListener");
    QTest::newRow("connecting") << TResponseScript() << true;
    QTest::newRow("waiting for the head") << TResponseScript().Stall() << false;
    QTest::newRow("inside a dripping body")
        << TResponseScript().Drip(Head({}) + Filler(200, 'x'), 1, 50).Stall() << false;
}

void TestHttpGetString::abortEndsEveryWait()
{
    QFETCH(TResponseScript, script);
    QFETCH(bool, fullListener);
    TFullListener listener;
    QString url = m_server->Url("/");
    if (fullListener) {
        QVERIFY(listener.Port() != 0);
        url = QStringLiteral("http://127.0.0.1:%1/").arg(listener.Port());
    } else {
        m_server->Enqueue(script);
    }
    THttpOptions options;
    options.Abort = std::make_shared<TAbortSignal>();
    std::thread aborter([abort = options.Abort]() {
        QThread::msleep(300);
        abort->Fire();
    });

    QElapsedTimer clock;
    clock.start();
    THttpResult outcome;
    const QString text = HttpGetString(url, options, &outcome);
    const qint64 elapsed = clock.elapsed();
    aborter.join();

    QCOMPARE(text, QString());
    QCOMPARE(outcome.failure, THttpFailure::Aborted);
    QVERIFY2(elapsed < 1500, qPrintable(QString::number(elapsed)));
}

QTEST_GUILESS_MAIN(TestHttpGetString)
#include "TestHttpGetString.moc"
