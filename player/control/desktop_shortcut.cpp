// The player's desktop entry.
#include "player/control/desktop_shortcut.h"

DesktopEntry PlayerDesktopEntry() {
  return DesktopEntry{kPlayerShortcutName, "Play MP3, WAV and AAC files and internet radio", "multimedia-audio-player",
                      "AudioVideo;Audio;Player;", "audio/mpeg;audio/aac;audio/x-wav;audio/x-scpls;"};
}
