// Desktop notifications through org.freedesktop.Notifications.
#include "maker/jobs/ui/desktop_notification.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

bool SendDesktopNotification(const QString& summary, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  const QString service = QString::fromLatin1(kNotificationsService);
  // Asked first, so that a bus without the service does not start a D-Bus activation
  // or leave a call waiting for its time limit.
  if (!bus.interface()->isServiceRegistered(service).value()) return false;
  QDBusMessage notify = QDBusMessage::createMethodCall(service, QString::fromLatin1(kNotificationsPath), service,
                                                       QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.zimbar.zbmaker"));
  hints.insert(QStringLiteral("category"), QStringLiteral("transfer.complete"));
  // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1:
  // the desktop's own).
  notify << QStringLiteral("Zimbar MP3 Maker") << uint(0) << QStringLiteral("zbmaker") << summary << body
         << QStringList() << hints << int(-1);
  return bus.send(notify);
}
