// The read offset search: the AccurateRip sums of a widened read at every shift.
#include "maker/accuracy/read_offset_search.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>

namespace {

using Wide = unsigned __int128;

// The database's entries for one track: every pressing of the disc's layout.
struct Entry {
  uint32_t crc = 0;
  int confidence = 0;
};

std::vector<Entry> EntriesOf(const AccurateRipRecord& record, const AccurateRipDiscIds& ids, int track) {
  std::vector<Entry> entries;
  if (track < 0 || track >= ids.audioTracks) return entries;
  for (const AccurateRipPressing& pressing : record.pressings) {
    if (pressing.id1 != ids.id1 || pressing.id2 != ids.id2 || pressing.cddb != ids.cddb) continue;
    if (static_cast<int>(pressing.tracks.size()) != ids.audioTracks) continue;
    const AccurateRipTrackEntry& entry = pressing.tracks[static_cast<size_t>(track)];
    entries.push_back({entry.crc, entry.confidence});
  }
  return entries;
}

// One track's read seen at a shift: weighted position k (1-based, first ... last) of the
// track holds frames[base + k], with base = margin + offset - 1.
class ShiftedTrack {
 public:
  ShiftedTrack(const WideTrackRead& read, int64_t first, int64_t last) : read_(read), first_(first), last_(last) {}

  uint32_t Frame(int64_t index) const {
    return index >= 0 && index < static_cast<int64_t>(read_.frames.size()) ? read_.frames[static_cast<size_t>(index)]
                                                                           : 0;
  }
  int64_t Base(int offset) const { return read_.margin + offset - 1; }

  // v2 of the track at `offset`, the long way.
  uint32_t V2At(int offset) const {
    const int64_t base = Base(offset);
    uint32_t v2 = 0;
    for (int64_t k = first_; k <= last_; ++k) {
      const uint64_t product = static_cast<uint64_t>(Frame(base + k)) * static_cast<uint64_t>(k);
      v2 += static_cast<uint32_t>(product) + static_cast<uint32_t>(product >> 32);
    }
    return v2;
  }

 private:
  const WideTrackRead& read_;
  int64_t first_;
  int64_t last_;
};

// Whether some sum of high halves in [lowest, highest] makes v1 + that sum equal `crc`
// modulo 2^32.
bool HighHalvesCanReach(uint32_t crc, uint32_t v1, Wide lowest, Wide highest) {
  const uint32_t wanted = crc - v1;
  const Wide candidate = lowest + static_cast<uint32_t>(wanted - static_cast<uint32_t>(lowest));
  return candidate <= highest;
}

// Scans one read over [-margin, margin] and adds what matches to `tally`. False when
// cancelled.
bool ScanTrack(const WideTrackRead& read, const std::vector<Entry>& entries, std::map<int, OffsetMatch>& tally,
               const std::function<bool()>& cancelled) {
  const int64_t n = read.trackFrames;
  const int64_t first = read.firstTrack ? kAccurateRipFirstSkip + 1 : 1;
  const int64_t last = read.lastTrack ? n - kAccurateRipLastSkip : n;
  // A track no longer than its skips has sums of 0 at every shift: it tells nothing.
  if (last < first || read.margin < 0) return true;
  if (static_cast<int64_t>(read.frames.size()) != n + 2 * int64_t{read.margin}) return true;
  const ShiftedTrack track(read, first, last);
  const Wide weighted = static_cast<Wide>(last - first + 1);

  // v1 rolls: with S0 the plain sum and S1 the weighted sum of the window (exact, in 128
  // bits), one step of the shift drops the frame at position `first`, takes in the one
  // after `last` and lowers every other weight by one:
  //   S1' = S1 - S0 - (first - 1) x[first] + last x[last + 1],  S0' = S0 - x[first] + x[last + 1].
  // v1 is S1's low 32 bits. v2 adds the high 32 bits of each product separately; a shift
  // moves every product by one frame, carrying into the high halves unevenly, so v2 has no
  // such step. It only lies within a known band, though: the high halves add up to
  // (S1 - the sum of the low halves) / 2^32, and the low halves add up to something in
  // [0, weighted x (2^32 - 1)]. v2 is computed directly only at the shifts where an entry
  // falls within that band (for a track of N frames, about N / 2^32 of all shifts an entry).
  int offset = -read.margin;
  Wide s0 = 0;
  Wide s1 = 0;
  for (int64_t k = first; k <= last; ++k) {
    const uint32_t x = track.Frame(track.Base(offset) + k);
    s0 += x;
    s1 += static_cast<Wide>(x) * static_cast<Wide>(k);
  }
  const Wide lowHalvesMost = weighted * Wide{0xFFFFFFFFu};
  for (;; ++offset) {
    if (((offset + read.margin) & 1023) == 0 && cancelled && cancelled()) return false;
    const uint32_t v1 = static_cast<uint32_t>(s1);
    const Wide highest = s1 >> 32;
    const Wide lowest = s1 > lowHalvesMost ? (s1 - lowHalvesMost + 0xFFFFFFFFu) >> 32 : 0;
    int matched = 0;
    bool any = false;
    std::optional<uint32_t> v2;
    for (const Entry& entry : entries) {
      bool match = entry.crc == v1;
      if (!match && HighHalvesCanReach(entry.crc, v1, lowest, highest)) {
        if (!v2) v2 = track.V2At(offset);
        match = entry.crc == *v2;
      }
      if (!match) continue;
      any = true;
      matched += entry.confidence;
    }
    if (any) {
      OffsetMatch& found = tally[offset];
      found.offset = offset;
      found.tracks += 1;
      found.confidence += matched;
    }
    if (offset == read.margin) break;
    const int64_t base = track.Base(offset);
    const uint32_t leaving = track.Frame(base + first);
    const uint32_t entering = track.Frame(base + last + 1);
    s1 = s1 - s0 - static_cast<Wide>(first - 1) * leaving + static_cast<Wide>(last) * entering;
    s0 = s0 - leaving + entering;
  }
  return true;
}

}  // namespace

std::vector<OffsetMatch> SearchReadOffsets(std::span<const WideTrackRead> reads, const AccurateRipRecord& record,
                                           const AccurateRipDiscIds& ids, const std::function<bool()>& cancelled) {
  std::map<int, OffsetMatch> tally;
  for (const WideTrackRead& read : reads) {
    const std::vector<Entry> entries = EntriesOf(record, ids, read.track);
    if (entries.empty()) continue;
    if (!ScanTrack(read, entries, tally, cancelled)) break;
  }
  std::vector<OffsetMatch> matches;
  for (const auto& [offset, match] : tally) matches.push_back(match);
  std::sort(matches.begin(), matches.end(), [](const OffsetMatch& a, const OffsetMatch& b) {
    if (a.tracks != b.tracks) return a.tracks > b.tracks;
    if (a.confidence != b.confidence) return a.confidence > b.confidence;
    if (std::abs(a.offset) != std::abs(b.offset)) return std::abs(a.offset) < std::abs(b.offset);
    return a.offset < b.offset;
  });
  return matches;
}
