// The tag editor's rules over the ID3v1 and ID3v2 readers and writers.
#include "player/playlist/tag_edit.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "common/paths.h"
#include "common/tags/audio_file_format.h"
#include "common/tags/format_tag_fields.h"
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
// the start of a WAV or AAC file it would make the file unplayable. FLAC, Ogg and MP4
// files have tags of their own.
bool TakesId3v2(const std::string& path) {
  if (HasFormatTagFields(SniffAudioFileFormat(path))) return false;
  WavFormatInfo wav{};
  if (ReadWavHeaderFromPath(path.c_str(), wav) == kWavReadOk) return false;
  return !(path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".aac") == 0);
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

TagEditFields ReadFieldsForEditing(const std::string& entry) {
  TagEditFields fields;
  // The player asks on its main thread: a FIFO or a device named as an entry is never
  // opened (it could block, or lose bytes meant for another reader).
  if (IsStreamUrl(entry) || !IsRegularFile(entry)) return fields;
  if (const AudioFileFormat format = SniffAudioFileFormat(entry); HasFormatTagFields(format)) {
    // The file's own tags alone: an ID3v1 record some tool left at its end is not what
    // other players show, nor what the editor writes.
    if (auto own = ReadFormatTagFields(entry, format)) {
      fields = TagEditFields{std::move(own->title), std::move(own->artist), std::move(own->album), std::move(own->year),
                             std::move(own->trackNumber), std::move(own->genre), std::move(own->comment)};
      if (!IsKnownYear(fields.year)) fields.year.clear();
    }
    return fields;
  }
  if (auto read = ReadId3v1TagFile(entry)) {
    const Id3v1Tag& record = read.Value();
    fields.title = record.title;
    fields.artist = record.artist;
    fields.album = record.album;
    if (IsKnownYear(record.year)) fields.year = record.year;
  }
  // The ID3v2 texts are whole and in any script; each field the ID3v1 record holds is
  // only the fallback.
  if (!TakesId3v2(entry)) return fields;
  if (const auto v2 = ReadId3v2Tag(entry)) {
    if (!v2->title.empty()) fields.title = v2->title;
    if (!v2->artist.empty()) fields.artist = v2->artist;
    if (!v2->album.empty()) fields.album = v2->album;
    if (IsKnownYear(v2->year)) fields.year = v2->year;
    fields.trackNumber = v2->trackNumber;
    fields.genre = v2->genre;
    fields.comment = v2->comment;
  }
  return fields;
}

bool TakesId3v2Tag(const std::string& entry) {
  return !IsStreamUrl(entry) && IsRegularFile(entry) && TakesId3v2(entry);
}

bool HoldsAllTagFields(const std::string& entry) {
  if (IsStreamUrl(entry) || !IsRegularFile(entry)) return false;
  return HasFormatTagFields(SniffAudioFileFormat(entry)) || TakesId3v2(entry);
}

Id3v1Tag ReadTagForEditing(const std::string& entry) {
  if (IsStreamUrl(entry) || !IsRegularFile(entry)) return {};
  const bool hasRecord = static_cast<bool>(ReadId3v1TagFile(entry));
  TagEditFields fields = ReadFieldsForEditing(entry);
  // The record's reader gives "YYYY" for an unknown year; kept for those who show it so.
  if (fields.year.empty() && hasRecord) fields.year = "YYYY";
  return Id3v1Tag{std::move(fields.title), std::move(fields.artist), std::move(fields.album), std::move(fields.year)};
}

namespace {

// The leading number of "3/12" or of a date ("2003-05-01"): "3", "2003"; "" without one.
std::string LeadingDigits(const std::string& text) {
  size_t end = 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return text.substr(0, end);
}

}  // namespace

EntryTags ReadEntryTags(const std::string& entry) {
  EntryTags tags;
  if (IsStreamUrl(entry) || !IsRegularFile(entry)) return tags;
  const AudioFileFormat format = SniffAudioFileFormat(entry);
  if (!HasFormatTagFields(format)) {
    tags.text = ReadTagForEditing(entry);
    tags.trackNumber = std::atoi(LeadingDigits(ReadFieldsForEditing(entry).trackNumber).c_str());
  } else {
    TagEditFields fields = ReadFieldsForEditing(entry);
    tags.trackNumber = std::atoi(LeadingDigits(fields.trackNumber).c_str());
    tags.text = Id3v1Tag{std::move(fields.title), std::move(fields.artist), std::move(fields.album),
                         LeadingDigits(fields.year)};
  }
  if (format == AudioFileFormat::Mp3 || HasFormatTagFields(format)) {
    if (auto all = ReadAudioFileTags(entry, format)) tags.cover = std::move(all->cover);
  }
  return tags;
}

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string RefusedTagEditValues(const TagEditValues& values) {
  // A year is what the record's four characters hold: a number up to 9999, not 0.
  if (values.year && !values.year->empty() && !(AllDigits(*values.year) && values.year->size() <= 4 && IsKnownYear(*values.year)))
    return "The year must be a number, such as 1999.";
  if (values.trackNumber && !values.trackNumber->empty()) {
    const std::string& track = *values.trackNumber;
    const size_t slash = track.find('/');
    const bool number = slash == std::string::npos ? AllDigits(track)
                                                   : AllDigits(std::string_view(track).substr(0, slash)) &&
                                                         AllDigits(std::string_view(track).substr(slash + 1));
    if (!number) return "The track number must be a number, such as 3 or 3/12.";
  }
  return {};
}

std::string CannotWriteTagMessage(const std::string& entry, const std::string& reason) {
  return "Cannot write ID3 tag of: " + ExtractFileName(entry) + "\n" + reason;
}

std::vector<std::string> WriteTags(const std::vector<std::string>& selected, const TagEditValues& values) {
  std::vector<std::string> failures;
  const bool anyChange = values.useFileName || values.song || values.album || values.artist || values.year ||
                         values.trackNumber || values.genre || values.comment;
  if (!anyChange) return failures;
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
    // A year that is not known ("YYYY", "0000") is written as no year at all.
    std::optional<std::string> year = values.year;
    if (year && !IsKnownYear(*year)) year = std::string();
    if (const AudioFileFormat format = SniffAudioFileFormat(entry); HasFormatTagFields(format)) {
      const FormatTagUpdate own{title, values.artist, values.album, year, values.trackNumber, values.genre, values.comment};
      if (auto written = WriteFormatTagFields(entry, format, own); !written)
        failures.push_back(CannotWriteTagMessage(entry, written.Error().reason));
      continue;
    }
    TagFileUpdate update;
    // The record takes what fits its fields; the ID3v2 tag holds the whole texts.
    update.id3v1 = Id3v1Update{title, values.artist, values.album, year};
    if (TakesId3v2(entry)) {
      Id3v2Update v2;
      v2.album = values.album;
      v2.artist = values.artist;
      v2.year = year;  // an empty year removes the frame
      v2.title = title;
      v2.trackNumber = values.trackNumber;
      v2.genre = values.genre;
      v2.comment = values.comment;
      update.id3v2 = v2;
    }
    // Both tags in one rewrite: the file is replaced whole or stays as it was.
    if (auto written = WriteTagFile(entry, update); !written)
      failures.push_back(CannotWriteTagMessage(entry, written.Error().reason));
  }
  return failures;
}
