// Desktop entry files on the user's desktop folder: the shortcut each program makes once.
#pragma once

#include <string>

#include "common/error.h"

// What a program's desktop entry says besides how to start it.
struct DesktopEntry {
  std::string name;        // also the file name, "NAME.desktop"
  std::string comment;
  std::string icon;
  std::string categories;  // "AudioVideo;Audio;"
  std::string mimeTypes;   // "audio/mpeg;audio/aac;"
};

// The desktop folder: XDG_DESKTOP_DIR of user-dirs.dirs in $XDG_CONFIG_HOME (else
// ~/.config), with $HOME expanded; else ~/Desktop. Ends with '/'.
std::string DesktopFolder();

// The text of a desktop entry that starts program with the files given to it.
std::string DesktopEntryText(const DesktopEntry& entry, const std::string& program);
// The path of the running program (/proc/self/exe), empty when unknown.
std::string RunningProgramPath();

// Writes "NAME.desktop" into folder (replacing an older one), executable, so desktops
// that ask for trusted launchers start it. A folder that does not exist is left alone:
// nothing is written and nothing fails. An Io error names the entry file: "Cannot create the
// desktop shortcut /x: reason".
Outcome CreateDesktopShortcut(const std::string& folder, const DesktopEntry& entry, const std::string& program);
