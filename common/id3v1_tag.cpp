// The ID3v1 record, the player's update of it, and its reader.
#include "common/id3v1_tag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/text_encoding.h"
#include "common/fd_io.h"
#include "common/regular_file.h"
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

Id3v1Record UpdateId3v1Record(const Id3v1Record* old, const Id3v1Update& update) {
  if (old == nullptr || std::memcmp(old->data(), "TAG", 3) != 0)
    return EncodeId3v1Tag({update.title.value_or(""), update.artist.value_or(""), update.album.value_or(""),
                           update.year.value_or("")},
                          kTextField);
  // The new record starts as the old one: a value not given keeps its bytes exactly (a
  // 30th character, an empty year), and the comment and genre that another program wrote
  // stay.
  Id3v1Record record = *old;
  if (update.title) PutField(record, kTitleAt, kTextField, *update.title, kTextField);
  if (update.artist) PutField(record, kArtistAt, kTextField, *update.artist, kTextField);
  if (update.album) PutField(record, kAlbumAt, kTextField, *update.album, kTextField);
  if (update.year) PutField(record, kYearAt, kYearField, *update.year, kYearField);
  return record;
}

Expected<Id3v1Tag> ReadId3v1TagFile(const std::string& path) {
  // A FIFO or a device is refused before it is opened: opening or reading it could block
  // the caller or take bytes meant for another reader.
  auto opened = OpenRegularFile(path);
  if (!opened) {
    Error error = opened.Error();
    return Fail(std::move(error.WithCase(Id3v1ReadFault::CannotOpen)));
  }
  const UniqueFd fd = std::move(opened).Value();
  const off_t size = ::lseek(fd.Get(), 0, SEEK_END);
  const auto noTag = [&] {
    const uint64_t at = size > static_cast<off_t>(kId3v1TagBytes) ? static_cast<uint64_t>(size) - kId3v1TagBytes : 0;
    Error error(ErrorCategory::Format, ErrorPosition::Byte(at), path + " has no ID3v1 tag", "no ID3v1 tag", path);
    return Fail(std::move(error.WithCase(Id3v1ReadFault::NoTag)));
  };
  if (size < static_cast<off_t>(kId3v1TagBytes)) return noTag();
  Id3v1Record record;
  if (::lseek(fd.Get(), size - static_cast<off_t>(kId3v1TagBytes), SEEK_SET) < 0 ||
      !ReadAll(fd.Get(), record.data(), record.size()))
    return noTag();
  Id3v1Tag tag;
  if (!DecodeId3v1Tag(record, tag)) return noTag();
  return tag;
}

int Id3v1ReadCode(const Expected<Id3v1Tag>& read) {
  if (read) return kId3Ok;
  return read.Error().Is(Id3v1ReadFault::NoTag) ? kId3NoTag : kId3CannotOpen;
}

int ReadId3v1Tag(const std::string& path, std::string* album, std::string* artist, std::string* title,
                 std::string* year) {
  for (std::string* out : {album, artist, title, year})
    if (out != nullptr) out->clear();
  const auto read = ReadId3v1TagFile(path);
  if (!read) return Id3v1ReadCode(read);
  const Id3v1Tag& tag = read.Value();
  if (album != nullptr) *album = tag.album;
  if (artist != nullptr) *artist = tag.artist;
  if (title != nullptr) *title = tag.title;
  if (year != nullptr) *year = tag.year;
  return kId3Ok;
}
