// The tag editor's rules over the ID3v1 and ID3v2 readers and writers.
#include "player/playlist/tag_edit.h"

#include <strings.h>
#include <sys/stat.h>

#include "common/paths.h"
#include "common/tags/id3v2_tag.h"
#include "common/wav_header.h"
#include "player/playlist/list_entries.h"

std::string TagEditInstruction(const std::vector<std::string>& selected) {
  if (selected.size() < 2)
    return "Specify ID3 tag for: " + (selected.empty() ? std::string() : ExtractFileName(selected.front()));
  return "Specify ID3 tag for the selected files.";
}

std::optional<std::string> TitleToWrite(const std::string& entry, const TagEditValues& values, size_t selectedCount) {
  if (values.useFileName) return ExtractBaseName(entry);
  if (selectedCount < 2) return values.song;
  return std::nullopt;
}

namespace {

// Files the player plays as MP3 (neither WAV nor AAC) carry an ID3v2 tag as well; put at
// the start of a WAV or AAC file it would make the file unplayable.
bool TakesId3v2(const std::string& path) {
  WavFormatInfo wav{};
  if (ReadWavHeaderFromPath(path.c_str(), wav) == kWavReadOk) return false;
  return !(path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".aac") == 0);
}

}  // namespace

Id3v1Tag ReadTagForEditing(const std::string& entry) {
  Id3v1Tag tag;
  if (IsStreamUrl(entry)) return tag;
  if (ReadId3v1Tag(entry, &tag.album, &tag.artist, &tag.title, &tag.year) != kId3Ok) tag = Id3v1Tag{};
  // The ID3v2 texts are whole and in any script; each field the ID3v1 record holds is
  // only the fallback.
  if (!TakesId3v2(entry)) return tag;
  if (const auto v2 = ReadId3v2Tag(entry)) {
    if (!v2->title.empty()) tag.title = v2->title;
    if (!v2->artist.empty()) tag.artist = v2->artist;
    if (!v2->album.empty()) tag.album = v2->album;
    if (IsKnownYear(v2->year)) tag.year = v2->year;
  }
  return tag;
}

std::string CannotWriteTagMessage(const std::string& entry) {
  return "Cannot write ID3 tag of: " + ExtractFileName(entry);
}

std::vector<std::string> WriteTags(const std::vector<std::string>& selected, const TagEditValues& values) {
  std::vector<std::string> failures;
  for (const std::string& entry : selected) {
    struct stat st {};
    const bool regular = !IsStreamUrl(entry) && ::stat(entry.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    const std::optional<std::string> title = TitleToWrite(entry, values, selected.size());
    if (!regular ||
        WriteId3v1Tag(entry, &values.album, &values.artist, title ? &*title : nullptr, &values.year) != kId3Ok) {
      failures.push_back(CannotWriteTagMessage(entry));
      continue;
    }
    if (!TakesId3v2(entry)) continue;
    Id3v2Update update;
    update.album = values.album;
    update.artist = values.artist;
    update.year = values.year;  // "YYYY" or an empty year removes the frame
    update.title = title;
    // A file without MPEG audio (kId3v2CannotOpen) keeps just its ID3v1 record.
    if (WriteId3v2Tag(entry, update) == kId3v2CannotWrite) failures.push_back(CannotWriteTagMessage(entry));
  }
  return failures;
}
