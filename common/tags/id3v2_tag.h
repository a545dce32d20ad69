// The ID3 version 2.4 tag at the start of an MP3 file, its texts in UTF-8: what both
// programs write beside the ID3v1 record, so that names outside ISO-8859-1, the track
// number and the genre survive.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The texts of a tag, UTF-8. An empty text means the file has no such frame.
struct Id3v2Fields {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;         // "1999"; only a known year (IsKnownYear) is ever written
  std::string trackNumber;  // "3/12" (track n of N) or "3"
  std::string genre;
};

// What a write changes: an engaged value replaces its frame (an empty one removes it),
// a disengaged value keeps the frame the file has. Frames the tag holds beyond these six
// (pictures, comments, ...) are kept.
struct Id3v2Update {
  std::optional<std::string> title;
  std::optional<std::string> artist;
  std::optional<std::string> album;
  std::optional<std::string> year;  // an unknown year (IsKnownYear false) removes the frame
  std::optional<std::string> trackNumber;
  std::optional<std::string> genre;
};

// True when `year` starts with a nonzero number: "1999", "2003-05". False for "", "YYYY",
// "0000" and the other placeholders a year field may hold.
bool IsKnownYear(std::string_view year);

// "n/N" for track n of a disc of N tracks, "n" when N is not known (0).
std::string Id3v2TrackNumber(int track, int trackCount);

inline constexpr int kId3v2Ok = 0;
inline constexpr int kId3v2CannotOpen = 1;    // missing, unreadable or not an MPEG file
inline constexpr int kId3v2CannotWrite = 5;   // the file could not be rewritten

// Reads the ID3v2 tag of an MP3 file; empty when the file has none (or it holds none of
// the six texts) or cannot be read.
std::optional<Id3v2Fields> ReadId3v2Tag(const std::string& path);

// Writes an ID3v2.4 tag with UTF-8 texts (adding one when the file has none), changing
// only what `update` names. An ID3v1 record at the end of the file is left byte for byte
// as it is. kId3v2Ok, kId3v2CannotOpen or kId3v2CannotWrite.
int WriteId3v2Tag(const std::string& path, const Id3v2Update& update);
