// The player's desktop entry.
#include "player/control/desktop_shortcut.h"

DesktopEntry PlayerDesktopEntry() {
  // The same MIME types as the menu entry the package installs.
  return DesktopEntry{kPlayerShortcutName,
                      "Play MP3, AAC, WAV, FLAC, Ogg Vorbis, Opus and M4A files and internet radio",
                      "multimedia-audio-player", "AudioVideo;Audio;Player;",
                      "audio/mpeg;audio/aac;audio/x-wav;audio/wav;audio/flac;audio/x-flac;audio/ogg;audio/x-vorbis+ogg;"
                      "audio/vorbis;audio/opus;audio/x-opus+ogg;audio/mp4;audio/x-m4a;audio/x-scpls;audio/x-mpegurl;"
                      "audio/mpegurl;"};
}
