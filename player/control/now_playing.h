// What the desktop is told about the entry playing (media keys, sound applets): title,
// artist and album from the ID3 tag, else the file name; the stream title for radio; the
// length when the engine knows it.
#pragma once

#include <cstdint>
#include <string>

#include "common/id3v1_tag.h"

struct NowPlaying {
  std::string entry;  // the file path or URL; empty when nothing is loaded
  std::string title;
  std::string artist;
  std::string album;
  int64_t lengthMicroseconds = 0;  // 0 when unknown
  bool operator==(const NowPlaying&) const = default;
};

// tag: the entry's tag (empty fields when it has none); streamTitle: the last title a
// stream announced (empty for files); rangeSeconds: the engine's length in seconds (0
// when unknown).
NowPlaying DescribeNowPlaying(const std::string& entry, const Id3v1Tag& tag, const std::string& streamTitle,
                              uint32_t rangeSeconds);

// "Artist – Title", or the title alone when the artist is not known.
std::string ArtistAndTitle(const NowPlaying& now);
