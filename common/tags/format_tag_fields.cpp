// The editable fields of Vorbis comments (FLAC, Ogg Vorbis, Opus) and MP4 atoms (M4A)
// through TagLib, changed one by one so that every other tag of a file stays.
#include "common/tags/format_tag_fields.h"

#include <charconv>

#include <taglib/audioproperties.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include "common/tags/id3v2_tag.h"
#include "common/tags/tag_file.h"

namespace {

TagLib::String FromUtf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }
std::string ToUtf8(const TagLib::String& text) { return text.to8Bit(/*unicode=*/true); }

Error FormatTagError(const std::string& path, const std::string& what) {
  return Error(ErrorCategory::Io, {}, what + ": " + path, what, path);
}

// "3" into 3, 0; "3/12" into 3, 12. False for anything else (an empty text included).
bool ParseTrackNumber(const std::string& text, int& track, int& total) {
  track = 0;
  total = 0;
  const char* end = text.data() + text.size();
  const auto first = std::from_chars(text.data(), end, track);
  if (first.ec != std::errc() || track < 0) return false;
  if (first.ptr == end) return true;
  if (*first.ptr != '/') return false;
  const auto second = std::from_chars(first.ptr + 1, end, total);
  return second.ec == std::errc() && second.ptr == end && total >= 0;
}

std::string TrackText(int track, int total) {
  if (track <= 0) return {};
  std::string text = std::to_string(track);
  if (total > 0) {
    text += '/';
    text += std::to_string(total);
  }
  return text;
}

// ---- Vorbis comments ----

std::string Field(const TagLib::Ogg::XiphComment& comment, const char* name) {
  const auto found = comment.fieldListMap().find(name);
  if (found == comment.fieldListMap().end() || found->second.isEmpty()) return {};
  return ToUtf8(found->second.front());
}
std::string FieldOr(const TagLib::Ogg::XiphComment& comment, const char* name, const char* otherName) {
  std::string text = Field(comment, name);
  return text.empty() ? Field(comment, otherName) : text;
}

FormatTagFields ReadXiphFields(const TagLib::Ogg::XiphComment& comment) {
  FormatTagFields fields;
  fields.title = Field(comment, "TITLE");
  fields.artist = Field(comment, "ARTIST");
  fields.album = Field(comment, "ALBUM");
  fields.year = FieldOr(comment, "DATE", "YEAR");
  fields.genre = Field(comment, "GENRE");
  fields.comment = FieldOr(comment, "COMMENT", "DESCRIPTION");
  // "3/12" as some taggers write it, else the number and the total apart.
  fields.trackNumber = Field(comment, "TRACKNUMBER");
  const std::string total = FieldOr(comment, "TRACKTOTAL", "TOTALTRACKS");
  if (!fields.trackNumber.empty() && fields.trackNumber.find('/') == std::string::npos && !total.empty()) {
    fields.trackNumber += '/';
    fields.trackNumber += total;
  }
  return fields;
}

void SetField(TagLib::Ogg::XiphComment& comment, const char* name, const std::optional<std::string>& value) {
  if (!value) return;
  comment.removeFields(name);
  if (!value->empty()) comment.addField(name, FromUtf8(*value));
}

void UpdateXiphFields(TagLib::Ogg::XiphComment& comment, const FormatTagUpdate& update) {
  SetField(comment, "TITLE", update.title);
  SetField(comment, "ARTIST", update.artist);
  SetField(comment, "ALBUM", update.album);
  if (update.year) comment.removeFields("YEAR");
  SetField(comment, "DATE", update.year);
  SetField(comment, "GENRE", update.genre);
  if (update.comment) comment.removeFields("DESCRIPTION");
  SetField(comment, "COMMENT", update.comment);
  if (update.trackNumber) {
    int track = 0;
    int total = 0;
    ParseTrackNumber(*update.trackNumber, track, total);
    comment.removeFields("TOTALTRACKS");
    SetField(comment, "TRACKNUMBER", track > 0 ? std::to_string(track) : std::string());
    SetField(comment, "TRACKTOTAL", total > 0 ? std::to_string(total) : std::string());
  }
}

// ---- MP4 atoms ----

std::string Mp4Text(const TagLib::MP4::Tag& tag, const char* key) {
  if (!tag.contains(key)) return {};
  const TagLib::StringList texts = tag.item(key).toStringList();
  return texts.isEmpty() ? std::string() : ToUtf8(texts.front());
}

FormatTagFields ReadMp4Fields(const TagLib::MP4::Tag& tag) {
  FormatTagFields fields;
  fields.title = Mp4Text(tag, "\251nam");
  fields.artist = Mp4Text(tag, "\251ART");
  fields.album = Mp4Text(tag, "\251alb");
  fields.year = Mp4Text(tag, "\251day");
  fields.comment = Mp4Text(tag, "\251cmt");
  fields.genre = Mp4Text(tag, "\251gen");
  if (fields.genre.empty() && tag.contains("gnre")) {
    // The older form: the ID3v1 genre number plus one.
    const int number = tag.item("gnre").toInt();
    const std::vector<std::string> names = Id3GenreNames();
    if (number >= 1 && static_cast<size_t>(number) <= names.size()) fields.genre = names[static_cast<size_t>(number - 1)];
  }
  if (tag.contains("trkn")) {
    const auto pair = tag.item("trkn").toIntPair();
    fields.trackNumber = TrackText(pair.first, pair.second);
  }
  return fields;
}

void SetMp4Text(TagLib::MP4::Tag& tag, const char* key, const std::optional<std::string>& value) {
  if (!value) return;
  tag.removeItem(key);
  if (!value->empty()) tag.setItem(key, TagLib::MP4::Item(TagLib::StringList(FromUtf8(*value))));
}

void UpdateMp4Fields(TagLib::MP4::Tag& tag, const FormatTagUpdate& update) {
  SetMp4Text(tag, "\251nam", update.title);
  SetMp4Text(tag, "\251ART", update.artist);
  SetMp4Text(tag, "\251alb", update.album);
  SetMp4Text(tag, "\251day", update.year);
  SetMp4Text(tag, "\251cmt", update.comment);
  if (update.genre) tag.removeItem("gnre");
  SetMp4Text(tag, "\251gen", update.genre);
  if (update.trackNumber) {
    int track = 0;
    int total = 0;
    ParseTrackNumber(*update.trackNumber, track, total);
    tag.removeItem("trkn");
    if (track > 0) tag.setItem("trkn", TagLib::MP4::Item(track, total));
  }
}

// ---- The formats ----

// The edit of the copy at `path`, in place.
Outcome UpdateInPlace(const std::string& path, AudioFileFormat format, const FormatTagUpdate& update) {
  switch (format) {
    case AudioFileFormat::Flac: {
      TagLib::FLAC::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid()) return Fail(FormatTagError(path, "Not a FLAC file"));
      UpdateXiphFields(*file.xiphComment(/*create=*/true), update);
      if (!file.save()) return Fail(FormatTagError(path, "Cannot write the tags"));
      return Done{};
    }
    case AudioFileFormat::OggVorbis: {
      TagLib::Ogg::Vorbis::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid() || file.tag() == nullptr) return Fail(FormatTagError(path, "Not an Ogg Vorbis file"));
      UpdateXiphFields(*file.tag(), update);
      if (!file.save()) return Fail(FormatTagError(path, "Cannot write the tags"));
      return Done{};
    }
    case AudioFileFormat::Opus: {
      TagLib::Ogg::Opus::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid() || file.tag() == nullptr) return Fail(FormatTagError(path, "Not an Ogg Opus file"));
      UpdateXiphFields(*file.tag(), update);
      if (!file.save()) return Fail(FormatTagError(path, "Cannot write the tags"));
      return Done{};
    }
    case AudioFileFormat::M4a: {
      TagLib::MP4::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid() || file.tag() == nullptr) return Fail(FormatTagError(path, "Not an MP4 file"));
      UpdateMp4Fields(*file.tag(), update);
      if (!file.save()) return Fail(FormatTagError(path, "Cannot write the tags"));
      return Done{};
    }
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Mp3:
    case AudioFileFormat::Aac: break;
  }
  return Fail(Error(ErrorCategory::Unsupported, {}, "These tags are not written into this format",
                    "These tags are not written into this format", path));
}

template <typename File>
std::optional<int64_t> LengthMs(const std::string& path) {
  File file(path.c_str(), /*readProperties=*/true, TagLib::AudioProperties::Average);
  if (!file.isValid() || file.audioProperties() == nullptr) return std::nullopt;
  return file.audioProperties()->lengthInMilliseconds();
}

}  // namespace

bool HasFormatTagFields(AudioFileFormat format) {
  return format == AudioFileFormat::Flac || format == AudioFileFormat::OggVorbis || format == AudioFileFormat::Opus ||
         format == AudioFileFormat::M4a;
}

std::optional<FormatTagFields> ReadFormatTagFields(const std::string& path, AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::Flac: {
      TagLib::FLAC::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid()) return std::nullopt;
      if (file.xiphComment() == nullptr) return FormatTagFields{};
      return ReadXiphFields(*file.xiphComment());
    }
    case AudioFileFormat::OggVorbis: {
      TagLib::Ogg::Vorbis::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid() || file.tag() == nullptr) return std::nullopt;
      return ReadXiphFields(*file.tag());
    }
    case AudioFileFormat::Opus: {
      TagLib::Ogg::Opus::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid() || file.tag() == nullptr) return std::nullopt;
      return ReadXiphFields(*file.tag());
    }
    case AudioFileFormat::M4a: {
      TagLib::MP4::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid() || file.tag() == nullptr) return std::nullopt;
      return ReadMp4Fields(*file.tag());
    }
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Mp3:
    case AudioFileFormat::Aac: break;
  }
  return std::nullopt;
}

Outcome WriteFormatTagFields(const std::string& path, AudioFileFormat format, const FormatTagUpdate& update) {
  if (!HasFormatTagFields(format))
    return Fail(Error(ErrorCategory::Unsupported, {}, "These tags are not written into this format",
                      "These tags are not written into this format", path));
  int track = 0;
  int total = 0;
  if (update.trackNumber && !update.trackNumber->empty() && !ParseTrackNumber(*update.trackNumber, track, total)) {
    std::string reason = "Not a track number: ";
    reason += *update.trackNumber;
    return Fail(Error(ErrorCategory::Format, {}, reason, reason, path));
  }
  return RewriteFileCopy(path, [&](int, const std::string& copyPath) { return UpdateInPlace(copyPath, format, update); });
}

std::optional<int64_t> FormatDurationMs(const std::string& path, AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::Flac: return LengthMs<TagLib::FLAC::File>(path);
    case AudioFileFormat::OggVorbis: return LengthMs<TagLib::Ogg::Vorbis::File>(path);
    case AudioFileFormat::Opus: return LengthMs<TagLib::Ogg::Opus::File>(path);
    case AudioFileFormat::M4a: return LengthMs<TagLib::MP4::File>(path);
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Mp3:
    case AudioFileFormat::Aac: break;
  }
  return std::nullopt;
}
