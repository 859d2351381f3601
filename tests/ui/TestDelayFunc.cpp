#include "ui/TMessageBox.h"
#include "ui/uDelayFunc.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <stdexcept>

namespace {
QStringList PlainCalls;
void PlainProc(const QString& text)
{
    PlainCalls.append(text);
}
} // namespace

class TestDelayFunc : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TDelayProcManager::Init();
        PlainCalls.clear();
    }
    void cleanup() { TDelayProcManager::Done(); }

    void intervalRounding_data();
    void intervalRounding();
    void runsAsOftenAsAllowed_data();
    void runsAsOftenAsAllowed();
    void repeatingWaitsAfterEachRun();
    void plainProcedureGetsItsOwnTextCopy();
    void shutdownKillsPendingEntries();
    void failedRearmShowsBoxAndStops();
    void failedFirstArmNeverRuns();
    void initTwiceKeepsTheScheduler();
    void raisingProcedureIsDropped();
    void firesInsideAModalBox();
    void unknownTimerIdIsIgnored();
    void doneFromInsideARunningProcedure_data();
    void doneFromInsideARunningProcedure();
};

void TestDelayFunc::intervalRounding_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("ms");
    QTest::newRow("20 ms") << 0.02 << 20;
    QTest::newRow("1.5 s") << 1.5 << 1500;
    QTest::newRow("below half") << 0.0004 << 0;
    QTest::newRow("above half") << 0.0006 << 1;
    QTest::newRow("zero") << 0.0 << 0;
    QTest::newRow("negative stays negative") << -1.0 << -1000;
    // From 24.8 days on, the milliseconds no longer fit the timer's interval: it waits as long as it can.
    QTest::newRow("24.8 days") << 24.8 * 86400 << 2142720000;
    QTest::newRow("largest interval") << 2147483.647 << 2147483647;
    QTest::newRow("25 days") << 25.0 * 86400 << 2147483647;
    QTest::newRow("a year") << 365.0 * 86400 << 2147483647;
    QTest::newRow("infinite") << qInf() << 2147483647;
    QTest::newRow("not a number cannot be armed") << qQNaN() << -1;
}

void TestDelayFunc::intervalRounding()
{
    QFETCH(double, seconds);
    QFETCH(int, ms);
    QCOMPARE(TDelayProcManager::IntervalMs(seconds), ms);
}

void TestDelayFunc::runsAsOftenAsAllowed_data()
{
    QTest::addColumn<bool>("repeating");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("runs");
    QTest::newRow("once, count 5") << false << 5 << 1;
    QTest::newRow("repeating, count 3") << true << 3 << 3;
    QTest::newRow("repeating, count 1") << true << 1 << 1;
    QTest::newRow("repeating, count 0") << true << 0 << 1;
    QTest::newRow("repeating, count -2") << true << -2 << 1;
}

void TestDelayFunc::runsAsOftenAsAllowed()
{
    QFETCH(bool, repeating);
    QFETCH(int, count);
    QFETCH(int, runs);
    int calls = 0;
    DelayCall("t", repeating, count, 0.01, [&calls](const QString&) { ++calls; });
    QCOMPARE(DelayProcManager->PendingCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(DelayProcManager->PendingCount(), 0, 3000);
    QTest::qWait(60);
    QCOMPARE(calls, runs);
}

void TestDelayFunc::repeatingWaitsAfterEachRun()
{
    // The next timer is armed only after a run returns, so a slow run pushes the next one back.
    QList<qint64> starts;
    QElapsedTimer clock;
    clock.start();
    DelayCall(QString(), true, 3, 0.05, [&](const QString&) {
        starts.append(clock.elapsed());
        QTest::qSleep(100);
    });
    QTRY_COMPARE_WITH_TIMEOUT(starts.size(), 3, 5000);
    QVERIFY(starts[1] - starts[0] >= 150);
    QVERIFY(starts[2] - starts[1] >= 150);
}

void TestDelayFunc::plainProcedureGetsItsOwnTextCopy()
{
    QString text = QStringLiteral("关键字");
    DelayCallText(PlainProc, text, true, 2, 0.01);
    text[0] = QLatin1Char('x');
    text.clear();
    QTRY_COMPARE_WITH_TIMEOUT(PlainCalls.size(), 2, 3000);
    QCOMPARE(PlainCalls, QStringList({QStringLiteral("关键字"), QStringLiteral("关键字")}));
}

void TestDelayFunc::shutdownKillsPendingEntries()
{
    int calls = 0;
    DelayCall(QString(), false, 1, 0.02, [&calls](const QString&) { ++calls; });
    DelayCallText(PlainProc, "p", true, 3, 0.02);
    TDelayProcManager::Done();
    QVERIFY(DelayProcManager == nullptr);
    QTest::qWait(100);
    QCOMPARE(calls, 0);
    QVERIFY(PlainCalls.isEmpty());
}

void TestDelayFunc::failedRearmShowsBoxAndStops()
{
    QStringList boxes;
    TMessageBox::SetTestHook(
        [&](TMessageBox::Icon, const QString& caption, const QString& text) { boxes.append(caption + "|" + text); });
    int calls = 0;
    TDelayProc* entry = nullptr;
    entry = DelayCall(QString(), true, 5, 0.01, [&](const QString&) {
        ++calls;
        entry->Interval = -1.0; // no timer can be armed with a negative interval
    });
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 3000);
    TMessageBox::SetTestHook({});
    QCOMPARE(boxes.first(), QStringLiteral("fail DelayFunc|setTimer fail"));
    QCOMPARE(entry->TimerId, 0);
    QCOMPARE(DelayProcManager->PendingCount(), 1);
    QTest::qWait(50);
    QCOMPARE(calls, 1);
}

void TestDelayFunc::failedFirstArmNeverRuns()
{
    int calls = 0;
    TDelayProc* entry = DelayCall(QString(), false, 1, -0.5, [&calls](const QString&) { ++calls; });
    QCOMPARE(entry->TimerId, 0);
    QTest::qWait(50);
    QCOMPARE(calls, 0);
    QCOMPARE(DelayProcManager->PendingCount(), 1);
}

void TestDelayFunc::initTwiceKeepsTheScheduler()
{
    TDelayProcManager* first = DelayProcManager;
    TDelayProcManager::Init();
    QCOMPARE(DelayProcManager, first);
}

void TestDelayFunc::raisingProcedureIsDropped()
{
    int calls = 0;
    TDelayProc* entry = DelayCall(QString(), true, 3, 60.0, [&calls](const QString&) {
        ++calls;
        throw std::runtime_error("failed");
    });
    bool raised = false;
    try {
        DelayProcManager->TimerProc(entry->TimerId);
    } catch (const std::runtime_error&) {
        raised = true;
    }
    QVERIFY(raised);
    QCOMPARE(calls, 1);
    QCOMPARE(DelayProcManager->PendingCount(), 0); // dropped, not armed again
}

void TestDelayFunc::firesInsideAModalBox()
{
    // The first entry shows a real modal box; the second fires inside the box's loop and closes it.
    bool boxWasOpen = false;
    bool returned = false;
    DelayCall(QString(), false, 1, 0.01, [&returned](const QString&) {
        TMessageBox::Show(TMessageBox::Information, "modal", "box");
        returned = true;
    });
    DelayCall(QString(), true, 50, 0.05, [&boxWasOpen](const QString&) {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr && !boxWasOpen) {
            boxWasOpen = true;
            box->close();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned, 5000);
    QVERIFY(boxWasOpen);
}

void TestDelayFunc::unknownTimerIdIsIgnored()
{
    int calls = 0;
    TDelayProc* entry = DelayCall(QString(), false, 1, 0.05, [&calls](const QString&) { ++calls; });
    DelayProcManager->TimerProc(entry->TimerId + 1000);
    DelayProcManager->TimerProc(0);
    QCOMPARE(calls, 0);
    QCOMPARE(DelayProcManager->PendingCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 3000);
}

void TestDelayFunc::doneFromInsideARunningProcedure_data()
{
    QTest::addColumn<bool>("repeating");
    QTest::addColumn<bool>("restart"); // a new scheduler is started inside the procedure too
    QTest::newRow("once") << false << false;
    QTest::newRow("repeating") << true << false;
    QTest::newRow("repeating, restarted inside") << true << true;
}

// Shutting down from inside a procedure drops the pending entries and leaves the running one alone: it
// finishes, is never armed again, and the scheduler goes once it has returned.
void TestDelayFunc::doneFromInsideARunningProcedure()
{
    QFETCH(bool, repeating);
    QFETCH(bool, restart);
    int calls = 0;
    int pendingCalls = 0;
    QString seen;
    DelayCall(QString(), false, 1, 5.0, [&pendingCalls](const QString&) { ++pendingCalls; });
    DelayCall("own text", repeating, 3, 0.01, [&](const QString& text) {
        ++calls;
        TDelayProcManager::Done();
        QVERIFY(DelayProcManager == nullptr);
        if (restart) {
            TDelayProcManager::Init();
        }
        seen = text; // the entry is intact after the shutdown
    });
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 3000);
    QCOMPARE(DelayProcManager != nullptr, restart);
    QCOMPARE(seen, QStringLiteral("own text"));
    TDelayProcManager::Init();
    QTest::qWait(80);
    QCOMPARE(calls, 1);
    QCOMPARE(pendingCalls, 0);
    QCOMPARE(DelayProcManager->PendingCount(), 0);
}

QTEST_MAIN(TestDelayFunc)
#include "TestDelayFunc.moc"
