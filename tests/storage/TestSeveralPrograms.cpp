#include "storage/uDataModule.h"
#include "tests/support/TestDatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {
const int RowsEach = 50;
const int Rounds = 6;

// One program opening the database file: the open tool in a child process.
class TOpenProcess
{
public:
    void Start(const QString& path, const QString& tag)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(MERCATIX_OPEN_TOOL), {path, tag, QString::number(RowsEach)});
    }
    bool WaitReady()
    {
        return QTest::qWaitFor(
                   [this]() { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; }, 30000)
            && m_process.readLine().trimmed() == "READY";
    }
    void Go()
    {
        m_process.write("go\n");
        m_process.waitForBytesWritten();
    }
    // The exit status, or -1 when the program did not end in time.
    int Finish()
    {
        if (!m_process.waitForFinished(60000) || m_process.exitStatus() != QProcess::NormalExit) {
            m_process.kill();
            m_process.waitForFinished();
            return -1;
        }
        for (const QByteArray& line : m_process.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty()) {
                m_lines.append(QString::fromUtf8(line));
            }
        }
        return m_process.exitCode();
    }
    // The value of the line that starts with this word; empty when there is none.
    QString Value(const QString& word) const
    {
        const QStringList found = m_lines.filter(QRegularExpression(QLatin1Char('^') + word + QLatin1Char(' ')));
        return found.isEmpty() ? QString() : found.first().mid(word.size() + 1);
    }
    QString Output() const { return m_lines.join(QLatin1Char('\n')); }

private:
    QProcess m_process;
    QStringList m_lines;
};
} // namespace

class TestSeveralPrograms : public QObject
{
    Q_OBJECT

private slots:
    void twoProgramsStartTogether_data();
    void twoProgramsStartTogether();
};

void TestSeveralPrograms::twoProgramsStartTogether_data()
{
    QTest::addColumn<int>("apartMs"); // between the two programs' opens
    QTest::addColumn<bool>("emptyFile"); // an empty file a crash left is there already
    QTest::newRow("together") << 0 << false;
    QTest::newRow("30 ms apart") << 30 << false;
    QTest::newRow("0.1 s apart") << 100 << false;
    QTest::newRow("together, empty file") << 0 << true;
    QTest::newRow("0.1 s apart, empty file") << 100 << true;
}

// Two programs open the database of a new account at the same time: one makes the file, the other waits for it
// and opens that file; neither removes nor completes what the other makes, and the rows of both are kept.
void TestSeveralPrograms::twoProgramsStartTogether()
{
    QFETCH(int, apartMs);
    QFETCH(bool, emptyFile);
    for (int round = 1; round <= Rounds; ++round) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gleanbox.db"));
        if (emptyFile) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        TOpenProcess first;
        TOpenProcess second;
        first.Start(path, QStringLiteral("first"));
        second.Start(path, QStringLiteral("second"));
        QVERIFY(first.WaitReady());
        QVERIFY(second.WaitReady());
        first.Go();
        QThread::msleep(static_cast<unsigned long>(apartMs));
        second.Go();
        const int firstStatus = first.Finish();
        const int secondStatus = second.Finish();
        const QString context = QStringLiteral("round %1\n%2\n--\n%3").arg(round).arg(first.Output(), second.Output());
        QVERIFY2(firstStatus == 0 && secondStatus == 0, qPrintable(context));
        QVERIFY2(first.Value(QStringLiteral("WARN")).isEmpty() && second.Value(QStringLiteral("WARN")).isEmpty(),
                 qPrintable(context));
        // Both opened the one file that is there at the end, and it holds what both wrote.
        const QString opened = first.Value(QStringLiteral("OPENED"));
        QVERIFY2(!opened.isEmpty() && second.Value(QStringLiteral("OPENED")) == opened, qPrintable(context));
        QVERIFY2(first.Value(QStringLiteral("FILE")) == opened && second.Value(QStringLiteral("FILE")) == opened,
                 qPrintable(context));
        QCOMPARE(QueryDatabaseFile(path, QStringLiteral("SELECT count(*) FROM goodslist WHERE keyname = 'first'")),
                 QVariant(qlonglong(RowsEach)));
        QCOMPARE(QueryDatabaseFile(path, QStringLiteral("SELECT count(*) FROM goodslist WHERE keyname = 'second'")),
                 QVariant(qlonglong(RowsEach)));
        QCOMPARE(QueryDatabaseFile(path, QStringLiteral("SELECT count(*) FROM userver")), QVariant(qlonglong(1)));
    }
}

QTEST_GUILESS_MAIN(TestSeveralPrograms)
#include "TestSeveralPrograms.moc"
