// The tag editor's rules: its instruction text, which title each selected file gets, and
// writing the tags of one or several files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/id3v1_tag.h"

// "Specify ID3 tag for: NAME.EXT" for one entry (no folder), "Specify ID3 tag for the
// selected files." for several.
std::string TagEditInstruction(const std::vector<std::string>& selected);

// What the editor's fields hold when it closes with OK.
struct TagEditValues {
  std::string song;    // title (used when one entry is selected)
  std::string album;
  std::string artist;
  std::string year;
  bool useFileName = false;  // "Use File Name as Track/Song Name"
};

// The title written to one entry: its base name (no folder, no extension) when the file
// name is used; else the song text when fewer than two entries are selected; else none,
// and the file keeps its own title.
std::optional<std::string> TitleToWrite(const std::string& entry, const TagEditValues& values, size_t selectedCount);

// The first selected entry's tag, for the editor's fields; empty fields when it has none
// or cannot be read. What is not a regular file is not opened.
Id3v1Tag ReadTagForEditing(const std::string& entry);

// Writes album, artist, year and the title of TitleToWrite to every entry, in order: the
// ID3v1 record, and for files played as MP3 the ID3v2 tag, in one rewrite of the file
// (WriteTagFile), so that a failure leaves it as it was. An entry that is not an existing
// regular file (a URL, a file deleted meanwhile, a FIFO or a device) is never opened and
// no file is ever made. Returns one message per entry that could not be written:
// "Cannot write ID3 tag of: NAME.EXT", a line break and the reason.
std::vector<std::string> WriteTags(const std::vector<std::string>& selected, const TagEditValues& values);
std::string CannotWriteTagMessage(const std::string& entry, const std::string& reason);
