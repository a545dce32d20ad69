// The description of the entry playing.
#include "player/control/now_playing.h"

#include "common/paths.h"
#include "player/control/player_texts.h"

NowPlaying DescribeNowPlaying(const std::string& entry, const Id3v1Tag& tag, const std::string& streamTitle,
                              uint32_t rangeSeconds) {
  NowPlaying now;
  now.entry = entry;
  if (entry.empty()) return now;
  now.artist = tag.artist;
  now.album = tag.album;
  if (!tag.title.empty())
    now.title = tag.title;
  else if (!streamTitle.empty())
    now.title = streamTitle;
  else
    now.title = ExtractFileName(entry).empty() ? entry : ExtractFileName(entry);
  now.lengthMicroseconds = int64_t(rangeSeconds) * 1000000;
  return now;
}

std::string ArtistAndTitle(const NowPlaying& now) {
  return now.artist.empty() ? now.title : now.artist + kTitleDash + now.title;
}
