// The MusicBrainz disc id, through libdiscid.
#include "maker/metadata/musicbrainz_disc_id.h"

#include <memory>

// The library's handle type is named DiscId, as this project's CDDB disc id function is;
// its C declarations (no includes of their own) are kept apart in a namespace.
namespace libdiscid {
#include <discid/discid.h>
}  // namespace libdiscid

namespace {

// The drive's logical block addresses start after the 150-sector pre-gap; the disc id
// counts from the start of the pre-gap, as CD players show the times.
constexpr int kPreGapSectors = 150;

using libdiscid::discid_free;
using libdiscid::discid_get_id;
using libdiscid::discid_get_toc_string;
using libdiscid::discid_new;
using libdiscid::discid_put;

struct DiscIdFree {
  void operator()(libdiscid::DiscId* disc) const { discid_free(disc); }
};

}  // namespace

std::optional<MusicBrainzDiscId> MakeMusicBrainzDiscId(const DiscLayout& disc) {
  if (!disc.Valid()) return std::nullopt;
  // offsets[0] is the lead-out, offsets[k] the start of track k.
  int offsets[100] = {};
  offsets[0] = disc.startSectors[static_cast<std::size_t>(disc.trackCount)] + kPreGapSectors;
  for (int k = 1; k <= disc.trackCount; ++k)
    offsets[k] = disc.startSectors[static_cast<std::size_t>(k - 1)] + kPreGapSectors;
  std::unique_ptr<libdiscid::DiscId, DiscIdFree> handle(discid_new());
  if (!handle) return std::nullopt;
  if (discid_put(handle.get(), 1, disc.trackCount, offsets) == 0) return std::nullopt;
  const char* id = discid_get_id(handle.get());
  const char* toc = discid_get_toc_string(handle.get());
  if (id == nullptr || toc == nullptr) return std::nullopt;
  return MusicBrainzDiscId{id, toc};
}
