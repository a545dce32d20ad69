// Times the read offset search on three widened 5-minute tracks of noise (the reads Find
// read offset makes) against a record of several pressings.
// Usage: read_offset_search_bench [minutes per track] [pressings]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "maker/accuracy/read_offset_search.h"

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 5.0;
  const int pressingCount = argc > 2 ? std::atoi(argv[2]) : 4;
  const int margin = 3000;
  const int driveOffset = 667;
  const int64_t trackFrames = static_cast<int64_t>(minutes * 60 * 44100) / 588 * 588;

  AccurateRipDiscIds ids;
  ids.audioTracks = 5;
  ids.id1 = 1;
  ids.id2 = 2;
  ids.cddb = 3;
  std::mt19937 random(7);
  std::vector<WideTrackRead> reads;
  std::vector<AccurateRipSums> truth;
  for (int t = 1; t <= 3; ++t) {
    WideTrackRead read;
    read.track = t;
    read.trackFrames = trackFrames;
    read.margin = margin;
    read.frames.resize(static_cast<size_t>(trackFrames + 2 * margin));
    for (auto& frame : read.frames) frame = static_cast<uint32_t>(random());
    const auto track = std::span(read.frames).subspan(static_cast<size_t>(margin + driveOffset),
                                                      static_cast<size_t>(trackFrames));
    truth.push_back(AccurateRipChecksums(track, false, false));
    reads.push_back(std::move(read));
  }
  AccurateRipRecord record;
  for (int p = 0; p < pressingCount; ++p) {
    AccurateRipPressing pressing{ids.id1, ids.id2, ids.cddb, {}};
    for (int t = 0; t < ids.audioTracks; ++t) {
      const bool known = t >= 1 && t <= 3;
      const uint32_t crc = known ? (p % 2 == 0 ? truth[static_cast<size_t>(t - 1)].v2 : truth[static_cast<size_t>(t - 1)].v1)
                                 : static_cast<uint32_t>(random());
      // Half the pressings are of other masterings: their sums match nowhere.
      pressing.tracks.push_back({10, p < 2 ? crc : static_cast<uint32_t>(random()), 0});
    }
    record.pressings.push_back(pressing);
  }

  const auto start = std::chrono::steady_clock::now();
  const auto matches = SearchReadOffsets(reads, record, ids);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("3 tracks of %.1f minutes, %d shifts each, %d pressings: %.3f s; best offset %+d (%d tracks)\n",
              minutes, 2 * margin + 1, pressingCount, seconds, matches.empty() ? 0 : matches[0].offset,
              matches.empty() ? 0 : matches[0].tracks);
  return matches.empty() || matches[0].offset != driveOffset ? 1 : 0;
}
