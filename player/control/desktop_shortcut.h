// The player's desktop shortcut: a desktop entry file on the user's desktop folder,
// created once when the stored settings version is older than this program's.
#pragma once

#include <string>

#include "common/result.h"

// Settings versions below this one have not had the shortcut yet.
inline constexpr int kShortcutSettingsVersion = 65890;
inline constexpr const char* kPlayerShortcutName = "Zimbar MP3 Player";

// The desktop folder: XDG_DESKTOP_DIR of user-dirs.dirs in $XDG_CONFIG_HOME (else
// ~/.config), with $HOME expanded; else ~/Desktop. Ends with '/'.
std::string DesktopFolder();

// The text of a desktop entry that starts program with the files given to it.
std::string DesktopEntryText(const std::string& name, const std::string& program);
// The path of the running program (/proc/self/exe), empty when unknown.
std::string RunningProgramPath();

struct ShortcutError {
  std::string path;
  int errnum = 0;
  std::string Message() const;  // "Cannot create the desktop shortcut /x: reason"
};

// Writes "NAME.desktop" into folder (replacing an older one), executable, so desktops
// that ask for trusted launchers start it. A folder that does not exist is left alone:
// nothing is written and nothing fails.
Status<ShortcutError> CreateDesktopShortcut(const std::string& folder, const std::string& name,
                                            const std::string& program);
