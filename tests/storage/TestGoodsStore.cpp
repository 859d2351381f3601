#include "page/TListingArray.h"
#include "page/TPageData.h"
#include "storage/engine/TRowSet.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"
#include "tests/TestPaths.h"
#include "tests/storage/TWarningRecorder.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <rapidjson/document.h>

namespace {
// The page data of the fixture: the text between "g_page_config = " and the final "};".
QByteArray FixtureJson()
{
    QFile file(QStringLiteral(MERCATIX_FIXTURES_DIR "/search-page-config-2018.js"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    const QByteArray text = file.readAll();
    const QByteArray start = "g_page_config = ";
    const qsizetype from = text.indexOf(start) + start.size();
    const qsizetype to = text.lastIndexOf("};");
    return text.mid(from, to + 1 - from);
}

const rapidjson::Value* Path(const rapidjson::Value& root, std::initializer_list<const char*> keys)
{
    const rapidjson::Value* value = &root;
    for (const char* key : keys) {
        if (!value->IsObject() || value->FindMember(key) == value->MemberEnd()) {
            return nullptr;
        }
        value = &value->FindMember(key)->value;
    }
    return value;
}

QString Str(const rapidjson::Value& listing, const char* key)
{
    const auto it = listing.FindMember(key);
    return it != listing.MemberEnd() && it->value.IsString() ? QString::fromUtf8(it->value.GetString()) : QString();
}

struct TStore
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("gleanbox.db"));
    std::unique_ptr<TDM> dm;

    bool Open()
    {
        dm = std::make_unique<TDM>();
        QString error;
        return dm->OpenDatabase(path, &error) && dm->OpenGoodsQuery(&error);
    }
    TRowSet& Rows() { return *dm->qrGoodsList(); }
    QVariant Get(int row, const char* field) { return Rows().Value(row, Rows().FieldIndex(field)); }
    QList<QVariantList> FileRows(const QString& sql)
    {
        QString error;
        std::unique_ptr<TRowSet> query = dm->DBFunc()->CreateQuery(sql, &error);
        QList<QVariantList> rows;
        for (int r = 0; query != nullptr && r < query->RowCount(); ++r) {
            QVariantList row;
            for (int f = 0; f < query->FieldCount(); ++f) {
                row.append(query->Value(r, f));
            }
            rows.append(row);
        }
        return rows;
    }
    int FileCount() { return FileRows(QStringLiteral("select count(*) from goodslist")).value(0).value(0).toInt(); }
};

// Parsed as the page pipeline parses a block, so numbers keep their page text.
TPageData::TParsed Parse(const QByteArray& json)
{
    TPageData::TParsed parsed;
    TPageData::Parse(json, &parsed);
    return parsed;
}
} // namespace

class TestGoodsStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fixturePageStoresEveryListing();
    void auctionValues_data();
    void auctionValues();
    void textsAsOnThePage_data();
    void textsAsOnThePage();
    void itemListing_data();
    void itemListing();
    void pagesOf44AreKeptAcrossRestart();
    void listingTextNeverBecomesSql();
    void failedApplyWritesNothing();
    void emptyArrayAndClosedQuery();

private:
    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<TStore> m_store;
};

void TestGoodsStore::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_store = std::make_unique<TStore>();
    QVERIFY(m_store->Open());
}

void TestGoodsStore::cleanup()
{
    m_store.reset();
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

void TestGoodsStore::fixturePageStoresEveryListing()
{
    const QByteArray json = FixtureJson();
    TPageData::TParsed parsed1 = Parse(json);
    rapidjson::Document& doc = parsed1.Document;
    QVERIFY(!doc.HasParseError());
    const rapidjson::Value* auctions = Path(doc, {"mods", "itemlist", "data", "auctions"});
    QVERIFY(auctions != nullptr && auctions->IsArray());
    QCOMPARE(auctions->Size(), 36u);

    QString error;
    QVERIFY2(m_store->dm->SaveAuctionList(QStringLiteral("连衣裙"), TListingArray(*auctions), &error),
             qPrintable(error));
    QVERIFY2(m_store->dm->ApplyGoodsRows(&error), qPrintable(error));
    const QList<QVariantList> rows = m_store->FileRows(QStringLiteral(
        "select title, view_price, view_fee, item_loc, nick, user_id, shopLink, comment_count, reserve_price, "
        "keyname, id from goodslist order by id"));
    QCOMPARE(rows.size(), 36);
    for (int i = 0; i < 36; ++i) {
        const rapidjson::Value& listing = (*auctions)[static_cast<rapidjson::SizeType>(i)];
        const QVariantList& row = rows.at(i);
        QCOMPARE(row.at(0).toString(), Str(listing, "raw_title"));
        QCOMPARE(row.at(1).toDouble(), Str(listing, "view_price").toDouble());
        QCOMPARE(row.at(2).toDouble(), Str(listing, "view_fee").toDouble());
        QCOMPARE(row.at(3).toString(), Str(listing, "item_loc"));
        QCOMPARE(row.at(4).toString(), Str(listing, "nick"));
        QCOMPARE(row.at(5).toString(), Str(listing, "user_id"));
        QCOMPARE(row.at(6).toString(), Str(listing, "shopLink"));
        QCOMPARE(row.at(7).toInt(), Str(listing, "comment_count").toInt());
        QVERIFY(row.at(8).isNull());
        QCOMPARE(row.at(9).toString(), QStringLiteral("连衣裙"));
        QCOMPARE(row.at(10).toInt(), i + 1);
        QCOMPARE(m_store->Get(i, "id").toInt(), i + 1); // read back into the query
    }
    QCOMPARE(Str((*auctions)[0], "comment_count"), QString());
    QCOMPARE(rows.at(0).at(7).toInt(), 0);
    QVERIFY(!rows.at(0).at(7).isNull());
}

void TestGoodsStore::auctionValues_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QVariant>("viewPrice"); // a null variant: NULL in the row
    QTest::addColumn<QVariant>("reservePrice");
    QTest::addColumn<double>("viewFee");
    QTest::addColumn<qlonglong>("commentCount");
    const QVariant null;
    QTest::newRow("strings") << QByteArray(
        R"({"view_price":"12.50","reserve_price":"25.00","view_fee":"0.00","comment_count":"1234"})")
                             << QVariant(12.5) << QVariant(25.0) << 0.0 << 1234LL;
    QTest::newRow("numbers") << QByteArray(R"({"view_price":9.9,"reserve_price":10,"view_fee":1.23456,)"
                                           R"("comment_count":2.5})")
                             << QVariant(9.9) << QVariant(10.0) << 1.2346 << 2LL;
    QTest::newRow("plain decimal texts") << QByteArray(
        R"({"view_price":"-007.250","reserve_price":"0.1000000000000000055511151231257827"})")
                                         << QVariant(-7.25) << QVariant(0.1) << 0.0 << 0LL;
    QTest::newRow("grouped price texts") << QByteArray(R"({"view_price":"1,234.5","reserve_price":"1,234"})") << null
                                         << null << 0.0 << 0LL;
    QTest::newRow("fee number rounds as its text")
        << QByteArray(R"({"view_fee":1.00005,"comment_count":1e3})") << null << null << 1.0 << 1000LL;
    QTest::newRow("exponents") << QByteArray(R"({"view_price":125E-1,"view_fee":15e-1,"comment_count":25E-1})")
                               << QVariant(12.5) << null << 1.5 << 2LL;
    QTest::newRow("beyond a double") << QByteArray(
        R"({"view_price":1e400,"reserve_price":-1e400,"view_fee":1e400,"comment_count":1e400})")
                                     << null << null << 0.0 << 0LL;
    QTest::newRow("integer beyond 64 bits")
        << QByteArray(R"({"view_fee":12345678901234567890123,"comment_count":12345678901234567890123})") << null << null
        << 0.0 << 0LL;
    QTest::newRow("halves to even") << QByteArray(R"({"view_fee":"0.00015","comment_count":3.5})") << null << null
                                    << 0.0002 << 4LL;
    QTest::newRow("exact half down to even")
        << QByteArray(R"({"view_fee":"2.00005","comment_count":-0.5})") << null << null << 2.0 << 0LL;
    QTest::newRow("blanks before allowed")
        << QByteArray(R"({"view_price":" 7","view_fee":"  3.5","comment_count":" 12"})") << QVariant(7.0) << null << 3.5
        << 12LL;
    QTest::newRow("text after the number")
        << QByteArray(R"({"view_fee":"3.5 ","comment_count":"12x"})") << null << null << 0.0 << 0LL;
    QTest::newRow("empty texts") << QByteArray(
        R"({"view_price":"","reserve_price":"","view_fee":"","comment_count":""})")
                                 << null << null << 0.0 << 0LL;
    QTest::newRow("missing keys") << QByteArray("{}") << null << null << 0.0 << 0LL;
    QTest::newRow("booleans") << QByteArray(R"({"view_fee":true,"comment_count":true})") << null << null << 1.0 << 1LL;
    QTest::newRow("other kinds") << QByteArray(R"({"view_price":"abc","view_fee":[1],"comment_count":{"a":1}})") << null
                                 << null << 0.0 << 0LL;
    QTest::newRow("not an object") << QByteArray("17") << null << null << 0.0 << 0LL;
}

void TestGoodsStore::auctionValues()
{
    QFETCH(QByteArray, listing);
    QFETCH(QVariant, viewPrice);
    QFETCH(QVariant, reservePrice);
    const TPageData::TParsed parsed2 = Parse("[" + listing + "]");
    const rapidjson::Document& doc = parsed2.Document;
    QVERIFY(!doc.HasParseError());
    QString error;
    QVERIFY2(m_store->dm->SaveAuctionList(QStringLiteral("kw"), TListingArray(doc), &error), qPrintable(error));
    QCOMPARE(m_store->Rows().RowCount(), 1);
    QCOMPARE(m_store->Get(0, "view_price"), viewPrice);
    QCOMPARE(m_store->Get(0, "reserve_price"), reservePrice);
    QTEST(m_store->Get(0, "view_fee").toDouble(), "viewFee");
    QTEST(m_store->Get(0, "comment_count").toLongLong(), "commentCount");
    QCOMPARE(m_store->Get(0, "nick"), QVariant(QString()));
    QVERIFY2(m_store->dm->ApplyGoodsRows(&error), qPrintable(error));
    const QVariantList stored = m_store->FileRows(QStringLiteral("select view_price, nick from goodslist")).value(0);
    QCOMPARE(stored.value(0).isNull(), viewPrice.isNull());
    QCOMPARE(stored.value(1), QVariant(QString())); // a missing text is the empty text, not NULL
}

void TestGoodsStore::textsAsOnThePage_data()
{
    QTest::addColumn<QByteArray>("value"); // the JSON value of "raw_title"
    QTest::addColumn<QString>("title");
    QTest::newRow("exponent number") << QByteArray("1E2") << "1E2";
    QTest::newRow("trailing zero") << QByteArray("1.50") << "1.50";
    QTest::newRow("beyond a double") << QByteArray("-1e400") << "-1e400";
    QTest::newRow("beyond 64 bits") << QByteArray("123456789012345678901234567890") << "123456789012345678901234567890";
    QTest::newRow("array with numbers") << QByteArray("[1.0, 2e1,true]") << "[1.0,2e1,true]";
    QTest::newRow("lone high surrogate") << QByteArray(R"("\ud800x")") << QStringLiteral("\uFFFDx");
    QTest::newRow("lone low surrogate") << QByteArray(R"("a\udc00")") << QStringLiteral("a\uFFFD");
    QTest::newRow("high before another escape") << QByteArray(R"("\ud83d\u0041")") << QStringLiteral("\uFFFDA");
    QTest::newRow("surrogate pair") << QByteArray(R"("\ud83d\ude00")") << QStringLiteral("\U0001F600");
}

// A number in a text field is stored as the page wrote it, and valid JSON that a double or UTF-16 cannot hold
// still parses.
void TestGoodsStore::textsAsOnThePage()
{
    QFETCH(QByteArray, value);
    const TPageData::TParsed parsed = Parse(R"([{"raw_title":)" + value + "}]");
    QVERIFY(parsed.Document.IsArray());
    QString error;
    QVERIFY2(m_store->dm->SaveAuctionList(QStringLiteral("kw"), TListingArray(parsed.Document), &error),
             qPrintable(error));
    QTEST(m_store->Get(0, "title").toString(), "title");
    QVERIFY2(m_store->dm->ApplyGoodsRows(&error), qPrintable(error));
}

void TestGoodsStore::itemListing_data()
{
    QTest::addColumn<QByteArray>("tags");
    QTest::addColumn<QString>("itemLoc");
    QTest::newRow("two tags") << QByteArray(R"("tag_info":[{"tag":"a"},{"tag":"b"}],)") << "a b ";
    QTest::newRow("element without tag") << QByteArray(R"("tag_info":[{"x":1},"s",{"tag":"包邮"}],)") << "  包邮 ";
    QTest::newRow("outside the code page") << QByteArray("\"tag_info\":[{\"tag\":\"a\xF0\x9F\x98\x80\"}],") << "a? ";
    QTest::newRow("empty array") << QByteArray(R"("tag_info":[],)") << "";
    QTest::newRow("no tag_info") << QByteArray() << "";
}

void TestGoodsStore::itemListing()
{
    QFETCH(QByteArray, tags);
    const QByteArray listing = "{" + tags
        + R"("title":"T","pic_url":"//p","price":"9.90","view_fee":"5.00","url":"//s/1","comment_count":"7",)"
          R"("nick":"ignored","detail_url":"ignored"})";
    const TPageData::TParsed parsed3 = Parse("[" + listing + "," + listing + "]");
    const rapidjson::Document& doc = parsed3.Document;
    QString error;
    QVERIFY2(m_store->dm->SaveItemList(QStringLiteral("kw"), TListingArray(doc), &error), qPrintable(error));
    QCOMPARE(m_store->Rows().RowCount(), 2); // the same listing twice gives two rows
    QTEST(m_store->Get(0, "item_loc").toString(), "itemLoc");
    QCOMPARE(m_store->Get(0, "title"), QVariant(QStringLiteral("T")));
    QCOMPARE(m_store->Get(0, "view_price"), QVariant(9.9));
    QCOMPARE(m_store->Get(0, "reserve_price"), QVariant(9.9));
    QCOMPARE(m_store->Get(0, "view_fee"), QVariant(5.0));
    QCOMPARE(m_store->Get(0, "shopLink"), QVariant(QStringLiteral("//s/1")));
    QCOMPARE(m_store->Get(0, "comment_count").toInt(), 7);
    for (const char* empty : {"detail_url", "nick", "user_id"}) {
        QCOMPARE(m_store->Get(1, empty), QVariant(QString()));
    }
    QVERIFY(m_store->Get(1, "nid").isNull());
    QVERIFY(m_store->dm->ApplyGoodsRows(&error));
}

void TestGoodsStore::pagesOf44AreKeptAcrossRestart()
{
    const QByteArray json = FixtureJson();
    TPageData::TParsed parsed4 = Parse(json);
    rapidjson::Document& doc = parsed4.Document;
    rapidjson::Value* auctions = const_cast<rapidjson::Value*>(Path(doc, {"mods", "itemlist", "data", "auctions"}));
    QVERIFY(auctions != nullptr);
    for (rapidjson::SizeType i = 0; i < 8; ++i) {
        rapidjson::Value copy((*auctions)[i], doc.GetAllocator());
        auctions->PushBack(copy, doc.GetAllocator());
    }
    QCOMPARE(auctions->Size(), 44u);
    QAbstractItemModelTester tester(m_store->dm->dsGoodsList(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(m_store->dm->dsGoodsList(), &QAbstractItemModel::rowsInserted);
    QString error;
    QElapsedTimer timer;
    qint64 best = std::numeric_limits<qint64>::max();
    for (int page = 0; page < 2; ++page) {
        timer.start();
        QVERIFY(m_store->dm->SaveAuctionList(QStringLiteral("page%1").arg(page), TListingArray(*auctions), &error));
        QVERIFY2(m_store->dm->ApplyGoodsRows(&error), qPrintable(error));
        best = std::min(best, timer.nsecsElapsed());
    }
    qInfo("store + apply of 44 listings: %.3f ms", static_cast<double>(best) / 1e6);
    QCOMPARE(inserted.count(), 2); // one notification per page
    QCOMPARE(m_store->dm->dsGoodsList()->rowCount(), 88);
    QCOMPARE(m_store->Get(43, "keyname"), QVariant(QStringLiteral("page0")));
    QCOMPARE(m_store->Get(44, "keyname"), QVariant(QStringLiteral("page1")));
    QCOMPARE(m_store->Get(36, "title"), m_store->Get(0, "title"));

    m_store->dm->CloseDatabase();
    QVERIFY(m_store->Open());
    QCOMPARE(m_store->dm->dsGoodsList()->rowCount(), 0);
    QCOMPARE(m_store->FileCount(), 88);
    const QList<QVariantList> keys
        = m_store->FileRows(QStringLiteral("select keyname, count(*) from goodslist group by keyname"));
    QCOMPARE(keys.size(), 2);
    QCOMPARE(keys.at(0).at(1).toInt(), 44);
}

void TestGoodsStore::listingTextNeverBecomesSql()
{
    const QString title = QStringLiteral("it's \"x\" \\r; drop table goodslist; --");
    const QString longLocation = QString(300, QChar(u'地'));
    rapidjson::Document doc(rapidjson::kArrayType);
    rapidjson::Value listing(rapidjson::kObjectType);
    const QByteArray titleBytes = title.toUtf8();
    const QByteArray locationBytes = longLocation.toUtf8();
    listing.AddMember("raw_title", rapidjson::StringRef(titleBytes.constData()), doc.GetAllocator());
    listing.AddMember("item_loc", rapidjson::StringRef(locationBytes.constData()), doc.GetAllocator());
    doc.PushBack(listing, doc.GetAllocator());
    QString error;
    QVERIFY(m_store->dm->SaveAuctionList(QStringLiteral("o'k;"), TListingArray(doc), &error));
    QVERIFY2(m_store->dm->ApplyGoodsRows(&error), qPrintable(error));
    const QVariantList row
        = m_store->FileRows(QStringLiteral("select title, item_loc, keyname from goodslist")).value(0);
    QCOMPARE(row.value(0).toString(), title);
    QCOMPARE(row.value(1).toString(), longLocation); // longer than its 45 characters, stored whole
    QCOMPARE(row.value(2).toString(), QStringLiteral("o'k;"));
}

void TestGoodsStore::failedApplyWritesNothing()
{
    QVERIFY(m_store->dm->DBFunc()->ExecuteSql(
        QStringLiteral("create trigger refuse before insert on goodslist when new.title = 'boom' "
                       "begin select raise(abort, 'disk said no'); end")));
    const TPageData::TParsed parsed
        = Parse(R"([{"raw_title":"one","view_price":"1"},{"raw_title":"boom"},{"raw_title":"three"}])");
    const rapidjson::Document& doc = parsed.Document;
    QString error;
    QVERIFY(m_store->dm->SaveAuctionList(QStringLiteral("kw"), TListingArray(doc), &error));
    QVERIFY(!m_store->dm->ApplyGoodsRows(&error));
    QCOMPARE(error, QStringLiteral("disk said no"));
    QCOMPARE(m_store->FileCount(), 0);
    QCOMPARE(m_store->Rows().RowCount(), 3);
    QVERIFY(m_store->Get(0, "id").isNull());
    QVERIFY(m_store->dm->DBFunc()->ExecuteSql(QStringLiteral("insert into goodslist(title) values('later')")));
    QCOMPARE(m_store->FileCount(), 1); // the file stays usable
}

void TestGoodsStore::emptyArrayAndClosedQuery()
{
    QSignalSpy inserted(m_store->dm->dsGoodsList(), &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(m_store->dm->dsGoodsList(), &QAbstractItemModel::modelReset);
    const TPageData::TParsed parsed5 = Parse("[]");
    const rapidjson::Document& empty = parsed5.Document;
    QString error;
    QVERIFY(m_store->dm->SaveAuctionList(QStringLiteral("kw"), TListingArray(empty), &error));
    QVERIFY(m_store->dm->ApplyGoodsRows(&error));
    QCOMPARE(m_store->Rows().RowCount(), 0);
    QCOMPARE(inserted.count() + reset.count(), 0);
    const TPageData::TParsed parsed6 = Parse("{}");
    const rapidjson::Document& object = parsed6.Document;
    QVERIFY(!m_store->dm->SaveItemList(QStringLiteral("kw"), TListingArray(object), &error));
    m_store->dm->CloseDatabase();
    QVERIFY(!m_store->dm->SaveAuctionList(QStringLiteral("kw"), TListingArray(empty), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!m_store->dm->ApplyGoodsRows(&error));
}

QTEST_GUILESS_MAIN(TestGoodsStore)
#include "TestGoodsStore.moc"
