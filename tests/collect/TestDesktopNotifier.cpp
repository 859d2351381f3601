#include "collect/TDesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A session bus of the test's own: the notifier never reaches the desktop's real notification service, and the
// bus starts no service by itself.
class TPrivateBus
{
public:
    ~TPrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    // The bus's address, or an empty text when it did not start.
    QString Start(const QString& folder)
    {
        const QString config = folder + QStringLiteral("/bus.conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            return QString();
        }
        file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                                  "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                  "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                                  "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                  "</policy></busconfig>\n")
                       .arg(folder)
                       .toUtf8());
        file.close();
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        if (!m_daemon.waitForStarted() || !QTest::qWaitFor([this]() { return m_daemon.canReadLine(); }, 10000)) {
            return QString();
        }
        return QString::fromUtf8(m_daemon.readLine().trimmed());
    }

private:
    QProcess m_daemon;
};

struct TNotice
{
    QString app;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
};

// Stands in for the desktop's notification service: records every notice; a silent one never answers.
class TNotificationService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit TNotificationService(bool silent)
        : m_silent(silent)
    {
    }
    QList<TNotice> Notices;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        Q_UNUSED(replaces);
        Notices.append({app, icon, summary, body, actions, hints, timeout});
        if (m_silent) {
            setDelayedReply(true); // and no reply follows
        }
        return static_cast<uint>(Notices.size());
    }

private:
    bool m_silent;
};
} // namespace

class TestDesktopNotifier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noticeReachesTheService();
    void nothingFailsOrWaitsWithoutService_data();
    void nothingFailsOrWaitsWithoutService();

private:
    QTemporaryDir m_dir;
};

void TestDesktopNotifier::initTestCase()
{
    // The session bus of the default notifier: one that is not there.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_dir.filePath(QStringLiteral("no-bus"))));
}

void TestDesktopNotifier::noticeReachesTheService()
{
    TPrivateBus bus;
    const QString address = bus.Start(m_dir.path());
    QVERIFY(!address.isEmpty());
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("stand-in"));
    TNotificationService stand(false);
    QVERIFY(
        service.registerObject(QLatin1String(TDesktopNotifier::ObjectPath), &stand, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QLatin1String(TDesktopNotifier::ServiceName)));
    {
        TDesktopNotifier notifier(address);
        QElapsedTimer clock;
        clock.start();
        notifier.Notify(QStringLiteral("监控：3 条提醒"), QStringLiteral("办公桌：降价 2 个\n书桌：新增 1 个"));
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE(stand.Notices.size(), 1);
    }
    const TNotice& notice = stand.Notices.first();
    QCOMPARE(notice.summary, QStringLiteral("监控：3 条提醒"));
    QCOMPARE(notice.body, QStringLiteral("办公桌：降价 2 个\n书桌：新增 1 个"));
    QCOMPARE(notice.app, QStringLiteral("Mercatix"));
    QCOMPARE(notice.icon, QStringLiteral("io.github.mercatix.Mercatix"));
    QCOMPARE(notice.hints.value(QStringLiteral("desktop-entry")).toString(),
             QStringLiteral("io.github.mercatix.Mercatix"));
    QVERIFY(notice.actions.isEmpty());
    QCOMPARE(notice.timeout, -1);
    service.unregisterService(QLatin1String(TDesktopNotifier::ServiceName));
    QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
}

void TestDesktopNotifier::nothingFailsOrWaitsWithoutService_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("goneWithinMs"); // the notifier sent its notice and is gone within this time
    QTest::newRow("no session bus") << "session" << 500;
    QTest::newRow("no bus at the address") << "nowhere" << 500;
    QTest::newRow("a bus without the service") << "bus" << 1000;
    QTest::newRow("a service that never answers") << "silent" << TDesktopNotifier::ReplyTimeoutMs + 1500;
}

// Where no notification service answers, a notice is dropped: sending returns at once, and the notifier waits for
// an answer no longer than its reply timeout.
void TestDesktopNotifier::nothingFailsOrWaitsWithoutService()
{
    QFETCH(QString, where);
    QFETCH(int, goneWithinMs);
    TPrivateBus bus;
    QString address = QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("nowhere"));
    TNotificationService stand(true);
    if (where == QLatin1String("bus") || where == QLatin1String("silent")) {
        address = bus.Start(m_dir.path());
        QVERIFY(!address.isEmpty());
    }
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("silent"));
    if (where == QLatin1String("silent")) {
        QVERIFY(service.registerObject(QLatin1String(TDesktopNotifier::ObjectPath), &stand,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QLatin1String(TDesktopNotifier::ServiceName)));
    }
    QElapsedTimer clock;
    clock.start();
    qint64 sent = 0;
    {
        const auto notifier = where == QLatin1String("session") ? std::make_unique<TDesktopNotifier>()
                                                                : std::make_unique<TDesktopNotifier>(address);
        notifier->Notify(QStringLiteral("监控"), QStringLiteral("提醒"));
        sent = clock.elapsed();
    }
    const qint64 gone = clock.elapsed();
    QVERIFY2(sent < 300, qPrintable(QString::number(sent)));
    QVERIFY2(gone < goneWithinMs, qPrintable(QString::number(gone)));
    QDBusConnection::disconnectFromBus(QStringLiteral("silent"));
}

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "TestDesktopNotifier.moc"
