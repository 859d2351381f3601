// Figures of the library over a table of a million rows. The file is built once in the work folder given
// (as a file of the schema before the search index, which the first open then upgrades) and reused.
// Usage: bench_library <work folder> [repetitions]
#include "app/TLibraryModel.h"
#include "app/TLibraryWindow.h"
#include "app/uStartup.h"
#include "library/TComparisonQuery.h"
#include "library/THistoryQuery.h"
#include "library/TLibraryQuery.h"
#include "library/TLibraryWorker.h"
#include "library/TPriceStats.h"
#include "page/TListingArray.h"
#include "storage/TLibrarySchema.h"
#include "storage/TRunComparison.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TDerivedKeys.h"
#include "storage/engine/TStatement.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"
#include "ui/TApplication.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <rapidjson/document.h>
#include <vector>

namespace {
const int Rows = 1000000;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Ms(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

long RssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return 0;
}

void Fail(const QString& what, const QString& error)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(what), qPrintable(error));
    std::exit(1);
}

void Exec(TConnection* connection, const QString& sql)
{
    QString error;
    TStatement statement;
    if (!statement.Prepare(connection, sql, &error) || !statement.Run(&error)) {
        Fail(sql.left(60), error);
    }
}

// Titles, sellers and places from small vocabularies, so that a search finds some rows and not all;
// every listing is seen about three times, at prices that move a little.
void BuildOldFile(const QString& path)
{
    QFile::remove(path);
    TDM dm;
    QString error;
    if (!dm.OpenDatabase(path, &error)) {
        Fail(QStringLiteral("create"), error);
    }
    TConnection* c = dm.conn();
    for (const char* drop :
         {"DROP TRIGGER goodslist_fts_insert", "DROP TRIGGER goodslist_fts_delete", "DROP TRIGGER goodslist_fts_update",
          "DROP TABLE goodslist_fts", "DROP INDEX goodslist_keyname", "DROP INDEX goodslist_view_price",
          "DROP INDEX goodslist_comment_count", "DROP INDEX goodslist_collect_time",
          "ALTER TABLE goodslist DROP COLUMN collect_time", "UPDATE userver SET verno = '1.0.1'"}) {
        Exec(c, QString::fromLatin1(drop));
    }
    Exec(c, QStringLiteral("BEGIN"));
    const char* const words[]
        = {"实木,简约,北欧,日式,美式,复古,轻奢,加厚,折叠,升降,钢木,欧式,中式",
           "办公桌,电脑桌,书桌,餐桌,茶几,会议桌,梳妆台,床头柜,鞋柜,衣柜,书架,沙发,椅子,凳子,屏风,花架,酒柜",
           "家用,卧室,客厅,儿童,学生,宿舍,小户型,大号,包邮,特价,现货",
           "浙江 杭州,广东 佛山,江苏 苏州,上海,福建 厦门,河北 廊坊,四川 成都,山东 临沂,北京,天津"};
    for (int list = 0; list < 4; ++list) {
        Exec(c, QStringLiteral("CREATE TEMP TABLE w%1(k INTEGER PRIMARY KEY, word TEXT)").arg(list));
        const QStringList entries = QString::fromUtf8(words[list]).split(QLatin1Char(','));
        for (int k = 0; k < entries.size(); ++k) {
            Exec(c, QStringLiteral("INSERT INTO w%1 VALUES (%2, '%3')").arg(list).arg(k).arg(entries.at(k)));
        }
    }
    Exec(c,
         QStringLiteral(
             "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
             "INSERT INTO goodslist (keyname, title, pic_url, detail_url, view_price, view_fee, reserve_price, "
             "item_loc, user_id, nick, shopLink, comment_count) "
             "SELECT (SELECT word FROM w1 WHERE k = (i / 3) % 17), "
             "(SELECT word FROM w0 WHERE k = (i / 3) % 13) || ' ' || (SELECT word FROM w1 WHERE k = (i / 3) % 17) "
             "|| ' ' || (SELECT word FROM w2 WHERE k = (i / 3) % 11) || ' 款' || (i / 3), "
             "'//img.example/bao/uploaded/' || i || '.jpg', "
             "'//item.example/item.htm?id=' || (600000000 + i / 3) || '&ns=1', "
             "round(((i / 3) * 7919 % 200000) / 100.0 + (i % 3), 2), 0.0, NULL, "
             "(SELECT word FROM w3 WHERE k = (i / 3) % 10), 18482 + i / 3, '店主' || (i % 50000), "
             "'//store.example/shop/view_shop.htm?user_number_id=' || (i % 50000), i % 5000 FROM n")
             .arg(Rows - 1));
    Exec(c, QStringLiteral("COMMIT"));
}

// The upgrade of a million rows, run as the main window runs it: the key derived ahead on the prefetch thread,
// the upgrade on its own thread while this thread's event loop goes on. The longest stretch between two turns
// of a 10 ms timer is the longest the window stands still.
void MeasureUpgrade(const QString& path)
{
    TDM dm;
    dm.PrepareDatabase(path);
    QThread::msleep(1000); // the key derivation ends meanwhile, as it does while the window is built
    QElapsedTimer gap;
    double longest = 0;
    int reports = 0;
    dm.SetUpgradeProgress([&](qint64, qint64) {
        longest = std::max(longest, static_cast<double>(gap.nsecsElapsed()) / 1e6);
        gap.restart();
        ++reports;
    });
    QElapsedTimer tick;
    double still = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&]() {
        still = std::max(still, static_cast<double>(tick.nsecsElapsed()) / 1e6);
        tick.restart();
    });
    QString error;
    gap.start();
    tick.start();
    timer.start();
    const double ms = Ms([&]() {
        if (!dm.OpenDatabase(path, &error)) {
            Fail(QStringLiteral("upgrade"), error);
        }
    });
    timer.stop();
    const double tail = static_cast<double>(gap.nsecsElapsed()) / 1e6; // the commit after the last report
    std::printf("upgrade of %d rows (search index, column, sort indexes): %.1f s, %d progress reports, longest "
                "gap between reports %.0f ms, commit after the last report %.0f ms, version %s\n",
                Rows, ms / 1000, reports, longest, tail, qPrintable(dm.DBFunc()->Version()));
    std::printf("longest stretch without a turn of the caller's event loop (10 ms timer) during the upgrade: %.0f "
                "ms\n",
                still);
    std::printf("file size after the upgrade: %.0f MiB\n", static_cast<double>(QFileInfo(path).size()) / (1024 * 1024));
}

// The key derivation alone, for a salt this process has not seen.
void MeasureDerivation()
{
    const QByteArray salt = QByteArray::number(QDateTime::currentMSecsSinceEpoch()).rightJustified(16, '0');
    const double ms = Ms([&]() { TDerivedKeys::RawKey(TDBFunc::Password().toUtf8(), salt); });
    std::printf("key derivation alone (PBKDF2-HMAC-SHA512, %d iterations): %.0f ms\n", TDerivedKeys::Iterations, ms);
}

QString Cs(const QString& path)
{
    return TDBFunc::ConnectionString(path, TDBFunc::Password());
}

// The window as a user opens it: from the button's press until the first page is in the grid; cold (the
// window starts its own connection, with the key the main connection derived) and with the connection the
// main window opens ahead of time.
void MeasureFirstScreen(const QString& path, int repetitions)
{
    TDM dm;
    QString error;
    if (!dm.OpenDatabase(path, &error) || !dm.OpenGoodsQuery(&error)) {
        Fail(QStringLiteral("open"), error);
    }
    for (const bool warm : {false, true}) {
        std::vector<double> times;
        std::vector<double> rss;
        std::vector<double> counted;
        for (int i = 0; i < repetitions; ++i) {
            std::unique_ptr<TLibraryWorker> worker;
            if (warm) {
                worker = std::make_unique<TLibraryWorker>(Cs(path));
                worker->Wait();
            }
            const long before = RssKb();
            QElapsedTimer timer;
            timer.start();
            auto* window = new TLibraryWindow(&dm, Cs(path), {}, nullptr, std::move(worker));
            window->show();
            while (!window->Model()->IsLoaded(0)) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            QCoreApplication::processEvents();
            window->grid->viewport()->repaint();
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            rss.push_back(static_cast<double>(RssKb() - before) / 1024);
            while (window->Model()->TotalRows() < 0) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            counted.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            window->WaitForWorker();
            QCoreApplication::processEvents();
            if (i == 0) {
                std::printf("%s window, first opening: first screen %.0f ms, RSS added %.1f MB (%.1f MB once its "
                            "chart and counts are in)\n",
                            warm ? "warm" : "cold", times.front(), rss.front(),
                            static_cast<double>(RssKb() - before) / 1024);
            }
            delete window;
        }
        std::printf("%s window first screen (first page shown): median %.0f ms; \"共 N 条\" counted: median %.0f "
                    "ms\n",
                    warm ? "warm" : "cold", Median(times), Median(counted));
    }
}

void Require(bool ok, const QString& what, const QString& error)
{
    if (!ok) {
        Fail(what, error);
    }
}

double FirstPage(TLibraryQuery& query, const TLibraryFilter& filter, const TLibrarySort& sort,
                 TLibraryGrouping grouping, int* found = nullptr)
{
    return Ms([&]() {
        QString error;
        std::vector<TLibraryQuery::TRow> rows;
        Require(query.SetView(filter, sort, grouping, &error), QStringLiteral("view"), error);
        Require(query.Page(nullptr, false, TLibraryModel::PageRows, &rows, &error), QStringLiteral("page"), error);
        if (found != nullptr) {
            *found = static_cast<int>(rows.size());
        }
    });
}

// The same search as a plain LIKE scan over the three columns, as a file without the index is searched; the newest
// rows first, as the window shows them.
double LikeFirstPage(TConnection* connection, const QString& text, int* found)
{
    return Ms([&]() {
        TStatement statement;
        QString error;
        const QString pattern = TLibrarySql::ContainsPattern(text);
        Require(statement.Prepare(connection,
                                  QStringLiteral("SELECT id, title FROM goodslist WHERE title LIKE ?1 ESCAPE '\\' OR "
                                                 "nick LIKE ?1 ESCAPE '\\' OR item_loc LIKE ?1 ESCAPE '\\' "
                                                 "ORDER BY id DESC LIMIT ?2"),
                                  &error)
                    && statement.Bind({pattern, TLibraryModel::PageRows}, &error),
                QStringLiteral("like"), error);
        *found = 0;
        while (statement.Next()) {
            ++*found;
        }
    });
}

// A page of 44 listings stored into the million-row table and into an empty one: the search index and the
// sort indexes are kept in step by every write.
void MeasureWrite(const QString& path, const QString& folder, int repetitions)
{
    QString listings;
    for (int i = 0; i < 44; ++i) {
        listings += QStringLiteral("%1{\"raw_title\":\"北欧 书桌 家用 款%2\",\"view_price\":\"%2.50\","
                                   "\"detail_url\":\"//item.example/item.htm?id=%2\",\"nick\":\"店主%2\","
                                   "\"item_loc\":\"浙江 杭州\",\"nid\":\"%2\"}")
                        .arg(i > 0 ? QStringLiteral(",") : QString())
                        .arg(900000000 + i);
    }
    const QByteArray json = (QLatin1Char('[') + listings + QLatin1Char(']')).toUtf8();
    rapidjson::Document page;
    page.Parse(json.constData(), json.size());
    const QString empty = folder + QStringLiteral("/library-empty.db");
    QFile::remove(empty);
    for (const QString& file : {path, empty}) {
        TDM dm;
        QString error;
        Require(dm.OpenDatabase(file, &error) && dm.OpenGoodsQuery(&error), QStringLiteral("open"), error);
        std::vector<double> times;
        for (int i = 0; i < repetitions * 3; ++i) {
            Require(dm.OpenGoodsQuery(&error), QStringLiteral("query"), error);
            times.push_back(Ms([&]() {
                Require(dm.SaveAuctionList(QStringLiteral("写入"), TListingArray(page), &error)
                            && dm.ApplyGoodsRows(&error),
                        QStringLiteral("store"), error);
            }));
        }
        std::printf("store and write 44 listings (durable commit) into the %s table: median %.2f ms\n",
                    file == path ? "1 000 000-row" : "empty", Median(times));
        Exec(dm.conn(), QStringLiteral("DELETE FROM goodslist WHERE keyname = '写入'"));
    }
}

// Listings (from the summary the triggers keep, sorted by sightings and newest first), the distinct listings among
// all rows, the sellers, and one seller's rows.
void MeasureGroups(TLibraryQuery& query, int repetitions)
{
    QString error;
    std::vector<double> bySightings;
    std::vector<double> newest;
    std::vector<double> distinct;
    qint64 groups = 0;
    qint64 listings = 0;
    for (int i = 0; i < repetitions; ++i) {
        bySightings.push_back(FirstPage(query, {}, {QStringLiteral("sightings"), true}, TLibraryGrouping::Listings));
        query.Count(&groups, &error);
        newest.push_back(FirstPage(query, {}, TLibrarySort::Newest(), TLibraryGrouping::Listings));
        Require(query.SetView({}, TLibrarySort::Newest(), TLibraryGrouping::Rows, &error), QStringLiteral("view"),
                error);
        distinct.push_back(
            Ms([&]() { Require(query.CountListings(&listings, &error), QStringLiteral("count"), error); }));
    }
    std::printf("group %d rows into %lld listings, first page: sorted by sightings %.0f ms, newest first %.0f ms\n",
                Rows, static_cast<long long>(groups), Median(bySightings), Median(newest));
    std::printf("count of the %lld distinct listings among all rows: %.1f ms\n", static_cast<long long>(listings),
                Median(distinct));
    // A filter groups the rows themselves, by the key's index.
    TLibraryFilter keyword;
    keyword.ByKeyword = true;
    keyword.Keyword = QStringLiteral("书桌");
    const double keywordGroups = FirstPage(query, keyword, TLibrarySort::Newest(), TLibraryGrouping::Listings);
    qint64 keywordListings = 0;
    query.Count(&keywordListings, &error);
    Require(query.SetView(keyword, TLibrarySort::Newest(), TLibraryGrouping::Rows, &error), QStringLiteral("view"),
            error);
    const double keywordDistinct = Ms([&]() { query.CountListings(&keywordListings, &error); });
    std::printf("group the rows of one keyword into %lld listings, newest first, first page: %.0f ms; count of "
                "their distinct listings: %.0f ms\n",
                static_cast<long long>(keywordListings), keywordGroups, keywordDistinct);
    std::vector<TLibraryQuery::TRow> rows;
    qint64 sellers = 0;
    const double bySeller = FirstPage(query, {}, TLibrarySort::Newest(), TLibraryGrouping::Sellers);
    query.Count(&sellers, &error);
    query.PageAt(sellers / 2, 1, &rows, &error);
    TLibraryFilter one;
    one.BySeller = true;
    one.SellerId = rows.empty() ? QString() : rows.front().Values.at(0).toString();
    const double seller = FirstPage(query, one, TLibrarySort::Newest(), TLibraryGrouping::Rows);
    qint64 sellerRows = 0;
    const double sellerCount = Ms([&]() { query.Count(&sellerRows, &error); });
    std::printf("sellers: %lld sellers of %d rows, first page %.0f ms; one seller's rows, first page %.0f ms, their "
                "count (%lld) %.0f ms\n",
                static_cast<long long>(sellers), Rows, bySeller, seller, static_cast<long long>(sellerRows),
                sellerCount);
}

void MeasureQueries(const QString& path, int repetitions)
{
    TLibraryQuery query;
    QString error;
    const double open = Ms([&]() { Require(query.Open(Cs(path), &error), QStringLiteral("open"), error); });
    std::printf("open the library's connection (the key derived before): %.0f ms\n", open);
    TConnection plain;
    Require(plain.Open(Cs(path), &error), QStringLiteral("open"), error);

    for (const QString& text : {QStringLiteral("款123456"), QStringLiteral("北欧 书桌 儿童 款1"),
                                QStringLiteral("书架 客厅"), QStringLiteral("店主4999"), QStringLiteral("书桌")}) {
        std::vector<double> indexed;
        std::vector<double> like;
        int hits = 0;
        int likeHits = 0;
        TLibraryFilter filter;
        filter.Search = text;
        for (int i = 0; i < repetitions; ++i) { // alternating, same run
            indexed.push_back(FirstPage(query, filter, TLibrarySort::Newest(), TLibraryGrouping::Rows, &hits));
            like.push_back(LikeFirstPage(&plain, text, &likeHits));
        }
        std::printf("search \"%s\" (%d characters), first page of %d rows: index %.1f ms, LIKE scan %.1f ms "
                    "(%d rows)\n",
                    qPrintable(text), TLibrarySql::CharacterCount(text), hits, Median(indexed), Median(like), likeHits);
        qint64 count = 0;
        const double counting = Ms([&]() { query.Count(&count, &error); });
        std::printf("  count of its rows: %lld in %.1f ms\n", static_cast<long long>(count), counting);
    }

    std::vector<double> ascending;
    std::vector<double> descending;
    std::vector<double> deep;
    for (int i = 0; i < repetitions; ++i) {
        ascending.push_back(FirstPage(query, {}, {QStringLiteral("view_price"), false}, TLibraryGrouping::Rows));
        descending.push_back(FirstPage(query, {}, {QStringLiteral("view_price"), true}, TLibraryGrouping::Rows));
        std::vector<TLibraryQuery::TRow> rows;
        query.PageAt(500000, 1, &rows, &error);
        const TLibraryQuery::TPageKey key{rows.front().SortValue, rows.front().Key};
        deep.push_back(Ms([&]() { query.Page(&key, false, TLibraryModel::PageRows, &rows, &error); }));
    }
    std::printf("sort by price, first page: ascending %.1f ms, descending %.1f ms; the page after row 500 000 "
                "by its key: %.1f ms\n",
                Median(ascending), Median(descending), Median(deep));
    std::vector<TLibraryQuery::TRow> rows;
    const double jump = Ms([&]() { query.PageAt(500000, TLibraryModel::PageRows, &rows, &error); });
    std::printf("a jump to row 500 000 by position (scroll bar dragged), price order: %.0f ms\n", jump);
    Require(query.SetView({}, {}, TLibraryGrouping::Rows, &error), QStringLiteral("view"), error);
    const double end = Ms([&]() { query.Page(nullptr, true, TLibraryModel::PageRows, &rows, &error); });
    qint64 total = 0;
    const double count = Ms([&]() { query.Count(&total, &error); });
    qint64 listings = 0;
    const double distinct = Ms([&]() { query.CountListings(&listings, &error); });
    std::printf("last page (end of the table): %.1f ms; count of %lld rows: %.0f ms; %lld distinct listings: %.0f "
                "ms\n",
                end, static_cast<long long>(total), count, static_cast<long long>(listings), distinct);

    MeasureGroups(query, repetitions);
    Require(query.SetView({}, {}, TLibraryGrouping::Rows, &error), QStringLiteral("view"), error);
    std::vector<double> prices;
    const double chart = Ms([&]() {
        query.Prices(&prices, &error);
        TPriceStats::FromSorted(prices);
    });
    std::printf("price chart of all rows (read %zu prices, quartiles, bins): %.0f ms\n", prices.size(), chart);
}
// The plan SQLite chose for a statement, its steps joined: shows which index a query reads.
QString Plan(TConnection* connection, const QString& sql, const QVariantList& values)
{
    TStatement statement;
    QString error;
    Require(statement.Prepare(connection, QStringLiteral("EXPLAIN QUERY PLAN ") + sql, &error)
                && statement.Bind(values, &error),
            QStringLiteral("plan"), error);
    QStringList steps;
    while (statement.Next()) {
        steps.append(statement.Value(3).toString());
    }
    return steps.join(QLatin1String("; "));
}

// One listing's sightings (every listing of the file is seen three times), read from one of its rows as the
// history window reads them, summarised and turned into the corners of the step line. The file's rows have no
// collection time (they come from a file of the version before it): the listings measured get theirs, a day apart.
void MeasureHistory(TConnection* connection, int repetitions)
{
    std::vector<qint64> rows;
    for (int i = 0; i < repetitions * 3; ++i) {
        rows.push_back(1 + (static_cast<qint64>(i) * 7919 + Rows / 2) % Rows);
        Exec(connection,
             QStringLiteral("UPDATE goodslist SET collect_time = '2026-12-0' || (1 + id % 3) || "
                            "'T10:00:00+08:00' WHERE item_key = (SELECT item_key FROM goodslist WHERE "
                            "id = %1) AND collect_time IS NULL")
                 .arg(rows.back()));
    }
    std::vector<double> times;
    TListingHistory history;
    for (const qint64 row : rows) {
        times.push_back(Ms([&]() {
            QString error;
            Require(THistoryQuery::Read(connection, {row, QString()}, &history, &error), QStringLiteral("history"),
                    error);
        }));
    }
    std::printf("history of one listing (%zu sightings, read by one of its rows, summarised, %zu step corners): "
                "median %.2f ms\n",
                history.Sightings.size(), history.Steps.size(), Median(times));
    std::printf("  plan: %s\n",
                qPrintable(Plan(connection,
                                QStringLiteral("SELECT g.id, r.outcome FROM goodslist g LEFT JOIN collectrun r ON "
                                               "r.id = g.run_id WHERE g.item_key = ?1"),
                                {history.ItemKey})));
}

// Two complete runs of one keyword, three pages of 44 listings each, stored after the million rows as runs
// store them (run and item key on every row): 10 listings gone, 10 new, every seventh cheaper and every eleventh
// dearer. Made anew at every start, so the file's other rows stay as they are.
void StoreComparedRuns(TConnection* connection, const QString& keyword)
{
    Exec(connection, QStringLiteral("DELETE FROM goodslist WHERE keyname = '%1'").arg(keyword));
    Exec(connection, QStringLiteral("DELETE FROM collectrun WHERE keyname = '%1'").arg(keyword));
    for (int run = 0; run < 2; ++run) {
        Exec(connection,
             QStringLiteral("INSERT INTO collectrun (keyname, source, started, finished, pages_asked, "
                            "pages_read, rows_stored, outcome) VALUES ('%1', 'command', "
                            "'2026-12-1%2T10:00:00+08:00', '2026-12-1%2T10:01:00+08:00', 3, 3, 132, "
                            "'complete')")
                 .arg(keyword)
                 .arg(run));
        const int shift = run * 10;
        Exec(connection,
             QStringLiteral("WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n WHERE i < %1 + 131) "
                            "INSERT INTO goodslist (keyname, title, detail_url, view_price, nid, collect_time, run_id, "
                            "item_key) SELECT '%2', '比较 款' || i, '//item.example/item.htm?id=' || (700000000 + i), "
                            "100 + i - %3 * ((i % 7 = 0) - (i % 11 = 0)), 700000000 + i, "
                            "'2026-12-1%3T10:00:00+08:00', (SELECT max(id) FROM collectrun), 700000000 + i FROM n")
                 .arg(shift)
                 .arg(keyword)
                 .arg(run));
    }
}

// A keyword's last two complete runs compared, as the comparison window compares them.
void MeasureComparison(TConnection* connection, int repetitions)
{
    const QString keyword = QStringLiteral("比较");
    StoreComparedRuns(connection, keyword);
    std::vector<double> times;
    TComparisonQuery::TResult result;
    for (int i = 0; i < repetitions * 3; ++i) {
        times.push_back(Ms([&]() {
            QString error;
            Require(TComparisonQuery::CompareLatest(connection, keyword, &result, &error), QStringLiteral("comparison"),
                    error);
        }));
    }
    const TRunComparison::TCounts counts = TRunComparison::Count(result.Changes);
    std::printf("comparison of a keyword's last two runs (44 x 3 rows each, in %d rows): %d new, %d gone, %d "
                "cheaper, %d dearer: median %.2f ms\n",
                Rows, counts.New, counts.Gone, counts.Cheaper, counts.Dearer, Median(times));
    std::printf("  plan: %s\n",
                qPrintable(Plan(connection,
                                QStringLiteral("SELECT min(id) FROM goodslist WHERE run_id = ?1 GROUP BY "
                                               "coalesce(item_key, '#' || id)"),
                                {result.Newer.Id})));
}

void MeasureHistoryAndComparison(const QString& path, int repetitions)
{
    TLibraryQuery query; // the library's own connection, as the windows' workers open it
    QString error;
    Require(query.Open(Cs(path), &error), QStringLiteral("open"), error);
    MeasureHistory(query.Connection(), repetitions);
    MeasureComparison(query.Connection(), repetitions);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_library <work folder> [repetitions]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window keeps its filters and sort in the user's configuration folder: a folder of its own here.
    qputenv("XDG_CONFIG_HOME", QByteArray(argv[1]) + "/config");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int repetitions = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/library-1m.db");
    const QString old = folder + QStringLiteral("/library-1m-1.0.1.db");
    if (!QFileInfo::exists(old)) {
        BuildOldFile(old);
    }
    if (!QFileInfo::exists(path)) {
        QFile::copy(old, path);
        MeasureUpgrade(path);
    }
    MeasureDerivation();
    MeasureFirstScreen(path, repetitions);
    MeasureQueries(path, repetitions);
    MeasureHistoryAndComparison(path, repetitions);
    MeasureWrite(path, folder, repetitions);
    DoneModules();
    return 0;
}
