// The player's desktop shortcut, created once when the stored settings version is older
// than this program's.
#pragma once

#include "common/desktop_shortcut.h"

// Settings versions below this one have not had the shortcut yet.
inline constexpr int kShortcutSettingsVersion = 65890;
inline constexpr const char* kPlayerShortcutName = "Zimbar MP3 Player";

// The player's desktop entry: its name, icon and the files it opens.
DesktopEntry PlayerDesktopEntry();
