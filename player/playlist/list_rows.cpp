// The play list window's row texts and the reading of tags and playing times behind them.
#include "player/playlist/list_rows.h"

#include <sys/stat.h>

#include <cstdio>

#include "common/paths.h"
#include "common/tags/audio_file_format.h"
#include "common/tags/format_tag_fields.h"
#include "common/tags/mp3_duration.h"
#include "common/wav_header.h"
#include "player/playlist/list_entries.h"
#include "player/playlist/tag_edit.h"

std::string EntryRowText(const std::string& entry, const EntryInfo* info) {
  if (info != nullptr && !info->title.empty())
    return info->artist.empty() ? info->title : info->artist + " \u2013 " + info->title;
  if (IsStreamUrl(entry)) return entry;
  const std::string name = ExtractFileName(entry);
  return name.empty() ? entry : name;
}

std::string DurationText(int64_t durationMs) {
  if (durationMs < 0) return {};
  const int64_t seconds = durationMs / 1000;
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  return text;
}

EntryInfo ReadEntryInfo(const std::string& entry) {
  EntryInfo info;
  // A FIFO or a device named as an entry is never opened: it could block the reader.
  struct stat status {};
  if (IsStreamUrl(entry) || ::stat(entry.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return info;
  const TagEditFields fields = ReadFieldsForEditing(entry);
  info.artist = fields.artist;
  info.title = fields.title;
  // FLAC, Ogg Vorbis, Opus and M4A files, told by their content, know their own length.
  if (const AudioFileFormat format = SniffAudioFileFormat(entry); HasFormatTagFields(format)) {
    if (const auto ms = FormatDurationMs(entry, format)) info.durationMs = *ms;
    return info;
  }
  WavFormatInfo wav{};
  if (ReadWavHeaderFromPath(entry.c_str(), wav) == kWavReadOk) {
    const uint64_t bytesPerSecond = uint64_t{wav.sampleRate} * wav.channels * (wav.bitsPerSample / 8u);
    if (bytesPerSecond > 0) info.durationMs = static_cast<int64_t>(wav.dataBytes * 1000 / bytesPerSecond);
    return info;
  }
  // AAC streams have no playing time TagLib can measure; everything else plays as MP3.
  const std::string name = ExtractFileName(entry);
  if (name.size() >= 4 && (name.ends_with(".aac") || name.ends_with(".AAC"))) return info;
  if (const auto ms = Mp3DurationMs(entry)) info.durationMs = *ms;
  return info;
}

std::vector<std::pair<std::string, EntryInfo>> ReadEntryInfos(const std::vector<std::string>& entries,
                                                              const std::function<bool()>& cancelled) {
  std::vector<std::pair<std::string, EntryInfo>> read;
  read.reserve(entries.size());
  for (const std::string& entry : entries) {
    if (cancelled && cancelled()) break;
    read.emplace_back(entry, ReadEntryInfo(entry));
  }
  return read;
}
