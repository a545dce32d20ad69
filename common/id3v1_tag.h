// The ID3 version 1 tag: a 128-byte record at the end of an MP3 file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/error.h"

// The texts of a tag, UTF-8 inside the programs. On disk each field is ISO-8859-1,
// space-filled, without terminator; characters outside ISO-8859-1 are stored as '?'.
// Layout: "TAG", title (30 bytes at 3), artist (30 at 33), album (30 at 63), year (4 at
// 93), comment (30 spaces at 97), genre byte at 127: 255, "no genre" (a space would read
// as genre 32 in other players). Neither program sets or reads a genre number.
struct Id3v1Tag {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
};

inline constexpr size_t kId3v1TagBytes = 128;
using Id3v1Record = std::array<uint8_t, kId3v1TagBytes>;

// Builds the record. Each text is converted to ISO-8859-1 and cut to textLimit characters
// (the maker passes 29, the player's writer 30); the year to at most 4.
Id3v1Record EncodeId3v1Tag(const Id3v1Tag& tag, size_t textLimit);
// The maker's limit: one character short of the field, as the reader reads it back.
inline constexpr size_t kId3v1MakerTextLimit = 29;

// Reads the texts of a record: the first 29 bytes of title, artist and album and the 4 of
// the year, each ending at the first zero byte, without trailing spaces (a leading space
// stays, so an all-space field gives " "); a year that does not start with a nonzero
// number reads as "YYYY". False when the record does not start with "TAG".
bool DecodeId3v1Tag(const Id3v1Record& record, Id3v1Tag& tag);

// What an update of a record changes: an engaged text replaces its field (cut to the
// field's width: 30, 30, 30, 4), a disengaged one keeps the old field's bytes exactly.
struct Id3v1Update {
  std::optional<std::string> title{};
  std::optional<std::string> artist{};
  std::optional<std::string> album{};
  std::optional<std::string> year{};
};

// The player's record: the old record (when the file has one) with the given fields
// replaced, so that its comment and genre and every field not given stay as another
// program wrote them; without an old record a new one from the given fields (the others
// empty).
Id3v1Record UpdateId3v1Record(const Id3v1Record* old, const Id3v1Update& update);

// Why a tag could not be read.
enum class Id3v1ReadFault {
  CannotOpen,  // the file cannot be opened, or is not a regular file (OpenRegularFile's error)
  NoTag,       // no "TAG" at 128 bytes before the end, or a file shorter than 128 bytes (Format)
};

// Reads the tag at the end of the file. What is not a regular file (a FIFO, a device) is
// refused before it is opened, so that a list entry naming one cannot block the caller.
// Tags are written through WriteTagFile (common/tags/tag_file.h).
Expected<Id3v1Tag> ReadId3v1TagFile(const std::string& path);

// Result codes of the reader's call as the programs know it.
inline constexpr int kId3Ok = 0;
inline constexpr int kId3CannotOpen = 1;  // the file cannot be opened, or is not a regular file
inline constexpr int kId3NoTag = 2;       // no "TAG" at 128 bytes before the end

// The code of a read's outcome.
int Id3v1ReadCode(const Expected<Id3v1Tag>& read);

// ReadId3v1TagFile into the outputs that are given (not null); they are emptied first.
// kId3Ok, kId3CannotOpen or kId3NoTag (also for a file shorter than 128 bytes).
int ReadId3v1Tag(const std::string& path, std::string* album, std::string* artist,
                 std::string* title, std::string* year);
