#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

Q_DECLARE_METATYPE(TResponseScript)

namespace {
// The real window in a child process, running one collection with its log on standard output.
class TRunProcess
{
public:
    explicit TRunProcess(const QString& home)
        : m_home(home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }

    void Start(const QString& host, int pages)
    {
        m_process.start(QStringLiteral(MERCATIX_RUN_TOOL), {host, QString::number(pages), "desk"});
    }

    // Waits until the log holds a line with this text count times; false on timeout or exit.
    bool WaitForLines(const QString& text, int count, int timeoutMs = 30000)
    {
        return QTest::qWaitFor(
                   [&]() {
                       ReadOutput();
                       return m_lines.filter(text).size() >= count || m_process.state() == QProcess::NotRunning;
                   },
                   timeoutMs)
            && m_lines.filter(text).size() >= count;
    }

    bool Finish(int timeoutMs = 60000)
    {
        const bool finished = m_process.waitForFinished(timeoutMs);
        ReadOutput();
        return finished && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    // Closes the window as the user would; the time until the process has ended, or -1 when it did not end
    // within timeoutMs.
    qint64 CloseWindow(int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        m_process.write("close\n");
        const bool ended = m_process.waitForFinished(timeoutMs);
        ReadOutput();
        return ended ? clock.elapsed() : -1;
    }

    void Kill()
    {
        m_process.kill(); // SIGKILL: no handler runs, nothing is flushed or closed
        m_process.waitForFinished();
    }

    QStringList Lines() const { return m_lines; }
    // Log messages without their time stamps.
    QStringList Messages() const
    {
        QStringList messages;
        for (const QString& line : m_lines) {
            if (!line.startsWith("PEAK ") && !line.startsWith("BOX ")) {
                messages.append(line.mid(12));
            }
        }
        return messages;
    }
    qint64 PeakKiB() const
    {
        const QStringList peak = m_lines.filter(QRegularExpression("^PEAK "));
        return peak.isEmpty() ? -1 : peak.first().mid(5).split(' ').first().toLongLong();
    }
    QString DbPath() const { return m_home + "/Documents/softcfg/gleanbox.db"; }

private:
    void ReadOutput()
    {
        m_buffer += m_process.readAllStandardOutput();
        qsizetype end;
        while ((end = m_buffer.indexOf('\n')) >= 0) {
            m_lines.append(QString::fromUtf8(m_buffer.left(end)));
            m_buffer.remove(0, end + 1);
        }
    }

    QString m_home;
    QProcess m_process;
    QByteArray m_buffer;
    QStringList m_lines;
};

QByteArray Garbage(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char& c : bytes) {
        c = static_cast<char>(generator.bounded(256));
    }
    return bytes;
}
} // namespace

class TestRobustness : public QObject
{
    Q_OBJECT

private slots:
    void killedRunLeavesWholePagesOnly();
    void readOnlyDatabaseEndsRunWithMessage();
    void hostileServerEndsRunCleanly_data();
    void hostileServerEndsRunCleanly();
    void closingDuringStalledDownloadEndsProcess_data();
    void closingDuringStalledDownloadEndsProcess();
    void terminationSignalClosesTheWindow_data();
    void terminationSignalClosesTheWindow();
};

void TestRobustness::killedRunLeavesWholePagesOnly()
{
    QTemporaryDir home;
    TFakeMarketplace server;
    QVERIFY(server.Start());
    server.SetHandler([](const QByteArray& request) {
        const QByteArray target = TFakeMarketplace::Target(request);
        if (target == TSearchPages::Target("desk", 0) || target == TSearchPages::Target("desk", 44)) {
            return TResponseScript::WithLength(200, TSearchPages::Page(44, target.endsWith("44") ? 44 : 0));
        }
        return TResponseScript::Raw("HTTP/1.0 200 OK\r\n").Stall();
    });
    TRunProcess run(home.path());
    run.Start(server.Host(), 5);
    QVERIFY(run.WaitForLines(QStringLiteral("正在采集第3页"), 1));
    QTest::qWait(100); // the third page is on its way when the program dies
    run.Kill();
    const int stored = static_cast<int>(run.Messages().filter(QStringLiteral("完成数据保存")).size());
    QCOMPARE(stored, 2);
    QCOMPARE(QueryDatabaseFile(run.DbPath(), "pragma integrity_check").toString(), QStringLiteral("ok"));
    QCOMPARE(QueryDatabaseFile(run.DbPath(), "select count(*) from goodslist").toInt(), stored * 44);
}

void TestRobustness::readOnlyDatabaseEndsRunWithMessage()
{
    QTemporaryDir home;
    TFakeMarketplace server;
    QVERIFY(server.Start());
    server.SetHandler([](const QByteArray&) { return TResponseScript::WithLength(200, TSearchPages::Page(3)); });
    {
        TRunProcess first(home.path()); // creates the database file
        first.Start(server.Host(), 1);
        QVERIFY(first.Finish());
    }
    // Even root cannot write a file marked immutable.
    if (QProcess::execute("chattr", {"+i", TRunProcess(home.path()).DbPath()}) != 0) {
        QSKIP("the file system cannot mark a file immutable");
    }
    TRunProcess run(home.path());
    run.Start(server.Host(), 2);
    const bool finished = run.Finish();
    QProcess::execute("chattr", {"-i", run.DbPath()});
    QVERIFY2(finished, qPrintable(run.Lines().join('\n')));
    const QStringList boxes = run.Lines().filter(QRegularExpression("^BOX "));
    QCOMPARE(boxes.size(), 1);
    // Said in Chinese with the file's path, the engine's text kept as the detail.
    QVERIFY2(boxes.first().contains(run.DbPath()) && boxes.first().contains(QStringLiteral("详细信息："))
                 && (boxes.first().contains("readonly") || boxes.first().contains("read-only")
                     || boxes.first().contains("unable to open")),
             qPrintable(boxes.first()));
    QVERIFY(!run.Messages().contains(QStringLiteral("完成数据保存")));
    QCOMPARE(QueryDatabaseFile(run.DbPath(), "select count(*) from goodslist").toInt(), 3);
}

void TestRobustness::hostileServerEndsRunCleanly_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QStringList>("lastMessages"); // before the closing line
    const auto noBlock = [](const QString& cause) {
        return QStringList({QStringLiteral("错误： desk"), QStringLiteral("原因：") + cause});
    };
    const QStringList tooLarge = noBlock(QStringLiteral("页面过大"));
    QTest::newRow("endless header line") << "HTTP/1.0 200 OK\r\nX-Filler: " + QByteArray(8 << 20, 'a') << tooLarge;
    QTest::newRow("chunk size of 20 hex digits")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\nabc") << tooLarge;
    QTest::newRow("Content-Length 10^30")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 1000000000000000000000000000000\r\n\r\nabc") << tooLarge;
    QTest::newRow("100 MB body") << "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(100 << 20, 'x') << tooLarge;
    QTest::newRow("binary garbage") << Garbage(1 << 20) << noBlock(QStringLiteral("页面不是有效的 UTF-8 文本"));
    QTest::newRow("50 MB of nested arrays")
        << "HTTP/1.0 200 OK\r\n\r\ng_page_config = " + QByteArray(25 << 20, '[') + QByteArray(25 << 20, ']')
            + " g_srp_loadCss();"
        << QStringList({QStringLiteral("没有数据保存"), QStringLiteral("原因：页面数据不完整")});
}

void TestRobustness::hostileServerEndsRunCleanly()
{
    QFETCH(QByteArray, response);
    QFETCH(QStringList, lastMessages);
    QTemporaryDir home;
    TFakeMarketplace server;
    QVERIFY(server.Start());
    server.Enqueue(TResponseScript::Raw(response));
    TRunProcess run(home.path());
    run.Start(server.Host(), 3);
    QVERIFY2(run.Finish(), qPrintable(run.Lines().join('\n')));
    const QStringList messages = run.Messages();
    QCOMPARE(messages.mid(messages.size() - 3), lastMessages + QStringList({QStringLiteral("=======完成采集=======")}));
    QVERIFY(run.Lines().filter(QRegularExpression("^BOX ")).isEmpty());
    qInfo("peak resident memory: %lld KiB", run.PeakKiB());
    QVERIFY2(run.PeakKiB() > 0 && run.PeakKiB() < 200 * 1024, qPrintable(QString::number(run.PeakKiB())));
}

// With the program's own waits (30 s of silence, a minute for a page), closing the window still ends the
// process at once, and nothing of the page in progress is stored.
void TestRobustness::closingDuringStalledDownloadEndsProcess_data()
{
    QTest::addColumn<TResponseScript>("script");
    QTest::newRow("silent after accept") << TResponseScript().Stall();
    QTest::newRow("a byte a second") << TResponseScript().Drip("HTTP/1.0 200 OK\r\n\r\n" + TSearchPages::Page(44, 44),
                                                               1, 1000);
}

void TestRobustness::closingDuringStalledDownloadEndsProcess()
{
    QFETCH(TResponseScript, script);
    QTemporaryDir home;
    TFakeMarketplace server;
    QVERIFY(server.Start());
    server.SetHandler([script](const QByteArray& request) {
        return TFakeMarketplace::Target(request).contains("&s=")
            ? script
            : TResponseScript::WithLength(200, TSearchPages::Page(44));
    });
    TRunProcess run(home.path());
    run.Start(server.Host(), 3);
    QVERIFY(run.WaitForLines(QStringLiteral("正在采集第2页"), 1));
    QTest::qWait(300);
    const qint64 elapsed = run.CloseWindow();
    qInfo("the process ended %lld ms after the close", elapsed);
    QVERIFY2(elapsed >= 0 && elapsed < 3000, qPrintable(run.Lines().join('\n')));
    QCOMPARE(QueryDatabaseFile(run.DbPath(), "select count(*) from goodslist").toInt(), 44);
}

void TestRobustness::terminationSignalClosesTheWindow_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
}

// The program itself, started as a desktop starts it and ended by a logout, `kill` or Ctrl+C: it ends as when its
// window is closed, with its settings written and its database closed (no write-ahead log left beside it).
void TestRobustness::terminationSignalClosesTheWindow()
{
    QFETCH(int, number);
    QTemporaryDir home;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_PLUGIN_PATH", MERCATIX_PROBE_PLUGINS);
    env.insert("QT_QPA_GENERIC_PLUGINS", "shownprobe:keep");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(MERCATIX_PROGRAM), QStringList());
    QByteArray output;
    QVERIFY(QTest::qWaitFor(
        [&]() {
            output += program.readAllStandardOutput();
            return output.contains("shown ") || program.state() == QProcess::NotRunning;
        },
        60000));
    QVERIFY2(output.contains("shown "), output.constData());
    const QString data = home.path() + "/Documents/softcfg/";
    QVERIFY(!QFileInfo::exists(data + "gleanbox.ini"));
    QVERIFY(QFileInfo::exists(data + "gleanbox.db-wal")); // the file is open

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), number), 0);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QByteArray settings = ReadFileBytes(data + "gleanbox.ini");
    QVERIFY2(settings.contains("[Wnd]") && settings.contains("PageNum=3"), settings.constData());
    QVERIFY(!QFileInfo::exists(data + "gleanbox.db-wal"));
    QVERIFY(!QFileInfo::exists(data + "gleanbox.db-shm"));
    QCOMPARE(QueryDatabaseFile(data + "gleanbox.db", "pragma integrity_check").toString(), QStringLiteral("ok"));
}

QTEST_GUILESS_MAIN(TestRobustness)
#include "TestRobustness.moc"
