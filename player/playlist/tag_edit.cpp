// The tag editor's rules over the ID3v1 and ID3v2 readers and writers.
#include "player/playlist/tag_edit.h"

#include <strings.h>
#include <sys/stat.h>

#include "common/paths.h"
#include "common/tags/tag_file.h"
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

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

Id3v1Tag ReadTagForEditing(const std::string& entry) {
  Id3v1Tag tag;
  // The player asks on its main thread: a FIFO or a device named as an entry is never
  // opened (it could block, or lose bytes meant for another reader).
  if (IsStreamUrl(entry) || !IsRegularFile(entry)) return tag;
  if (auto read = ReadId3v1TagFile(entry)) tag = std::move(read).Value();
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

std::string CannotWriteTagMessage(const std::string& entry, const std::string& reason) {
  return "Cannot write ID3 tag of: " + ExtractFileName(entry) + "\n" + reason;
}

std::vector<std::string> WriteTags(const std::vector<std::string>& selected, const TagEditValues& values) {
  std::vector<std::string> failures;
  for (const std::string& entry : selected) {
    if (IsStreamUrl(entry)) {
      failures.push_back(CannotWriteTagMessage(entry, "A stream has no tag to write"));
      continue;
    }
    // What is not a regular file is refused before anything opens it (the WAV header
    // test below would).
    if (auto refused = OpenTagFile(entry); !refused) {
      failures.push_back(CannotWriteTagMessage(entry, refused.Error().reason));
      continue;
    }
    const std::optional<std::string> title = TitleToWrite(entry, values, selected.size());
    TagFileUpdate update;
    update.id3v1 = Id3v1Update{title, values.artist, values.album, values.year};
    if (TakesId3v2(entry)) {
      Id3v2Update v2;
      v2.album = values.album;
      v2.artist = values.artist;
      v2.year = values.year;  // "YYYY" or an empty year removes the frame
      v2.title = title;
      update.id3v2 = v2;
    }
    // Both tags in one rewrite: the file is replaced whole or stays as it was.
    if (auto written = WriteTagFile(entry, update); !written)
      failures.push_back(CannotWriteTagMessage(entry, written.Error().reason));
  }
  return failures;
}
