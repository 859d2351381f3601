// The collector without a window: its command line, its output, its exit statuses, and a watch's run over two
// days of the fake marketplace.
#include "cli/TCollector.h"
#include "collect/INotifier.h"
#include "storage/uConst.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace {
// Remembers every notification instead of showing it.
class TNotifications : public INotifier
{
public:
    void Notify(const QString& summary, const QString& body) override { Seen << summary + QLatin1Char('\n') + body; }
    QStringList Seen;
};

// A listing of the page-config framing with its own price.
QByteArray Listing(int id, const QString& price)
{
    return QStringLiteral("{\"nid\":\"%1\",\"raw_title\":\"商品 %1\",\"detail_url\":\"//item.example/item.htm?id=%1\","
                          "\"view_price\":\"%2\",\"nick\":\"店主\",\"user_id\":\"7\"}")
        .arg(id)
        .arg(price)
        .toUtf8();
}

QByteArray PageOf(const QList<QByteArray>& listings)
{
    return "<script>g_page_config = {\"mods\":{\"itemlist\":{\"data\":{\"auctions\":[" + listings.join(',')
        + "]}}}};\ng_srp_loadCss();</script>";
}
} // namespace

class TestCollector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void badUsage_data();
    void badUsage();
    void goodUsage_data();
    void goodUsage();
    void runPrintsTheLogAndASummary();
    void jsonGivesOneObjectPerRun();
    void failedRunExitsWithOne();
    void stopEndsTheRunAsStopped();
    void databaseThatCannotOpenExitsWithThree();
    void watchOverTwoDaysComparesAndAlerts();
    void watchCommands();
    void programAnswersHelpAndBadUsage();

private:
    int Execute(const QStringList& arguments);
    TRunParams Params() const;

    std::unique_ptr<TFakeMarketplace> m_server;
    TNotifications m_notifications;
    QString m_out;
    QString m_err;
};

void TestCollector::initTestCase()
{
    InitPaths();
}

void TestCollector::init()
{
    QFile::remove(DbPath);
    m_server = std::make_unique<TFakeMarketplace>();
    QVERIFY(m_server->Start());
    m_notifications.Seen.clear();
    m_out.clear();
    m_err.clear();
}

TRunParams TestCollector::Params() const
{
    TRunParams params;
    params.Host = m_server->Host();
    params.PauseMs = 10;
    params.TimeoutMs = 3000;
    return params;
}

int TestCollector::Execute(const QStringList& arguments)
{
    m_out.clear();
    m_err.clear();
    QTextStream out(&m_out);
    QTextStream err(&m_err);
    TCollector collector(out, err, &m_notifications, Params());
    const int status = collector.Execute(arguments);
    out.flush();
    err.flush();
    return status;
}

void TestCollector::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"fetch", "desk"};
    QTest::newRow("unknown option") << QStringList{"run", "--fast", "desk"};
    QTest::newRow("run without keyword") << QStringList{"run", "--pages", "2"};
    QTest::newRow("pages 0") << QStringList{"run", "--pages", "0", "desk"};
    QTest::newRow("pages 101") << QStringList{"run", "--pages", "101", "desk"};
    QTest::newRow("pages not a number") << QStringList{"run", "--pages", "two", "desk"};
    QTest::newRow("pages without value") << QStringList{"run", "desk", "--pages"};
    QTest::newRow("keyword outside the code page") << QStringList{"run", "desk", QStringLiteral("한국")};
    QTest::newRow("watch without subcommand") << QStringList{"watch"};
    QTest::newRow("unknown watch subcommand") << QStringList{"watch", "edit", "1"};
    QTest::newRow("interval too short") << QStringList{"watch", "add", "desk", "--every", "0.4"};
    QTest::newRow("interval too long") << QStringList{"watch", "add", "desk", "--every", "169"};
    QTest::newRow("negative percent") << QStringList{"watch", "add", "desk", "--drop", "-5"};
    QTest::newRow("percent not a number") << QStringList{"watch", "add", "desk", "--drop", "abc"};
    QTest::newRow("negative price") << QStringList{"watch", "add", "desk", "--below", "-1"};
    QTest::newRow("price not a number") << QStringList{"watch", "add", "desk", "--below", "nan"};
    QTest::newRow("two keywords for a watch") << QStringList{"watch", "add", "desk", "chair"};
    QTest::newRow("watch id not a number") << QStringList{"watch", "remove", "x"};
    QTest::newRow("watch run with a keyword") << QStringList{"watch", "run", "desk"};
}

// Bad input gets a message and the usage, exit status 2, and changes nothing: no database file is even made.
void TestCollector::badUsage()
{
    QFETCH(QStringList, arguments);
    QCOMPARE(Execute(arguments), TCollector::BadUsage);
    QVERIFY(m_err.startsWith(QStringLiteral("mercatix-collect：")));
    QVERIFY(m_err.contains(QStringLiteral("用法：")));
    QVERIFY(m_out.isEmpty());
    QVERIFY(!QFile::exists(DbPath));
    QVERIFY(m_server->Requests().isEmpty());
}

void TestCollector::goodUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("what");
    QTest::addColumn<int>("pages");
    QTest::addColumn<bool>("json");
    QTest::newRow("run, default pages") << QStringList{"run", "desk", "chair"} << int(TCollectorCommand::Run) << 3
                                        << false;
    QTest::newRow("run, options anywhere")
        << QStringList{"run", "desk", "--json", "--pages", "100"} << int(TCollectorCommand::Run) << 100 << true;
    QTest::newRow("watch add") << QStringList{"watch", "add", "desk", "--every", "0.5", "--drop", "10", "--below", "0"}
                               << int(TCollectorCommand::WatchAdd) << 3 << false;
    QTest::newRow("watch run all") << QStringList{"watch", "run", "--all", "--json"} << int(TCollectorCommand::WatchRun)
                                   << 3 << true;
    QTest::newRow("help") << QStringList{"--help"} << int(TCollectorCommand::Help) << 3 << false;
}

void TestCollector::goodUsage()
{
    QFETCH(QStringList, arguments);
    TCollectorCommand command;
    QString error;
    QVERIFY2(TCollectorCommand::Parse(arguments, &command, &error), qPrintable(error));
    QTEST(int(command.What), "what");
    QTEST(command.Pages, "pages");
    QTEST(command.Json, "json");
}

void TestCollector::runPrintsTheLogAndASummary()
{
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(3)));
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(0)));
    QCOMPARE(Execute({"run", "--pages", "2", "desk"}), TCollector::AllComplete);
    const QStringList lines = m_out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.first().endsWith(QStringLiteral(":   =======开始采集=======")), qPrintable(m_out));
    QVERIFY(lines.at(lines.size() - 2).endsWith(QStringLiteral(":   =======完成采集=======")));
    QCOMPARE(lines.last(), QStringLiteral("完成 desk：1 页，3 条；新增 0，消失 0，降价 0，涨价 0，提醒 0"));
    QCOMPARE(QueryDatabaseFile(DbPath, "select count(*) from goodslist where run_id is not null").toInt(), 3);
    QCOMPARE(QueryDatabaseFile(DbPath, "select source || ' ' || outcome from collectrun").toString(),
             QStringLiteral("command complete"));
}

void TestCollector::jsonGivesOneObjectPerRun()
{
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(2)));
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(2, 2)));
    QCOMPARE(Execute({"run", "--json", "--pages", "1", "desk", "chair"}), TCollector::AllComplete);
    const QStringList lines = m_out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines.first().toUtf8()).object();
    QCOMPARE(first.value("keyword").toString(), QStringLiteral("desk"));
    QCOMPARE(first.value("outcome").toString(), QStringLiteral("complete"));
    QCOMPARE(first.value("pages").toInt(), 1);
    QCOMPARE(first.value("rows").toInt(), 2);
    QVERIFY(first.value("run_id").toInteger() > 0);
    for (const char* key : {"reason", "new", "gone", "down", "up", "alerts"}) {
        QVERIFY2(first.contains(QLatin1String(key)), key);
    }
    QCOMPARE(QJsonDocument::fromJson(lines.last().toUtf8()).object().value("keyword").toString(),
             QStringLiteral("chair"));
}

void TestCollector::failedRunExitsWithOne()
{
    m_server->Enqueue(TResponseScript::WithLength(200, TSearchPages::Page(2)));
    m_server->Enqueue(TResponseScript::WithLength(503, "busy"));
    QCOMPARE(Execute({"run", "--json", "--pages", "1", "desk", "chair"}), TCollector::NotAllComplete);
    const QJsonObject second
        = QJsonDocument::fromJson(m_out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).last().toUtf8()).object();
    QCOMPARE(second.value("outcome").toString(), QStringLiteral("failed"));
    QVERIFY(second.value("reason").toString().contains(QStringLiteral("503")));
}

void TestCollector::stopEndsTheRunAsStopped()
{
    m_server->Enqueue(TResponseScript().Stall());
    QTextStream out(&m_out);
    QTextStream err(&m_err);
    TCollector collector(out, err, &m_notifications, Params());
    QTimer::singleShot(300, &collector, &TCollector::Stop);
    QCOMPARE(collector.Execute({"run", "--json", "desk", "chair"}), TCollector::NotAllComplete);
    out.flush();
    const QStringList lines = m_out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1, qPrintable(m_out)); // the second keyword is not run
    QCOMPARE(QJsonDocument::fromJson(lines.first().toUtf8()).object().value("outcome").toString(),
             QStringLiteral("stopped"));
    QCOMPARE(QueryDatabaseFile(DbPath, "select outcome from collectrun").toString(), QStringLiteral("stopped"));
}

void TestCollector::databaseThatCannotOpenExitsWithThree()
{
    QFile file(DbPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    QCOMPARE(Execute({"run", "desk"}), TCollector::NoDatabase);
    QVERIFY2(m_err.contains(QDir::toNativeSeparators(DbPath)), qPrintable(m_err));
    QVERIFY(m_server->Requests().isEmpty());
    QFile::remove(DbPath);
}

// Day one: three listings. Day two: one cheaper by 20 %, one dearer, one gone, one new at a low price.
void TestCollector::watchOverTwoDaysComparesAndAlerts()
{
    QCOMPARE(Execute({"watch", "add", "desk", "--pages", "1", "--drop", "15", "--below", "5"}),
             TCollector::AllComplete);
    m_server->Enqueue(
        TResponseScript::WithLength(200, PageOf({Listing(1, "100.00"), Listing(2, "50.00"), Listing(3, "30.00")})));
    QCOMPARE(Execute({"watch", "run", "--json"}), TCollector::AllComplete);
    QJsonObject day = QJsonDocument::fromJson(m_out.trimmed().toUtf8()).object();
    QCOMPARE(day.value("alerts").toArray().size(), 0);
    QCOMPARE(Execute({"watch", "run", "--json"}), TCollector::AllComplete);
    QVERIFY2(m_out.trimmed().isEmpty(), qPrintable(m_out)); // not due again yet

    m_server->Enqueue(
        TResponseScript::WithLength(200, PageOf({Listing(1, "80.00"), Listing(2, "55.00"), Listing(4, "4.50")})));
    QCOMPARE(Execute({"watch", "run", "--all", "--json"}), TCollector::AllComplete);
    day = QJsonDocument::fromJson(m_out.trimmed().toUtf8()).object();
    QCOMPARE(day.value("new").toInt(), 1);
    QCOMPARE(day.value("gone").toInt(), 1);
    QCOMPARE(day.value("down").toInt(), 1);
    QCOMPARE(day.value("up").toInt(), 1);
    QStringList rules;
    for (const QJsonValue& alert : day.value("alerts").toArray()) {
        rules << alert.toObject().value("rule").toString() + QLatin1Char(' ')
                + alert.toObject().value("item_key").toString();
    }
    rules.sort();
    QCOMPARE(rules, QStringList({"below 4", "drop 1"}));
    QCOMPARE(m_notifications.Seen.size(), 1);
    QVERIFY(m_notifications.Seen.first().contains(QStringLiteral("2 条价格提醒")));
    QCOMPARE(QueryDatabaseFile(DbPath, "select count(*) from alertlog").toInt(), 2);
}

void TestCollector::watchCommands()
{
    QCOMPARE(Execute({"watch", "add", "desk", "--every", "12"}), TCollector::AllComplete);
    QVERIFY(m_out.contains(QStringLiteral("desk")));
    QCOMPARE(Execute({"watch", "list"}), TCollector::AllComplete);
    QVERIFY(m_out.contains(QStringLiteral("desk")));
    QVERIFY(m_out.contains(QStringLiteral("12 小时")));
    QCOMPARE(Execute({"watch", "remove", "99"}), TCollector::BadUsage);
    QVERIFY(!m_err.isEmpty());
    const qint64 id = QueryDatabaseFile(DbPath, "select id from watchlist").toLongLong();
    QCOMPARE(Execute({"watch", "remove", QString::number(id)}), TCollector::AllComplete);
    QCOMPARE(QueryDatabaseFile(DbPath, "select count(*) from watchlist").toInt(), 0);
}

void TestCollector::programAnswersHelpAndBadUsage()
{
    QProcess program;
    program.start(QStringLiteral(MERCATIX_COLLECT), {"--help"});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(QString::fromUtf8(program.readAllStandardOutput()).contains(QStringLiteral("用法：")));
    program.start(QStringLiteral(MERCATIX_COLLECT), {"fetch"});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(QString::fromUtf8(program.readAllStandardError()).contains(QStringLiteral("未知命令")));
}

QTEST_GUILESS_MAIN(TestCollector)
#include "TestCollector.moc"
