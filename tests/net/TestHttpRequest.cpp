#include "net/HttpRequest.h"
#include "net/THttpUrl.h"

#include <QTest>

namespace {
QByteArray Request(const QByteArray& target, const QByteArray& host)
{
    return "GET " + target + " HTTP/1.0\r\nHost: " + host
        + "\r\nKeep-Alive: 300\r\nConnection: keep-alive\r\n"
          "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; Maxthon; .NET CLR 1.1.4322)\r\n\r\n";
}
} // namespace

class TestHttpRequest : public QObject
{
    Q_OBJECT

private slots:
    void build_data();
    void build();
    void rejectedUrls_data();
    void rejectedUrls();
};

void TestHttpRequest::build_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("default port") << QStringLiteral("http://s.taobao.com/search?q=x")
                                  << Request("/search?q=x", "s.taobao.com");
    QTest::newRow("port 80 named") << QStringLiteral("http://s.taobao.com:80/search")
                                   << Request("/search", "s.taobao.com");
    QTest::newRow("other port") << QStringLiteral("http://s.taobao.com:8080/search")
                                << Request("/search", "s.taobao.com:8080");
    QTest::newRow("no scheme") << QStringLiteral("s.taobao.com/search?q=a b")
                               << Request("/search?q=a b", "s.taobao.com");
    QTest::newRow("scheme in capitals") << QStringLiteral("HTTP://h/") << Request("/", "h");
    QTest::newRow("no path") << QStringLiteral("http://s.taobao.com") << Request("/", "s.taobao.com");
    QTest::newRow("reserved bytes go out raw")
        << QStringLiteral("http://h/search?q=%E4+ #x&s=44") << Request("/search?q=%E4+ #x&s=44", "h");
    QTest::newRow("Chinese as code page 936")
        << QString::fromUtf8("http://h:81/search?q=夏季") << Request("/search?q=\xCF\xC4\xBC\xBE", "h:81");
}

void TestHttpRequest::build()
{
    QFETCH(QString, url);
    QFETCH(QByteArray, request);
    QString error;

    const std::optional<THttpUrl> parts = THttpUrl::Parse(url, &error);

    QVERIFY2(parts, qPrintable(error));
    QCOMPARE(parts->scheme, QByteArray("http"));
    QCOMPARE(HttpRequest::Build(*parts), request);
}

void TestHttpRequest::rejectedUrls_data()
{
    QTest::addColumn<QString>("url");

    QTest::newRow("no host") << QStringLiteral("http:///search");
    QTest::newRow("only a port") << QStringLiteral("http://:8080/search");
    QTest::newRow("empty port") << QStringLiteral("http://h:/search");
    QTest::newRow("port 0") << QStringLiteral("http://h:0/search");
    QTest::newRow("port beyond 65535") << QStringLiteral("http://h:65536/search");
    QTest::newRow("port not a number") << QStringLiteral("http://h:8o/search");
    QTest::newRow("line feed") << QStringLiteral("http://h/search?q=a\nHost: evil");
}

void TestHttpRequest::rejectedUrls()
{
    QFETCH(QString, url);
    QString error;

    QVERIFY(!THttpUrl::Parse(url, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestHttpRequest)
#include "TestHttpRequest.moc"
