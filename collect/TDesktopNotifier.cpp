#include "collect/TDesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

void TDesktopNotifier::Notify(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Mercatix") << 0u << QStringLiteral("io.github.mercatix.Mercatix") << summary << body
         << QStringList() << QVariantMap() << -1;
    bus.asyncCall(call); // the answer (or the lack of a service) is of no interest
}
