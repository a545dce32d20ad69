// The maker's desktop shortcut.
#include "maker/jobs/maker_shortcut.h"

#include "common/paths.h"

DesktopEntry MakerDesktopEntry() {
  return DesktopEntry{kMakerShortcutName, "Rip audio CDs and convert between WAV, MP3, AAC, M4A, FLAC, Ogg Vorbis and Opus", "media-optical-audio",
                      "AudioVideo;Audio;", "audio/x-wav;audio/mpeg;audio/aac;"};
}

Expected<bool> CreateMakerShortcutOnce(SettingsTable& settings, const std::string& folder,
                                      const std::string& program) {
  if (settings.version >= kMakerSettingsVersion) return false;
  if (!DirectoryExists(folder)) {
    settings.version = kMakerSettingsVersion;
    return false;
  }
  if (auto made = CreateDesktopShortcut(folder, MakerDesktopEntry(), program); !made) return Fail(made.Error());
  settings.version = kMakerSettingsVersion;
  return true;
}
