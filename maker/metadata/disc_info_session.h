// The CD information of every disc seen since the program started, keyed by the drive (or
// disc image) and the disc's table of contents: a disc change clears the disc fields, and
// a disc seen earlier gets its fields back as they were left.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "maker/metadata/cd_info.h"
#include "maker/metadata/disc_id.h"
#include "maker/metadata/disc_text_fill.h"

// The disc fields of one disc: what the user typed or a lookup found, and what the disc's
// own text put into them (which a later fill may still replace).
struct DiscFields {
  CdInfoSnapshot fields;
  DiscTextFill discTextFill;
};

// The fields of a disc not seen before: nothing known.
DiscFields EmptyDiscFields();

class DiscInfoSession {
 public:
  // Makes the disc `disc` in drive `drive` (a device or image path) the current disc.
  // When it is the current disc already, or nothing was current yet, returns `current` as
  // it is. Otherwise keeps `current` as the fields of the disc that was current and
  // returns the fields of the new one: as they were left when it was current before, or
  // EmptyDiscFields() for a disc not seen in this session. Another drive is another disc
  // even with the same table of contents (two disc images of one layout); a layout without
  // tracks (no disc, an unreadable one) counts as a disc of its own.
  DiscFields SwitchTo(const std::string& drive, const DiscLayout& disc, const DiscFields& current);

 private:
  // The drive, the track count and every start sector, lead-out included.
  using DiscKey = std::pair<std::string, std::vector<std::int32_t>>;
  static DiscKey KeyOf(const std::string& drive, const DiscLayout& disc);

  std::optional<DiscKey> current_;
  std::map<DiscKey, DiscFields> seen_;
};
