// The ID3v1 record and the maker's and player's file functions for it.
#include "common/id3v1_tag.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/text_encoding.h"
#include "common/fd_io.h"
#include "common/unique_fd.h"

namespace {

constexpr size_t kTitleAt = 3, kArtistAt = 33, kAlbumAt = 63, kYearAt = 93;
constexpr size_t kTextField = 30, kYearField = 4;
constexpr size_t kReadText = 29;
constexpr size_t kGenreAt = 127;
// Genre number 255 means "no genre" to other players; a space (32) would label every tag
// with a real genre.
constexpr uint8_t kNoGenre = 0xFF;

// Sets a field of width bytes to the text cut to limit characters, space-filled.
void PutField(Id3v1Record& record, size_t at, size_t width, const std::string& utf8, size_t limit) {
  const std::string latin1 = Utf8ToLatin1(utf8);
  const size_t n = std::min({latin1.size(), limit, width});
  std::memset(record.data() + at, ' ', width);
  std::memcpy(record.data() + at, latin1.data(), n);
}

// A field's text: up to the first zero byte, without trailing spaces, but never losing
// the first byte (an all-space field reads as one space).
std::string GetField(const Id3v1Record& record, size_t at, size_t bytes) {
  const char* field = reinterpret_cast<const char*>(record.data() + at);
  size_t n = 0;
  while (n < bytes && field[n] != '\0') ++n;
  while (n > 1 && field[n - 1] == ' ') --n;
  return Latin1ToUtf8(std::string_view(field, n));
}

// Writes the record at offset; on a short write puts the file back as it was: cut back to
// oldSize when appending, the old bytes restored when overwriting.
int WriteRecordAt(int fd, off_t offset, off_t oldSize, const Id3v1Record& record, const Id3v1Record* old) {
  if (::lseek(fd, offset, SEEK_SET) != offset) return kId3CannotReach;
  if (WriteAll(fd, record.data(), record.size())) return kId3Ok;
  if (old != nullptr) {
    if (::lseek(fd, offset, SEEK_SET) == offset) (void)WriteAll(fd, old->data(), old->size());
  } else {
    (void)!::ftruncate(fd, oldSize);
  }
  return kId3ShortWrite;
}

}  // namespace

Id3v1Record EncodeId3v1Tag(const Id3v1Tag& tag, size_t textLimit) {
  Id3v1Record record;
  record.fill(' ');
  std::memcpy(record.data(), "TAG", 3);
  record[kGenreAt] = kNoGenre;
  PutField(record, kTitleAt, kTextField, tag.title, textLimit);
  PutField(record, kArtistAt, kTextField, tag.artist, textLimit);
  PutField(record, kAlbumAt, kTextField, tag.album, textLimit);
  PutField(record, kYearAt, kYearField, tag.year, kYearField);
  return record;
}

bool DecodeId3v1Tag(const Id3v1Record& record, Id3v1Tag& tag) {
  if (std::memcmp(record.data(), "TAG", 3) != 0) return false;
  tag.title = GetField(record, kTitleAt, kReadText);
  tag.artist = GetField(record, kArtistAt, kReadText);
  tag.album = GetField(record, kAlbumAt, kReadText);
  tag.year = GetField(record, kYearAt, kYearField);
  if (std::atoi(tag.year.c_str()) == 0) tag.year = "YYYY";
  return true;
}

int AppendId3v1Tag(const std::string& path, const std::string& title, const std::string& artist,
                   const std::string& album, const std::string& year) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd) return kId3CannotOpen;
  const off_t end = ::lseek(fd.Get(), 0, SEEK_END);
  if (end < 0) return kId3CannotReach;
  const Id3v1Record record = EncodeId3v1Tag({title, artist, album, year}, kReadText);
  const int result = WriteRecordAt(fd.Get(), end, end, record, nullptr);
  if (result != kId3Ok) return result;
  return fd.Close() ? kId3Ok : kId3ShortWrite;
}

int ReadId3v1Tag(const std::string& path, std::string* album, std::string* artist, std::string* title,
                 std::string* year) {
  for (std::string* out : {album, artist, title, year})
    if (out != nullptr) out->clear();
  // O_NONBLOCK: a named pipe given as a path must not hang the caller; files ignore it.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return kId3CannotOpen;
  const off_t size = ::lseek(fd.Get(), 0, SEEK_END);
  if (size < static_cast<off_t>(kId3v1TagBytes)) return kId3NoTag;
  Id3v1Record record;
  if (::lseek(fd.Get(), size - static_cast<off_t>(kId3v1TagBytes), SEEK_SET) < 0 ||
      !ReadAll(fd.Get(), record.data(), record.size()))
    return kId3NoTag;
  Id3v1Tag tag;
  if (!DecodeId3v1Tag(record, tag)) return kId3NoTag;
  if (album != nullptr) *album = tag.album;
  if (artist != nullptr) *artist = tag.artist;
  if (title != nullptr) *title = tag.title;
  if (year != nullptr) *year = tag.year;
  return kId3Ok;
}

int WriteId3v1Tag(const std::string& path, const std::string* album, const std::string* artist,
                  const std::string* title, const std::string* year) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!fd) return kId3CannotOpen;
  const off_t size = ::lseek(fd.Get(), 0, SEEK_END);
  if (size < 0) return kId3CannotReach;
  // The last 128 bytes are replaced when they hold a tag; a file without one (or too short
  // for one) gets a new tag appended.
  const off_t at = size - static_cast<off_t>(kId3v1TagBytes);
  Id3v1Record old;
  const bool hadTag = at >= 0 && ::lseek(fd.Get(), at, SEEK_SET) == at &&
                      ReadAll(fd.Get(), old.data(), old.size()) && std::memcmp(old.data(), "TAG", 3) == 0;
  int result;
  if (hadTag) {
    // The new record starts as the old one: a value not given keeps its bytes exactly (a
    // 30th character, an empty year), and the comment and genre that another program
    // wrote stay.
    Id3v1Record record = old;
    if (title != nullptr) PutField(record, kTitleAt, kTextField, *title, kTextField);
    if (artist != nullptr) PutField(record, kArtistAt, kTextField, *artist, kTextField);
    if (album != nullptr) PutField(record, kAlbumAt, kTextField, *album, kTextField);
    if (year != nullptr) PutField(record, kYearAt, kYearField, *year, kYearField);
    result = WriteRecordAt(fd.Get(), at, size, record, &old);
  } else {
    const auto given = [](const std::string* value) { return value != nullptr ? *value : std::string(); };
    const Id3v1Record record =
        EncodeId3v1Tag({given(title), given(artist), given(album), given(year)}, kTextField);
    result = WriteRecordAt(fd.Get(), size, size, record, nullptr);
  }
  if (result != kId3Ok) return result;
  return fd.Close() ? kId3Ok : kId3ShortWrite;
}
