// The ID3 version 1 tag: a 128-byte record at the end of an MP3 file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// Reads the texts of a record: the first 29 bytes of title, artist and album and the 4 of
// the year, each ending at the first zero byte, without trailing spaces (a leading space
// stays, so an all-space field gives " "); a year that does not start with a nonzero
// number reads as "YYYY". False when the record does not start with "TAG".
bool DecodeId3v1Tag(const Id3v1Record& record, Id3v1Tag& tag);

// Result codes of the three file functions.
inline constexpr int kId3Ok = 0;
inline constexpr int kId3CannotOpen = 1;    // the file cannot be opened
inline constexpr int kId3NoTag = 2;         // read: no "TAG" at 128 bytes before the end
inline constexpr int kId3CannotReach = 2;   // write: the old tag cannot be reached
inline constexpr int kId3ShortWrite = 5;    // fewer than 128 bytes were written

// Maker: appends a new tag (texts cut to 29 characters, year to 4) to the end of an
// existing file, without looking for an old one. kId3Ok, kId3CannotOpen (also when the
// file does not exist), kId3CannotReach (its end cannot be reached: a pipe) or
// kId3ShortWrite (the file is then cut back to its old length).
int AppendId3v1Tag(const std::string& path, const std::string& title, const std::string& artist,
                   const std::string& album, const std::string& year);

// Player: reads the tag at the end of the file into the outputs that are given (not
// null); they are emptied first. kId3Ok, kId3CannotOpen or kId3NoTag (also for a file
// shorter than 128 bytes).
int ReadId3v1Tag(const std::string& path, std::string* album, std::string* artist,
                 std::string* title, std::string* year);

// Player: writes the tag, replacing an existing one in place or appending one (creating
// the file when it does not exist). A value that is null keeps the old field's bytes
// exactly as they were, and a replaced tag keeps its comment and genre bytes. Values are
// cut to their field widths (30, 30, 30, 4).
// kId3Ok, kId3CannotOpen, kId3CannotReach or kId3ShortWrite.
int WriteId3v1Tag(const std::string& path, const std::string* album, const std::string* artist,
                  const std::string* title, const std::string* year);
