// Per-read digests (CRC32 of the read and of each sector, AccurateRip sums, peak) and the
// ranges where reads differ, checked against plain computations in the test.
#include "maker/accuracy/track_digest.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/maker/accuracy/accuraterip_reference.h"

namespace {

// CRC-32 (the reflected polynomial 0xEDB88320 of zip and PNG) bit by bit over bytes.
uint32_t PlainCrc32(const uint8_t* bytes, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// The samples as the disc holds them: little-endian 16-bit, left first.
std::vector<uint8_t> DiscBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  for (const int16_t s : samples) {
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) & 0xFF));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return bytes;
}

TrackDigest Digest(const std::vector<uint32_t>& words, size_t piece, bool first = false, bool last = false) {
  TrackDigester digester(static_cast<int64_t>(words.size()), first, last);
  for (size_t at = 0; at < words.size(); at += piece)
    digester.Add(std::span(words).subspan(at, std::min(piece, words.size() - at)));
  return digester.Finish();
}

// Catches: a CRC over the wrong bytes, sector CRCs that run on across sector borders or
// lose a short last sector, sums that differ from the AccurateRip definition, and pieces
// of odd sizes that shift any of these.
TEST(TrackDigester, MatchesPlainComputationsForAnyPieceSize) {
  for (const size_t frames : {size_t{0}, size_t{1}, size_t{588}, size_t{589}, size_t{588 * 7 + 300}, size_t{6000}}) {
    auto samples = arref::Noise(frames, static_cast<uint32_t>(frames) + 5);
    const auto bytes = DiscBytes(samples);
    const auto words = arref::Words(samples);
    std::vector<uint32_t> sectorCrcs;
    for (size_t at = 0; at < bytes.size(); at += 588 * 4)
      sectorCrcs.push_back(PlainCrc32(bytes.data() + at, std::min<size_t>(588 * 4, bytes.size() - at)));
    for (const bool first : {false, true}) {
      const arref::Sums sums = arref::Checksums(samples, first, !first);
      for (const size_t piece : {size_t{1}, size_t{333}, size_t{588}, size_t{5000}}) {
        SCOPED_TRACE(testing::Message() << frames << " frames in pieces of " << piece);
        const TrackDigest digest = Digest(words, piece, first, !first);
        EXPECT_EQ(digest.frames, static_cast<int64_t>(frames));
        EXPECT_EQ(digest.crc32, PlainCrc32(bytes.data(), bytes.size()));
        EXPECT_EQ(digest.sectorCrcs, sectorCrcs);
        EXPECT_EQ(digest.accurateRip.v1, sums.v1);
        EXPECT_EQ(digest.accurateRip.v2, sums.v2);
      }
    }
  }
}

// Catches: a peak that misses the right channel, or reads -32 768 as 32 767 or as negative.
TEST(TrackDigester, PeakIsTheLargestMagnitudeOfEitherChannel) {
  std::vector<int16_t> samples = {100, -200, 3, 4};
  EXPECT_EQ(Digest(arref::Words(samples), 2).peak, 200);
  samples.push_back(0);
  samples.push_back(-32768);
  EXPECT_EQ(Digest(arref::Words(samples), 1).peak, 32768);
  EXPECT_EQ(Digest({}, 1).peak, 0);
}

// Catches: differing sectors reported at the wrong frames, neighbours not joined, a short
// last sector reported past the track's end, and a read that is shorter than the others
// (it differs where it has nothing).
TEST(DifferingRanges, SectorsWhereReadsDisagreeJoinedAndCutToTheTrack) {
  const size_t frames = 588 * 8 + 100;
  const auto samples = arref::Noise(frames, 11);
  const auto good = arref::Words(samples);
  auto bad = good;
  bad[588 * 2 + 5] ^= 1;     // sector 2
  bad[588 * 3 + 587] ^= 1;   // sector 3, joined to 2
  bad[588 * 5] ^= 1;         // sector 5
  bad[frames - 1] ^= 1;      // the short last sector 8
  auto third = good;
  third[10] ^= 0x8000;       // sector 0, in a third read only

  const std::vector<TrackDigest> two = {Digest(good, 700), Digest(bad, 588)};
  EXPECT_EQ(DifferingRanges(two),
            (std::vector<FrameRange>{{588 * 2, 588 * 4}, {588 * 5, 588 * 6}, {588 * 8, int64_t{frames}}}));
  const std::vector<TrackDigest> three = {Digest(good, 700), Digest(good, 1), Digest(third, 50)};
  EXPECT_EQ(DifferingRanges(three), (std::vector<FrameRange>{{0, 588}}));
  const std::vector<TrackDigest> same = {Digest(good, 700), Digest(good, 3)};
  EXPECT_TRUE(DifferingRanges(same).empty());
  EXPECT_TRUE(DifferingRanges(std::span(two).first(1)).empty());

  const std::vector<uint32_t> shorter(good.begin(), good.begin() + 588 * 6);
  const std::vector<TrackDigest> cut = {Digest(good, 588), Digest(shorter, 588)};
  EXPECT_EQ(DifferingRanges(cut), (std::vector<FrameRange>{{588 * 6, int64_t{frames}}}));
}

}  // namespace
