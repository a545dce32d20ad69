// Per-read digests of a track and where several reads differ.
#include "maker/accuracy/track_digest.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace {

// What joins a CRC with that of a whole sector's 2352 bytes after it.
const uLong kSectorCombine = crc32_combine_gen(588 * 4);

}  // namespace

TrackDigester::TrackDigester(int64_t trackFrames, bool firstTrack, bool lastTrack)
    : accurateRip_(trackFrames, firstTrack, lastTrack) {
  crc_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
  sectorCrc_ = crc_;
  if (trackFrames > 0) digest_.sectorCrcs.reserve(static_cast<size_t>(trackFrames / 588 + 1));
}

void TrackDigester::Add(std::span<const uint32_t> frames) {
  accurateRip_.Add(frames);
  // The frames are the disc's bytes in memory order on this little-endian machine. Each
  // byte goes through the CRC once: the track's CRC is its sectors' CRCs joined.
  const auto* bytes = reinterpret_cast<const Bytef*>(frames.data());
  size_t at = 0;
  while (at < frames.size()) {
    const size_t take = std::min<size_t>(frames.size() - at, static_cast<size_t>(588 - sectorFill_));
    sectorCrc_ = static_cast<uint32_t>(crc32(sectorCrc_, bytes + at * 4, static_cast<uInt>(take * 4)));
    sectorFill_ += static_cast<int>(take);
    at += take;
    if (sectorFill_ == 588) {
      digest_.sectorCrcs.push_back(sectorCrc_);
      crc_ = static_cast<uint32_t>(crc32_combine_op(crc_, sectorCrc_, kSectorCombine));
      sectorCrc_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
      sectorFill_ = 0;
    }
  }
  int peak = digest_.peak;
  for (const uint32_t frame : frames) {
    const int left = std::abs(static_cast<int>(static_cast<int16_t>(frame & 0xFFFF)));
    const int right = std::abs(static_cast<int>(static_cast<int16_t>(frame >> 16)));
    peak = std::max(peak, std::max(left, right));
  }
  digest_.peak = peak;
  digest_.frames += static_cast<int64_t>(frames.size());
}

TrackDigest TrackDigester::Finish() {
  if (sectorFill_ > 0) {
    digest_.sectorCrcs.push_back(sectorCrc_);
    crc_ = static_cast<uint32_t>(crc32_combine(crc_, sectorCrc_, static_cast<z_off_t>(sectorFill_) * 4));
  }
  sectorFill_ = 0;
  digest_.crc32 = crc_;
  digest_.accurateRip = accurateRip_.Sums();
  return digest_;
}

std::vector<FrameRange> DifferingRanges(std::span<const TrackDigest> reads) {
  std::vector<FrameRange> ranges;
  if (reads.size() < 2) return ranges;
  size_t sectors = 0;
  int64_t frames = 0;
  for (const TrackDigest& read : reads) {
    sectors = std::max(sectors, read.sectorCrcs.size());
    frames = std::max(frames, read.frames);
  }
  for (size_t s = 0; s < sectors; ++s) {
    bool same = s < reads[0].sectorCrcs.size();
    for (const TrackDigest& read : reads)
      same = same && s < read.sectorCrcs.size() && read.sectorCrcs[s] == reads[0].sectorCrcs[s];
    if (same) continue;
    const int64_t first = static_cast<int64_t>(s) * 588;
    const int64_t end = std::min(first + 588, frames);
    if (!ranges.empty() && ranges.back().end == first)
      ranges.back().end = end;
    else
      ranges.push_back({first, end});
  }
  return ranges;
}
