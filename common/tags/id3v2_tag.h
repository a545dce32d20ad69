// The ID3 version 2.4 tag at the start of an MP3 file, its texts in UTF-8: what both
// programs write beside the ID3v1 record, so that names outside ISO-8859-1, the track
// number and the genre survive. TagLib reads and renders the frames; where the tag ends
// and the audio starts is decided here (id3v2_header.h), and files are written only
// through tag_file.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/error.h"

// The texts of a tag, UTF-8. An empty text means the file has no such frame.
struct Id3v2Fields {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;         // "1999"; only a known year (IsKnownYear) is ever written
  std::string trackNumber;  // "3/12" (track n of N) or "3"
  std::string genre;
  std::string comment;  // the comment without a description (COMM "")
};

// A picture of a tag (APIC): the image bytes and their type ("image/jpeg", "image/png").
struct Id3v2Picture {
  std::string mimeType;
  std::vector<uint8_t> data;
};

// What a write changes: an engaged value replaces its frame (an empty one removes it),
// a disengaged value keeps the frame the file has. Frames the tag holds beyond these
// (other pictures, comments with a description, user texts not named, ...) are kept.
struct Id3v2Update {
  std::optional<std::string> title{};
  std::optional<std::string> artist{};
  std::optional<std::string> album{};
  std::optional<std::string> year{};  // an unknown year (IsKnownYear false) removes the frame
  std::optional<std::string> trackNumber{};
  std::optional<std::string> genre{};
  // The comment without a description; comments with one (a player's own data) are kept.
  std::optional<std::string> comment{};
  std::optional<std::string> albumArtist{};  // TPE2
  std::optional<std::string> discNumber{};   // TPOS, "1/2" (disc n of N) or "1"
  // User texts (TXXX) by description, "MusicBrainz Album Id" -> "…": each replaces the
  // frames of its description (an empty text removes them); other descriptions are kept.
  std::vector<std::pair<std::string, std::string>> userTexts{};
  // Replaces the front covers (APIC of picture type 3); an empty picture removes them.
  // Pictures of other types are kept.
  std::optional<Id3v2Picture> frontCover{};
};

// True when `year` starts with a nonzero number: "1999", "2003-05". False for "", "YYYY",
// "0000" and the other placeholders a year field may hold.
bool IsKnownYear(std::string_view year);

// "n/N" for track n of a disc of N tracks, "n" when N is not known (0).
std::string Id3v2TrackNumber(int track, int trackCount);

// The genre names of the ID3v1 genre numbers, in number order: the editor's choices.
std::vector<std::string> Id3GenreNames();

// Reads the ID3v2 tag at the start of a file; empty when the file has none (or it holds
// none of the six texts), when its tag is damaged or of an unknown version, or when the
// file is not a regular file (never opened then: a FIFO or device cannot block the
// caller) or cannot be read.
std::optional<Id3v2Fields> ReadId3v2Tag(const std::string& path);

// The texts of a tag given as its bytes (header, body, footer); empty as above.
std::optional<Id3v2Fields> ParseId3v2Fields(std::span<const uint8_t> tag);

// The bytes of the tag that `update` makes of `oldTag` (header, body and footer of the
// file's tag; empty when it has none): an ID3v2.4 tag with UTF-8 texts, without extended
// header, unsynchronisation or footer, followed by padding. The frames of the old tag
// that TagLib reads are kept (frames of a compressed 2.2 tag cannot be read). Fails only
// when the result would be too large for a tag (an Unsupported error whose text says so).
Expected<std::vector<uint8_t>> RenderUpdatedId3v2Tag(std::span<const uint8_t> oldTag, const Id3v2Update& update);
