// The main window's texts.
#include "player/control/player_texts.h"

#include <strings.h>

#include <cstdio>

#include "common/paths.h"

std::string TagText(const Id3v1Tag& tag) {
  if (tag.title.empty() && tag.artist.empty() && tag.album.empty()) return {};
  return tag.year + "; " + tag.artist + "; " + tag.album + "; " + tag.title;
}

std::string FileLabelText(const std::string& entry, const std::string& tagText) {
  if (!tagText.empty()) return tagText;
  if (entry.size() > 4 && strcasecmp(entry.c_str() + entry.size() - 4, ".mp3") == 0)
    return entry.substr(0, entry.size() - 4);
  return entry;
}

std::string StreamInfoText(uint16_t bitrate, uint16_t frequency, uint8_t mode) {
  const char* modeText = mode == 0 ? "ST" : mode == 1 ? "JS" : mode == 2 ? "2C" : "MN";
  char text[64];
  std::snprintf(text, sizeof text, "%03iKbps %iKhz %s", int(bitrate), int(frequency) / 1000, modeText);
  return text;
}

std::string TimeText(uint8_t hours, uint8_t minutes, uint8_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2d:%.2d", int(hours) * 60 + int(minutes), int(seconds));
  return text;
}

std::string ApplicationTitle(const std::string& timeText) { return timeText + " zbplayer"; }

std::string PopupCaption(const std::string& entry) {
  const SplitPath parts = SplitFilePath(entry);
  if (strcasecmp(parts.ext.c_str(), ".mp3") == 0) return parts.name;
  return parts.name + parts.ext;
}

std::string MainWindowCaption() { return std::string("zbplayer - Zimbar MP3 Player (v") + kPlayerVersion + ")"; }

std::string InfoFieldError(const std::string& message, const std::string& entry) {
  if (entry.empty()) return message;
  const std::string named = entry + ": ";
  const size_t at = message.find(named);
  if (at == std::string::npos || at + named.size() >= message.size()) return message;
  std::string reason = message.substr(at + named.size());
  if (reason[0] >= 'a' && reason[0] <= 'z') reason[0] = static_cast<char>(reason[0] - 'a' + 'A');
  return reason;
}
