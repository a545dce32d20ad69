// ID3v2.4 tags written and read through TagLib.
#include "common/tags/id3v2_tag.h"

#include <sys/stat.h>

#include <mutex>

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

namespace {

TagLib::String FromUtf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

std::string ToUtf8(const TagLib::String& text) { return text.to8Bit(/*unicode=*/true); }

// TagLib writes Latin-1 frames unless told otherwise; version 2.4 allows UTF-8, which
// every current reader understands and which keeps the bytes of the names as they are.
void UseUtf8Frames() {
  static std::once_flag once;
  std::call_once(once, [] { TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF8); });
}

// The property names TagLib maps onto the frames TIT2, TPE1, TALB, TDRC, TRCK and TCON.
constexpr const char* kTitle = "TITLE";
constexpr const char* kArtist = "ARTIST";
constexpr const char* kAlbum = "ALBUM";
constexpr const char* kDate = "DATE";
constexpr const char* kTrack = "TRACKNUMBER";
constexpr const char* kGenre = "GENRE";

std::string FirstValue(const TagLib::PropertyMap& map, const char* key) {
  const auto found = map.find(key);
  if (found == map.end() || found->second.isEmpty()) return {};
  return ToUtf8(found->second.front());
}

void Apply(TagLib::PropertyMap& map, const char* key, const std::optional<std::string>& value) {
  if (!value) return;
  if (value->empty()) {
    map.erase(key);
  } else {
    map.replace(key, TagLib::StringList(FromUtf8(*value)));
  }
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool IsKnownYear(std::string_view year) {
  std::size_t i = 0;
  while (i < year.size() && year[i] == ' ') ++i;
  bool nonzero = false;
  bool digits = false;
  for (; i < year.size() && year[i] >= '0' && year[i] <= '9'; ++i) {
    digits = true;
    if (year[i] != '0') nonzero = true;
  }
  return digits && nonzero;
}

std::string Id3v2TrackNumber(int track, int trackCount) {
  if (trackCount <= 0) return std::to_string(track);
  return std::to_string(track) + "/" + std::to_string(trackCount);
}

std::optional<Id3v2Fields> ReadId3v2Tag(const std::string& path) {
  if (!IsRegularFile(path)) return std::nullopt;
  TagLib::MPEG::File file(path.c_str(), /*readProperties=*/false);
  if (!file.isValid() || !file.hasID3v2Tag()) return std::nullopt;
  const TagLib::PropertyMap map = file.ID3v2Tag()->properties();
  Id3v2Fields fields;
  fields.title = FirstValue(map, kTitle);
  fields.artist = FirstValue(map, kArtist);
  fields.album = FirstValue(map, kAlbum);
  fields.year = FirstValue(map, kDate);
  fields.trackNumber = FirstValue(map, kTrack);
  fields.genre = FirstValue(map, kGenre);
  if (fields.title.empty() && fields.artist.empty() && fields.album.empty() && fields.year.empty() &&
      fields.trackNumber.empty() && fields.genre.empty())
    return std::nullopt;
  return fields;
}

int WriteId3v2Tag(const std::string& path, const Id3v2Update& update) {
  // TagLib would report a directory or a device as an invalid file only after opening it.
  if (!IsRegularFile(path)) return kId3v2CannotOpen;
  UseUtf8Frames();
  TagLib::MPEG::File file(path.c_str(), /*readProperties=*/false);
  if (!file.isValid() || file.readOnly()) return kId3v2CannotOpen;
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(/*create=*/true);
  TagLib::PropertyMap map = tag->properties();
  Apply(map, kTitle, update.title);
  Apply(map, kArtist, update.artist);
  Apply(map, kAlbum, update.album);
  if (update.year) Apply(map, kDate, IsKnownYear(*update.year) ? update.year : std::optional<std::string>(""));
  Apply(map, kTrack, update.trackNumber);
  Apply(map, kGenre, update.genre);
  tag->setProperties(map);
  // Only the ID3v2 tag is written: an ID3v1 record or an APE tag stays as the file has it.
  const bool saved = file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                               TagLib::File::DoNotDuplicate);
  return saved ? kId3v2Ok : kId3v2CannotWrite;
}
