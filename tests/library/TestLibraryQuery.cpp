#include "library/TLibraryQuery.h"
#include "library/TPriceStats.h"
#include "page/TItemKey.h"
#include "page/TListingArray.h"
#include "storage/TLibrarySchema.h"
#include "library/TLibraryWorker.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TStatement.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"
#include "tests/TestPaths.h"
#include "tests/storage/TWarningRecorder.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <rapidjson/document.h>

Q_DECLARE_METATYPE(TLibraryFilter)

namespace {
struct TSample
{
    const char* title;
    const char* nick;
    const char* loc;
    QVariant price;
    const char* keyword;
    const char* collected;
};

// A small table whose texts hold the characters a search must take literally.
const TSample Samples[] = {
    {"实木办公桌 简约现代 家用电脑桌子", "木匠之家", "浙江 杭州", 299.0, "办公桌", "2026-12-01T10:00:00+08:00"},
    {"办公椅 人体工学 转椅", "舒坐旗舰店", "广东 佛山", 159.5, "办公椅", "2026-12-01T11:00:00+08:00"},
    {"100% 纯棉 \"特价\" 桌布", "布艺*坊", "江苏 南通", 19.9, "桌布", "2026-12-02T09:30:00+08:00"},
    {"桌布_防水 (NEAR 款) a:b", "100_店", "上海", QVariant(), "桌布", "2026-12-02T23:59:59+08:00"},
    {"学生书桌 儿童学习桌 可升降", "童趣家居", "浙江 金华", 459.0, "书桌", nullptr},
    {"升降桌 电动 站立办公桌", "智能办公", "浙江 杭州", 1299.0, "办公桌", "2026-12-03T08:00:00+08:00"},
};

QString ConnectionString(const QString& path)
{
    return TDBFunc::ConnectionString(path, TDBFunc::Password());
}

bool Exec(TConnection* connection, const QString& sql, const QVariantList& values = {})
{
    TStatement statement;
    QString error;
    const bool ok
        = statement.Prepare(connection, sql, &error) && statement.Bind(values, &error) && statement.Run(&error);
    if (!ok) {
        qWarning() << sql << error;
    }
    return ok;
}

QVariant Scalar(TConnection* connection, const QString& sql, const QVariantList& values = {})
{
    TStatement statement;
    QString error;
    if (!statement.Prepare(connection, sql, &error) || !statement.Bind(values, &error) || !statement.Next()) {
        return QVariant(statement.Failed() ? statement.Error() : error);
    }
    return statement.Value(0);
}

// The index agrees with the table it indexes (FTS5's own check against its content).
bool IndexConsistent(TConnection* connection)
{
    return Exec(connection,
                QStringLiteral("INSERT INTO goodslist_fts(goodslist_fts, rank) VALUES('integrity-check', 1)"));
}

QList<qint64> Ids(const std::vector<TLibraryQuery::TRow>& rows)
{
    QList<qint64> ids;
    for (const TLibraryQuery::TRow& row : rows) {
        ids.append(row.Values.at(0).toLongLong());
    }
    return ids;
}

QByteArray FixtureAuctions()
{
    QFile file(QStringLiteral(MERCATIX_FIXTURES_DIR "/search-page-config-2018.js"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    const QByteArray text = file.readAll();
    return text.mid(text.indexOf('{'), text.lastIndexOf('}') - text.indexOf('{') + 1);
}
} // namespace

class TestLibraryQuery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void engineHasTrigramSearch();
    void upgradeOfFileMadeBeforeTheStep();
    void upgradeReportsProgressInSteps();
    void failedUpgradeLeavesFileAsItWas();
    void newFileHasIndexAndTimes();
    void indexFollowsInsertUpdateDelete();
    void search_data();
    void search();
    void filters_data();
    void filters();
    void impossiblePriceRangeIsExplained();
    void dateRangeAtItsEnds_data();
    void dateRangeAtItsEnds();
    void nonFinitePriceIsRefused_data();
    void nonFinitePriceIsRefused();
    void rowsWithoutKeywordAreOneKeyword();
    void pagingMatchesOrder_data();
    void pagingMatchesOrder();
    void groupingOfRealPage();
    void listingsInTheOrderOfTheirFigures_data();
    void listingsInTheOrderOfTheirFigures();
    void summaryFollowsEveryChange();
    void rowsWithoutKeyJoinTheirListing();
    void sellers();
    void deleteInOneTransaction();
    void itemKey_data();
    void itemKey();
    void priceStats();
    void workerCancelsTheJobsOfOneOwner();

private:
    void CreateSampleFile();
    void OpenQuery(TLibraryQuery* query);

    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestLibraryQuery::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("gleanbox.db"));
}

void TestLibraryQuery::cleanup()
{
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

void TestLibraryQuery::CreateSampleFile()
{
    TDM dm;
    QString error;
    QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
    for (const TSample& s : Samples) {
        QVERIFY(Exec(dm.conn(),
                     QStringLiteral("INSERT INTO goodslist(title, nick, item_loc, view_price, keyname, collect_time, "
                                    "detail_url) VALUES (?, ?, ?, ?, ?, ?, '//d/item.htm?id=' || "
                                    "(SELECT count(*) FROM goodslist))"),
                     {QString::fromUtf8(s.title), QString::fromUtf8(s.nick), QString::fromUtf8(s.loc), s.price,
                      QString::fromUtf8(s.keyword),
                      s.collected != nullptr ? QVariant(QString::fromLatin1(s.collected)) : QVariant()}));
    }
    dm.CloseDatabase();
}

void TestLibraryQuery::OpenQuery(TLibraryQuery* query)
{
    QString error;
    QVERIFY2(query->Open(ConnectionString(m_path), &error), qPrintable(error));
}

void TestLibraryQuery::engineHasTrigramSearch()
{
    CreateSampleFile();
    TConnection connection;
    QString error;
    QVERIFY(connection.Open(ConnectionString(m_path), &error));
    TStatement options;
    QVERIFY(options.Prepare(&connection, QStringLiteral("PRAGMA compile_options"), &error));
    QStringList names;
    while (options.Next()) {
        names.append(options.Value(0).toString());
    }
    QVERIFY2(names.contains(QStringLiteral("ENABLE_FTS5")), qPrintable(names.join(' ')));
    QCOMPARE(Scalar(&connection, QStringLiteral("SELECT sql LIKE '%trigram%' FROM sqlite_master WHERE name = ?"),
                    {QStringLiteral("goodslist_fts")})
                 .toInt(),
             1);
}

// The fixture was written by the program before this schema step existed: a run of the saved page three
// times (two keywords) and one body-framing listing, at version 1.0.1.
void TestLibraryQuery::upgradeOfFileMadeBeforeTheStep()
{
    QVERIFY(QFile::copy(QStringLiteral(MERCATIX_FIXTURES_DIR "/gleanbox-1.0.1.db"), m_path));
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    qint64 rowsBefore = 0;
    QString checksum;
    {
        TConnection connection;
        QString error;
        QVERIFY2(connection.Open(ConnectionString(m_path), &error), qPrintable(error));
        QCOMPARE(Scalar(&connection, QStringLiteral("SELECT verno FROM userver")).toString(), QStringLiteral("1.0.1"));
        rowsBefore = Scalar(&connection, QStringLiteral("SELECT count(*) FROM goodslist")).toLongLong();
        checksum = Scalar(&connection,
                          QStringLiteral("SELECT group_concat(x, '|') FROM (SELECT id || title || "
                                         "view_price || keyname AS x FROM goodslist ORDER BY id)"))
                       .toString();
    }
    QCOMPARE(rowsBefore, 109);
    QByteArray upgraded;
    for (int start = 1; start <= 2; ++start) {
        TDM dm;
        QString error;
        QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
        QCOMPARE(dm.DBFunc()->Version(), QStringLiteral("1.0.3"));
        QVERIFY2(dm.OpenGoodsQuery(&error), qPrintable(error));
        TConnection* c = dm.conn();
        QCOMPARE(Scalar(c, QStringLiteral("SELECT count(*) FROM goodslist")).toLongLong(), rowsBefore);
        QCOMPARE(Scalar(c,
                        QStringLiteral("SELECT group_concat(x, '|') FROM (SELECT id || title || view_price || "
                                       "keyname AS x FROM goodslist ORDER BY id)"))
                     .toString(),
                 checksum);
        QCOMPARE(Scalar(c, QStringLiteral("SELECT count(*) FROM goodslist WHERE collect_time IS NULL")).toLongLong(),
                 rowsBefore);
        QCOMPARE(Scalar(c, QStringLiteral("SELECT count(*) FROM goodslist_fts")).toLongLong(), rowsBefore);
        QVERIFY(IndexConsistent(c));
        dm.CloseDatabase();
        if (start == 2) {
            QCOMPARE(ReadFileBytes(m_path), upgraded); // the second start found nothing to do
        }
        upgraded = ReadFileBytes(m_path);
    }
    // The columns the program knew before the step read and write as they did.
    TConnection connection;
    QString error;
    QVERIFY(connection.Open(ConnectionString(m_path), &error));
    QVERIFY(Exec(&connection,
                 QStringLiteral("INSERT INTO goodslist(keyname, title, nick, item_loc) "
                                "VALUES ('旧', '旧程序写的行', '', '')")));
    QVERIFY(IndexConsistent(&connection));
    TLibraryQuery query;
    OpenQuery(&query);
    TLibraryFilter filter;
    filter.Search = QStringLiteral("旧程序写");
    QVERIFY(query.SetView(filter, {}, false, &error));
    qint64 rows = 0;
    QVERIFY(query.Count(&rows, &error));
    QCOMPARE(rows, 1);
}

// With progress to show, the upgrade runs on a thread of its own: the caller's timers keep firing while it
// runs, and its progress reports arrive on the caller's thread, in order.
void TestLibraryQuery::upgradeReportsProgressInSteps()
{
    QString made;
    QVERIFY2(MakeFileBeforeSearchIndex(m_path, 70000, &made), qPrintable(made));
    TDM dm;
    QList<qint64> reports;
    qint64 steps = 0;
    int ticks = 0;
    int ticksAtFirstReport = -1;
    bool onCallerThread = true;
    dm.SetUpgradeProgress([&](qint64 done, qint64 total) {
        reports.append(done);
        steps = total;
        onCallerThread = onCallerThread && QThread::currentThread() == thread();
        if (ticksAtFirstReport < 0) {
            ticksAtFirstReport = ticks;
        }
    });
    QTimer timer;
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, [&ticks]() { ++ticks; });
    timer.start();
    QString error;
    QVERIFY(dm.OpenDatabase(m_path, &error));
    timer.stop();
    QCOMPARE(dm.DBFunc()->Version(), QStringLiteral("1.0.3"));
    QVERIFY2(reports.size() >= 4, qPrintable(QString::number(reports.size())));
    QVERIFY(std::is_sorted(reports.begin(), reports.end()));
    QVERIFY(reports.last() <= steps);
    QVERIFY(onCallerThread);
    // The timer went on between the first report and the end.
    QVERIFY2(ticksAtFirstReport >= 0 && ticks - ticksAtFirstReport >= 10,
             qPrintable(QStringLiteral("%1 ticks, %2 at the first report").arg(ticks).arg(ticksAtFirstReport)));
    QVERIFY(IndexConsistent(dm.conn()));
    QCOMPARE(Scalar(dm.conn(), QStringLiteral("SELECT count(*) FROM goodslist_fts WHERE goodslist_fts MATCH ?"),
                    {QStringLiteral("\"row 6999\"")})
                 .toLongLong(),
             11); // 6999 and 69990..69999
}

// An upgrade that fails at its last statement, after the search index is built, on its thread: the whole step
// is rolled back, the failure is shown, and the next start upgrades the file.
void TestLibraryQuery::failedUpgradeLeavesFileAsItWas()
{
    QString made;
    QVERIFY2(MakeFileBeforeSearchIndex(m_path, 30000, &made), qPrintable(made));
    {
        TConnection connection;
        QString error;
        QVERIFY(connection.Open(ConnectionString(m_path), &error));
        // The name of the collection time's index, taken by a table: its CREATE INDEX fails.
        QVERIFY(Exec(&connection, QStringLiteral("CREATE TABLE goodslist_collect_time(n integer)")));
    }
    const auto schema = [this]() {
        TConnection connection;
        QString error;
        connection.Open(ConnectionString(m_path), &error);
        return Scalar(&connection,
                      QStringLiteral("SELECT group_concat(type || ' ' || name || ' ' || coalesce(sql, ''), '|') "
                                     "FROM (SELECT * FROM sqlite_master ORDER BY name)"))
                   .toString()
            + Scalar(&connection, QStringLiteral("SELECT verno || count(*) FROM userver, goodslist")).toString();
    };
    const QString before = schema();
    {
        TDM dm;
        int reports = 0;
        dm.SetUpgradeProgress([&reports](qint64, qint64) { ++reports; });
        QString error;
        QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error)); // the file opens at its version
        QCOMPARE(dm.DBFunc()->Version(), QStringLiteral("1.0.1"));
        QVERIFY(reports > 0);
        QCOMPARE(m_warnings->Texts.size(), 1);
        QVERIFY2(m_warnings->Texts.front().contains(QStringLiteral("goodslist_collect_time")),
                 qPrintable(m_warnings->Texts.front()));
        m_warnings->Texts.clear();
    }
    QCOMPARE(schema(), before);
    {
        TConnection connection;
        QString error;
        QVERIFY(connection.Open(ConnectionString(m_path), &error));
        QVERIFY(Exec(&connection, QStringLiteral("DROP TABLE goodslist_collect_time")));
    }
    TDM dm;
    dm.SetUpgradeProgress([](qint64, qint64) {});
    QString error;
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QCOMPARE(dm.DBFunc()->Version(), QStringLiteral("1.0.3"));
    QCOMPARE(Scalar(dm.conn(), QStringLiteral("SELECT count(*) FROM goodslist_fts")).toLongLong(), 30000);
    QVERIFY(IndexConsistent(dm.conn()));
}

void TestLibraryQuery::newFileHasIndexAndTimes()
{
    TDM dm;
    QString error;
    int reports = 0;
    dm.SetUpgradeProgress([&reports](qint64, qint64) { ++reports; });
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QCOMPARE(reports, 0); // a new file's step takes a moment and shows no progress
    QCOMPARE(dm.DBFunc()->Version(), QStringLiteral("1.0.3"));
    QVERIFY(dm.OpenGoodsQuery(&error));
    QCOMPARE(dm.dsGoodsList()->columnCount(), 16); // the grid's model shows no new column
    rapidjson::Document doc;
    const QByteArray json = FixtureAuctions();
    doc.Parse(json.constData(), json.size());
    const rapidjson::Value& auctions = doc["mods"]["itemlist"]["data"]["auctions"];
    const QString before = TLibrarySchema::CollectTimeNow();
    QVERIFY(dm.SaveAuctionList(QStringLiteral("办公桌"), TListingArray(auctions), &error));
    QVERIFY(dm.ApplyGoodsRows(&error));
    const QString time = Scalar(dm.conn(), QStringLiteral("SELECT max(collect_time) FROM goodslist")).toString();
    QCOMPARE(Scalar(dm.conn(), QStringLiteral("SELECT count(*) FROM goodslist WHERE collect_time = ?"), {time}).toInt(),
             36);
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d([+-]\d\d:\d\d|Z)$)"))
                 .match(time)
                 .hasMatch(),
             qPrintable(time));
    QVERIFY(time >= before.left(19));
    QCOMPARE(Scalar(dm.conn(), QStringLiteral("SELECT nid FROM goodslist WHERE id = 2")).toString(),
             QStringLiteral("538596687562"));
    QVERIFY(IndexConsistent(dm.conn()));
}

void TestLibraryQuery::indexFollowsInsertUpdateDelete()
{
    CreateSampleFile();
    TConnection connection;
    QString error;
    QVERIFY(connection.Open(ConnectionString(m_path), &error));
    const QString count = QStringLiteral("SELECT count(*) FROM goodslist_fts WHERE goodslist_fts MATCH ?");
    QCOMPARE(Scalar(&connection, count, {QStringLiteral("\"办公桌\"")}).toInt(), 2);
    QVERIFY(Exec(&connection, QStringLiteral("UPDATE goodslist SET title = '会议桌' WHERE id = 1")));
    QCOMPARE(Scalar(&connection, count, {QStringLiteral("\"办公桌\"")}).toInt(), 1);
    QCOMPARE(Scalar(&connection, count, {QStringLiteral("\"会议桌\"")}).toInt(), 1);
    QVERIFY(Exec(&connection, QStringLiteral("DELETE FROM goodslist WHERE id = 6")));
    QCOMPARE(Scalar(&connection, count, {QStringLiteral("\"办公桌\"")}).toInt(), 0);
    QVERIFY(Exec(&connection, QStringLiteral("INSERT INTO goodslist(title) VALUES ('新办公桌')")));
    QCOMPARE(Scalar(&connection, count, {QStringLiteral("\"办公桌\"")}).toInt(), 1);
    QVERIFY(IndexConsistent(&connection));
}

void TestLibraryQuery::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<qint64>>("ids");
    QTest::newRow("1 character") << "桌" << QList<qint64>{1, 3, 4, 5, 6};
    QTest::newRow("1 character, no hit") << "鞋" << QList<qint64>{};
    QTest::newRow("2 characters") << "杭州" << QList<qint64>{1, 6};
    QTest::newRow("2 characters, no hit") << "北京" << QList<qint64>{};
    QTest::newRow("3 characters") << "办公桌" << QList<qint64>{1, 6};
    QTest::newRow("3 characters in a nickname") << "旗舰店" << QList<qint64>{2};
    QTest::newRow("3 characters, no hit") << "办公床" << QList<qint64>{};
    QTest::newRow("10 characters") << "学生书桌 儿童学习桌" << QList<qint64>{5};
    QTest::newRow("10 characters, no hit") << "学生书桌 儿童学习椅" << QList<qint64>{};
    QTest::newRow("blanks around") << "  佛山 " << QList<qint64>{2};
    QTest::newRow("percent") << "100%" << QList<qint64>{3};
    QTest::newRow("percent alone") << "%" << QList<qint64>{3};
    QTest::newRow("underscore") << "_" << QList<qint64>{4};
    QTest::newRow("underscore in a nickname") << "100_" << QList<qint64>{4};
    QTest::newRow("quotes") << "\"特价\"" << QList<qint64>{3};
    QTest::newRow("one quote") << "\"" << QList<qint64>{3};
    QTest::newRow("star") << "布艺*" << QList<qint64>{3};
    QTest::newRow("star alone") << "*" << QList<qint64>{3};
    QTest::newRow("NEAR and a bracket") << "(NEAR 款)" << QList<qint64>{4};
    QTest::newRow("NEAR as a word") << "NEAR" << QList<qint64>{4};
    QTest::newRow("colon") << "a:b" << QList<qint64>{4};
    QTest::newRow("column filter syntax") << "title:办公" << QList<qint64>{};
    QTest::newRow("operators") << "桌 OR 椅" << QList<qint64>{};
    QTest::newRow("backslash") << "\\" << QList<qint64>{};
}

void TestLibraryQuery::search()
{
    QFETCH(QString, text);
    QFETCH(QList<qint64>, ids);
    CreateSampleFile();
    TLibraryQuery query;
    OpenQuery(&query);
    TLibraryFilter filter;
    filter.Search = text;
    QString error;
    QVERIFY2(query.SetView(filter, {}, false, &error), qPrintable(error));
    std::vector<TLibraryQuery::TRow> rows;
    QVERIFY2(query.Page(nullptr, false, 100, &rows, &error), qPrintable(error));
    QCOMPARE(Ids(rows), ids);
    qint64 count = 0;
    QVERIFY(query.Count(&count, &error));
    QCOMPARE(count, ids.size());
}

void TestLibraryQuery::filters_data()
{
    QTest::addColumn<TLibraryFilter>("filter");
    QTest::addColumn<QList<qint64>>("ids");
    TLibraryFilter keyword;
    keyword.ByKeyword = true;
    keyword.Keyword = QStringLiteral("桌布");
    QTest::newRow("keyword") << keyword << QList<qint64>{3, 4};
    TLibraryFilter price;
    price.MinPrice = 100.0;
    price.MaxPrice = 459.0;
    QTest::newRow("price range, ends included") << price << QList<qint64>{1, 2, 5};
    TLibraryFilter cheap;
    cheap.MaxPrice = 20.0;
    QTest::newRow("no price is outside every range") << cheap << QList<qint64>{3};
    TLibraryFilter location;
    location.Location = QStringLiteral("浙江");
    QTest::newRow("location") << location << QList<qint64>{1, 5, 6};
    TLibraryFilter day;
    day.CollectFrom = day.CollectTo = QDate(2026, 12, 2);
    QTest::newRow("day of collection, to the last second") << day << QList<qint64>{3, 4};
    TLibraryFilter combined = location;
    combined.Search = QStringLiteral("办公桌");
    combined.MinPrice = 500.0;
    QTest::newRow("search with filters") << combined << QList<qint64>{6};
    TLibraryFilter shortSearch = keyword;
    shortSearch.Search = QStringLiteral("_");
    QTest::newRow("short search with keyword") << shortSearch << QList<qint64>{4};
}

void TestLibraryQuery::filters()
{
    QFETCH(TLibraryFilter, filter);
    QFETCH(QList<qint64>, ids);
    CreateSampleFile();
    TLibraryQuery query;
    OpenQuery(&query);
    QString error;
    QVERIFY2(query.SetView(filter, {}, false, &error), qPrintable(error));
    std::vector<TLibraryQuery::TRow> rows;
    QVERIFY2(query.Page(nullptr, false, 100, &rows, &error), qPrintable(error));
    QCOMPARE(Ids(rows), ids);
    qint64 count = 0;
    qint64 listings = 0;
    QVERIFY(query.Count(&count, &error));
    QVERIFY(query.CountListings(&listings, &error));
    QCOMPARE(count, ids.size());
    QCOMPARE(listings, ids.size()); // every sample row is a listing of its own
}

void TestLibraryQuery::impossiblePriceRangeIsExplained()
{
    CreateSampleFile();
    TLibraryQuery query;
    OpenQuery(&query);
    TLibraryFilter filter;
    filter.MinPrice = 50.0;
    filter.MaxPrice = 10.0;
    QString error;
    QVERIFY(!query.SetView(filter, {}, false, &error));
    QVERIFY2(error.contains(QStringLiteral("最低价")) && error.contains(QStringLiteral("50")), qPrintable(error));
    filter.MaxPrice = 50.0;
    QVERIFY(query.SetView(filter, {}, false, &error));
    filter.CollectFrom = QDate(2026, 12, 3);
    filter.CollectTo = QDate(2026, 12, 2);
    QVERIFY(!query.SetView(filter, {}, false, &error));
    QVERIFY2(error.contains(QStringLiteral("2026-12-03")) && error.contains(QStringLiteral("2026-12-02")),
             qPrintable(error));
}

// A range of days takes its first day from midnight and its last to the last second, whatever else is stored.
void TestLibraryQuery::dateRangeAtItsEnds_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QList<qint64>>("ids");
    const QDate first(2026, 12, 2);
    QTest::newRow("one day") << first << first << QList<qint64>{2, 3};
    QTest::newRow("two days") << first.addDays(-1) << first << QList<qint64>{1, 2, 3};
    QTest::newRow("from a day on") << first << QDate() << QList<qint64>{2, 3, 4};
    QTest::newRow("up to a day") << QDate() << first << QList<qint64>{1, 2, 3};
    QTest::newRow("days without rows") << first.addDays(5) << first.addDays(9) << QList<qint64>{};
}

void TestLibraryQuery::dateRangeAtItsEnds()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QList<qint64>, ids);
    {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
        QVERIFY(Exec(dm.conn(),
                     QStringLiteral("INSERT INTO goodslist(title, collect_time) VALUES "
                                    "('a', '2026-12-01T23:59:59+08:00'), ('b', '2026-12-02T00:00:00+08:00'), "
                                    "('c', '2026-12-02T23:59:59+08:00'), ('d', '2026-12-03T00:00:00+08:00'), "
                                    "('no time', NULL)")));
    }
    TLibraryQuery query;
    OpenQuery(&query);
    TLibraryFilter filter;
    filter.CollectFrom = from;
    filter.CollectTo = to;
    QString error;
    QVERIFY2(query.SetView(filter, {}, false, &error), qPrintable(error));
    std::vector<TLibraryQuery::TRow> rows;
    QVERIFY(query.Page(nullptr, false, 100, &rows, &error));
    QCOMPARE(Ids(rows), ids);
}

// Infinity or NaN as a bound would reach SQL as a word it cannot read: refused like a reversed range.
void TestLibraryQuery::nonFinitePriceIsRefused_data()
{
    QTest::addColumn<QVariant>("min");
    QTest::addColumn<QVariant>("max");
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("infinite maximum") << QVariant(0.0) << QVariant(inf);
    QTest::newRow("negative infinite minimum") << QVariant(-inf) << QVariant();
    QTest::newRow("NaN minimum") << QVariant(nan) << QVariant(10.0);
    QTest::newRow("NaN maximum alone") << QVariant() << QVariant(nan);
}

void TestLibraryQuery::nonFinitePriceIsRefused()
{
    QFETCH(QVariant, min);
    QFETCH(QVariant, max);
    CreateSampleFile();
    TLibraryQuery query;
    OpenQuery(&query);
    TLibraryFilter filter;
    filter.MinPrice = min;
    filter.MaxPrice = max;
    QString error;
    QVERIFY(!query.SetView(filter, {}, false, &error));
    QVERIFY2(error.contains(QStringLiteral("价格")), qPrintable(error));
}

// Rows stored under an empty keyword (or none at all, from older files) are one entry of the keyword list,
// and can be shown and deleted as one keyword.
void TestLibraryQuery::rowsWithoutKeywordAreOneKeyword()
{
    CreateSampleFile();
    {
        TConnection connection;
        QString error;
        QVERIFY(connection.Open(ConnectionString(m_path), &error));
        QVERIFY(
            Exec(&connection, QStringLiteral("INSERT INTO goodslist(title, keyname) VALUES ('a', ''), ('b', NULL)")));
    }
    TLibraryQuery query;
    OpenQuery(&query);
    QString error;
    std::vector<std::pair<QString, qint64>> keywords;
    QVERIFY(query.Keywords(&keywords, &error));
    QCOMPARE(keywords.size(), size_t(5));
    QCOMPARE(keywords.front(), (std::pair<QString, qint64>(QString(), 2)));
    qint64 listed = 0;
    for (const auto& [keyword, rows] : keywords) {
        listed += rows;
    }
    QCOMPARE(listed, qint64(std::size(Samples) + 2)); // every row is in one entry
    TLibraryFilter unnamed;
    unnamed.ByKeyword = true;
    QVERIFY(query.SetView(unnamed, {}, false, &error));
    std::vector<TLibraryQuery::TRow> rows;
    QVERIFY(query.Page(nullptr, false, 100, &rows, &error));
    QCOMPARE(Ids(rows), (QList<qint64>{7, 8}));
    qint64 deleted = 0;
    QVERIFY(query.DeleteKeyword(QString(), &deleted, &error));
    QCOMPARE(deleted, 2);
    QVERIFY(query.Keywords(&keywords, &error));
    QCOMPARE(keywords.size(), size_t(4));
}

void TestLibraryQuery::pagingMatchesOrder_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<bool>("grouped");
    for (const bool descending : {false, true}) {
        const char* suffix = descending ? " descending" : "";
        QTest::addRow("id%s", suffix) << QString() << descending << false;
        QTest::addRow("price, some without%s", suffix) << "view_price" << descending << false;
        QTest::addRow("title%s", suffix) << "title" << descending << false;
        QTest::addRow("collection time, old rows without%s", suffix) << "collect_time" << descending << false;
        QTest::addRow("grouped by sightings%s", suffix) << "sightings" << descending << true;
    }
}

// Walking the view page by page, forward from the start and backward from the end, gives the rows of one
// ORDER BY over the whole view, with every tie and every NULL in its place.
void TestLibraryQuery::pagingMatchesOrder()
{
    QFETCH(QString, column);
    QFETCH(bool, descending);
    QFETCH(bool, grouped);
    {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
        // 500 rows: prices repeat and every seventh has none; every third row has no time.
        QVERIFY(Exec(dm.conn(),
                     QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                                    "INSERT INTO goodslist(title, view_price, collect_time, detail_url) "
                                    "SELECT 't' || (i % 37), CASE WHEN i % 7 = 0 THEN NULL ELSE i % 50 END, "
                                    "CASE WHEN i % 3 = 0 THEN NULL ELSE '2026-12-0' || (i % 9) END, "
                                    "'//d?id=' || (i % 120) FROM n")));
    }
    TLibraryQuery query;
    OpenQuery(&query);
    QString error;
    QVERIFY2(query.SetView({}, {column, descending}, grouped, &error), qPrintable(error));
    qint64 total = 0;
    QVERIFY(query.Count(&total, &error));
    QCOMPARE(total, grouped ? 120 : 500);
    std::vector<TLibraryQuery::TRow> all;
    QVERIFY(query.PageAt(0, 1000, &all, &error));
    QCOMPARE(static_cast<qint64>(all.size()), total);
    const int size = 23;
    std::vector<TLibraryQuery::TRow> forward;
    std::vector<TLibraryQuery::TRow> page;
    QVERIFY(query.Page(nullptr, false, size, &page, &error));
    while (!page.empty()) {
        forward.insert(forward.end(), page.begin(), page.end());
        const TLibraryQuery::TPageKey key{page.back().SortValue, page.back().Key};
        QVERIFY2(query.Page(&key, false, size, &page, &error), qPrintable(error));
    }
    QCOMPARE(Ids(forward), Ids(all));
    std::vector<TLibraryQuery::TRow> backward;
    QVERIFY(query.Page(nullptr, true, size, &page, &error));
    while (!page.empty()) {
        backward.insert(backward.begin(), page.begin(), page.end());
        const TLibraryQuery::TPageKey key{page.front().SortValue, page.front().Key};
        QVERIFY2(query.Page(&key, true, size, &page, &error), qPrintable(error));
    }
    QCOMPARE(Ids(backward), Ids(all));
    std::vector<TLibraryQuery::TRow> middle;
    QVERIFY(query.PageAt(100, size, &middle, &error));
    QCOMPARE(Ids(middle), Ids(all).mid(100, size));
    if (!column.isEmpty()) {
        for (size_t i = 1; i < all.size(); ++i) {
            const QVariant& a = all[i - 1].SortValue;
            const QVariant& b = all[i].SortValue;
            // NULL first when ascending, last when descending.
            QVERIFY(descending ? !(a.isNull() && !b.isNull()) : !(!a.isNull() && b.isNull()));
        }
    }
}

// The saved page lists 36 listings, one of them twice (a paid placement with a click-through link and
// its ordinary listing). Rows of the program before this step carry no item number, so its rows group by
// the link's id= parameter; rows stored now carry the number and the two sightings meet.
void TestLibraryQuery::groupingOfRealPage()
{
    QVERIFY(QFile::copy(QStringLiteral(MERCATIX_FIXTURES_DIR "/gleanbox-1.0.1.db"), m_path));
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
    }
    TLibraryQuery query;
    OpenQuery(&query);
    QString error;
    QVERIFY2(query.SetView({}, {QStringLiteral("sightings"), true}, true, &error), qPrintable(error));
    qint64 groups = 0;
    QVERIFY(query.Count(&groups, &error));
    QCOMPARE(groups, 37); // 36 distinct links of the saved page and the body-framing listing
    std::vector<TLibraryQuery::TRow> rows;
    QVERIFY(query.PageAt(0, 100, &rows, &error));
    const int sightings = static_cast<int>(TLibraryQuery::GroupColumns().indexOf("sightings"));
    const int minPrice = static_cast<int>(TLibraryQuery::GroupColumns().indexOf("min_price"));
    const int maxPrice = static_cast<int>(TLibraryQuery::GroupColumns().indexOf("max_price"));
    const int price = static_cast<int>(TLibraryQuery::GroupColumns().indexOf("view_price"));
    const int item = static_cast<int>(TLibraryQuery::GroupColumns().indexOf("item"));
    QCOMPARE(rows.front().Values.at(sightings).toInt(), 3);
    QCOMPARE(rows.back().Values.at(sightings).toInt(), 1);
    QCOMPARE(rows.back().Values.at(item).toString(), QStringLiteral("620000000001"));
    for (const TLibraryQuery::TRow& row : rows) {
        QCOMPARE(row.Values.at(minPrice), row.Values.at(maxPrice)); // the same price every time
        QCOMPARE(row.Values.at(price), row.Values.at(maxPrice));
        QVERIFY(!row.Values.at(item).toString().isEmpty());
    }
    qint64 listings = 0;
    QVERIFY(query.SetView({}, {}, false, &error));
    QVERIFY(query.CountListings(&listings, &error));
    QCOMPARE(listings, 37);

    // The same page stored now, at other prices: its nid joins the paid placement to its listing.
    TDM dm;
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QVERIFY(dm.OpenGoodsQuery(&error));
    rapidjson::Document doc;
    const QByteArray json = FixtureAuctions();
    doc.Parse(json.constData(), json.size());
    rapidjson::Value& auctions = doc["mods"]["itemlist"]["data"]["auctions"];
    const QString nid = QString::fromUtf8(auctions[0]["nid"].GetString());
    for (rapidjson::Value& listing : auctions.GetArray()) {
        listing["view_price"].SetString("1.5");
    }
    QVERIFY(dm.SaveAuctionList(QStringLiteral("办公桌"), TListingArray(auctions), &error));
    QVERIFY(dm.ApplyGoodsRows(&error));
    QVERIFY(query.SetView({}, {QStringLiteral("sightings"), true}, true, &error));
    QVERIFY(query.Count(&groups, &error));
    QCOMPARE(groups, 37); // every item number is the id= parameter of an old row's link
    QVERIFY(query.PageAt(0, 100, &rows, &error));
    const auto top = std::find_if(rows.begin(), rows.end(),
                                  [&](const TLibraryQuery::TRow& row) { return row.Values.at(item) == nid; });
    QVERIFY(top != rows.end());
    QCOMPARE(top->Values.at(sightings).toInt(), 5); // three old sightings and the two of today
    QCOMPARE(top->Values.at(minPrice).toDouble(), 1.5);
    QCOMPARE(top->Values.at(price).toDouble(), 1.5); // the latest
    QVERIFY(top->Values.at(maxPrice).toDouble() > 1.5);
}

void TestLibraryQuery::deleteInOneTransaction()
{
    CreateSampleFile();
    TLibraryQuery query;
    OpenQuery(&query);
    QString error;
    qint64 deleted = 0;
    QVERIFY(query.DeleteIds({1, 2, 99}, &deleted, &error));
    QCOMPARE(deleted, 2);
    QVERIFY(query.DeleteKeyword(QStringLiteral("桌布"), &deleted, &error));
    QCOMPARE(deleted, 2);
    QVERIFY(query.SetView({}, {}, false, &error));
    std::vector<TLibraryQuery::TRow> rows;
    QVERIFY(query.Page(nullptr, false, 100, &rows, &error));
    QCOMPARE(Ids(rows), (QList<qint64>{5, 6}));
    QVERIFY(query.DeleteListings({QStringLiteral("5")}, &deleted, &error)); // the item number of row 6
    QCOMPARE(deleted, 1);
    TConnection connection;
    QVERIFY(connection.Open(ConnectionString(m_path), &error));
    QVERIFY(IndexConsistent(&connection));
    QCOMPARE(Scalar(&connection, QStringLiteral("SELECT count(*) FROM goodslist_fts WHERE goodslist_fts MATCH ?"),
                    {QStringLiteral("\"办公桌\"")})
                 .toInt(),
             0);

    // A failure inside the transaction deletes nothing: a trigger refuses the second row.
    QVERIFY(Exec(&connection, QStringLiteral("INSERT INTO goodslist(id, title) VALUES (50, 'a'), (51, 'b')")));
    QVERIFY(Exec(&connection,
                 QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON goodslist WHEN old.id = 51 "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    QVERIFY(!query.DeleteIds({50, 51}, &deleted, &error));
    QCOMPARE(error, QStringLiteral("refused"));
    QCOMPARE(Scalar(&connection, QStringLiteral("SELECT count(*) FROM goodslist WHERE id IN (50, 51)")).toInt(), 2);
}

void TestLibraryQuery::itemKey_data()
{
    QTest::addColumn<QString>("nid");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("listing");
    QTest::addColumn<QString>("key");
    QTest::newRow("item number") << "538596687562"
                                 << "//detail.tmall.com/item.htm?id=1"
                                 << ""
                                 << "538596687562";
    QTest::newRow("id parameter") << ""
                                  << "//detail.tmall.com/item.htm?id=538596687562&ad_id=&am_id=&abbucket=1"
                                  << ""
                                  << "538596687562";
    QTest::newRow("id after other parameters") << ""
                                               << "//item.taobao.com/item.htm?ns=1&ad_id=7&id=42#detail"
                                               << ""
                                               << "42";
    QTest::newRow("id before a fragment") << ""
                                          << "//item.taobao.com/item.htm?id=42#detail"
                                          << ""
                                          << "42";
    QTest::newRow("only ad_id") << ""
                                << "//x/item.htm?ad_id=7"
                                << ""
                                << "//x/item.htm?ad_id=7";
    QTest::newRow("empty id") << ""
                              << "//x/item.htm?id=&b=1"
                              << ""
                              << "//x/item.htm?id=&b=1";
    QTest::newRow("no detail link: listing link") << ""
                                                  << ""
                                                  << "//detail.tmall.com/item.htm?id=77"
                                                  << "77";
    QTest::newRow("no link at all") << ""
                                    << ""
                                    << ""
                                    << "#9";
    QTest::newRow("blank item number") << "  "
                                       << "//x?id=5"
                                       << ""
                                       << "5";
}

void TestLibraryQuery::itemKey()
{
    QFETCH(QString, nid);
    QFETCH(QString, detail);
    QFETCH(QString, listing);
    QTEST(TItemKey::Of(nid, detail, listing, 9), "key");
}

void TestLibraryQuery::priceStats()
{
    std::vector<double> prices;
    for (int i = 1; i <= 100; ++i) {
        prices.push_back(i);
    }
    prices.push_back(100000); // one far above the rest
    const TPriceStats stats = TPriceStats::FromSorted(prices);
    QCOMPARE(stats.Count, 101);
    QCOMPARE(stats.Median, 51.0);
    QCOMPARE(stats.Q1, 26.0);
    QCOMPARE(stats.Q3, 76.0);
    QVERIFY(stats.Overflow);
    QVERIFY(stats.Bins.size() >= 5 && stats.Bins.size() <= TPriceStats::MaxBins + 1);
    long long sum = 0;
    for (const TPriceStats::TBin& bin : stats.Bins) {
        sum += bin.Count;
        QCOMPARE(bin.To - bin.From, TPriceStats::RoundWidth(bin.To - bin.From));
    }
    QCOMPARE(sum, 101);
    QVERIFY(stats.Bins.front().From <= 1 && stats.Bins.back().To > 76);
    QCOMPARE(TPriceStats::FromSorted({}).Bins.size(), size_t(0));
    QCOMPARE(TPriceStats::FromSorted({5, 5, 5}).Bins.size(), size_t(1));
    QCOMPARE(TPriceStats::RoundWidth(3.2), 5.0);
    QCOMPARE(TPriceStats::RoundWidth(0.012), 0.02);
}

// Cancelling is per owner: a sort of the grid drops the grid's reads, never the chart's.
void TestLibraryQuery::workerCancelsTheJobsOfOneOwner()
{
    CreateSampleFile();
    TLibraryWorker worker(ConnectionString(m_path));
    std::mutex lock;
    std::condition_variable release;
    bool released = false;
    QStringList ran;
    int grid = 0; // the owners: two addresses
    int chart = 0;
    // The first job holds the worker until the others are queued and one owner's are cancelled.
    worker.Keep([&](TLibraryQuery&) {
        std::unique_lock<std::mutex> wait(lock);
        release.wait(wait, [&]() { return released; });
    });
    const auto record = [&](const QString& name) { return [&ran, name](TLibraryQuery&) { ran.append(name); }; };
    worker.Post(&grid, record(QStringLiteral("grid page")));
    worker.Post(&chart, record(QStringLiteral("chart prices")));
    worker.Keep(record(QStringLiteral("keywords")));
    worker.Post(&grid, record(QStringLiteral("grid count")));
    worker.Cancel(&grid);
    worker.Cancel(nullptr); // jobs without an owner cannot be cancelled
    {
        std::lock_guard<std::mutex> hold(lock);
        released = true;
    }
    release.notify_all();
    worker.Wait();
    QCOMPARE(ran, QStringList({QStringLiteral("chart prices"), QStringLiteral("keywords")}));
}

namespace {
// Rows as the program stores them, their item key included: (item key, price) pairs, one row each, with a link
// that gives the same key.
bool StoreKeyed(TConnection* connection, const QList<std::pair<QString, QVariant>>& rows)
{
    for (const auto& [key, price] : rows) {
        if (!Exec(connection,
                  QStringLiteral("INSERT INTO goodslist(title, detail_url, item_key, view_price) VALUES "
                                 "('t', '//x/item.htm?id=' || ?1, ?1, ?2)"),
                  {key, price})) {
            return false;
        }
    }
    return true;
}

// The summary as the triggers left it, and as the rows make it.
QString Summary(TConnection* connection)
{
    return Scalar(connection,
                  QStringLiteral("SELECT group_concat(x, ' ') FROM (SELECT item_key || ':' || sightings "
                                 "|| ':' || last_id AS x FROM itemsummary ORDER BY item_key)"))
               .toString()
        + QStringLiteral(" / ") + Scalar(connection, QStringLiteral("SELECT listings FROM itemcount")).toString();
}

QString Recount(TConnection* connection)
{
    return Scalar(
               connection,
               QStringLiteral("SELECT group_concat(x, ' ') FROM (SELECT item_key || ':' || count(*) || ':' || max(id) "
                              "AS x FROM goodslist WHERE item_key IS NOT NULL GROUP BY item_key ORDER BY item_key)"))
               .toString()
        + QStringLiteral(" / ")
        + Scalar(connection, QStringLiteral("SELECT count(DISTINCT item_key) FROM goodslist")).toString();
}

// A view's rows, each as the texts of the named columns joined by "|".
QStringList Texts(const std::vector<TLibraryQuery::TRow>& rows, const QStringList& names, const QStringList& columns)
{
    QStringList texts;
    for (const TLibraryQuery::TRow& row : rows) {
        QStringList values;
        for (const QString& column : columns) {
            values.append(row.Values.value(names.indexOf(column)).toString());
        }
        texts.append(values.join(QLatin1Char('|')));
    }
    return texts;
}
} // namespace

// Listings in the order of a column, from the summary (every row) and from the rows themselves (a filter), as one
// statement over the rows orders them: a listing without a price first, ties by the latest row.
void TestLibraryQuery::listingsInTheOrderOfTheirFigures_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("order"); // over the reference's columns
    QTest::addColumn<bool>("filtered");
    const QList<std::pair<QString, QString>> columns{{QString(), "last"}, {"sightings", "n"},
                                                     {"min_price", "lo"}, {"max_price", "hi"},
                                                     {"item", "item"},    {"view_price", "g.view_price"}};
    for (const bool filtered : {false, true}) {
        for (const bool descending : {false, true}) {
            for (const auto& [column, order] : columns) {
                const QString direction = descending ? QStringLiteral(" DESC") : QString();
                QTest::addRow("%s%s%s", column.isEmpty() ? "newest" : qPrintable(column),
                              descending ? " descending" : "", filtered ? ", filtered" : "")
                    << column << order + direction + QStringLiteral(", last") + direction << filtered;
            }
        }
    }
}

void TestLibraryQuery::listingsInTheOrderOfTheirFigures()
{
    QFETCH(QString, column);
    QFETCH(QString, order);
    QFETCH(bool, filtered);
    {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
        // 120 listings over 500 rows; every seventh row has no price, and some listings none at all.
        QVERIFY(Exec(dm.conn(),
                     QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                                    "INSERT INTO goodslist(title, item_key, view_price) SELECT 't', 'k' || (i % 120), "
                                    "CASE WHEN i % 7 = 0 OR (i % 120) % 11 = 0 THEN NULL ELSE (i * 37) % 50 END "
                                    "FROM n")));
    }
    TLibraryQuery query;
    OpenQuery(&query);
    TLibraryFilter filter;
    if (filtered) {
        filter.MaxPrice = 45.0;
    }
    QString error;
    QVERIFY2(query.SetView(filter, {column, order.contains(QLatin1String("DESC"))}, true, &error), qPrintable(error));
    std::vector<TLibraryQuery::TRow> rows;
    QVERIFY(query.PageAt(0, 1000, &rows, &error));
    TConnection connection;
    QVERIFY(connection.Open(ConnectionString(m_path), &error));
    const QString expected
        = Scalar(
              &connection,
              QStringLiteral(
                  "SELECT group_concat(x, ' ') FROM (SELECT last || '|' || n || '|' || iif(lo IS NULL, '', "
                  "printf('%g', lo)) "
                  "|| '|' || iif(hi IS NULL, '', printf('%g', hi)) || '|' || item AS x FROM (SELECT item_key AS item, "
                  "count(*) AS n, min(view_price) AS lo, max(view_price) AS hi, max(id) AS last "
                  "FROM goodslist %1 GROUP BY item_key) k JOIN goodslist g ON g.id = k.last ORDER BY %2)")
                  .arg(filtered ? QStringLiteral("WHERE view_price <= 45") : QString(), order))
              .toString();
    const QStringList names = TLibraryQuery::GroupColumns();
    QCOMPARE(Texts(rows, names, {"id", "sightings", "min_price", "max_price", "item"}).join(QLatin1Char(' ')),
             expected);
}

// Every insertion, deletion and change of a key keeps the summary of the listings what the rows make it, whichever
// statement makes the change; rows stored without a key join it when the next start gives them theirs.
void TestLibraryQuery::summaryFollowsEveryChange()
{
    TDM dm;
    QString error;
    QVERIFY(dm.OpenDatabase(m_path, &error));
    TConnection* c = dm.conn();
    QCOMPARE(Summary(c), QStringLiteral(" / 0"));
    QVERIFY(StoreKeyed(c, {{"a", 1.0}, {"a", 2.0}, {"b", 3.0}, {"c", QVariant()}}));
    QCOMPARE(Summary(c), QStringLiteral("a:2:2 b:1:3 c:1:4 / 3"));
    QVERIFY(Exec(c, QStringLiteral("INSERT INTO goodslist(title) VALUES ('no link at all')"))); // keyed '#5'
    QVERIFY(Exec(c,
                 QStringLiteral("INSERT INTO goodslist(title, detail_url) VALUES ('older program', "
                                "'//x/item.htm?id=a')"))); // no key yet
    QCOMPARE(Summary(c), QStringLiteral("#5:1:5 a:2:2 b:1:3 c:1:4 / 4"));
    QVERIFY(Exec(c, QStringLiteral("DELETE FROM goodslist WHERE id IN (2, 3)"))); // a's latest row, all of b
    QCOMPARE(Summary(c), QStringLiteral("#5:1:5 a:1:1 c:1:4 / 3"));
    QVERIFY(Exec(c, QStringLiteral("UPDATE goodslist SET item_key = 'a' WHERE id = 4"))); // c joins a
    QCOMPARE(Summary(c), QStringLiteral("#5:1:5 a:2:4 / 2"));
    QCOMPARE(Summary(c), Recount(c));
    dm.CloseDatabase();
    QVERIFY(dm.OpenDatabase(m_path, &error)); // the older program's row gets its key
    QCOMPARE(Summary(dm.conn()), QStringLiteral("#5:1:5 a:3:6 / 2"));
    QCOMPARE(Summary(dm.conn()), Recount(dm.conn()));
}

// Rows a program of an earlier version stored since the last start have no key: the library gives them theirs, so
// that they join their listing in its count and its grouping, before and after the next start fills the key in.
void TestLibraryQuery::rowsWithoutKeyJoinTheirListing()
{
    for (const bool filled : {false, true}) {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
        if (!filled) {
            QVERIFY(StoreKeyed(dm.conn(), {{"1", 10.0}, {"2", 20.0}}));
            QVERIFY(Exec(dm.conn(),
                         QStringLiteral("INSERT INTO goodslist(title, detail_url, view_price) VALUES "
                                        "('old', '//x/item.htm?id=1', 5), ('old', '//x/item.htm?id=9', 7)")));
        }
        TLibraryQuery query;
        OpenQuery(&query);
        qint64 listings = 0;
        QVERIFY2(query.SetView({}, {}, false, &error), qPrintable(error));
        QVERIFY(query.CountListings(&listings, &error));
        QCOMPARE(listings, 3);
        QVERIFY(query.SetView({}, {QStringLiteral("item"), false}, true, &error));
        std::vector<TLibraryQuery::TRow> rows;
        QVERIFY(query.PageAt(0, 10, &rows, &error));
        QCOMPARE(Texts(rows, TLibraryQuery::GroupColumns(), {"item", "sightings", "min_price", "max_price"}),
                 (QStringList{"1|2|5|10", "2|1|20|20", "9|1|7|7"}));
    }
}

// Sellers by user_id, else by nickname (a nickname that is someone's user_id is another seller): their listings,
// sightings, prices and comments (each listing's highest count), their latest nickname; a filter applies to the rows
// they are made of, and narrowing to a seller finds its rows.
void TestLibraryQuery::sellers()
{
    {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
        QVERIFY(Exec(dm.conn(),
                     QStringLiteral("INSERT INTO goodslist(item_key, user_id, nick, view_price, comment_count) VALUES "
                                    "('1', '1001', '甲店', 10, 5), ('1', '1001', '甲店', 20, 7), "
                                    "('2', '1001', '甲店', 30, 1), ('3', NULL, '乙店', 100, NULL), "
                                    "('3', '', '乙店', 5, NULL), ('4', '乙店', '丙店', NULL, 3), "
                                    "('2', '1001', '甲店新', 40, 2), ('3', NULL, '乙店', 7, NULL)")));
    }
    TLibraryQuery query;
    OpenQuery(&query);
    QString error;
    const QStringList columns{"user_id",   "nick",         "listings",  "sightings",
                              "min_price", "median_price", "max_price", "comments"};
    const auto sellers = [&](const TLibraryFilter& filter, const TLibrarySort& sort) {
        std::vector<TLibraryQuery::TRow> rows;
        if (!query.SetView(filter, sort, TLibraryGrouping::Sellers, &error) || !query.PageAt(0, 10, &rows, &error)) {
            return QStringList{error};
        }
        return Texts(rows, TLibraryQuery::SellerColumns(), columns);
    };
    QCOMPARE(sellers({}, TLibrarySort::Newest()),
             (QStringList{"|乙店|1|3|5|7|100|", "1001|甲店新|2|4|10|25|40|9", "乙店|丙店|1|1||||3"}));
    QCOMPARE(sellers({}, {QStringLiteral("median_price"), true}),
             (QStringList{"1001|甲店新|2|4|10|25|40|9", "|乙店|1|3|5|7|100|", "乙店|丙店|1|1||||3"}));
    TLibraryFilter dear;
    dear.MinPrice = 20.0;
    QCOMPARE(sellers(dear, TLibrarySort::Newest()),
             (QStringList{"1001|甲店新|2|3|20|30|40|9", "|乙店|1|1|100|100|100|"}));
    qint64 count = 0;
    QVERIFY(query.Count(&count, &error));
    QCOMPARE(count, 2);

    const QList<std::tuple<QString, QString, QList<qint64>>> narrowed{
        {"1001", "甲店新", {7, 3, 2, 1}}, {"", "乙店", {8, 5, 4}}, {"乙店", "丙店", {6}}};
    for (const auto& [id, nick, ids] : narrowed) {
        TLibraryFilter one;
        one.BySeller = true;
        one.SellerId = id;
        one.SellerNick = nick;
        QVERIFY(query.SetView(one, TLibrarySort::Newest(), TLibraryGrouping::Rows, &error));
        std::vector<TLibraryQuery::TRow> rows;
        QVERIFY(query.Page(nullptr, false, 100, &rows, &error));
        QCOMPARE(Ids(rows), ids);
    }
}

QTEST_GUILESS_MAIN(TestLibraryQuery)
#include "TestLibraryQuery.moc"
