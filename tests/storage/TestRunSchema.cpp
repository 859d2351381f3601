#include "page/TItemKey.h"
#include "page/TListingArray.h"
#include "storage/TLibrarySchema.h"
#include "storage/TRunSchema.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TStatement.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"
#include "tests/TestPaths.h"
#include "tests/storage/TRunStore.h"
#include "tests/storage/TWarningRecorder.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <rapidjson/document.h>

namespace {
QVariant Scalar(TConnection* connection, const QString& sql, const QVariantList& values = {})
{
    TStatement statement;
    QString error;
    if (!statement.Prepare(connection, sql, &error) || !statement.Bind(values, &error) || !statement.Next()) {
        return QVariant(statement.Failed() ? statement.Error() : error);
    }
    return statement.Value(0);
}

QString Version(const QString& path)
{
    return QueryDatabaseFile(path, QStringLiteral("SELECT verno FROM userver")).toString();
}

// Every row's columns that the program knew before the step, in one text.
QString RowsChecksum(TConnection* connection)
{
    return Scalar(connection,
                  QStringLiteral("SELECT count(*) || ':' || group_concat(x, '|') FROM (SELECT id || "
                                 "coalesce(title, '') || coalesce(view_price, '') || coalesce(keyname, '') "
                                 "|| coalesce(nid, '') || coalesce(detail_url, '') || "
                                 "coalesce(shopLink, '') AS x FROM goodslist ORDER BY id)"))
        .toString();
}

// The rows whose stored item key is not the one the rule gives, as "id: stored / expected".
QStringList KeysOffTheRule(TConnection* connection)
{
    TStatement statement;
    QString error;
    QStringList off;
    if (!statement.Prepare(connection,
                           QStringLiteral("SELECT id, nid, detail_url, shopLink, item_key FROM goodslist ORDER BY id"),
                           &error)) {
        return {error};
    }
    while (statement.Next()) {
        const QString expected = TItemKey::Of(statement.Value(1).toString(), statement.Value(2).toString(),
                                              statement.Value(3).toString(), statement.Int(0));
        if (statement.IsNull(4) || statement.Value(4).toString() != expected) {
            off.append(
                QStringLiteral("%1: %2 / %3").arg(statement.Int(0)).arg(statement.Value(4).toString(), expected));
        }
    }
    return off;
}

// How the engine runs a query: the details of its plan.
QString PlanOf(TConnection* connection, const QString& sql)
{
    TStatement statement;
    QString error;
    if (!statement.Prepare(connection, QStringLiteral("EXPLAIN QUERY PLAN ") + sql, &error)) {
        return error;
    }
    QStringList details;
    while (statement.Next()) {
        details.append(statement.Value(3).toString());
    }
    return details.join(QStringLiteral(" | "));
}

// An auction array of one listing with these members (a null variant leaves a member out).
void MakeListing(rapidjson::Document* doc, const QVariant& nid, const QVariant& detailUrl, const QVariant& shopLink)
{
    doc->SetArray();
    auto& allocator = doc->GetAllocator();
    rapidjson::Value listing(rapidjson::kObjectType);
    const std::pair<const char*, QVariant> members[]
        = {{"nid", nid}, {"detail_url", detailUrl}, {"shopLink", shopLink}};
    for (const auto& [name, value] : members) {
        if (!value.isNull()) {
            const QByteArray text = value.toString().toUtf8();
            listing.AddMember(
                rapidjson::StringRef(name),
                rapidjson::Value(text.constData(), static_cast<rapidjson::SizeType>(text.size()), allocator),
                allocator);
        }
    }
    listing.AddMember("raw_title", "t", allocator);
    doc->PushBack(listing, allocator);
}
} // namespace

class TestRunSchema : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void upgradeKeepsRowsAndKeysThem_data();
    void upgradeKeepsRowsAndKeysThem();
    void rowKeysFollowTheRule_data();
    void rowKeysFollowTheRule();
    void earlierProgramUsesUpgradedFile();
    void failedStepLeavesFileAtItsVersion();
    void largeUpgradeReportsProgress();

private:
    void MakeFileOf102();

    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestRunSchema::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("gleanbox.db"));
}

void TestRunSchema::cleanup()
{
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

// A file as the program of version 1.0.2 left it: rows of both framings, with and without an item number, a
// detail link with and without an id, a listing link only, and none of them.
void TestRunSchema::MakeFileOf102()
{
    {
        TDM dm;
        QString error;
        QVERIFY2(dm.OpenDatabase(m_path, &error) && dm.OpenGoodsQuery(&error), qPrintable(error));
        const QByteArray auctions = Auctions({{"5551", "带编号", "10.00", "//item.taobao.com/item.htm?id=5551"},
                                              {nullptr, "链接带 id", "12.50", "//item.taobao.com/item.htm?a=1&id=77"},
                                              {nullptr, "链接无 id", "3.00", "//detail.tmall.com/x.htm"},
                                              {nullptr, "什么都没有", "1.00"}});
        const QByteArray items = R"([{"title":"店铺链接","price":"9.90","url":"//s.taobao.com/shop?id=808"},)"
                                 R"({"title":"空","price":"1"}])";
        TPageData::TParsed page;
        TPageData::TParsed itemPage;
        QVERIFY(TPageData::Parse(auctions, &page) && TPageData::Parse(items, &itemPage));
        QVERIFY2(dm.SaveAuctionList(QStringLiteral("连衣裙"), TListingArray(page.Document), &error)
                     && dm.SaveItemList(QStringLiteral("连衣裙"), TListingArray(itemPage.Document), &error)
                     && dm.ApplyGoodsRows(&error),
                 qPrintable(error));
    }
    QString error;
    QVERIFY2(StepBackBeforeRunRecords(m_path, &error), qPrintable(error));
    QCOMPARE(Version(m_path), QStringLiteral("1.0.2"));
}

void TestRunSchema::upgradeKeepsRowsAndKeysThem_data()
{
    QTest::addColumn<bool>("fixture"); // the saved file of version 1.0.1, else a file of 1.0.2
    QTest::addColumn<int>("rows");
    QTest::newRow("1.0.1 fixture") << true << 109;
    QTest::newRow("1.0.2 file") << false << 6;
}

void TestRunSchema::upgradeKeepsRowsAndKeysThem()
{
    QFETCH(bool, fixture);
    QFETCH(int, rows);
    if (fixture) {
        QVERIFY(QFile::copy(QStringLiteral(MERCATIX_FIXTURES_DIR "/gleanbox-1.0.1.db"), m_path));
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    } else {
        MakeFileOf102();
    }
    QString before;
    {
        TConnection connection;
        QString error;
        QVERIFY(connection.Open(TDBFunc::ConnectionString(m_path, TDBFunc::Password()), &error));
        before = RowsChecksum(&connection);
    }
    QVERIFY(before.startsWith(QString::number(rows) + QLatin1Char(':')));
    QByteArray upgraded;
    for (int start = 1; start <= 2; ++start) {
        TDM dm;
        QString error;
        QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
        QCOMPARE(dm.DBFunc()->Version(), QLatin1String(TRunSchema::Version));
        QVERIFY2(dm.OpenGoodsQuery(&error), qPrintable(error));
        QCOMPARE(dm.dsGoodsList()->columnCount(), 16); // no grid shows the new columns
        TConnection* c = dm.conn();
        QVERIFY(TRunSchema::IsInPlace(c) && TLibrarySchema::IsInPlace(c));
        QCOMPARE(RowsChecksum(c), before);
        QCOMPARE(KeysOffTheRule(c), QStringList());
        QCOMPARE(Scalar(c, QStringLiteral("SELECT count(*) FROM goodslist WHERE run_id IS NULL")).toInt(), rows);
        QCOMPARE(Scalar(c, QStringLiteral("SELECT count(*) FROM goodslist_fts")).toInt(), rows);
        for (const char* table : {"collectrun", "watchlist", "alertlog"}) {
            QCOMPARE(Scalar(c, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))).toInt(), 0);
        }
        dm.CloseDatabase();
        if (start == 2) {
            QCOMPARE(ReadFileBytes(m_path), upgraded); // the second start found nothing to do
        }
        upgraded = ReadFileBytes(m_path);
    }
}

void TestRunSchema::rowKeysFollowTheRule_data()
{
    QTest::addColumn<QVariant>("nid");
    QTest::addColumn<QVariant>("detailUrl");
    QTest::addColumn<QVariant>("shopLink");
    const QVariant none;
    const QVariant empty(QString{});
    QTest::newRow("item number") << QVariant("123") << QVariant("//i/item.htm?id=9") << none;
    QTest::newRow("item number in blanks") << QVariant(" 123\t") << none << none;
    QTest::newRow("detail link id") << QVariant("\t") << QVariant("//i/item.htm?spm=a&id=9#x") << none;
    QTest::newRow("detail link without id") << empty << QVariant("//i/item.htm") << QVariant("//s?id=4");
    QTest::newRow("empty id") << none << QVariant("//i/item.htm?id=") << none;
    QTest::newRow("listing link id") << none << empty << QVariant("//s/shop?id=77");
    QTest::newRow("listing link only") << QVariant(QStringLiteral("\u00a0")) << none << QVariant("//s/shop");
    QTest::newRow("nothing") << none << none << none;
    QTest::newRow("empty texts") << empty << empty << empty;
    QTest::newRow("ideographic blank") << QVariant(QStringLiteral("\u3000")) << empty << none;
    QTest::newRow("blanks of every kind")
        << QVariant(QStringLiteral(" \t\r\n\v\f\u0085\u2028\u2029\u205f")) << none << none;
    QTest::newRow("not a blank") << QVariant(QStringLiteral("\u200b")) << none << none;
}

// The key of a row is the rule's whoever stores it: this program at once, a program of an earlier version
// (which knows no key) by the database where the key is the row's id, and otherwise at the next open here.
void TestRunSchema::rowKeysFollowTheRule()
{
    QFETCH(QVariant, nid);
    QFETCH(QVariant, detailUrl);
    QFETCH(QVariant, shopLink);
    TRunStore store;
    QString error;
    QVERIFY2(store.Open(&error), qPrintable(error));
    rapidjson::Document listing;
    MakeListing(&listing, nid, detailUrl, shopLink);
    QVERIFY2(store.Dm.SaveAuctionList(QStringLiteral("kw"), TListingArray(listing), &error)
                 && store.Dm.ApplyGoodsRows(&error),
             qPrintable(error));
    QCOMPARE(KeysOffTheRule(store.Connection()), QStringList());
    TStatement insert;
    QVERIFY(insert.Prepare(store.Connection(),
                           QStringLiteral("INSERT INTO goodslist (title, nid, detail_url, shopLink) VALUES ('t', ?1, "
                                          "?2, ?3)"),
                           &error));
    QVERIFY(insert.Bind({nid, detailUrl, shopLink}, &error) && insert.Run(&error));
    const bool ownId = TRunSchema::KeyBeforeInsert(nid.toString(), detailUrl.toString(), shopLink.toString()).isEmpty();
    QCOMPARE(KeysOffTheRule(store.Connection()).size(), ownId ? 0 : 1);
    store.Dm.CloseDatabase();
    TDM again;
    QVERIFY(again.OpenDatabase(store.Path, &error));
    QCOMPARE(KeysOffTheRule(again.conn()), QStringList());
}

// A program of the version before keeps using the file: it reads the version as one it does not know and
// changes nothing (as this program treats "2.0"), its goods query takes the columns it knows, and the rows it
// stores are kept with the search index; the next open here gives them their keys.
void TestRunSchema::earlierProgramUsesUpgradedFile()
{
    MakeFileOf102();
    {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
    }
    QCOMPARE(Version(m_path), QLatin1String(TRunSchema::Version));
    {
        TConnection connection;
        QString error;
        QVERIFY(connection.Open(TDBFunc::ConnectionString(m_path, TDBFunc::Password()), &error));
        TRowSet goods;
        goods.SetConnection(&connection);
        std::vector<TField> fields;
        for (const char* name :
             {"id", "goodstypeno", "title", "pic_url", "detail_url", "view_price", "view_fee", "reserve_price",
              "item_loc", "user_id", "nick", "shopLink", "comment_count", "nid", "pid", "keyname", "collect_time"}) {
            TField field;
            field.Name = QLatin1String(name);
            fields.push_back(field);
        }
        goods.DefineFields(fields);
        QVERIFY2(goods.Open(QString::fromLatin1(TDM::GoodsQuerySql), &error), qPrintable(error));
        QCOMPARE(goods.FieldCount(), 17);
        for (const QVariant& nid : {QVariant(QStringLiteral("9001")), QVariant()}) {
            QVERIFY(goods.Append(&error));
            goods.SetValue(goods.FieldIndex(QStringLiteral("title")), QStringLiteral("旧程序写的行"));
            goods.SetValue(goods.FieldIndex(QStringLiteral("nid")), nid);
            goods.Post();
        }
        QVERIFY2(goods.ApplyUpdates(&error), qPrintable(error));
        QCOMPARE(Scalar(&connection,
                        QStringLiteral("SELECT group_concat(coalesce(item_key, 'NULL'), ',') FROM "
                                       "(SELECT item_key FROM goodslist WHERE id > 6 ORDER BY id)"))
                     .toString(),
                 QStringLiteral("NULL,#8"));
        QVERIFY(Scalar(&connection,
                       QStringLiteral("INSERT INTO goodslist_fts(goodslist_fts, rank) VALUES('integrity-check', 1)"))
                    .toString()
                    .isEmpty());
    }
    TDM dm;
    QString error;
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QCOMPARE(dm.DBFunc()->Version(), QLatin1String(TRunSchema::Version));
    QCOMPARE(KeysOffTheRule(dm.conn()), QStringList());
    QCOMPARE(Scalar(dm.conn(), QStringLiteral("SELECT item_key FROM goodslist WHERE id = 7")).toString(),
             QStringLiteral("9001"));
}

// The step fails at its last statement: it is rolled back whole, the failure is shown, the file stays at 1.0.2
// and opens; the next start upgrades it.
void TestRunSchema::failedStepLeavesFileAtItsVersion()
{
    MakeFileOf102();
    const auto schema = [this]() {
        return QueryDatabaseFile(m_path,
                                 QStringLiteral("SELECT group_concat(type || name, '|') FROM (SELECT * FROM "
                                                "sqlite_master ORDER BY name)"))
            .toString();
    };
    {
        TConnection connection;
        QString error;
        QVERIFY(connection.Open(TDBFunc::ConnectionString(m_path, TDBFunc::Password()), &error));
        QVERIFY(connection.Execute(QStringLiteral("CREATE TABLE goodslist_item_key(n integer)"), &error));
    }
    const QString before = schema();
    {
        TDM dm;
        QString error;
        QVERIFY2(dm.OpenDatabase(m_path, &error), qPrintable(error));
        QCOMPARE(dm.DBFunc()->Version(), QStringLiteral("1.0.2"));
        QVERIFY2(dm.OpenGoodsQuery(&error), qPrintable(error));
        QCOMPARE(m_warnings->Texts.size(), 1);
        QVERIFY2(m_warnings->Texts.front().contains(QStringLiteral("goodslist_item_key")),
                 qPrintable(m_warnings->Texts.front()));
        m_warnings->Texts.clear();
    }
    QCOMPARE(schema(), before);
    QCOMPARE(Version(m_path), QStringLiteral("1.0.2"));
    QCOMPARE(QueryDatabaseFile(m_path,
                               QStringLiteral("SELECT count(*) FROM pragma_table_info('goodslist') WHERE "
                                              "name IN ('run_id', 'item_key')"))
                 .toInt(),
             0);
    QString error;
    {
        TConnection connection;
        QVERIFY(connection.Open(TDBFunc::ConnectionString(m_path, TDBFunc::Password()), &error));
        QVERIFY(connection.Execute(QStringLiteral("DROP TABLE goodslist_item_key"), &error));
    }
    TDM dm;
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QCOMPARE(dm.DBFunc()->Version(), QLatin1String(TRunSchema::Version));
    QCOMPARE(KeysOffTheRule(dm.conn()), QStringList());
}

// A large file's step runs on a thread of its own with progress reports on the caller's thread, in order.
void TestRunSchema::largeUpgradeReportsProgress()
{
    const int rows = 30000;
    {
        TDM dm;
        QString error;
        QVERIFY(dm.OpenDatabase(m_path, &error));
        QVERIFY(RunOnConnection(dm.conn(),
                                {QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                                "i < %1) INSERT INTO goodslist(title, nid, detail_url, view_price) "
                                                "SELECT 'row ' || i, CASE WHEN i % 3 = 0 THEN i END, "
                                                "CASE WHEN i % 3 = 1 THEN '//i/item.htm?id=' || i END, i FROM n")
                                     .arg(rows)},
                                &error));
    }
    QString error;
    QVERIFY2(StepBackBeforeRunRecords(m_path, &error), qPrintable(error));
    TDM dm;
    QList<qint64> reports;
    qint64 steps = 0;
    bool onCallerThread = true;
    dm.SetUpgradeProgress([&](qint64 done, qint64 total) {
        reports.append(done);
        steps = total;
        onCallerThread = onCallerThread && QThread::currentThread() == thread();
    });
    QVERIFY(dm.OpenDatabase(m_path, &error));
    QCOMPARE(dm.DBFunc()->Version(), QLatin1String(TRunSchema::Version));
    QVERIFY(!reports.isEmpty());
    QVERIFY(std::is_sorted(reports.begin(), reports.end()));
    QVERIFY(reports.last() <= steps);
    QVERIFY(onCallerThread);
    QCOMPARE(KeysOffTheRule(dm.conn()), QStringList());
    QCOMPARE(Scalar(dm.conn(), QStringLiteral("SELECT count(DISTINCT item_key) FROM goodslist")).toInt(), rows);
    // A run's rows and a listing's sightings are found by their indexes, not by reading the table.
    const QString byRun = PlanOf(dm.conn(),
                                 QStringLiteral("SELECT min(id) FROM goodslist WHERE run_id = ?1 "
                                                "GROUP BY coalesce(item_key, '#' || id)"));
    QVERIFY2(byRun.contains(QStringLiteral("goodslist_run_id")), qPrintable(byRun));
    const QString byKey = PlanOf(dm.conn(), QStringLiteral("SELECT id FROM goodslist WHERE item_key = ?1"));
    QVERIFY2(byKey.contains(QStringLiteral("goodslist_item_key")), qPrintable(byKey));
}

QTEST_GUILESS_MAIN(TestRunSchema)
#include "TestRunSchema.moc"
