#include "storage/TAlerts.h"
#include "storage/TStoreSql.h"
#include "tests/storage/TTwoDays.h"
#include "tests/storage/TWarningRecorder.h"

#include <QTest>

namespace {
// Alerts as "rule key old new", prices as numbers or "-".
QStringList Describe(const std::vector<TAlert>& alerts)
{
    const auto price = [](const QVariant& value) {
        return value.isNull() ? QStringLiteral("-") : QString::number(value.toDouble());
    };
    QStringList lines;
    for (const TAlert& alert : alerts) {
        lines.append(
            QStringLiteral("%1 %2 %3 %4").arg(alert.Rule, alert.ItemKey, price(alert.OldPrice), price(alert.NewPrice)));
    }
    return lines;
}
} // namespace

class TestAlerts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rulesOverTwoDays_data();
    void rulesOverTwoDays();
    void firstRunOnlyBelow();
    void runThatIsNotCompleteRaisesNothing_data();
    void runThatIsNotCompleteRaisesNothing();
    void raisedOncePerRunAndListed();
    void badRulesAreRefused();

private:
    int AlertCount();

    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<TRunStore> m_store;
};

void TestAlerts::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_store = std::make_unique<TRunStore>();
    QString error;
    QVERIFY2(m_store->Open(&error), qPrintable(error));
}

void TestAlerts::cleanup()
{
    m_store.reset();
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

int TestAlerts::AlertCount()
{
    QVariant count;
    QString error;
    TStoreSql::Value(m_store->Connection(), QStringLiteral("SELECT count(*) FROM alertlog"), {}, &count, &error);
    return count.toInt();
}

void TestAlerts::rulesOverTwoDays_data()
{
    QTest::addColumn<QVariant>("drop");
    QTest::addColumn<QVariant>("below");
    QTest::addColumn<QStringList>("alerts");
    const QVariant none;
    QTest::newRow("drop 10 %") << QVariant(10) << none << QStringList{"drop 1 100 85", "drop 6 45 39", "drop 8 100 90"};
    QTest::newRow("drop 15 %, exactly listing 1's") << QVariant(15.0) << none << QStringList{"drop 1 100 85"};
    QTest::newRow("below 40") << none << QVariant(40) << QStringList{"below 5 - 9.9", "below 6 45 39"};
    QTest::newRow("below 9.9, exactly the new one's") << none << QVariant(9.9) << QStringList{"below 5 - 9.9"};
    QTest::newRow("below 20: listing 4 was not above") << none << QVariant(20) << QStringList{"below 5 - 9.9"};
    QTest::newRow("both") << QVariant(10) << QVariant(40)
                          << QStringList{"drop 1 100 85", "below 5 - 9.9", "drop 6 45 39", "below 6 45 39",
                                         "drop 8 100 90"};
    QTest::newRow("rules as texts") << QVariant(" 10 ") << QVariant("40")
                                    << QStringList{"drop 1 100 85", "below 5 - 9.9", "drop 6 45 39", "below 6 45 39",
                                                   "drop 8 100 90"};
    QTest::newRow("drop 50 %") << QVariant(50) << none << QStringList();
    QTest::newRow("no rules") << none << QVariant("") << QStringList();
}

void TestAlerts::rulesOverTwoDays()
{
    QFETCH(QVariant, drop);
    QFETCH(QVariant, below);
    QFETCH(QStringList, alerts);
    QString error;
    QVERIFY(m_store->Run(Keyword(), FirstDay(), QStringLiteral("complete"), &error) > 0);
    // Another keyword's run in between is no previous run of this one.
    QVERIFY(
        m_store->Run(QStringLiteral("其他"), {Auctions({{"1", "一号", "1.00"}})}, QStringLiteral("complete"), &error)
        > 0);
    const qint64 second = m_store->Run(Keyword(), SecondDay(), QStringLiteral("complete"), &error);
    QVERIFY2(second > 0, qPrintable(error));
    std::vector<TAlert> raised;
    QVERIFY2(TAlerts(m_store->Connection()).Raise(second, drop, below, &raised, &error), qPrintable(error));
    QCOMPARE(Describe(raised), alerts);
    QCOMPARE(AlertCount(), alerts.size());
    for (const TAlert& alert : raised) {
        QVERIFY(alert.Id > 0);
        QCOMPARE(alert.RunId, second);
        QCOMPARE(alert.Keyword, Keyword());
        QVERIFY(!alert.Title.isEmpty() && !alert.Raised.isEmpty());
    }
}

// Without an earlier complete run every listing is new: the below rule raises for those at or below its price, the
// drop rule has nothing to compare.
void TestAlerts::firstRunOnlyBelow()
{
    QString error;
    // A partial run before is no earlier run to compare with.
    QVERIFY(m_store->Run(Keyword(), {Auctions({{"4", "四号", "80.00"}})}, QStringLiteral("partial"), &error) > 0);
    const qint64 first = m_store->Run(Keyword(), FirstDay(), QStringLiteral("complete"), &error);
    std::vector<TAlert> raised;
    QVERIFY(TAlerts(m_store->Connection()).Raise(first, QVariant(10), QVariant(30), &raised, &error));
    QCOMPARE(Describe(raised), (QStringList{"below 3 - 30", "below 4 - 20"}));
    QVERIFY(TAlerts(m_store->Connection()).Raise(first, QVariant(10), QVariant(), &raised, &error));
    QVERIFY(raised.empty());
}

void TestAlerts::runThatIsNotCompleteRaisesNothing_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::newRow("partial") << "partial";
    QTest::newRow("failed") << "failed";
    QTest::newRow("stopped") << "stopped";
}

// The second day ends early, after its first page: the listings of the page it never read are not gone, and
// nothing is raised, though its first page holds a drop and a new listing under the price.
void TestAlerts::runThatIsNotCompleteRaisesNothing()
{
    QFETCH(QString, outcome);
    QString error;
    QVERIFY(m_store->Run(Keyword(), FirstDay(), QStringLiteral("complete"), &error) > 0);
    const qint64 cut = m_store->Run(Keyword(), {SecondDay().front()}, outcome, &error);
    QVERIFY2(cut > 0, qPrintable(error));
    std::vector<TAlert> raised;
    QVERIFY2(TAlerts(m_store->Connection()).Raise(cut, QVariant(10), QVariant(40), &raised, &error), qPrintable(error));
    QVERIFY(raised.empty());
    QCOMPARE(AlertCount(), 0);
}

void TestAlerts::raisedOncePerRunAndListed()
{
    QString error;
    const qint64 first = m_store->Run(Keyword(), FirstDay(), QStringLiteral("complete"), &error);
    const qint64 second = m_store->Run(Keyword(), SecondDay(), QStringLiteral("complete"), &error);
    TAlerts alerts(m_store->Connection());
    std::vector<TAlert> raised;
    QVERIFY(alerts.Raise(first, QVariant(), QVariant(30), &raised, &error));
    QCOMPARE(raised.size(), 2u);
    QVERIFY(alerts.Raise(second, QVariant(10), QVariant(), &raised, &error));
    QCOMPARE(raised.size(), 3u);
    // Raised again, with a rule added: only what is new to this run.
    QVERIFY(alerts.Raise(second, QVariant(10), QVariant(40), &raised, &error));
    QCOMPARE(Describe(raised), (QStringList{"below 5 - 9.9", "below 6 45 39"}));
    QVERIFY(alerts.Raise(second, QVariant(10), QVariant(40), &raised, &error));
    QVERIFY(raised.empty());
    std::vector<TAlert> listed;
    QVERIFY(alerts.List(&listed, &error));
    QCOMPARE(listed.size(), 7u);
    QCOMPARE(Describe({listed.begin(), listed.begin() + 2}), (QStringList{"below 6 45 39", "below 5 - 9.9"}));
    QCOMPARE(listed.back().RunId, first);
    QCOMPARE(listed.front().Keyword, Keyword());
    QCOMPARE(listed.front().Title, QStringLiteral("六号"));
    QVERIFY(alerts.List(&listed, &error, 3));
    QCOMPARE(listed.size(), 3u);
}

void TestAlerts::badRulesAreRefused()
{
    QString error;
    QVERIFY(m_store->Run(Keyword(), FirstDay(), QStringLiteral("complete"), &error) > 0);
    const qint64 second = m_store->Run(Keyword(), SecondDay(), QStringLiteral("complete"), &error);
    std::vector<TAlert> raised;
    const std::pair<QVariant, QVariant> bad[]
        = {{QVariant(-5), QVariant()}, {QVariant("十"), QVariant()}, {QVariant(), QVariant(-1)}, {QVariant(), "abc"}};
    for (const auto& [drop, below] : bad) {
        error.clear();
        QVERIFY(!TAlerts(m_store->Connection()).Raise(second, drop, below, &raised, &error));
        QVERIFY(!error.isEmpty());
    }
    QVERIFY(!TAlerts(m_store->Connection()).Raise(second + 1, QVariant(10), QVariant(), &raised, &error));
    QCOMPARE(AlertCount(), 0);
}

QTEST_GUILESS_MAIN(TestAlerts)
#include "TestAlerts.moc"
