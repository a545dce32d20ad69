// What the desktop is told about the entry playing (media keys, sound applets): title,
// artist, album and track number from the entry's tags, else the file name; the stream
// title for radio; the length when the engine knows it; an image file of the cover.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/id3v1_tag.h"
#include "common/tags/audio_file_tags.h"

struct NowPlaying {
  std::string entry;  // the file path or URL; empty when nothing is loaded
  std::string title;
  std::string artist;
  std::string album;
  int64_t lengthMicroseconds = 0;  // 0 when unknown
  int trackNumber = 0;             // 0 when unknown
  std::string coverPath{};         // an image file showing the cover; empty when there is none
  bool operator==(const NowPlaying&) const = default;
};

// tag: the entry's tag (empty fields when it has none); streamTitle: the last title a
// stream announced (empty for files); rangeSeconds: the engine's length in seconds (0
// when unknown).
NowPlaying DescribeNowPlaying(const std::string& entry, const Id3v1Tag& tag, const std::string& streamTitle,
                              uint32_t rangeSeconds);

// "Artist – Title", or the title alone when the artist is not known.
std::string ArtistAndTitle(const NowPlaying& now);

// The image file the desktop shows for the entry: the embedded front cover written into
// the cover folder (WriteCoverArtFile), else a cover image beside the file
// (CoverImageBeside); "" for a stream, or when there is neither or the cover cannot be
// written.
std::string CoverArtPath(const std::string& entry, const std::optional<CoverImage>& embedded);

// The private per-user folder of written covers, ending with '/': $XDG_RUNTIME_DIR/zbplayer-covers/
// when the session has one (a folder only its user may enter), else
// $XDG_CACHE_HOME/zbplayer/covers/ (~/.cache when unset). "" when neither is known.
std::string CoverArtFolder();

// Writes `cover` once into `folder` (created with mode 0700 when missing) as
// "cover-HASH.jpg" or ".png", named by a hash of the image so that every entry of one
// album shares one file: mode 0600, written under a temporary name and renamed, so a
// reader never sees half an image. A file of that name already there is kept (and its
// time renewed). The oldest other covers beyond the newest kKeptCoverFiles are removed
// (other players of the same user may still show the newer ones). The file's path; ""
// when it cannot be written (nothing is left behind then).
inline constexpr size_t kKeptCoverFiles = 8;
std::string WriteCoverArtFile(const std::string& folder, const CoverImage& cover);

// An image beside the entry's file that shows its cover: "cover.jpg", "cover.png",
// "folder.jpg" or "front.jpg" (in that order of preference; any case), a regular file.
// "" when there is none.
std::string CoverImageBeside(const std::string& entry);
