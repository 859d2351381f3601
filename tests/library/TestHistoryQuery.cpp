// The library's reads of history and change: one listing's sightings across runs and keywords, and the
// comparison of a keyword's runs, over two days of one keyword's listings stored as runs store them.
#include "library/TComparisonQuery.h"
#include "library/THistoryQuery.h"
#include "storage/TRunComparison.h"
#include "storage/TRunRecords.h"
#include "storage/engine/TStatement.h"
#include "tests/storage/TTwoDays.h"
#include "tests/storage/TWarningRecorder.h"

#include <QDateTime>
#include <QTest>

namespace {
const QString FirstDayTime = QStringLiteral("2026-12-09T10:00:00+08:00");
const QString SecondDayTime = QStringLiteral("2026-12-10T10:00:00+08:00");

qint64 Msecs(const QString& iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toMSecsSinceEpoch();
}

bool Exec(TConnection* connection, const QString& sql, const QVariantList& values = {})
{
    TStatement statement;
    QString error;
    const bool ok
        = statement.Prepare(connection, sql, &error) && statement.Bind(values, &error) && statement.Run(&error);
    if (!ok) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(error));
    }
    return ok;
}

qint64 Int(TConnection* connection, const QString& sql, const QVariantList& values = {})
{
    TStatement statement;
    QString error;
    statement.Prepare(connection, sql, &error);
    statement.Bind(values, &error);
    return statement.Next() ? statement.Int(0) : -1;
}

// A sighting as "price keyword outcome", prices as numbers or "-".
QStringList Describe(const TListingHistory& history)
{
    QStringList lines;
    for (const TListingHistory::TSighting& sighting : history.Sightings) {
        lines.append(
            QStringLiteral("%1 %2 %3")
                .arg(sighting.Price.isNull() ? QStringLiteral("-") : QString::number(sighting.Price.toDouble()),
                     sighting.Keyword, sighting.Outcome));
    }
    return lines;
}
} // namespace

class TestHistoryQuery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listingAcrossTwoDays_data();
    void listingAcrossTwoDays();
    void stepsHoldEachPriceUntilTheNextSighting();
    void otherKeywordsAndRowsWithoutAKey();
    void rowWithoutItemNumberOrLink();
    void missingRowIsAFailure();
    void latestTwoCompleteRuns();
    void runsThatDidNotEndCompleteAreRefused_data();
    void runsThatDidNotEndCompleteAreRefused();

private:
    void StoreTwoDays();
    TConnection* Connection() const { return m_store->Connection(); }

    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<TRunStore> m_store;
    qint64 m_first = 0;
    qint64 m_second = 0;
};

void TestHistoryQuery::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_store = std::make_unique<TRunStore>();
    QString error;
    QVERIFY2(m_store->Open(&error), qPrintable(error));
}

void TestHistoryQuery::cleanup()
{
    m_store.reset();
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

// The two days' runs, each at its own day's time.
void TestHistoryQuery::StoreTwoDays()
{
    QString error;
    m_first = m_store->Run(Keyword(), FirstDay(), QStringLiteral("complete"), &error);
    m_second = m_store->Run(Keyword(), SecondDay(), QStringLiteral("complete"), &error);
    QVERIFY2(m_first > 0 && m_second > 0, qPrintable(error));
    for (const auto& [run, time] : {std::pair{m_first, FirstDayTime}, {m_second, SecondDayTime}}) {
        QVERIFY(Exec(Connection(), QStringLiteral("UPDATE goodslist SET collect_time = ?2 WHERE run_id = ?1"),
                     {run, time}));
    }
}

void TestHistoryQuery::listingAcrossTwoDays_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("sightings");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QVariant>("lowest");
    QTest::addColumn<QVariant>("highest");
    const QString c = QStringLiteral(" 连衣裙 complete");
    QTest::newRow("cheaper, seen twice on the first day")
        << "1" << QStringList{"100" + c, "99" + c, "85" + c} << FirstDayTime << SecondDayTime << QVariant(85.0)
        << QVariant(100.0);
    QTest::newRow("dearer") << "2" << QStringList{"50" + c, "55" + c} << FirstDayTime << SecondDayTime << QVariant(50.0)
                            << QVariant(55.0);
    // Known by its detail link's id, under two different links.
    QTest::newRow("no item number") << "900" << QStringList{"60" + c, "60" + c} << FirstDayTime << SecondDayTime
                                    << QVariant(60.0) << QVariant(60.0);
    QTest::newRow("gone, seen once") << "3" << QStringList{"30" + c} << FirstDayTime << FirstDayTime << QVariant(30.0)
                                     << QVariant(30.0);
    QTest::newRow("new, seen once") << "5" << QStringList{"9.9" + c} << SecondDayTime << SecondDayTime << QVariant(9.9)
                                    << QVariant(9.9);
}

// By its key and by any of its rows alike.
void TestHistoryQuery::listingAcrossTwoDays()
{
    QFETCH(QString, key);
    QFETCH(QStringList, sightings);
    StoreTwoDays();
    const qint64 lastRow
        = Int(Connection(), QStringLiteral("SELECT max(id) FROM goodslist WHERE item_key = ?1"), {key});
    for (const THistoryQuery::TTarget& target : {THistoryQuery::TTarget{0, key}, THistoryQuery::TTarget{lastRow, {}}}) {
        TListingHistory history;
        QString error;
        QVERIFY2(THistoryQuery::Read(Connection(), target, &history, &error), qPrintable(error));
        QCOMPARE(history.ItemKey, key);
        QCOMPARE(Describe(history), sightings);
        QTEST(history.FirstTime, "first");
        QTEST(history.LastTime, "last");
        QTEST(history.Lowest, "lowest");
        QTEST(history.Highest, "highest");
        QCOMPARE(history.SeenOnce(), sightings.size() == 1);
        // A listing seen once has no line to draw.
        QCOMPARE(history.Steps.empty(), sightings.size() == 1);
        QVERIFY(!history.PageLink().isEmpty() || key != QLatin1String("900"));
    }
}

void TestHistoryQuery::stepsHoldEachPriceUntilTheNextSighting()
{
    StoreTwoDays();
    TListingHistory history;
    QString error;
    QVERIFY2(THistoryQuery::Read(Connection(), {0, QStringLiteral("1")}, &history, &error), qPrintable(error));
    const qint64 first = Msecs(FirstDayTime);
    const qint64 second = Msecs(SecondDayTime);
    std::vector<std::pair<qint64, double>> steps;
    for (const TListingHistory::TStep& step : history.Steps) {
        steps.emplace_back(step.Msecs, step.Price);
    }
    const std::vector<std::pair<qint64, double>> expected{
        {first, 100}, {first, 100}, {first, 99}, {second, 99}, {second, 85}};
    QCOMPARE(steps, expected);
    // The latest sighting's page.
    QVERIFY(history.PageLink().isEmpty()); // the two days' listing 1 has no link
    QVERIFY2(THistoryQuery::Read(Connection(), {0, QStringLiteral("900")}, &history, &error), qPrintable(error));
    QCOMPARE(history.PageLink(), QStringLiteral("//detail.tmall.com/item.htm?id=900&spm=1"));
}

// A listing is one listing whatever keyword found it; a row that a program of an earlier version stored since the
// last start has no key yet and still counts, found by its key or by itself.
void TestHistoryQuery::otherKeywordsAndRowsWithoutAKey()
{
    StoreTwoDays();
    QString error;
    const qint64 other
        = m_store->Run(QStringLiteral("裙子"), {Auctions({{"1", "一号", "80.00"}})}, QStringLiteral("partial"), &error);
    QVERIFY2(other > 0, qPrintable(error));
    const qint64 keyless
        = Int(Connection(), QStringLiteral("SELECT max(id) FROM goodslist WHERE run_id = ?1"), {other});
    QVERIFY(Exec(Connection(), QStringLiteral("UPDATE goodslist SET item_key = NULL WHERE id = ?1"), {keyless}));
    for (const THistoryQuery::TTarget& target : {THistoryQuery::TTarget{0, "1"}, THistoryQuery::TTarget{keyless, {}}}) {
        TListingHistory history;
        QVERIFY2(THistoryQuery::Read(Connection(), target, &history, &error), qPrintable(error));
        QCOMPARE(Describe(history),
                 (QStringList{"100 连衣裙 complete", "99 连衣裙 complete", "85 连衣裙 complete", "80 裙子 partial"}));
        QCOMPARE(history.Sightings.back().Reason, QStringLiteral("超时"));
        QCOMPARE(history.Lowest, QVariant(80.0));
    }
}

// Such a row is a listing of its own, keyed by its id.
void TestHistoryQuery::rowWithoutItemNumberOrLink()
{
    QString error;
    const qint64 run = m_store->Run(Keyword(), {Auctions({{nullptr, "无编号无链接", "12.50"}, {"7", "七号", "50.00"}})},
                                    QStringLiteral("complete"), &error);
    QVERIFY2(run > 0, qPrintable(error));
    const qint64 row = Int(Connection(), QStringLiteral("SELECT min(id) FROM goodslist WHERE run_id = ?1"), {run});
    for (const bool keyed : {true, false}) {
        if (!keyed) { // as an earlier version stores it
            QVERIFY(Exec(Connection(), QStringLiteral("UPDATE goodslist SET item_key = NULL WHERE id = ?1"), {row}));
        }
        TListingHistory history;
        QVERIFY2(THistoryQuery::Read(Connection(), {row, {}}, &history, &error), qPrintable(error));
        QCOMPARE(history.ItemKey, QStringLiteral("#%1").arg(row));
        QCOMPARE(Describe(history), QStringList{"12.5 连衣裙 complete"});
        QVERIFY(history.SeenOnce());
        QVERIFY(history.PageLink().isEmpty());
    }
}

void TestHistoryQuery::missingRowIsAFailure()
{
    TListingHistory history;
    QString error;
    QVERIFY(!THistoryQuery::Read(Connection(), {4242, {}}, &history, &error));
    QVERIFY2(error.contains(QStringLiteral("4242")), qPrintable(error));
    // An unknown key is a listing without sightings.
    QVERIFY(THistoryQuery::Read(Connection(), {0, QStringLiteral("nothing")}, &history, &error));
    QVERIFY(history.Sightings.empty() && history.Steps.empty() && history.Lowest.isNull());
}

// The latest two complete runs of the keyword, whatever ran between or after them.
void TestHistoryQuery::latestTwoCompleteRuns()
{
    QString error;
    TComparisonQuery::TResult result;
    QVERIFY(!TComparisonQuery::CompareLatest(Connection(), Keyword(), &result, &error));
    QVERIFY2(error.contains(QStringLiteral("不到两次")), qPrintable(error));
    StoreTwoDays();
    const qint64 partial
        = m_store->Run(Keyword(), {Auctions({{"1", "一号", "1.00"}})}, QStringLiteral("partial"), &error);
    const qint64 other
        = m_store->Run(QStringLiteral("裙子"), {Auctions({{"1", "一号", "1.00"}})}, QStringLiteral("complete"), &error);
    QVERIFY2(partial > 0 && other > 0, qPrintable(error));
    QVERIFY2(TComparisonQuery::CompareLatest(Connection(), Keyword(), &result, &error), qPrintable(error));
    QCOMPARE(result.Older.Id, m_first);
    QCOMPARE(result.Newer.Id, m_second);
    const TRunComparison::TCounts counts = TRunComparison::Count(result.Changes);
    QCOMPARE((QList<int>{counts.New, counts.Gone, counts.Cheaper, counts.Dearer}), (QList<int>{1, 1, 4, 1}));
    // Two runs chosen in either order: the older against the newer.
    QVERIFY2(TComparisonQuery::Compare(Connection(), m_second, m_first, &result, &error), qPrintable(error));
    QCOMPARE(result.Older.Id, m_first);
    QCOMPARE(result.Changes.size(), size_t(7));
    std::vector<TRunRecord> runs;
    QVERIFY(TComparisonQuery::Runs(Connection(), &runs, &error));
    QCOMPARE(runs.size(), size_t(4));
    QCOMPARE(runs.front().Id, other); // newest first
    QStringList keywords;
    QVERIFY(TComparisonQuery::Keywords(Connection(), &keywords, &error));
    QCOMPARE(keywords, (QStringList{QStringLiteral("裙子"), Keyword()})); // by code point
}

void TestHistoryQuery::runsThatDidNotEndCompleteAreRefused_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("says");
    QTest::newRow("partial") << "partial"
                             << "不完整";
    QTest::newRow("failed") << "failed"
                            << "失败";
    QTest::newRow("stopped") << "stopped"
                             << "中止";
}

void TestHistoryQuery::runsThatDidNotEndCompleteAreRefused()
{
    QFETCH(QString, outcome);
    QFETCH(QString, says);
    StoreTwoDays();
    QString error;
    const qint64 bad = m_store->Run(Keyword(), SecondDay(), outcome, &error);
    QVERIFY2(bad > 0, qPrintable(error));
    TComparisonQuery::TResult result;
    for (const auto& [a, b] : {std::pair{m_second, bad}, {bad, m_first}}) {
        QVERIFY(!TComparisonQuery::Compare(Connection(), a, b, &result, &error));
        QVERIFY2(error.contains(says) && error.contains(QString::number(bad)) && error.contains(QStringLiteral("超时")),
                 qPrintable(error));
        QVERIFY(result.Changes.empty());
    }
    QVERIFY(!TComparisonQuery::Compare(Connection(), m_first, m_first, &result, &error));
    // The latest comparison passes over it.
    QVERIFY2(TComparisonQuery::CompareLatest(Connection(), Keyword(), &result, &error), qPrintable(error));
    QCOMPARE(result.Newer.Id, m_second);
}

QTEST_GUILESS_MAIN(TestHistoryQuery)
#include "TestHistoryQuery.moc"
