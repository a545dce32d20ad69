// The maker's desktop shortcut: a desktop entry on the user's desktop folder, made once
// for each program version.
#pragma once

#include <string>

#include "common/desktop_shortcut.h"
#include "common/error.h"
#include "maker/settings/settings_table.h"

// The settings version of this program (1.3A as the bytes 1, 3 and 'A'); a stored Version
// below it has not had the shortcut yet.
inline constexpr int kMakerSettingsVersion = 0x010341;
inline constexpr const char* kMakerShortcutName = "Zimbar MP3 Maker";

// The maker's desktop entry: its name, icon and the files it opens.
DesktopEntry MakerDesktopEntry();

// When the stored Version is below kMakerSettingsVersion: writes "Zimbar MP3 Maker.desktop"
// (executable) into `folder` and stores the version, also when the folder does not exist
// (nothing is written then, and later starts do not try again). A failed write keeps the
// old version, so the next start tries again. True when a shortcut was written.
Expected<bool> CreateMakerShortcutOnce(SettingsTable& settings, const std::string& folder,
                                      const std::string& program);
