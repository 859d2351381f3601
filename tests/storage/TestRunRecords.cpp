#include "storage/TRunRecords.h"
#include "storage/engine/TStatement.h"
#include "tests/storage/TRunStore.h"
#include "tests/storage/TWarningRecorder.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTest>

class TestRunRecords : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void eachOutcomeIsRecorded_data();
    void eachOutcomeIsRecorded();
    void badRecordsAreRefused();
    void previousCompleteSkipsOtherRuns();

private:
    std::unique_ptr<TWarningRecorder> m_warnings;
    std::unique_ptr<TRunStore> m_store;
};

void TestRunRecords::init()
{
    m_warnings = std::make_unique<TWarningRecorder>();
    m_store = std::make_unique<TRunStore>();
    QString error;
    QVERIFY2(m_store->Open(&error), qPrintable(error));
}

void TestRunRecords::cleanup()
{
    m_store.reset();
    QVERIFY2(m_warnings->Texts.isEmpty(), qPrintable(m_warnings->Texts.join('\n')));
    m_warnings.reset();
}

void TestRunRecords::eachOutcomeIsRecorded_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("pagesRead");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("reason");
    QTest::newRow("complete") << "window"
                              << "complete" << 3 << 132 << "";
    QTest::newRow("results ran out") << "command"
                                     << "complete" << 1 << 20 << "";
    QTest::newRow("failed") << "watch"
                            << "failed" << 0 << 0 << "服务器要求登录（页面标题：登录）";
    QTest::newRow("partial") << "window"
                             << "partial" << 2 << 88 << "连接超时";
    QTest::newRow("stopped") << "command"
                             << "stopped" << 1 << 44 << "";
}

void TestRunRecords::eachOutcomeIsRecorded()
{
    QFETCH(QString, source);
    QFETCH(QString, outcome);
    QFETCH(int, pagesRead);
    QFETCH(int, rows);
    QFETCH(QString, reason);
    TRunRecords records(m_store->Connection());
    QString error;
    const qint64 id = records.Begin(QStringLiteral("连衣裙 女"), source, 3, &error);
    QVERIFY2(id > 0, qPrintable(error));
    TRunRecord running;
    QVERIFY(records.Find(id, &running, &error));
    QCOMPARE(running.Keyword, QStringLiteral("连衣裙 女"));
    QCOMPARE(running.Source, source);
    QCOMPARE(running.PagesAsked, 3);
    QVERIFY(running.Finished.isEmpty() && running.Outcome.isEmpty());
    QVERIFY2(records.Finish(id, pagesRead, rows, outcome, reason, &error), qPrintable(error));
    TRunRecord record;
    QVERIFY(records.Find(id, &record, &error));
    QCOMPARE(record.Id, id);
    QCOMPARE(record.Outcome, outcome);
    QCOMPARE(record.PagesRead, pagesRead);
    QCOMPARE(record.RowsStored, rows);
    QCOMPARE(record.Reason, reason);
    const QRegularExpression time(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d([+-]\d\d:\d\d|Z)$)"));
    QVERIFY2(time.match(record.Started).hasMatch(), qPrintable(record.Started));
    QVERIFY2(time.match(record.Finished).hasMatch(), qPrintable(record.Finished));
    QVERIFY(QDateTime::fromString(record.Started, Qt::ISODate) <= QDateTime::fromString(record.Finished, Qt::ISODate));
    QVERIFY(!records.Finish(id, pagesRead, rows, QStringLiteral("complete"), QString(), &error));
    QVERIFY2(error.contains(QStringLiteral("已经结束")), qPrintable(error));
    QVERIFY(records.Find(id, &record, &error));
    QCOMPARE(record.Outcome, outcome); // the first end stays
}

void TestRunRecords::badRecordsAreRefused()
{
    TRunRecords records(m_store->Connection());
    QString error;
    QCOMPARE(records.Begin(QStringLiteral("kw"), QStringLiteral("timer"), 3, &error), 0);
    QVERIFY(error.contains(QStringLiteral("timer")));
    const qint64 id = records.Begin(QStringLiteral("kw"), QStringLiteral("window"), 3, &error);
    error.clear();
    QVERIFY(!records.Finish(id, 3, 10, QStringLiteral("done"), QString(), &error));
    QVERIFY(error.contains(QStringLiteral("done")));
    error.clear();
    QVERIFY(!records.Finish(id + 1, 3, 10, QStringLiteral("complete"), QString(), &error));
    QVERIFY(!error.isEmpty());
    TRunRecord record;
    QVERIFY(!records.Find(id + 1, &record, &error));
    std::vector<TRunRecord> runs;
    QVERIFY(records.List(&runs, &error));
    QCOMPARE(runs.size(), 1u);
    QVERIFY(runs.front().Outcome.isEmpty()); // still running
}

void TestRunRecords::previousCompleteSkipsOtherRuns()
{
    TRunRecords records(m_store->Connection());
    QString error;
    const struct
    {
        const char* keyword;
        const char* outcome; // null: still running
    } runs[] = {{"A", "complete"}, {"A", "partial"}, {"A", "complete"}, {"A", "failed"},
                {"B", "complete"}, {"A", "stopped"}, {"A", nullptr},    {"a", "complete"}};
    std::vector<qint64> ids;
    for (const auto& run : runs) {
        ids.push_back(records.Begin(QLatin1String(run.keyword), QStringLiteral("watch"), 1, &error));
        QVERIFY(ids.back() > 0);
        if (run.outcome != nullptr) {
            QVERIFY(records.Finish(ids.back(), 1, 1, QLatin1String(run.outcome), QString(), &error));
        }
    }
    const auto previous = [&](const char* keyword, qint64 before) {
        TRunRecord record;
        QString failure;
        return records.PreviousComplete(QLatin1String(keyword), before, &record, &failure) ? record.Id : -1;
    };
    QCOMPARE(previous("A", ids[6]), ids[2]);
    QCOMPARE(previous("A", ids[2]), ids[0]);
    QCOMPARE(previous("A", ids[0]), 0);
    QCOMPARE(previous("A", 0), ids[2]);
    QCOMPARE(previous("B", 0), ids[4]);
    QCOMPARE(previous("a", 0), ids[7]); // keywords are told apart as stored
    QCOMPARE(previous("C", 0), 0);
    std::vector<TRunRecord> list;
    QVERIFY(records.List(&list, &error));
    QCOMPARE(list.size(), std::size(runs));
    QCOMPARE(list.front().Id, ids.back());
    QVERIFY(records.List(&list, &error, 2));
    QCOMPARE(list.size(), 2u);
    QCOMPARE(list.back().Id, ids[6]);
}

QTEST_GUILESS_MAIN(TestRunRecords)
#include "TestRunRecords.moc"
