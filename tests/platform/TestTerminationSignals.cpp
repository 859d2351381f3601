#include "platform/TTerminationSignals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {
// The handler the signal has now.
void (*Handler(int number))(int)
{
    struct sigaction action = {};
    ::sigaction(number, nullptr, &action);
    return action.sa_handler;
}
} // namespace

class TestTerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalArrivesInTheEventLoop_data();
    void signalArrivesInTheEventLoop();
    void oneObjectAtATime();
};

void TestTerminationSignals::signalArrivesInTheEventLoop_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
}

// The signal becomes a Qt signal on this thread; the process goes on, and a second request of the kind would end
// it at once.
void TestTerminationSignals::signalArrivesInTheEventLoop()
{
    QFETCH(int, number);
    TTerminationSignals terminations;
    QVERIFY(terminations.IsInstalled());
    QSignalSpy received(&terminations, &TTerminationSignals::Received);
    QCOMPARE(::raise(number), 0);
    QVERIFY(received.wait(5000));
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.first().first().toInt(), number);
    QVERIFY(Handler(number) == SIG_DFL);
}

void TestTerminationSignals::oneObjectAtATime()
{
    {
        TTerminationSignals first;
        QVERIFY(first.IsInstalled());
        QVERIFY(Handler(SIGTERM) != SIG_DFL && Handler(SIGINT) != SIG_DFL);
        TTerminationSignals second;
        QVERIFY(!second.IsInstalled());
    }
    QVERIFY(Handler(SIGTERM) == SIG_DFL && Handler(SIGINT) == SIG_DFL);
    TTerminationSignals again;
    QVERIFY(again.IsInstalled());
}

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "TestTerminationSignals.moc"
