// Desktop notifications: a message the desktop shows in its corner, through the
// org.freedesktop.Notifications service on the session bus.
#pragma once

#include <QString>

inline constexpr const char* kNotificationsService = "org.freedesktop.Notifications";
inline constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";

// Sends one notification of the maker (application name "Zimbar MP3 Maker", its menu
// icon) without waiting for the answer. False when there is no session bus or no
// notification service on it: a desktop without one shows nothing, and nothing fails.
bool SendDesktopNotification(const QString& summary, const QString& body);
