// Tags of the maker's output formats through TagLib: Vorbis comments (FLAC, Ogg Vorbis,
// Opus), MP4 atoms (M4A) and ID3v2.4 frames (MP3, through the project's own tag rewrite).
#include "common/tags/audio_file_tags.h"

#include <fcntl.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include "common/tags/id3v2_tag.h"
#include "common/tags/opus_head_gain.h"
#include "common/tags/tag_file.h"
#include "common/unique_fd.h"

namespace {

TagLib::String FromUtf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }
std::string ToUtf8(const TagLib::String& text) { return text.to8Bit(/*unicode=*/true); }

TagLib::ByteVector ToByteVector(const std::vector<uint8_t>& bytes) {
  return TagLib::ByteVector(reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(bytes.size()));
}
std::vector<uint8_t> FromByteVector(const TagLib::ByteVector& bytes) {
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

Error TagError(const std::string& path, const std::string& what) {
  return Error(ErrorCategory::Io, {}, what + ": " + path, what, path);
}

// The MusicBrainz ids under their names in each format: Vorbis comment, MP4 freeform atom
// and ID3v2 user text description.
struct IdName {
  std::string AudioTags::*field;
  const char* vorbis;
  const char* text;  // the MP4 freeform name and the TXXX description
};
constexpr IdName kIdNames[] = {
    {&AudioTags::musicBrainzAlbumId, "MUSICBRAINZ_ALBUMID", "MusicBrainz Album Id"},
    {&AudioTags::musicBrainzTrackId, "MUSICBRAINZ_TRACKID", "MusicBrainz Track Id"},
    {&AudioTags::musicBrainzReleaseTrackId, "MUSICBRAINZ_RELEASETRACKID", "MusicBrainz Release Track Id"},
    {&AudioTags::musicBrainzArtistId, "MUSICBRAINZ_ARTISTID", "MusicBrainz Artist Id"},
    {&AudioTags::musicBrainzAlbumArtistId, "MUSICBRAINZ_ALBUMARTISTID", "MusicBrainz Album Artist Id"},
    {&AudioTags::musicBrainzDiscId, "MUSICBRAINZ_DISCID", "MusicBrainz Disc Id"},
};

constexpr const char* kMp4Freeform = "----:com.apple.iTunes:";

// The ReplayGain texts: "-3.21 dB" (a plus sign before positive gains, as other taggers
// write them) and "0.912345", independent of the locale.
std::string GainText(double db) {
  char buffer[32];
  char* at = buffer;
  if (db >= 0) *at++ = '+';
  at = std::to_chars(at, buffer + sizeof buffer, db, std::chars_format::fixed, 2).ptr;
  return std::string(buffer, at) + " dB";
}
std::string PeakText(double peak) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, peak, std::chars_format::fixed, 6).ptr;
  return std::string(buffer, end);
}
// The number at the start of a ReplayGain text ("+1.50 dB", "-3.21 dB", "0.9"); 0 when
// there is none.
double ParseNumber(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  if (at < text.size() && text[at] == '+') ++at;
  double value = 0;
  std::from_chars(text.data() + at, text.data() + text.size(), value);
  return value;
}

struct GainName {
  double ReplayGainValues::*field;
  const char* name;
  bool gain;
};
constexpr GainName kGainNames[] = {
    {&ReplayGainValues::trackGain, "REPLAYGAIN_TRACK_GAIN", true},
    {&ReplayGainValues::trackPeak, "REPLAYGAIN_TRACK_PEAK", false},
    {&ReplayGainValues::albumGain, "REPLAYGAIN_ALBUM_GAIN", true},
    {&ReplayGainValues::albumPeak, "REPLAYGAIN_ALBUM_PEAK", false},
};
std::string GainValueText(const GainName& name, const ReplayGainValues& values) {
  return name.gain ? GainText(values.*name.field) : PeakText(values.*name.field);
}

// Opus carries the album gain as the header's output gain towards the -23 LUFS reference
// of EBU R128, which lies 5 dB below ReplayGain's -18 LUFS, and the track's gain relative
// to that as R128_TRACK_GAIN (RFC 7845, section 5.2.1).
constexpr double kR128BelowReplayGainDb = 5.0;
int16_t OpusOutputGain(const ReplayGainValues& values) { return GainQ78(values.albumGain - kR128BelowReplayGainDb); }
int16_t OpusTrackGain(const ReplayGainValues& values) { return GainQ78(values.trackGain - values.albumGain); }

// ---- Vorbis comments ----

std::string NumberText(int n) { return n > 0 ? std::to_string(n) : std::string(); }

void AddField(TagLib::Ogg::XiphComment& comment, const char* name, const std::string& value) {
  if (!value.empty()) comment.addField(name, FromUtf8(value), /*replace=*/true);
}

void SetReplayGainFields(TagLib::Ogg::XiphComment& comment, const ReplayGainValues& values, bool opus) {
  for (const GainName& name : kGainNames) comment.removeFields(name.name);
  comment.removeFields("R128_TRACK_GAIN");
  comment.removeFields("R128_ALBUM_GAIN");
  if (opus) {
    comment.addField("R128_TRACK_GAIN", TagLib::String::number(OpusTrackGain(values)));
    return;
  }
  for (const GainName& name : kGainNames) comment.addField(name.name, GainValueText(name, values));
}

TagLib::FLAC::Picture* MakeFlacPicture(const CoverImage& cover) {
  auto* picture = new TagLib::FLAC::Picture;
  picture->setType(TagLib::FLAC::Picture::FrontCover);
  picture->setMimeType(FromUtf8(cover.mimeType));
  picture->setData(ToByteVector(cover.data));
  return picture;
}

// Replaces every field of `comment` (the vendor stays) by those of `tags`.
void FillXiphComment(TagLib::Ogg::XiphComment& comment, const AudioTags& tags, bool opus) {
  comment.removeAllFields();
  comment.removeAllPictures();
  AddField(comment, "TITLE", tags.title);
  AddField(comment, "ARTIST", tags.artist);
  AddField(comment, "ALBUM", tags.album);
  AddField(comment, "ALBUMARTIST", tags.albumArtist);
  AddField(comment, "DATE", tags.year);
  AddField(comment, "GENRE", tags.genre);
  AddField(comment, "TRACKNUMBER", NumberText(tags.track));
  AddField(comment, "TRACKTOTAL", NumberText(tags.trackCount));
  AddField(comment, "DISCNUMBER", NumberText(tags.disc));
  AddField(comment, "DISCTOTAL", NumberText(tags.discCount));
  for (const IdName& id : kIdNames) AddField(comment, id.vorbis, tags.*id.field);
  if (tags.replayGain) SetReplayGainFields(comment, *tags.replayGain, opus);
}

std::string Field(const TagLib::Ogg::XiphComment& comment, const char* name) {
  const auto found = comment.fieldListMap().find(name);
  if (found == comment.fieldListMap().end() || found->second.isEmpty()) return {};
  return ToUtf8(found->second.front());
}

int FieldNumber(const TagLib::Ogg::XiphComment& comment, const char* name) {
  // "3" or "3/12": the number before a slash.
  const std::string text = Field(comment, name);
  int n = 0;
  std::from_chars(text.data(), text.data() + text.size(), n);
  return n;
}

void ReadXiphComment(const TagLib::Ogg::XiphComment& comment, AudioTags& tags) {
  tags.title = Field(comment, "TITLE");
  tags.artist = Field(comment, "ARTIST");
  tags.album = Field(comment, "ALBUM");
  tags.albumArtist = Field(comment, "ALBUMARTIST");
  tags.year = Field(comment, "DATE");
  tags.genre = Field(comment, "GENRE");
  tags.track = FieldNumber(comment, "TRACKNUMBER");
  tags.trackCount = FieldNumber(comment, "TRACKTOTAL");
  tags.disc = FieldNumber(comment, "DISCNUMBER");
  tags.discCount = FieldNumber(comment, "DISCTOTAL");
  for (const IdName& id : kIdNames) tags.*id.field = Field(comment, id.vorbis);
  // TagLib keeps the field names in capitals, whatever case the file has.
  tags.replayGain = ReplayGainOfTexts([&](const char* name) { return Field(comment, name); });
}

std::optional<CoverImage> FrontCoverOf(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
  for (const TagLib::FLAC::Picture* picture : pictures) {
    if (picture->type() != TagLib::FLAC::Picture::FrontCover) continue;
    return CoverImage{ToUtf8(picture->mimeType()), FromByteVector(picture->data())};
  }
  return std::nullopt;
}

// ---- The formats ----

Outcome WriteFlac(const std::string& path, const AudioTags& tags) {
  TagLib::FLAC::File file(path.c_str(), /*readProperties=*/false);
  if (!file.isValid()) return Fail(TagError(path, "Not a FLAC file"));
  // A FLAC file holds Vorbis comments only; ID3 tags some tools put around it go.
  file.strip(TagLib::FLAC::File::ID3v1 | TagLib::FLAC::File::ID3v2);
  FillXiphComment(*file.xiphComment(/*create=*/true), tags, /*opus=*/false);
  file.removePictures();
  if (tags.cover && !tags.cover->data.empty()) file.addPicture(MakeFlacPicture(*tags.cover));
  if (!file.save()) return Fail(TagError(path, "Cannot write the tags"));
  return Done{};
}

template <typename OggFile>
Outcome WriteOgg(const std::string& path, const AudioTags& tags, bool opus) {
  OggFile file(path.c_str(), /*readProperties=*/false);
  if (!file.isValid()) return Fail(TagError(path, opus ? "Not an Ogg Opus file" : "Not an Ogg Vorbis file"));
  TagLib::Ogg::XiphComment& comment = *file.tag();
  FillXiphComment(comment, tags, opus);
  // In Ogg the picture is a METADATA_BLOCK_PICTURE comment; FLAC has a block of its own.
  if (tags.cover && !tags.cover->data.empty()) comment.addPicture(MakeFlacPicture(*tags.cover));
  if (!file.save()) return Fail(TagError(path, "Cannot write the tags"));
  return Done{};
}

template <typename OggFile>
std::optional<AudioTags> ReadOgg(const std::string& path) {
  OggFile file(path.c_str(), /*readProperties=*/false);
  if (!file.isValid() || file.tag() == nullptr) return std::nullopt;
  AudioTags tags;
  ReadXiphComment(*file.tag(), tags);
  tags.cover = FrontCoverOf(file.tag()->pictureList());
  return tags;
}

void SetMp4Text(TagLib::MP4::Tag& tag, const char* key, const std::string& value) {
  if (!value.empty()) tag.setItem(key, TagLib::MP4::Item(TagLib::StringList(FromUtf8(value))));
}

void SetMp4ReplayGain(TagLib::MP4::Tag& tag, const ReplayGainValues& values) {
  for (const GainName& name : kGainNames)
    tag.setItem(std::string(kMp4Freeform) + name.name,
                TagLib::MP4::Item(TagLib::StringList(FromUtf8(GainValueText(name, values)))));
}

Outcome WriteM4a(const std::string& path, const AudioTags& tags) {
  TagLib::MP4::File file(path.c_str(), /*readProperties=*/false);
  if (!file.isValid()) return Fail(TagError(path, "Not an MP4 file"));
  TagLib::MP4::Tag& tag = *file.tag();
  std::vector<TagLib::String> keys;
  for (const auto& item : tag.itemMap()) keys.push_back(item.first);
  for (const TagLib::String& key : keys) tag.removeItem(key);
  SetMp4Text(tag, "\251nam", tags.title);
  SetMp4Text(tag, "\251ART", tags.artist);
  SetMp4Text(tag, "aART", tags.albumArtist);
  SetMp4Text(tag, "\251alb", tags.album);
  SetMp4Text(tag, "\251day", tags.year);
  SetMp4Text(tag, "\251gen", tags.genre);
  if (tags.track > 0) tag.setItem("trkn", TagLib::MP4::Item(tags.track, tags.trackCount));
  if (tags.disc > 0) tag.setItem("disk", TagLib::MP4::Item(tags.disc, tags.discCount));
  for (const IdName& id : kIdNames) SetMp4Text(tag, (std::string(kMp4Freeform) + id.text).c_str(), tags.*id.field);
  if (tags.replayGain) SetMp4ReplayGain(tag, *tags.replayGain);
  if (tags.cover && !tags.cover->data.empty()) {
    const auto format = tags.cover->mimeType == "image/png" ? TagLib::MP4::CoverArt::PNG : TagLib::MP4::CoverArt::JPEG;
    TagLib::MP4::CoverArtList covers;
    covers.append(TagLib::MP4::CoverArt(format, ToByteVector(tags.cover->data)));
    tag.setItem("covr", TagLib::MP4::Item(covers));
  }
  if (!file.save()) return Fail(TagError(path, "Cannot write the tags"));
  return Done{};
}

std::string Mp4Text(const TagLib::MP4::Tag& tag, const std::string& key) {
  if (!tag.contains(key)) return {};
  const TagLib::StringList texts = tag.item(key).toStringList();
  return texts.isEmpty() ? std::string() : ToUtf8(texts.front());
}

// A freeform atom's text; taggers differ in the case of the name ("replaygain_track_gain").
std::string Mp4FreeformText(const TagLib::MP4::Tag& tag, const std::string& name) {
  const std::string key = std::string(kMp4Freeform) + name;
  if (tag.contains(key)) return Mp4Text(tag, key);
  const TagLib::String upperKey = FromUtf8(key).upper();
  for (const auto& item : tag.itemMap()) {
    if (item.first.upper() == upperKey) return Mp4Text(tag, ToUtf8(item.first));
  }
  return {};
}

std::optional<AudioTags> ReadM4a(const std::string& path) {
  TagLib::MP4::File file(path.c_str(), /*readProperties=*/false);
  if (!file.isValid() || file.tag() == nullptr) return std::nullopt;
  const TagLib::MP4::Tag& tag = *file.tag();
  AudioTags tags;
  tags.title = Mp4Text(tag, "\251nam");
  tags.artist = Mp4Text(tag, "\251ART");
  tags.albumArtist = Mp4Text(tag, "aART");
  tags.album = Mp4Text(tag, "\251alb");
  tags.year = Mp4Text(tag, "\251day");
  tags.genre = Mp4Text(tag, "\251gen");
  if (tag.contains("trkn")) {
    const auto pair = tag.item("trkn").toIntPair();
    tags.track = pair.first;
    tags.trackCount = pair.second;
  }
  if (tag.contains("disk")) {
    const auto pair = tag.item("disk").toIntPair();
    tags.disc = pair.first;
    tags.discCount = pair.second;
  }
  for (const IdName& id : kIdNames) tags.*id.field = Mp4Text(tag, std::string(kMp4Freeform) + id.text);
  tags.replayGain = ReplayGainOfTexts([&](const char* name) { return Mp4FreeformText(tag, name); });
  if (tag.contains("covr")) {
    const TagLib::MP4::CoverArtList covers = tag.item("covr").toCoverArtList();
    if (!covers.isEmpty()) {
      const TagLib::MP4::CoverArt& cover = covers.front();
      tags.cover = CoverImage{cover.format() == TagLib::MP4::CoverArt::PNG ? "image/png" : "image/jpeg",
                              FromByteVector(cover.data())};
    }
  }
  return tags;
}

// The ReplayGain values as ID3v2 user texts (an empty text removes its frame).
void AddReplayGainTexts(Id3v2Update& update, const std::optional<ReplayGainValues>& values) {
  for (const GainName& name : kGainNames)
    update.userTexts.emplace_back(name.name, values ? GainValueText(name, *values) : std::string());
}

std::string NumberPair(int n, int count) { return n > 0 ? Id3v2TrackNumber(n, count) : std::string(); }

Outcome WriteMp3(const std::string& path, const AudioTags& tags) {
  TagFileUpdate change;
  change.id3v2 = Id3v2UpdateOf(tags);
  return WriteTagFile(path, change);
}

std::string Id3Text(TagLib::ID3v2::Tag& tag, const char* id) {
  const TagLib::ID3v2::FrameList frames = tag.frameList(id);
  return frames.isEmpty() ? std::string() : ToUtf8(frames.front()->toString());
}
std::string Id3UserText(TagLib::ID3v2::Tag& tag, const char* description) {
  const auto* frame = TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, description);
  if (frame == nullptr || frame->fieldList().size() < 2) return {};
  return ToUtf8(frame->fieldList()[1]);
}
// "3/12" into 3 and 12.
void ParsePair(const std::string& text, int& n, int& count) {
  const char* end = text.data() + text.size();
  const auto first = std::from_chars(text.data(), end, n);
  if (first.ptr < end && *first.ptr == '/') std::from_chars(first.ptr + 1, end, count);
}

std::optional<AudioTags> ReadMp3(const std::string& path) {
  TagLib::MPEG::File file(path.c_str(), /*readProperties=*/false);
  if (!file.isValid()) return std::nullopt;
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
  if (tag == nullptr) return std::nullopt;
  AudioTags tags;
  tags.title = Id3Text(*tag, "TIT2");
  tags.artist = Id3Text(*tag, "TPE1");
  tags.albumArtist = Id3Text(*tag, "TPE2");
  tags.album = Id3Text(*tag, "TALB");
  tags.year = Id3Text(*tag, "TDRC");
  tags.genre = Id3Text(*tag, "TCON");
  ParsePair(Id3Text(*tag, "TRCK"), tags.track, tags.trackCount);
  ParsePair(Id3Text(*tag, "TPOS"), tags.disc, tags.discCount);
  for (const IdName& id : kIdNames) tags.*id.field = Id3UserText(*tag, id.text);
  tags.replayGain = ReplayGainOfTexts([&](const char* name) {
    // Descriptions are matched as written; some taggers write them in small letters.
    std::string text = Id3UserText(*tag, name);
    if (!text.empty()) return text;
    std::string lower = name;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return Id3UserText(*tag, lower.c_str());
  });
  for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
    const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
    if (apic == nullptr || apic->type() != TagLib::ID3v2::AttachedPictureFrame::FrontCover) continue;
    tags.cover = CoverImage{ToUtf8(apic->mimeType()), FromByteVector(apic->picture())};
    break;
  }
  return tags;
}

// The Opus header's output gain of the file at `path`.
Outcome SetOpusOutputGain(const std::string& path, int16_t gainQ78) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd) return Fail(IoError(errno, path, "Cannot open " + path));
  return WriteOpusOutputGain(fd.Get(), gainQ78);
}

// The output gain of the Opus file at `path` in Q7.8 dB; 0 (no gain) when it cannot be read.
int OpusOutputGainOf(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return 0;
  const std::optional<int16_t> gain = ReadOpusOutputGain(fd.Get());
  return gain.value_or(0);
}

// Only ReplayGain changes: the other tags stay as they are.
Outcome WriteReplayGainInPlace(const std::string& path, AudioFileFormat format, const ReplayGainValues& values,
                               int fd) {
  switch (format) {
    case AudioFileFormat::Flac: {
      TagLib::FLAC::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid()) return Fail(TagError(path, "Not a FLAC file"));
      SetReplayGainFields(*file.xiphComment(/*create=*/true), values, /*opus=*/false);
      if (!file.save()) return Fail(TagError(path, "Cannot write the tags"));
      return Done{};
    }
    case AudioFileFormat::OggVorbis: {
      TagLib::Ogg::Vorbis::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid()) return Fail(TagError(path, "Not an Ogg Vorbis file"));
      SetReplayGainFields(*file.tag(), values, /*opus=*/false);
      if (!file.save()) return Fail(TagError(path, "Cannot write the tags"));
      return Done{};
    }
    case AudioFileFormat::Opus: {
      {
        TagLib::Ogg::Opus::File file(path.c_str(), /*readProperties=*/false);
        if (!file.isValid()) return Fail(TagError(path, "Not an Ogg Opus file"));
        SetReplayGainFields(*file.tag(), values, /*opus=*/true);
        if (!file.save()) return Fail(TagError(path, "Cannot write the tags"));
      }
      return WriteOpusOutputGain(fd, OpusOutputGain(values));
    }
    case AudioFileFormat::M4a: {
      TagLib::MP4::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid()) return Fail(TagError(path, "Not an MP4 file"));
      SetMp4ReplayGain(*file.tag(), values);
      if (!file.save()) return Fail(TagError(path, "Cannot write the tags"));
      return Done{};
    }
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Mp3:
    case AudioFileFormat::Aac: break;
  }
  return Fail(Error(ErrorCategory::Unsupported, {}, "ReplayGain tags are not written into this format"));
}

}  // namespace

std::optional<ReplayGainValues> ReplayGainOfTexts(const std::function<std::string(const char* name)>& textOf) {
  std::string texts[std::size(kGainNames)];
  for (size_t i = 0; i < std::size(kGainNames); ++i) texts[i] = textOf(kGainNames[i].name);
  const bool track = !texts[0].empty(), album = !texts[2].empty();
  if (!track && !album) return std::nullopt;
  ReplayGainValues values;
  for (size_t i = 0; i < std::size(kGainNames); ++i) values.*kGainNames[i].field = ParseNumber(texts[i]);
  if (!album) {
    values.albumGain = values.trackGain;
    values.albumPeak = values.trackPeak;
  } else if (!track) {
    values.trackGain = values.albumGain;
    values.trackPeak = values.albumPeak;
  }
  return values;
}

Id3v2Update Id3v2UpdateOf(const AudioTags& tags) {
  Id3v2Update update;
  update.title = tags.title;
  update.artist = tags.artist;
  update.album = tags.album;
  update.albumArtist = tags.albumArtist;
  update.year = tags.year;
  update.genre = tags.genre;
  update.trackNumber = NumberPair(tags.track, tags.trackCount);
  update.discNumber = NumberPair(tags.disc, tags.discCount);
  for (const IdName& id : kIdNames) update.userTexts.emplace_back(id.text, tags.*id.field);
  AddReplayGainTexts(update, tags.replayGain);
  update.frontCover = tags.cover ? Id3v2Picture{tags.cover->mimeType, tags.cover->data} : Id3v2Picture{};
  return update;
}

Outcome WriteAudioFileTags(const std::string& path, AudioFileFormat format, const AudioTags& tags) {
  switch (format) {
    case AudioFileFormat::Flac: return WriteFlac(path, tags);
    case AudioFileFormat::OggVorbis: return WriteOgg<TagLib::Ogg::Vorbis::File>(path, tags, /*opus=*/false);
    case AudioFileFormat::Opus: {
      auto written = WriteOgg<TagLib::Ogg::Opus::File>(path, tags, /*opus=*/true);
      if (!written || !tags.replayGain) return written;
      return SetOpusOutputGain(path, OpusOutputGain(*tags.replayGain));
    }
    case AudioFileFormat::M4a: return WriteM4a(path, tags);
    case AudioFileFormat::Mp3: return WriteMp3(path, tags);
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Aac: break;
  }
  return Fail(Error(ErrorCategory::Unsupported, {}, "Tags are not written into this format"));
}

Outcome WriteReplayGainTags(const std::string& path, AudioFileFormat format, const ReplayGainValues& values) {
  if (format == AudioFileFormat::Mp3) {
    Id3v2Update update;
    AddReplayGainTexts(update, values);
    TagFileUpdate change;
    change.id3v2 = std::move(update);
    return WriteTagFile(path, change);
  }
  return RewriteFileCopy(path, [&](int fd, const std::string& copyPath) {
    return WriteReplayGainInPlace(copyPath, format, values, fd);
  });
}

std::optional<AudioTags> ReadAudioFileTags(const std::string& path, AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::Flac: {
      TagLib::FLAC::File file(path.c_str(), /*readProperties=*/false);
      if (!file.isValid()) return std::nullopt;
      AudioTags tags;
      if (file.xiphComment() != nullptr) ReadXiphComment(*file.xiphComment(), tags);
      tags.cover = FrontCoverOf(file.pictureList());
      return tags;
    }
    case AudioFileFormat::OggVorbis: return ReadOgg<TagLib::Ogg::Vorbis::File>(path);
    case AudioFileFormat::Opus: {
      auto tags = ReadOgg<TagLib::Ogg::Opus::File>(path);
      if (!tags) return tags;
      // The album gain is the header's output gain, R128_ALBUM_GAIN on top of it where a
      // tagger left the header alone; the track gain R128_TRACK_GAIN on top of the header's.
      // Opus keeps no peaks.
      const int outputGainQ78 = OpusOutputGainOf(path);
      TagLib::Ogg::Opus::File file(path.c_str(), /*readProperties=*/false);
      const std::string trackText = Field(*file.tag(), "R128_TRACK_GAIN");
      const std::string albumText = Field(*file.tag(), "R128_ALBUM_GAIN");
      if (outputGainQ78 != 0 || !trackText.empty() || !albumText.empty()) {
        int trackQ78 = 0, albumQ78 = 0;
        std::from_chars(trackText.data(), trackText.data() + trackText.size(), trackQ78);
        std::from_chars(albumText.data(), albumText.data() + albumText.size(), albumQ78);
        const double headerDb = outputGainQ78 / 256.0 + kR128BelowReplayGainDb;
        ReplayGainValues values;
        values.albumGain = headerDb + albumQ78 / 256.0;
        values.trackGain = trackText.empty() ? values.albumGain : headerDb + trackQ78 / 256.0;
        tags->replayGain = values;
      }
      return tags;
    }
    case AudioFileFormat::M4a: return ReadM4a(path);
    case AudioFileFormat::Mp3: return ReadMp3(path);
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Aac: break;
  }
  return std::nullopt;
}
