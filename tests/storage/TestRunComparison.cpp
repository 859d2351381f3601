#include "storage/TRunComparison.h"
#include "storage/TRunRecords.h"
#include "tests/storage/TTwoDays.h"
#include "tests/storage/TWarningRecorder.h"

#include <QTest>

namespace {
// A change as "kind key old new", prices as numbers or "-".
QStringList Describe(const std::vector<TRunChange>& changes)
{
    static const char* const kinds[] = {"new", "gone", "cheaper", "dearer"};
    const auto price = [](const QVariant& value) {
        return value.isNull() ? QStringLiteral("-") : QString::number(value.toDouble());
    };
    QStringList lines;
    for (const TRunChange& change : changes) {
        lines.append(QStringLiteral("%1 %2 %3 %4")
                         .arg(QLatin1String(kinds[change.Change]), change.ItemKey, price(change.OldPrice),
                              price(change.NewPrice)));
    }
    return lines;
}
} // namespace

class TestRunComparison : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void twoDaysOfListings();
    void onlyCompleteRunsAreCompared_data();
    void onlyCompleteRunsAreCompared();

private:
    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<TRunStore> m_store;
};

void TestRunComparison::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_store = std::make_unique<TRunStore>();
    QString error;
    QVERIFY2(m_store->Open(&error), qPrintable(error));
}

void TestRunComparison::cleanup()
{
    m_store.reset();
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

void TestRunComparison::twoDaysOfListings()
{
    QString error;
    const qint64 first = m_store->Run(Keyword(), FirstDay(), QStringLiteral("complete"), &error);
    const qint64 second = m_store->Run(Keyword(), SecondDay(), QStringLiteral("complete"), &error);
    QVERIFY2(first > 0 && second > 0, qPrintable(error));
    std::vector<TRunChange> changes;
    QVERIFY2(TRunComparison::Compare(m_store->Connection(), first, second, &changes, &error), qPrintable(error));
    QCOMPARE(Describe(changes),
             (QStringList{"cheaper 1 100 85", "dearer 2 50 55", "new 5 - 9.9", "cheaper 6 45 39", "cheaper 7 50 46",
                          "cheaper 8 100 90", "gone 3 30 -"}));
    QCOMPARE(changes.front().Title, QStringLiteral("一号"));
    QCOMPARE(changes.back().Title, QStringLiteral("三号")); // a gone listing as it was last seen
    const TRunComparison::TCounts counts = TRunComparison::Count(changes);
    QCOMPARE(counts.New, 1);
    QCOMPARE(counts.Gone, 1);
    QCOMPARE(counts.Cheaper, 4);
    QCOMPARE(counts.Dearer, 1);
    // Backwards, every change turns round.
    QVERIFY(TRunComparison::Compare(m_store->Connection(), second, first, &changes, &error));
    QCOMPARE(Describe(changes),
             (QStringList{"dearer 1 85 100", "cheaper 2 55 50", "new 3 - 30", "dearer 6 39 45", "dearer 7 46 50",
                          "dearer 8 90 100", "gone 5 9.9 -"}));
    QVERIFY(TRunComparison::AllNew(m_store->Connection(), first, &changes, &error));
    QCOMPARE(changes.size(), 8u); // listing 1 once
}

void TestRunComparison::onlyCompleteRunsAreCompared_data()
{
    QTest::addColumn<QString>("outcome"); // of the second day; empty: still running
    QTest::newRow("partial") << "partial";
    QTest::newRow("failed") << "failed";
    QTest::newRow("stopped") << "stopped";
    QTest::newRow("running") << "";
}

// A run that did not end complete is compared with nothing, in either place, and the next complete run is compared
// with the last complete one.
void TestRunComparison::onlyCompleteRunsAreCompared()
{
    QFETCH(QString, outcome);
    QString error;
    const qint64 first = m_store->Run(Keyword(), FirstDay(), QStringLiteral("complete"), &error);
    qint64 cut = 0;
    if (outcome.isEmpty()) {
        cut = TRunRecords(m_store->Connection()).Begin(Keyword(), QStringLiteral("window"), 3, &error);
    } else {
        cut = m_store->Run(Keyword(), {SecondDay().front()}, outcome, &error);
    }
    QVERIFY2(first > 0 && cut > 0, qPrintable(error));
    std::vector<TRunChange> changes;
    error.clear();
    QVERIFY(!TRunComparison::Compare(m_store->Connection(), first, cut, &changes, &error));
    QVERIFY2(error.contains(QStringLiteral("不能比较")), qPrintable(error));
    error.clear();
    QVERIFY(!TRunComparison::Compare(m_store->Connection(), cut, first, &changes, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!TRunComparison::AllNew(m_store->Connection(), cut, &changes, &error));
    const qint64 next = m_store->Run(Keyword(), SecondDay(), QStringLiteral("complete"), &error);
    TRunRecord previous;
    QVERIFY(TRunRecords(m_store->Connection()).PreviousComplete(Keyword(), next, &previous, &error));
    QCOMPARE(previous.Id, first);
    QVERIFY(TRunComparison::Compare(m_store->Connection(), previous.Id, next, &changes, &error));
    QCOMPARE(TRunComparison::Count(changes).Gone, 1);
}

QTEST_GUILESS_MAIN(TestRunComparison)
#include "TestRunComparison.moc"
