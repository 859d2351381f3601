#include "collect/TDesktopNotifier.h"

#include <QAtomicInt>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QList>
#include <QStringList>
#include <QVariantMap>

#include <optional>

const char* const TDesktopNotifier::ServiceName = "org.freedesktop.Notifications";
const char* const TDesktopNotifier::ObjectPath = "/org/freedesktop/Notifications";

namespace {
const char* const ProgramName = "Mercatix";

// A name of its own for each connection to a bus given by address, so that two notifiers never share one.
QString NewConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("mercatix-notifier-%1").arg(counter.fetchAndAddRelaxed(1));
}
} // namespace

struct TDesktopNotifier::TState
{
    std::optional<QDBusConnection> bus;
    QString ownName; // the connection this notifier opened itself; empty for the session bus
    QList<QDBusPendingCall> pending;
};

TDesktopNotifier::TDesktopNotifier()
    : m_state(std::make_unique<TState>())
{
}

TDesktopNotifier::TDesktopNotifier(const QString& busAddress)
    : m_state(std::make_unique<TState>())
{
    m_state->ownName = NewConnectionName();
    m_state->bus = QDBusConnection::connectToBus(busAddress, m_state->ownName);
}

TDesktopNotifier::~TDesktopNotifier()
{
    Flush();
    if (!m_state->ownName.isEmpty()) {
        m_state->bus.reset();
        QDBusConnection::disconnectFromBus(m_state->ownName);
    }
}

void TDesktopNotifier::Notify(const QString& summary, const QString& body)
{
    // The session bus is connected at the first notice, not when the program starts.
    if (!m_state->bus) {
        m_state->bus = QDBusConnection::sessionBus();
    }
    if (!m_state->bus->isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(ServiceName), QLatin1String(ObjectPath),
                                                       QLatin1String(ServiceName), QStringLiteral("Notify"));
    const QString appId = QStringLiteral(MERCATIX_APP_ID);
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), appId);
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the service's default)
    call << QString::fromLatin1(ProgramName) << 0u << appId << summary << body << QStringList() << hints << -1;
    // Answers that came meanwhile need no keeping.
    m_state->pending.removeIf([](const QDBusPendingCall& sent) { return sent.isFinished(); });
    m_state->pending.append(m_state->bus->asyncCall(call, ReplyTimeoutMs));
}

void TDesktopNotifier::Flush()
{
    for (QDBusPendingCall& sent : m_state->pending) {
        sent.waitForFinished();
    }
    m_state->pending.clear();
}
