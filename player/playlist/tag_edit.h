// The tag editor's rules: its instruction text, which title each selected file gets, and
// writing the tags of one or several files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/id3v1_tag.h"
#include "common/tags/audio_file_tags.h"

// "Specify ID3 tag for: NAME.EXT" for one entry (no folder), "Specify ID3 tag for the
// selected files." for several.
std::string TagEditInstruction(const std::vector<std::string>& selected);

// What the editor shows of an entry: the whole ID3v2 texts (UTF-8), each field the
// ID3v1 record's where the ID3v2 tag lacks it; for FLAC, Ogg Vorbis, Opus and M4A files
// (told by their content) the fields of their own tags (Vorbis comments, MP4 atoms). A
// year that is not known ("YYYY", "0000", spaces) shows as empty.
struct TagEditFields {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
  std::string trackNumber;  // not in an ID3v1 record: "3" or "3/12"
  std::string genre;        // not in an ID3v1 record
  std::string comment;      // not in an ID3v1 record
};
TagEditFields ReadFieldsForEditing(const std::string& entry);

// What the editor writes when it closes with OK: the fields the user changed. A field
// left as it was shown is disengaged and every file keeps its own value of it.
struct TagEditValues {
  std::optional<std::string> song{};  // title (used when one entry is selected)
  std::optional<std::string> album{};
  std::optional<std::string> artist{};
  std::optional<std::string> year{};  // empty: the file gets no year
  bool useFileName = false;         // "Use File Name as Track/Song Name"
  std::optional<std::string> trackNumber{};
  std::optional<std::string> genre{};
  std::optional<std::string> comment{};
};

// Whether the entry is a file that gets an ID3v2 tag (one the player plays as MP3). WAV
// and AAC files keep the ID3v1 record alone, since a tag at their start would make them
// unplayable; FLAC, Ogg Vorbis, Opus and M4A files keep their own tags.
bool TakesId3v2Tag(const std::string& entry);
// Whether the entry's file holds every field of the editor: the track number, genre and
// comment as well as the texts of an ID3v1 record (an MP3 file, or a FLAC, Ogg Vorbis,
// Opus or M4A file).
bool HoldsAllTagFields(const std::string& entry);

// Why the values cannot be written (a year or track number that is not a number), for
// a message to the user; "" when they can.
std::string RefusedTagEditValues(const TagEditValues& values);

// The title written to one entry: its base name (no folder, no extension) when the file
// name is used; else the song text when fewer than two entries are selected; else none,
// and the file keeps its own title.
std::optional<std::string> TitleToWrite(const std::string& entry, const TagEditValues& values, size_t selectedCount);

// The tag of an entry as ReadFieldsForEditing finds it, in the ID3v1 record's shape
// (an unknown year reads "YYYY"); empty fields when it has none or cannot be read. What
// is not a regular file is not opened.
Id3v1Tag ReadTagForEditing(const std::string& entry);

// What the player shows of the entry it loads: the texts of ReadTagForEditing (a date
// such as "2003-05-01" in a FLAC, Ogg, Opus or M4A file gives its year, "2003"), the track
// number (0 when not known) and the embedded front cover of an MP3, FLAC, Ogg Vorbis,
// Opus or M4A file. Empty for what is not a regular file (never opened).
struct EntryTags {
  Id3v1Tag text;
  int trackNumber = 0;
  std::optional<CoverImage> cover;
};
EntryTags ReadEntryTags(const std::string& entry);

// Writes the changed fields and the title of TitleToWrite to every entry, in order: the
// ID3v1 record (title, artist, album, year, each cut to its field there), and for files
// played as MP3 the ID3v2 tag with the whole texts and the track number, genre and
// comment, in one rewrite of the file (WriteTagFile), so that a failure leaves it as it
// was. FLAC, Ogg Vorbis, Opus and M4A files get the fields in their own tags instead, in
// one rewrite as well (WriteFormatTagFields), their other tags kept. Nothing changed: no file is touched. An entry that is not an existing
// regular file (a URL, a file deleted meanwhile, a FIFO or a device) is never opened and
// no file is ever made. Returns one message per entry that could not be written:
// "Cannot write ID3 tag of: NAME.EXT", a line break and the reason.
std::vector<std::string> WriteTags(const std::vector<std::string>& selected, const TagEditValues& values);
std::string CannotWriteTagMessage(const std::string& entry, const std::string& reason);
