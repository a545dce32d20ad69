// Tagged files built byte by byte for the tests: ID3v2 tags of every version and layout a
// file may carry (2.2, 2.3, 2.4, footer, unsynchronisation, extended header, padding, the
// 0x10 flag where it means nothing), APE tags and ID3v1 records around given audio bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct TagVariant {
  const char* name = "";
  int version = 4;            // 2, 3 or 4; 0: no ID3v2 tag
  uint8_t extraFlags = 0;     // header flags beyond those below (0x10 on a 2.3 tag)
  bool footer = false;        // 2.4: flag 0x10 and the "3DI" footer after the body
  bool footerFlagOnly = false;  // 2.4: flag 0x10 without a footer (the bytes there are audio)
  bool unsynchronised = false;
  bool extendedHeader = false;
  size_t paddingBytes = 0;
  bool id3v1 = false;         // an ID3v1 record ends the file
  bool ape = false;           // an APE tag (header and footer) before the record
};

inline std::string PrintVariant(const testing::TestParamInfo<TagVariant>& info) { return info.param.name; }
inline void PrintTo(const TagVariant& variant, std::ostream* os) { *os << variant.name; }

namespace tagged_file_builder {

inline void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }
inline void Append(Bytes& to, const std::string& text) { to.insert(to.end(), text.begin(), text.end()); }

inline Bytes BigEndian32(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
inline Bytes Synchsafe32(uint32_t v) {
  return {static_cast<uint8_t>((v >> 21) & 0x7F), static_cast<uint8_t>((v >> 14) & 0x7F),
          static_cast<uint8_t>((v >> 7) & 0x7F), static_cast<uint8_t>(v & 0x7F)};
}
inline Bytes LittleEndian32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
}

// Inserts a zero after every 0xFF that is followed by 0xE0 or more or by zero, and after a
// final 0xFF: the unsynchronisation scheme.
inline Bytes Unsynchronise(const Bytes& in) {
  Bytes out;
  for (size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] >= 0xE0 || in[i + 1] == 0)) out.push_back(0);
  }
  return out;
}

// One frame of the version: its id (3 letters in 2.2), size and, from 2.3 on, two flag
// bytes; 2.4 sizes are synchsafe. frameFlags2 is the second flag byte (2.4: 0x02 marks an
// unsynchronised frame).
inline Bytes Frame(int version, const std::string& id, const Bytes& data, uint8_t frameFlags2 = 0) {
  Bytes frame;
  Append(frame, id);
  const auto size = static_cast<uint32_t>(data.size());
  if (version == 2) {
    Append(frame, Bytes{static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)});
  } else {
    Append(frame, version == 4 ? Synchsafe32(size) : BigEndian32(size));
    Append(frame, Bytes{0, frameFlags2});
  }
  Append(frame, data);
  return frame;
}

// A Latin-1 text frame's data.
inline Bytes Text(const std::string& text) {
  Bytes data{0};
  Append(data, text);
  return data;
}

// The frames every built tag holds: title, artist, and a private frame of bytes that
// unsynchronisation changes (0xFF before 0xE0 and before 0x00, and a final 0xFF), last
// and small, where a misread footer or extended header loses it first.
inline Bytes Frames(int version, const std::string& title, const std::string& artist, bool unsynchronisedFrames) {
  const bool v2 = version == 2;
  Bytes privateData;
  Append(privateData, std::string("zb"));
  privateData.push_back(0);
  Append(privateData, Bytes{0xFF, 0xE0, 0x01, 0xFF, 0x00, 0xFF});
  Bytes frames;
  auto add = [&](const std::string& id, const Bytes& data) {
    if (version == 4 && unsynchronisedFrames) {
      Append(frames, Frame(version, id, Unsynchronise(data), 0x02));
    } else {
      Append(frames, Frame(version, id, data));
    }
  };
  add(v2 ? "TT2" : "TIT2", Text(title));
  add(v2 ? "TP1" : "TPE1", Text(artist));
  // 2.2 has no private frame; an unknown text frame serves as the last, small frame there.
  add(v2 ? "TXX" : "PRIV", v2 ? Text("x") : privateData);
  return frames;
}

// The ID3v2 tag of the variant, with the title and artist given.
inline Bytes Id3v2Tag(const TagVariant& v, const std::string& title, const std::string& artist) {
  Bytes body;
  if (v.extendedHeader && v.version == 3) {
    // Size 6 (leaving itself out), no flags, no padding announced.
    Append(body, BigEndian32(6));
    Append(body, Bytes{0, 0, 0, 0, 0, 0});
  } else if (v.extendedHeader && v.version == 4) {
    // Size 6 (counting itself), one flag byte, no flags.
    Append(body, Synchsafe32(6));
    Append(body, Bytes{1, 0});
  }
  Append(body, Frames(v.version, title, artist, v.unsynchronised));
  body.resize(body.size() + v.paddingBytes, 0);
  // 2.2 and 2.3 unsynchronise the whole body (extended header included); 2.4 each frame.
  if (v.unsynchronised && v.version < 4) body = Unsynchronise(body);
  uint8_t flags = v.extraFlags;
  if (v.unsynchronised) flags |= 0x80;
  if (v.extendedHeader) flags |= 0x40;
  if (v.footer || v.footerFlagOnly) flags |= 0x10;
  Bytes tag{'I', 'D', '3', static_cast<uint8_t>(v.version), 0, flags};
  Append(tag, Synchsafe32(static_cast<uint32_t>(body.size())));
  Append(tag, body);
  if (v.footer) {
    Bytes footer{'3', 'D', 'I', static_cast<uint8_t>(v.version), 0, flags};
    Append(footer, Synchsafe32(static_cast<uint32_t>(body.size())));
    Append(tag, footer);
  }
  return tag;
}

// An APE tag version 2 with header and footer and one item "Title".
inline Bytes ApeTag(const std::string& title) {
  Bytes item = LittleEndian32(static_cast<uint32_t>(title.size()));
  Append(item, LittleEndian32(0));
  Append(item, std::string("Title"));
  item.push_back(0);
  Append(item, title);
  auto block = [&](bool header) {
    Bytes b;
    Append(b, std::string("APETAGEX"));
    Append(b, LittleEndian32(2000));
    Append(b, LittleEndian32(static_cast<uint32_t>(item.size() + 32)));  // items and footer
    Append(b, LittleEndian32(1));
    Append(b, LittleEndian32(header ? 0xA0000000u : 0x80000000u));  // has a header; this is it
    b.resize(b.size() + 8, 0);
    return b;
  };
  Bytes tag = block(true);
  Append(tag, item);
  Append(tag, block(false));
  return tag;
}

// An ID3v1 record with the title, artist "Old Artist", album "Old Album", year 1999, a
// comment and genre 17 (as another program would have written them).
inline Bytes Id3v1Record(const std::string& title) {
  std::string record(128, ' ');
  record.replace(0, 3, "TAG");
  record.replace(3, title.size(), title);
  record.replace(33, 10, "Old Artist");
  record.replace(63, 9, "Old Album");
  record.replace(93, 4, "1999");
  record.replace(97, 14, "other program!");
  record[127] = 17;
  return Bytes(record.begin(), record.end());
}

}  // namespace tagged_file_builder

// `frames` MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, stereo, 417 bytes each) that
// decode to silence: zero side information (no main data), then ancillary bytes that vary
// from frame to frame and hold no 0xFF, so that a reader finds every frame by its header.
inline Bytes MpegFrames(int frames) {
  constexpr int kFrameBytes = 417, kHeaderAndSideInfoBytes = 4 + 32;
  Bytes audio;
  for (int frame = 0; frame < frames; ++frame) {
    tagged_file_builder::Append(audio, Bytes{0xFF, 0xFB, 0x90, 0x04});
    audio.resize(audio.size() + kHeaderAndSideInfoBytes - 4, 0);
    for (int i = kHeaderAndSideInfoBytes; i < kFrameBytes; ++i)
      audio.push_back(static_cast<uint8_t>((frame * 37 + i * 13) % 255));
  }
  return audio;
}

// The file of the variant: the ID3v2 tag, the audio, then an APE tag and an ID3v1 record
// as the variant asks.
struct TaggedFileParts {
  Bytes id3v2;
  Bytes audio;
  Bytes ape;
  Bytes id3v1;

  Bytes File() const {
    Bytes file = id3v2;
    tagged_file_builder::Append(file, audio);
    tagged_file_builder::Append(file, ape);
    tagged_file_builder::Append(file, id3v1);
    return file;
  }
};

inline TaggedFileParts BuildTaggedFile(const TagVariant& v, const Bytes& audio) {
  TaggedFileParts parts;
  if (v.version != 0) parts.id3v2 = tagged_file_builder::Id3v2Tag(v, "Old Title", "Old Artist");
  parts.audio = audio;
  if (v.ape) parts.ape = tagged_file_builder::ApeTag("Ape Title");
  if (v.id3v1) parts.id3v1 = tagged_file_builder::Id3v1Record("Old Title");
  return parts;
}

// Every variant the builder makes.
inline std::vector<TagVariant> AllTagVariants() {
  return {
      {.name = "v22", .version = 2},
      {.name = "v22_padding_v1", .version = 2, .paddingBytes = 300, .id3v1 = true},
      {.name = "v23", .version = 3},
      {.name = "v23_flag10", .version = 3, .extraFlags = 0x10},
      {.name = "v23_flag10_v1", .version = 3, .extraFlags = 0x10, .id3v1 = true},
      {.name = "v23_unsync", .version = 3, .unsynchronised = true},
      {.name = "v23_extended", .version = 3, .extendedHeader = true},
      {.name = "v23_extended_unsync_padding", .version = 3, .unsynchronised = true, .extendedHeader = true,
       .paddingBytes = 512},
      {.name = "v23_padding_ape_v1", .version = 3, .paddingBytes = 2048, .id3v1 = true, .ape = true},
      {.name = "v24", .version = 4},
      {.name = "v24_footer", .version = 4, .footer = true},
      {.name = "v24_footer_v1_ape", .version = 4, .footer = true, .id3v1 = true, .ape = true},
      {.name = "v24_footer_flag_without_footer", .version = 4, .footerFlagOnly = true},
      {.name = "v24_unsync", .version = 4, .unsynchronised = true},
      {.name = "v24_extended", .version = 4, .extendedHeader = true},
      {.name = "v24_extended_padding_v1", .version = 4, .extendedHeader = true, .paddingBytes = 100, .id3v1 = true},
      {.name = "no_tag_v1", .version = 0, .id3v1 = true},
      {.name = "no_tag_ape", .version = 0, .ape = true},
  };
}
