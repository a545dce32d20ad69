// The main window's texts.
#include "player/control/player_texts.h"

#include <strings.h>

#include <cstdio>

#include "common/paths.h"

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A year that names one: digits only and not all zero ("YYYY" is what a tag without one
// reads as).
bool IsKnownYear(const std::string& year) {
  if (year.empty()) return false;
  bool nonzero = false;
  for (const char c : year) {
    if (c < '0' || c > '9') return false;
    if (c != '0') nonzero = true;
  }
  return nonzero;
}

}  // namespace

std::string TagText(const Id3v1Tag& tag) {
  const std::string title = Trimmed(tag.title);
  if (title.empty()) return {};
  const std::string artist = Trimmed(tag.artist);
  std::string text = artist.empty() ? title : artist + kTitleDash + title;
  const std::string album = Trimmed(tag.album);
  const std::string year = Trimmed(tag.year);
  const bool hasYear = IsKnownYear(year);
  if (!album.empty() && hasYear)
    text += " (" + album + ", " + year + ")";
  else if (!album.empty())
    text += " (" + album + ")";
  else if (hasYear)
    text += " (" + year + ")";
  return text;
}

std::string FileLabelText(const std::string& entry, const std::string& tagText) {
  if (!tagText.empty()) return tagText;
  // A stream's address shows whole (its last part names no file).
  if (entry.find("://") != std::string::npos) return entry;
  const std::string name = ExtractFileName(entry);
  if (name.empty()) return entry;
  if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".mp3") == 0)
    return name.substr(0, name.size() - 4);
  return name;
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
