// ID3v2 frames read and rendered through TagLib, from and to bytes this code has cut out of
// or will put into the file itself.
#include "common/tags/id3v2_tag.h"

#include <algorithm>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>

#include "common/tags/id3v2_header.h"
#include "common/tags/tag_file.h"

namespace {

TagLib::String FromUtf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

std::string ToUtf8(const TagLib::String& text) { return text.to8Bit(/*unicode=*/true); }

TagLib::ByteVector ToByteVector(std::span<const uint8_t> bytes) {
  return TagLib::ByteVector(reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(bytes.size()));
}

// The first text of the first frame `id`. Frames are taken by id rather than through the
// tag's property map, which also holds user text frames (TXXX) named like them: a TXXX
// frame "Title" would hide the title.
std::string FirstText(const TagLib::ID3v2::Tag& tag, const char* id) {
  const auto found = tag.frameListMap().find(id);
  if (found == tag.frameListMap().end() || found->second.isEmpty()) return {};
  const auto* frame = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(found->second.front());
  if (frame == nullptr || frame->fieldList().isEmpty()) return {};
  return ToUtf8(frame->fieldList().front());
}

// Replaces every frame `id` by one UTF-8 text frame holding `value` (none when it is
// empty). Frames are removed by id rather than through the property map: a frame TagLib
// cannot map (a text frame with an unknown encoding byte, say) would otherwise stay in
// front of the new one, and readers would show the old bytes.
void SetTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const std::optional<std::string>& value) {
  if (!value) return;
  tag.removeFrames(id);
  if (value->empty()) return;
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
  frame->setText(FromUtf8(*value));
  tag.addFrame(frame);
}

// The first comment frame without a description: the one a person wrote.
std::string PlainComment(const TagLib::ID3v2::Tag& tag) {
  for (const TagLib::ID3v2::Frame* frame : tag.frameList("COMM")) {
    const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
    if (comment != nullptr && comment->description().isEmpty()) return ToUtf8(comment->text());
  }
  return {};
}

// Replaces the comment frames without a description by one holding `value` (none when
// it is empty). Comments with a description belong to other programs and stay.
void SetPlainComment(TagLib::ID3v2::Tag& tag, const std::optional<std::string>& value) {
  if (!value) return;
  const TagLib::ID3v2::FrameList comments = tag.frameList("COMM");
  for (TagLib::ID3v2::Frame* frame : comments) {
    const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
    if (comment == nullptr || comment->description().isEmpty()) tag.removeFrame(frame);
  }
  if (value->empty()) return;
  auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
  frame->setLanguage("eng");
  frame->setText(FromUtf8(*value));
  tag.addFrame(frame);
}

// Replaces the user text frames of `description` by one holding `value` (none when it is
// empty). Descriptions are compared as written: readers match them exactly.
void SetUserText(TagLib::ID3v2::Tag& tag, const std::string& description, const std::string& value) {
  const TagLib::String wanted = FromUtf8(description);
  const TagLib::ID3v2::FrameList frames = tag.frameList("TXXX");
  for (TagLib::ID3v2::Frame* frame : frames) {
    const auto* user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
    if (user != nullptr && user->description() == wanted) tag.removeFrame(frame);
  }
  if (value.empty()) return;
  tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(wanted, TagLib::StringList(FromUtf8(value)),
                                                              TagLib::String::UTF8));
}

// Replaces the front covers by `picture` (none when it has no bytes).
void SetFrontCover(TagLib::ID3v2::Tag& tag, const std::optional<Id3v2Picture>& picture) {
  if (!picture) return;
  const TagLib::ID3v2::FrameList frames = tag.frameList("APIC");
  for (TagLib::ID3v2::Frame* frame : frames) {
    const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
    if (apic != nullptr && apic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) tag.removeFrame(frame);
  }
  if (picture->data.empty()) return;
  auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
  frame->setTextEncoding(TagLib::String::UTF8);
  frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
  frame->setMimeType(FromUtf8(picture->mimeType));
  frame->setPicture(ToByteVector(picture->data));
  tag.addFrame(frame);
}

// A header TagLib takes as is: version 2.4, no flags, `bodyBytes` of body.
TagLib::ByteVector PlainHeader(int version, uint8_t flags, uint32_t bodyBytes) {
  const auto bytes = RenderId3v2Header(Id3v2Header{version, 0, flags, bodyBytes});
  return TagLib::ByteVector(reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(bytes.size()));
}

// An ID3v2 tag whose frames TagLib reads from bytes rather than from a file. TagLib 1.13
// misreads what the header flags add to a tag: it takes the 0x10 bit for a footer in every
// version and then drops the last frame, loses all frames after a 2.3 extended header
// (whose size it reads as 2.4 defines it), and drops the tail of the frames after a 2.4
// one. So the body is handed over plain: unsynchronisation of a 2.2 or 2.3 tag undone,
// the extended header cut off, and a header without those flags.
class ParsedId3v2Tag : public TagLib::ID3v2::Tag {
 public:
  explicit ParsedId3v2Tag(std::span<const uint8_t> tag) {
    if (tag.size() < kId3v2HeaderBytes || !StartsWithId3v2Marker(tag)) return;
    const auto parsed = ParseId3v2Header(tag.first<kId3v2HeaderBytes>());
    if (!parsed) return;
    const Id3v2Header& old = parsed.Value();
    // A compressed 2.2 tag has no frames a reader can take apart.
    if (old.version == 2 && (old.flags & kId3v2Compression22) != 0) return;
    const size_t bodyBytes = std::min<size_t>(old.bodyBytes, tag.size() - kId3v2HeaderBytes);
    TagLib::ByteVector body = ToByteVector(tag.subspan(kId3v2HeaderBytes, bodyBytes));
    // Version 2.4 marks unsynchronisation on each frame, which TagLib undoes itself.
    uint8_t flags = old.version == 4 ? (old.flags & kId3v2Unsynchronisation) : 0;
    if (old.version <= 3 && (old.flags & kId3v2Unsynchronisation) != 0) body = TagLib::ID3v2::SynchData::decode(body);
    if (old.version >= 3 && (old.flags & kId3v2ExtendedHeader) != 0) {
      const size_t extended = ExtendedHeaderBytes(old.version, body);
      if (extended > body.size()) return;
      body = body.mid(static_cast<unsigned>(extended));
    }
    header()->setData(PlainHeader(old.version, flags, body.size()));
    parse(body);
  }

  // The header the tag is rendered with: version 2.4 and no flags, whatever it was read
  // with (TagLib would keep a footer bit it does not render).
  void ResetHeader() { header()->setData(PlainHeader(4, 0, 0)); }

 private:
  // The extended header's length: in 2.3 a 4-byte size that leaves itself out, in 2.4 a
  // synchsafe size that counts itself.
  static size_t ExtendedHeaderBytes(int version, const TagLib::ByteVector& body) {
    if (body.size() < 4) return SIZE_MAX;
    const auto* b = reinterpret_cast<const uint8_t*>(body.data());
    if (version == 3) return 4 + ((size_t{b[0]} << 24) | (size_t{b[1]} << 16) | (size_t{b[2]} << 8) | b[3]);
    return DecodeSynchsafe(std::span<const uint8_t, 4>(b, 4));
  }
};

std::optional<Id3v2Fields> FieldsOf(const TagLib::ID3v2::Tag& tag) {
  Id3v2Fields fields;
  fields.title = FirstText(tag, "TIT2");
  fields.artist = FirstText(tag, "TPE1");
  fields.album = FirstText(tag, "TALB");
  fields.year = FirstText(tag, "TDRC");
  fields.trackNumber = FirstText(tag, "TRCK");
  // A genre number ("17", "(17)") becomes its name.
  fields.genre = ToUtf8(tag.genre());
  fields.comment = PlainComment(tag);
  if (fields.title.empty() && fields.artist.empty() && fields.album.empty() && fields.year.empty() &&
      fields.trackNumber.empty() && fields.genre.empty() && fields.comment.empty())
    return std::nullopt;
  return fields;
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

std::vector<std::string> Id3GenreNames() {
  std::vector<std::string> names;
  for (const TagLib::String& name : TagLib::ID3v1::genreList()) names.push_back(ToUtf8(name));
  return names;
}

std::string Id3v2TrackNumber(int track, int trackCount) {
  if (trackCount <= 0) return std::to_string(track);
  return std::to_string(track) + "/" + std::to_string(trackCount);
}

std::optional<Id3v2Fields> ParseId3v2Fields(std::span<const uint8_t> tag) {
  const ParsedId3v2Tag parsed(tag);
  return FieldsOf(parsed);
}

std::optional<Id3v2Fields> ReadId3v2Tag(const std::string& path) {
  auto fd = OpenTagFile(path);
  if (!fd) return std::nullopt;
  const auto layout = ReadTagFileLayout(fd.Value().Get());
  if (!layout || layout.Value().id3v2Bytes == 0) return std::nullopt;
  const auto tag = ReadFileBytes(fd.Value().Get(), 0, layout.Value().id3v2Bytes);
  if (!tag) return std::nullopt;
  return ParseId3v2Fields(tag.Value());
}

Expected<std::vector<uint8_t>> RenderUpdatedId3v2Tag(std::span<const uint8_t> oldTag, const Id3v2Update& update) {
  ParsedId3v2Tag tag(oldTag);
  SetTextFrame(tag, "TIT2", update.title);
  SetTextFrame(tag, "TPE1", update.artist);
  SetTextFrame(tag, "TALB", update.album);
  if (update.year) SetTextFrame(tag, "TDRC", IsKnownYear(*update.year) ? *update.year : std::string());
  SetTextFrame(tag, "TRCK", update.trackNumber);
  SetTextFrame(tag, "TCON", update.genre);
  SetPlainComment(tag, update.comment);
  SetTextFrame(tag, "TPE2", update.albumArtist);
  SetTextFrame(tag, "TPOS", update.discNumber);
  for (const auto& [description, value] : update.userTexts) SetUserText(tag, description, value);
  SetFrontCover(tag, update.frontCover);
  tag.ResetHeader();
  const TagLib::ByteVector rendered = tag.render(TagLib::ID3v2::v4);
  std::vector<uint8_t> bytes(rendered.begin(), rendered.end());
  // The size field holds 28 bits; whatever TagLib made of an old tag near that limit must
  // still announce exactly its own length, or the audio would be cut where it says.
  if (bytes.size() < kId3v2HeaderBytes || bytes.size() - kId3v2HeaderBytes >= (uint64_t{1} << 28))
    return Fail(Error(ErrorCategory::Unsupported, {}, "the new ID3v2 tag is too large"));
  const auto header = ParseId3v2Header(std::span<const uint8_t, kId3v2HeaderBytes>(bytes.data(), kId3v2HeaderBytes));
  if (!header || header.Value().AnnouncesFooter() || header.Value().BytesWithoutFooter() != bytes.size())
    return Fail(Error(ErrorCategory::Unsupported, {}, "the new ID3v2 tag does not announce its own length"));
  return bytes;
}
