// The read offset search on widened reads of a synthesized disc read by drives of known
// offsets, checked against the sums computed at every shift the plain way.
#include "maker/accuracy/read_offset_search.h"

#include <gtest/gtest.h>

#include "tests/maker/accuracy/accuraterip_reference.h"

namespace {

// A disc of noise tracks given as one stream of interleaved samples.
class Disc {
 public:
  explicit Disc(std::vector<size_t> trackFrames) {
    size_t at = 0;
    for (const size_t frames : trackFrames) {
      starts_.push_back(at);
      at += frames;
    }
    starts_.push_back(at);
    samples_ = arref::Noise(at, 2024);
    CdToc toc;
    for (const size_t start : starts_) toc.starts.push_back(static_cast<int32_t>(start / 588));
    ids_ = ComputeAccurateRipDiscIds(toc);
  }
  int Tracks() const { return static_cast<int>(starts_.size()) - 1; }
  size_t Frames(int track) const { return starts_[static_cast<size_t>(track) + 1] - starts_[static_cast<size_t>(track)]; }
  const AccurateRipDiscIds& Ids() const { return ids_; }

  // Frame `index` of the disc, silence outside it.
  uint32_t Word(int64_t index) const {
    if (index < 0 || index >= static_cast<int64_t>(samples_.size() / 2)) return 0;
    return static_cast<uint16_t>(samples_[2 * index]) |
           static_cast<uint32_t>(static_cast<uint16_t>(samples_[2 * index + 1])) << 16;
  }

  // The read of a drive that needs `driveOffset` as its read offset, widened by `margin`.
  WideTrackRead Read(int track, int margin, int driveOffset) const {
    WideTrackRead read;
    read.track = track;
    read.firstTrack = track == 0;
    read.lastTrack = track == Tracks() - 1;
    read.trackFrames = static_cast<int64_t>(Frames(track));
    read.margin = margin;
    const int64_t start = static_cast<int64_t>(starts_[static_cast<size_t>(track)]);
    for (int64_t i = 0; i < read.trackFrames + 2 * margin; ++i) read.frames.push_back(Word(start + i - margin - driveOffset));
    return read;
  }

  // The sums of `track` as a drive reading `shift` frames late (or early) rips it.
  arref::Sums SumsAt(int track, int shift) const {
    std::vector<int16_t> samples;
    const int64_t start = static_cast<int64_t>(starts_[static_cast<size_t>(track)]);
    for (int64_t i = 0; i < static_cast<int64_t>(Frames(track)); ++i) {
      const uint32_t word = Word(start + i + shift);
      samples.push_back(static_cast<int16_t>(word & 0xFFFF));
      samples.push_back(static_cast<int16_t>(word >> 16));
    }
    return arref::Checksums(samples, track == 0, track == Tracks() - 1);
  }

  // A pressing of this disc with each track's exact v1 (or v2), or of another disc.
  AccurateRipPressing Pressing(bool v2, uint8_t confidence, bool otherDisc = false) const {
    AccurateRipPressing pressing{ids_.id1 + (otherDisc ? 1u : 0u), ids_.id2, ids_.cddb, {}};
    for (int t = 0; t < Tracks(); ++t) {
      const arref::Sums sums = SumsAt(t, 0);
      pressing.tracks.push_back({confidence, v2 ? sums.v2 : sums.v1, 0});
    }
    return pressing;
  }

 private:
  std::vector<size_t> starts_;
  std::vector<int16_t> samples_;
  AccurateRipDiscIds ids_;
};

const Disc& ThreeTracks() {
  // Whole sectors as a disc has them, long enough to leave room for both skips.
  static const Disc disc({588 * 30, 588 * 25, 588 * 28});
  return disc;
}

// Catches: a shift applied with the wrong sign, a first or last track whose skips move with
// the shift, confidences of several pressings not added, and a v2-only pressing missed.
TEST(SearchReadOffsets, FindsTheDriveOffsetOnFirstMiddleAndLastTracks) {
  const Disc& disc = ThreeTracks();
  AccurateRipRecord record;
  record.pressings = {disc.Pressing(/*v2=*/false, 5), disc.Pressing(/*v2=*/true, 3),
                      disc.Pressing(/*v2=*/false, 50, /*otherDisc=*/true)};
  for (const int driveOffset : {667, -30, 0}) {
    SCOPED_TRACE(driveOffset);
    std::vector<WideTrackRead> reads;
    for (int t = 0; t < disc.Tracks(); ++t) reads.push_back(disc.Read(t, 3000, driveOffset));
    const auto matches = SearchReadOffsets(reads, record, disc.Ids());
    ASSERT_FALSE(matches.empty());
    EXPECT_EQ(matches[0].offset, driveOffset);
    EXPECT_EQ(matches[0].tracks, 3);
    EXPECT_EQ(matches[0].confidence, 3 * 8);
    // Noise matches nowhere else.
    EXPECT_EQ(matches.size(), 1u);

    // Each track alone finds it too.
    for (int t = 0; t < disc.Tracks(); ++t) {
      const auto alone = SearchReadOffsets(std::span(reads).subspan(static_cast<size_t>(t), 1), record, disc.Ids());
      ASSERT_EQ(alone.size(), 1u) << t;
      EXPECT_EQ(alone[0].offset, driveOffset) << t;
      EXPECT_EQ(alone[0].tracks, 1);
      EXPECT_EQ(alone[0].confidence, 8);
    }
  }
}

// Catches: a v2 that is only tried where v1 matched (a pressing of v2 sums alone is never
// found), and a band test that rejects the shift where v2 matches.
TEST(SearchReadOffsets, PressingWithOnlyV2Entries) {
  const Disc& disc = ThreeTracks();
  AccurateRipRecord record;
  record.pressings = {disc.Pressing(/*v2=*/true, 9)};
  std::vector<WideTrackRead> reads = {disc.Read(1, 3000, 1234), disc.Read(2, 3000, 1234)};
  const auto matches = SearchReadOffsets(reads, record, disc.Ids());
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].offset, 1234);
  EXPECT_EQ(matches[0].tracks, 2);
  EXPECT_EQ(matches[0].confidence, 18);
}

// Catches: rolling sums that drift from the true sums at some shift (a frame dropped or
// weighed wrong at either end of the window), on tracks of every placement.
TEST(SearchReadOffsets, AgreesWithTheSumsAtEveryShiftComputedThePlainWay) {
  // Tracks of odd lengths: the rolling window spans across track and disc ends.
  const Disc disc({588 * 11 + 17, 588 * 3 + 1, 588 * 12 + 300});
  const int margin = 700;
  for (int t = 0; t < disc.Tracks(); ++t) {
    SCOPED_TRACE(t);
    // Entries taken at a handful of shifts, v1 in one pressing and v2 in another.
    const int shifts[] = {-margin, -1, 0, 1, 333, margin - 1, margin};
    AccurateRipRecord record;
    for (const int shift : shifts) {
      AccurateRipPressing v1{disc.Ids().id1, disc.Ids().id2, disc.Ids().cddb, {}};
      AccurateRipPressing v2 = v1;
      for (int other = 0; other < disc.Tracks(); ++other) {
        const arref::Sums sums = disc.SumsAt(other, shift);
        v1.tracks.push_back({1, other == t ? sums.v1 : 0, 0});
        v2.tracks.push_back({2, other == t ? sums.v2 : 0, 0});
      }
      record.pressings.push_back(v1);
      record.pressings.push_back(v2);
    }
    const std::vector<WideTrackRead> reads = {disc.Read(t, margin, 0)};
    const auto matches = SearchReadOffsets(reads, record, disc.Ids());
    // The plain way: every shift, both sums, every entry.
    std::vector<OffsetMatch> expected;
    for (int shift = -margin; shift <= margin; ++shift) {
      const arref::Sums sums = disc.SumsAt(t, shift);
      int confidence = 0;
      for (const AccurateRipPressing& pressing : record.pressings) {
        const AccurateRipTrackEntry& entry = pressing.tracks[static_cast<size_t>(t)];
        if (entry.crc == sums.v1 || entry.crc == sums.v2) confidence += entry.confidence;
      }
      if (confidence > 0) expected.push_back({shift, 1, confidence});
    }
    ASSERT_EQ(matches.size(), expected.size());
    for (const OffsetMatch& want : expected) {
      const auto found = std::find_if(matches.begin(), matches.end(), [&](const OffsetMatch& m) { return m.offset == want.offset; });
      ASSERT_NE(found, matches.end()) << want.offset;
      EXPECT_EQ(found->confidence, want.confidence) << want.offset;
      EXPECT_EQ(found->tracks, 1);
    }
  }
}

// Catches: an offset claimed for a disc whose record has no matching sums, and a read that
// is cut short being searched past its end.
TEST(SearchReadOffsets, NoMatchAndBrokenReadsGiveNothing) {
  const Disc& disc = ThreeTracks();
  AccurateRipPressing wrong = disc.Pressing(/*v2=*/false, 5);
  for (auto& entry : wrong.tracks) entry.crc ^= 0x5A5A5A5A;
  AccurateRipRecord record;
  record.pressings = {wrong};
  std::vector<WideTrackRead> reads = {disc.Read(1, 3000, 667)};
  EXPECT_TRUE(SearchReadOffsets(reads, record, disc.Ids()).empty());

  record.pressings = {disc.Pressing(/*v2=*/false, 5)};
  reads[0].frames.pop_back();
  EXPECT_TRUE(SearchReadOffsets(reads, record, disc.Ids()).empty());
  // A disc the record does not know.
  reads = {disc.Read(1, 3000, 667)};
  AccurateRipDiscIds otherIds = disc.Ids();
  otherIds.id2 += 1;
  EXPECT_TRUE(SearchReadOffsets(reads, record, otherIds).empty());
}

// Catches: a search that goes on after being cancelled, or throws away what it had found.
TEST(SearchReadOffsets, CancelStopsAndKeepsWhatWasFound) {
  const Disc& disc = ThreeTracks();
  AccurateRipRecord record;
  record.pressings = {disc.Pressing(/*v2=*/false, 5)};
  std::vector<WideTrackRead> reads;
  for (int t = 0; t < disc.Tracks(); ++t) reads.push_back(disc.Read(t, 3000, 667));

  int asked = 0;
  EXPECT_TRUE(SearchReadOffsets(reads, record, disc.Ids(), [&] { return ++asked > 0; }).empty());
  EXPECT_EQ(asked, 1);

  // Cancelled once the first track is done: its match stays. The search asks once every
  // 1 024 shifts, six times for a track's 6 001.
  int calls = 0;
  const auto matches = SearchReadOffsets(reads, record, disc.Ids(), [&] { return ++calls > 6; });
  EXPECT_EQ(calls, 7);
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].offset, 667);
  EXPECT_EQ(matches[0].tracks, 1);
}

}  // namespace
