// The MusicBrainz disc id of a disc and the table of contents text that goes with it in
// a lookup, both computed by libdiscid from the table of contents the drive reported.
#pragma once

#include <optional>
#include <string>

#include "maker/metadata/disc_id.h"

struct MusicBrainzDiscId {
  std::string id;   // 28 characters of [A-Za-z0-9._-]
  std::string toc;  // "first last lead-out offset1 offset2 ...", sectors with the pre-gap
};

// Nothing for a layout that is not Valid() or that libdiscid refuses.
std::optional<MusicBrainzDiscId> MakeMusicBrainzDiscId(const DiscLayout& disc);
