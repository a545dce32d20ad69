// The MusicBrainz ids of the release a disc's names came from, for the tags (and the cover
// art lookup), and the rule that keeps them with those names only.
#pragma once

#include <string>
#include <vector>

#include "maker/metadata/cd_info.h"

struct MusicBrainzIds {
  std::string releaseId;
  std::string discId;
  std::string artistId;
  std::vector<std::string> recordingIds;  // [i]: track i + 1
  std::vector<std::string> trackIds;      // [i]: track i + 1, the release's track
  int discNumber = 0;                     // the medium's position in the release
  int discCount = 0;                      // the release's number of media
  bool operator==(const MusicBrainzIds&) const = default;
};

// The ids `info` holds, and `info` given `ids` (empty ones clear what it held).
MusicBrainzIds MusicBrainzIdsOf(const CdInfo& info);
void SetMusicBrainzIds(const MusicBrainzIds& ids, CdInfo& info);

// What a lookup put into the disc fields, with the ids of its release: the ids describe
// the disc only while its title, artist and track names are still those.
struct MusicBrainzNaming {
  MusicBrainzIds ids;
  std::string title;
  std::string artist;
  std::vector<std::string> trackNames;
};

// The naming of `info` just after a lookup was applied to it (ApplyCddbOutputs).
MusicBrainzNaming KeepMusicBrainzNaming(const CdInfo& info);

// Gives `info` the ids of `naming` when its title, artist and track names are those the
// lookup gave (empty names at the end count as none), and no ids otherwise: names typed
// by hand are no longer the release's.
void AttachMusicBrainzIds(const MusicBrainzNaming& naming, CdInfo& info);
