#include "storage/TRunRecords.h"
#include "storage/TStoreSql.h"
#include "storage/TWatchList.h"
#include "storage/engine/TConnection.h"
#include "storage/uDBFunc.h"
#include "tests/storage/TRunStore.h"
#include "tests/storage/TWarningRecorder.h"

#include <QTest>

#include <cmath>
#include <future>
#include <limits>

Q_DECLARE_METATYPE(TWatch)

namespace {
TWatch WatchOf(const QString& keyword, int pages = 3, double hours = 24)
{
    TWatch watch;
    watch.Keyword = keyword;
    watch.Pages = pages;
    watch.EveryHours = hours;
    return watch;
}

TWatch WithRules(TWatch watch, const QVariant& drop, const QVariant& below)
{
    watch.DropPercent = drop;
    watch.BelowPrice = below;
    return watch;
}
} // namespace

class TestWatchList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void validation_data();
    void validation();
    void keptListedAndRemoved();
    void dueAfterTheInterval();
    void claimedByOneOwnerAtATime();
    void twoProgramsClaimAtOnce();

private:
    qint64 RunStartedAt(const QDateTime& started);

    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<TRunStore> m_store;
};

void TestWatchList::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_store = std::make_unique<TRunStore>();
    QString error;
    QVERIFY2(m_store->Open(&error), qPrintable(error));
}

void TestWatchList::cleanup()
{
    m_store.reset();
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

void TestWatchList::validation_data()
{
    QTest::addColumn<TWatch>("watch");
    QTest::addColumn<QString>("message"); // a part of the message; empty: valid
    const QVariant none;
    const TWatch plain = WatchOf(QStringLiteral("连衣裙"));
    QTest::newRow("defaults") << plain << "";
    QTest::newRow("1 page, half an hour") << WatchOf(QStringLiteral("kw"), 1, 0.5) << "";
    QTest::newRow("100 pages, a week") << WatchOf(QStringLiteral("kw"), 100, 168) << "";
    QTest::newRow("no pages") << WatchOf(QStringLiteral("kw"), 0) << "页数必须在 1 到 100 之间";
    QTest::newRow("101 pages") << WatchOf(QStringLiteral("kw"), 101) << "页数必须在 1 到 100 之间";
    QTest::newRow("negative pages") << WatchOf(QStringLiteral("kw"), -3) << "页数";
    QTest::newRow("0.4 hours") << WatchOf(QStringLiteral("kw"), 3, 0.4) << "间隔必须在 0.5 到 168 小时之间";
    QTest::newRow("168.5 hours") << WatchOf(QStringLiteral("kw"), 3, 168.5) << "间隔";
    QTest::newRow("hours not a number") << WatchOf(QStringLiteral("kw"), 3, std::numeric_limits<double>::quiet_NaN())
                                        << "间隔";
    QTest::newRow("blank keyword") << WatchOf(QStringLiteral(" \t")) << "关键字不能为空";
    QTest::newRow("drop 12.5 %") << WithRules(plain, 12.5, none) << "";
    QTest::newRow("drop as text") << WithRules(plain, " 12.5 ", none) << "";
    QTest::newRow("blank drop is no rule") << WithRules(plain, "  ", none) << "";
    QTest::newRow("drop 100 %") << WithRules(plain, 100, none) << "";
    QTest::newRow("negative drop") << WithRules(plain, -5, none) << "降价幅度";
    QTest::newRow("no drop") << WithRules(plain, 0, none) << "降价幅度";
    QTest::newRow("drop over 100 %") << WithRules(plain, 150, none) << "降价幅度";
    QTest::newRow("drop not a number") << WithRules(plain, "十", none) << "降价幅度";
    QTest::newRow("drop infinite") << WithRules(plain, "inf", none) << "降价幅度";
    QTest::newRow("below 0") << WithRules(plain, none, 0) << "";
    QTest::newRow("below as text") << WithRules(plain, none, "99.9") << "";
    QTest::newRow("negative price") << WithRules(plain, none, -0.01) << "提醒价格";
    QTest::newRow("price not a number") << WithRules(plain, none, "12元") << "提醒价格";
    QTest::newRow("price NaN") << WithRules(plain, none, std::nan("")) << "提醒价格";
}

// Bad values get a message and write nothing.
void TestWatchList::validation()
{
    QFETCH(TWatch, watch);
    QFETCH(QString, message);
    QString error;
    QCOMPARE(TWatchList::Validate(watch, &error), message.isEmpty());
    QVERIFY2(error.contains(message), qPrintable(error));
    TWatchList watches(m_store->Connection());
    error.clear();
    const qint64 id = watches.Add(watch, &error);
    QCOMPARE(id > 0, message.isEmpty());
    QVERIFY2(error.contains(message), qPrintable(error));
    std::vector<TWatch> listed;
    QVERIFY(watches.List(&listed, &error));
    QCOMPARE(listed.size(), message.isEmpty() ? 1u : 0u);
    if (id > 0) {
        QCOMPARE(listed.front().Pages, watch.Pages);
        QCOMPARE(listed.front().EveryHours, watch.EveryHours);
        // A rule given as a text is kept as its number.
        QCOMPARE(listed.front().DropPercent.isNull(), watch.DropPercent.toString().trimmed().isEmpty());
        if (!listed.front().DropPercent.isNull()) {
            QCOMPARE(listed.front().DropPercent.toDouble(), watch.DropPercent.toString().toDouble());
        }
        TWatch changed = listed.front();
        changed.Pages = 0;
        QVERIFY(!watches.Update(changed, &error));
        QVERIFY(watches.Find(id, &changed, &error));
        QCOMPARE(changed.Pages, watch.Pages);
    }
}

void TestWatchList::keptListedAndRemoved()
{
    TWatchList watches(m_store->Connection());
    QString error;
    const qint64 dress = watches.Add(WithRules(WatchOf(QStringLiteral("连衣裙"), 5, 6), 10, 99.5), &error);
    const qint64 desk = watches.Add(WatchOf(QStringLiteral("办公桌")), &error);
    QVERIFY2(dress > 0 && desk > dress, qPrintable(error));
    QCOMPARE(watches.Add(WatchOf(QStringLiteral("连衣裙")), &error), 0);
    QVERIFY2(error.contains(QStringLiteral("已有监控")), qPrintable(error));
    TWatch watch;
    QVERIFY(watches.Find(dress, &watch, &error));
    QCOMPARE(watch.Keyword, QStringLiteral("连衣裙"));
    QCOMPARE(watch.Pages, 5);
    QCOMPARE(watch.EveryHours, 6.0);
    QCOMPARE(watch.DropPercent, QVariant(10.0));
    QCOMPARE(watch.BelowPrice, QVariant(99.5));
    QVERIFY(watch.Enabled);
    QCOMPARE(watch.LastRunId, 0);
    watch.Enabled = false;
    watch.DropPercent = QVariant();
    watch.EveryHours = 0.5;
    QVERIFY2(watches.Update(watch, &error), qPrintable(error));
    QVERIFY(watches.Find(dress, &watch, &error));
    QVERIFY(!watch.Enabled && watch.DropPercent.isNull() && watch.EveryHours == 0.5);
    watch.Keyword = QStringLiteral("办公桌");
    QVERIFY(!watches.Update(watch, &error)); // the keyword of another watch
    watch.Id = desk + 1;
    watch.Keyword = QStringLiteral("书桌");
    QVERIFY(!watches.Update(watch, &error));
    QVERIFY(error.contains(QStringLiteral("没有编号为 %1 的监控").arg(desk + 1)));
    QVERIFY(!watches.Remove(desk + 1, &error));
    QVERIFY(error.contains(QStringLiteral("没有编号为")));
    QVERIFY(watches.Remove(dress, &error));
    std::vector<TWatch> listed;
    QVERIFY(watches.List(&listed, &error));
    QCOMPARE(listed.size(), 1u);
    QCOMPARE(listed.front().Id, desk);
    QVERIFY(!watches.Find(dress, &watch, &error));
}

// A run record of the watch's keyword that started at the given time.
qint64 TestWatchList::RunStartedAt(const QDateTime& started)
{
    QString error;
    const qint64 id
        = TRunRecords(m_store->Connection()).Begin(QStringLiteral("kw"), QStringLiteral("watch"), 1, &error);
    TStoreSql::Run(m_store->Connection(), QStringLiteral("UPDATE collectrun SET started = ?2 WHERE id = ?1"),
                   {id, started.toOffsetFromUtc(started.offsetFromUtc()).toString(Qt::ISODate)}, &error);
    return id;
}

void TestWatchList::dueAfterTheInterval()
{
    TWatchList watches(m_store->Connection());
    QString error;
    // Run records keep whole seconds.
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
    QVERIFY(!watches.NextDue(&error).isValid()); // no watch
    const qint64 never = watches.Add(WatchOf(QStringLiteral("从未运行"), 3, 2), &error);
    const qint64 hourly = watches.Add(WatchOf(QStringLiteral("每小时"), 3, 1), &error);
    const qint64 off = watches.Add(WatchOf(QStringLiteral("关闭"), 3, 0.5), &error);
    TWatch disabled;
    QVERIFY(watches.Find(off, &disabled, &error));
    disabled.Enabled = false;
    QVERIFY(watches.Update(disabled, &error));
    const QDateTime started = now.addSecs(-30 * 60);
    QVERIFY(watches.Claim(hourly, QStringLiteral("a"), now.addSecs(60), &error));
    QVERIFY(watches.Release(hourly, QStringLiteral("a"), RunStartedAt(started), &error));
    QVERIFY(watches.Release(off, QStringLiteral("a"), RunStartedAt(started.addDays(-7)), &error));
    const auto due = [&](const QDateTime& at) {
        std::vector<TWatch> found;
        QStringList keywords;
        if (!watches.Due(at, &found, &error)) {
            return QStringList{error};
        }
        for (const TWatch& watch : found) {
            keywords.append(watch.Keyword);
        }
        return keywords;
    };
    QCOMPARE(due(now), QStringList{QStringLiteral("从未运行")});
    QCOMPARE(due(started.addSecs(3600 - 1)), QStringList{QStringLiteral("从未运行")});
    QCOMPARE(due(started.addSecs(3600)), (QStringList{QStringLiteral("从未运行"), QStringLiteral("每小时")}));
    const QDateTime next = watches.NextDue(&error);
    QVERIFY(next.isValid() && next <= QDateTime::currentDateTime()); // the one that never ran is due now
    QVERIFY(watches.Release(never, QStringLiteral("a"), RunStartedAt(now), &error));
    QCOMPARE(watches.NextDue(&error), started.addSecs(3600));
    QCOMPARE(due(now.addSecs(2 * 3600)), (QStringList{QStringLiteral("从未运行"), QStringLiteral("每小时")}));
}

void TestWatchList::claimedByOneOwnerAtATime()
{
    // Two programs on the same file, each with a connection of its own.
    TConnection other;
    QString error;
    QVERIFY(other.Open(TDBFunc::ConnectionString(m_store->Path, TDBFunc::Password()), &error));
    TWatchList mine(m_store->Connection());
    TWatchList theirs(&other);
    const qint64 id = mine.Add(WatchOf(QStringLiteral("连衣裙")), &error);
    const QDateTime later = QDateTime::currentDateTime().addSecs(600);
    QVERIFY(mine.Claim(id, QStringLiteral("window"), later, &error));
    error.clear();
    QVERIFY(!theirs.Claim(id, QStringLiteral("collect"), later, &error));
    QVERIFY2(error.isEmpty(), qPrintable(error)); // held, which is no failure
    QVERIFY(mine.Claim(id, QStringLiteral("window"), later.addSecs(600), &error)); // the holder extends its lease
    QVERIFY(!theirs.Release(id, QStringLiteral("collect"), 0, &error));
    QVERIFY(!theirs.Claim(id, QStringLiteral("collect"), later, &error));
    const qint64 run
        = TRunRecords(m_store->Connection()).Begin(QStringLiteral("连衣裙"), QStringLiteral("window"), 3, &error);
    QVERIFY(mine.Release(id, QStringLiteral("window"), run, &error));
    TWatch watch;
    QVERIFY(theirs.Find(id, &watch, &error));
    QCOMPARE(watch.LastRunId, run);
    QVERIFY(theirs.Claim(id, QStringLiteral("collect"), later, &error));
    QVERIFY(theirs.Release(id, QStringLiteral("collect"), 0, &error));
    QVERIFY(theirs.Find(id, &watch, &error));
    QCOMPARE(watch.LastRunId, run); // a release without a run keeps the last one
    // A lease that ran out (its program died) no longer holds the watch.
    QVERIFY(mine.Claim(id, QStringLiteral("window"), QDateTime::currentDateTime().addSecs(-1), &error));
    QVERIFY(theirs.Claim(id, QStringLiteral("collect"), later, &error));
    QVERIFY(!mine.Release(id, QStringLiteral("window"), run + 1, &error));
    QVERIFY(error.contains(QStringLiteral("其他程序")));
    QVERIFY(theirs.Find(id, &watch, &error));
    QCOMPARE(watch.LastRunId, run + 1); // its run is still recorded
    QVERIFY(!theirs.Claim(id + 1, QStringLiteral("collect"), later, &error));
    QVERIFY(error.contains(QStringLiteral("没有编号为")));
}

// Two programs claim the same watch at the same moment, many times: exactly one of them gets it each time.
void TestWatchList::twoProgramsClaimAtOnce()
{
    QString error;
    const qint64 id = TWatchList(m_store->Connection()).Add(WatchOf(QStringLiteral("连衣裙")), &error);
    const QString connectionString = TDBFunc::ConnectionString(m_store->Path, TDBFunc::Password());
    std::vector<std::unique_ptr<TConnection>> programs;
    for (int i = 0; i < 2; ++i) {
        programs.push_back(std::make_unique<TConnection>());
        QVERIFY(programs.back()->Open(connectionString, &error));
    }
    for (int round = 0; round < 30; ++round) {
        const QDateTime until = QDateTime::currentDateTime().addSecs(600);
        std::future<bool> claims[2];
        for (int i = 0; i < 2; ++i) {
            claims[i] = std::async(std::launch::async, [&, i]() {
                QString failure;
                return TWatchList(programs[i].get()).Claim(id, QStringLiteral("program %1").arg(i), until, &failure);
            });
        }
        const bool first = claims[0].get();
        const bool second = claims[1].get();
        QVERIFY2(first != second, qPrintable(QStringLiteral("round %1: %2 %3").arg(round).arg(first).arg(second)));
        const int winner = first ? 0 : 1;
        QVERIFY(TWatchList(programs[winner].get()).Release(id, QStringLiteral("program %1").arg(winner), 0, &error));
    }
}

QTEST_GUILESS_MAIN(TestWatchList)
#include "TestWatchList.moc"
