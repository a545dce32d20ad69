// AccurateRip checksums, disc ids, records and verdicts, checked against a plain second
// computation and against values worked out by hand.
#include "maker/accuracy/accuraterip.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/maker/accuracy/accuraterip_reference.h"

namespace {

struct Placement {
  bool first;
  bool last;
};
constexpr Placement kPlacements[] = {{false, false}, {true, false}, {false, true}, {true, true}};

// Catches: a skip region off by one at either end, a last-track skip that goes wrong on
// tracks shorter than it, and lost high halves of the 64-bit products in v2.
TEST(AccurateRipChecksums, MatchThePlainDefinitionOnOddLengthsAndPlacements) {
  // Not whole sectors, shorter than a skip, exactly at the skip limits and both skips
  // together, and long enough for positions whose products pass 32 bits.
  const size_t lengths[] = {0, 1, 587, 2938, 2939, 2940, 2941, 5879, 5880, 5881, 5882, 588 * 9 + 13, 100003};
  uint32_t seed = 1;
  for (const size_t frames : lengths) {
    const auto samples = arref::Noise(frames, seed++);
    const auto words = arref::Words(samples);
    for (const Placement place : kPlacements) {
      SCOPED_TRACE(testing::Message() << frames << " frames, first " << place.first << ", last " << place.last);
      const arref::Sums expected = arref::Checksums(samples, place.first, place.last);
      const AccurateRipSums sums = AccurateRipChecksums(words, place.first, place.last);
      EXPECT_EQ(sums.v1, expected.v1);
      EXPECT_EQ(sums.v2, expected.v2);
    }
  }
}

// Catches: an accumulator that loses its place between pieces (the reader hands a track
// over in reads of any size).
TEST(AccurateRipChecksums, PiecesOfAnySizeGiveTheOneShotSums) {
  const auto samples = arref::Noise(588 * 12 + 101, 77);
  const auto words = arref::Words(samples);
  for (const Placement place : kPlacements) {
    const arref::Sums expected = arref::Checksums(samples, place.first, place.last);
    for (const size_t piece : {size_t{1}, size_t{587}, size_t{588}, size_t{2941}, size_t{4000}}) {
      AccurateRipAccumulator accumulator(static_cast<int64_t>(words.size()), place.first, place.last);
      for (size_t at = 0; at < words.size(); at += piece)
        accumulator.Add(std::span(words).subspan(at, std::min(piece, words.size() - at)));
      EXPECT_EQ(accumulator.FramesSeen(), static_cast<int64_t>(words.size()));
      EXPECT_EQ(accumulator.Sums().v1, expected.v1) << piece;
      EXPECT_EQ(accumulator.Sums().v2, expected.v2) << piece;
    }
  }
}

// Catches: a word built with the channels swapped or sign-extended samples.
TEST(AccurateRipChecksums, SmallTrackByHand) {
  // Frames (left, right): (1, 0), (0, 1), (-1, -1): words 1, 0x10000, 0xFFFFFFFF at
  // positions 1, 2, 3.
  const std::vector<int16_t> samples = {1, 0, 0, 1, -1, -1};
  const AccurateRipSums sums = AccurateRipChecksums(arref::Words(samples), false, false);
  // 1 + 2 x 0x10000 + 3 x 0xFFFFFFFF; 3 x 0xFFFFFFFF = 0x2FFFFFFFD (low 0xFFFFFFFD, high 2).
  EXPECT_EQ(sums.v1, uint32_t{1 + 0x20000 + 0xFFFFFFFDu});
  EXPECT_EQ(sums.v2, uint32_t{1 + 0x20000 + 0xFFFFFFFDu + 2});
}

CdToc Toc(std::vector<int32_t> starts, std::vector<uint8_t> data = {}) {
  CdToc toc;
  toc.starts = std::move(starts);
  toc.dataTracks = std::move(data);
  return toc;
}

TrackTable Table(const CdToc& toc) {
  TrackTable table;
  table.audio = 1;
  table.trackCount = static_cast<int>(toc.starts.size()) - 1;
  for (size_t i = 0; i < toc.starts.size(); ++i) table.start[i + 1] = toc.starts[i];
  for (size_t i = 0; i + 1 < toc.starts.size(); ++i) {
    table.length[i + 1] = toc.starts[i + 1] - toc.starts[i];
    table.data[i + 1] = toc.IsDataTrack(i) ? 1 : 0;
  }
  return table;
}

void ExpectIds(const AccurateRipDiscIds& ids, int audio, uint32_t id1, uint32_t id2, uint32_t cddb) {
  EXPECT_EQ(ids.audioTracks, audio);
  EXPECT_EQ(ids.id1, id1);
  EXPECT_EQ(ids.id2, id2);
  EXPECT_EQ(ids.cddb, cddb);
}

// Catches: a first track at sector 0 weighed 0 instead of 1 in id2, a lead-out weighed by
// the wrong track number, and the folders of the record path taken from the wrong digits.
TEST(AccurateRipDiscIds, PlainDiscByHand) {
  const CdToc toc = Toc({0, 10000, 20000, 30000});
  // id1 = 0 + 10000 + 20000 + 30000 = 60000.
  // id2 = 1 x 1 + 10000 x 2 + 20000 x 3 + 30000 x 4 = 200001.
  // CDDB: seconds with the 150-sector lead-in 2, 135, 268 -> digit sums 2 + 9 + 16 = 27;
  // length 30150 / 75 - 150 / 75 = 400 seconds; 3 tracks.
  const uint32_t cddb = (27u << 24) | (400u << 8) | 3u;
  for (const AccurateRipDiscIds& ids : {ComputeAccurateRipDiscIds(toc), ComputeAccurateRipDiscIds(Table(toc))}) {
    ExpectIds(ids, 3, 60000, 200001, cddb);
    EXPECT_EQ(ids.FileName(), "dBAR-003-0000ea60-00030d41-1b019003.bin");
    EXPECT_EQ(ids.RecordPath(), "/accuraterip/0/6/a/dBAR-003-0000ea60-00030d41-1b019003.bin");
  }
}

// Catches: a data track counted as audio, a lead-out not moved back by the session gap, or
// a CDDB id that leaves the data track out (that id counts every track and the real end).
TEST(AccurateRipDiscIds, DataTrackLastEndsTheAudioSessionEarly) {
  const CdToc toc = Toc({0, 20000, 40000, 50000}, {0, 0, 1});
  // The audio ends 11 400 sectors before the data track: lead-out 28 600.
  // id1 = 0 + 20000 + 28600 = 48600; id2 = 1 + 20000 x 2 + 28600 x 3 = 125801.
  // CDDB over all three tracks: seconds 2, 268, 535 -> 2 + 16 + 13 = 31; length
  // 50150 / 75 - 2 = 666 seconds.
  const uint32_t cddb = (31u << 24) | (666u << 8) | 3u;
  for (const AccurateRipDiscIds& ids : {ComputeAccurateRipDiscIds(toc), ComputeAccurateRipDiscIds(Table(toc))}) {
    ExpectIds(ids, 2, 48600, 125801, cddb);
    EXPECT_EQ(ids.FileName(), "dBAR-002-0000bdd8-0001eb69-1f029a03.bin");
  }
}

// Catches: a one-track disc whose first track is taken for a data disc, or whose sector-0
// start drops out of id2.
TEST(AccurateRipDiscIds, OneTrackDisc) {
  const CdToc toc = Toc({0, 22500});
  // id1 = 22500; id2 = 1 + 22500 x 2 = 45001. CDDB: 2 seconds -> 2; 22650 / 75 - 2 = 300.
  ExpectIds(ComputeAccurateRipDiscIds(toc), 1, 22500, 45001, (2u << 24) | (300u << 8) | 1u);
}

AccurateRipPressing Pressing(uint32_t id1, uint32_t id2, uint32_t cddb, std::vector<AccurateRipTrackEntry> tracks) {
  return {id1, id2, cddb, std::move(tracks)};
}

// Catches: fields written in the wrong order or byte order, and pressings after the first
// dropped.
TEST(AccurateRipRecordFormat, SeveralPressingsRoundTripAndTheBytesAreTheFormat) {
  AccurateRipRecord record;
  record.pressings.push_back(Pressing(0x01020304, 0x0A0B0C0D, 0xF00DCAFE, {{7, 0x11223344, 0x55667788}, {200, 0xFFFFFFFF, 0}}));
  record.pressings.push_back(Pressing(0x01020304, 0x0A0B0C0D, 0xF00DCAFE, {{1, 0xDEADBEEF, 0xABCDEF01}, {0, 1, 2}}));
  record.pressings.push_back(Pressing(9, 8, 7, {{3, 4, 5}}));
  const std::string bytes = EncodeAccurateRipRecord(record);
  ASSERT_EQ(bytes.size(), size_t{(13 + 2 * 9) * 2 + 13 + 9});
  // The first chunk byte by byte: count, id1, id2, cddb, then the first track's entry.
  const std::string head("\x02\x04\x03\x02\x01\x0D\x0C\x0B\x0A\xFE\xCA\x0D\xF0\x07\x44\x33\x22\x11\x88\x77\x66\x55", 22);
  EXPECT_EQ(bytes.substr(0, 22), head);
  const auto parsed = ParseAccurateRipRecord(bytes);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed.Value().pressings, record.pressings);
  // An empty record is a record without pressings.
  const auto empty = ParseAccurateRipRecord("");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty.Value().pressings.empty());
}

// Catches: a truncated download taken for a shorter record (pressings read past the end,
// or silently dropped).
TEST(AccurateRipRecordFormat, RecordCutInsideAPressingIsRefused) {
  AccurateRipRecord record;
  record.pressings.push_back(Pressing(1, 2, 3, {{1, 2, 3}, {4, 5, 6}}));
  record.pressings.push_back(Pressing(1, 2, 3, {{7, 8, 9}, {10, 11, 12}}));
  const std::string bytes = EncodeAccurateRipRecord(record);
  const size_t chunk = 13 + 2 * 9;
  for (const size_t cut : {size_t{1}, size_t{12}, size_t{13}, size_t{20}, chunk - 1, chunk + 1, chunk + 13, bytes.size() - 1}) {
    const auto parsed = ParseAccurateRipRecord(std::string_view(bytes).substr(0, cut));
    ASSERT_FALSE(parsed) << cut;
    EXPECT_EQ(parsed.Error().category, ErrorCategory::Format);
    // Where the broken pressing starts.
    EXPECT_EQ(parsed.Error().position.value, cut < chunk ? 0u : chunk) << cut;
  }
  EXPECT_TRUE(ParseAccurateRipRecord(std::string_view(bytes).substr(0, chunk)));
}

class AccurateRipVerdicts : public ::testing::Test {
 protected:
  AccurateRipVerdicts() {
    ids_ = ComputeAccurateRipDiscIds(Toc({0, 10000, 20000, 30000}));
    const auto samples = arref::Noise(5000, 3);
    const arref::Sums plain = arref::Checksums(samples, false, false);
    sums_ = {plain.v1, plain.v2};
  }
  AccurateRipPressing Of(uint32_t crc, uint8_t confidence) const {
    // Track 2 (index 1) carries the entry under test; the others are filler.
    return Pressing(ids_.id1, ids_.id2, ids_.cddb, {{50, 1, 0}, {confidence, crc, 0}, {50, 2, 0}});
  }
  AccurateRipDiscIds ids_;
  AccurateRipSums sums_;
};

// Catches: confidences of matching pressings not summed, a v2 match reported as v1, and
// the disc's total confidence leaving out the pressings that did not match.
TEST_F(AccurateRipVerdicts, MatchingPressingsAddUpAndV2Wins) {
  AccurateRipRecord record;
  record.pressings = {Of(0x12345678, 3), Of(sums_.v1, 5), Of(sums_.v2, 7)};
  AccurateRipVerdict verdict = VerifyAccurateRip(record, ids_, 1, sums_);
  EXPECT_EQ(verdict.kind, AccurateRipVerdict::Kind::Accurate);
  EXPECT_EQ(verdict.confidence, 12);
  EXPECT_EQ(verdict.version, 2);
  EXPECT_EQ(verdict.totalConfidence, 15);
  EXPECT_EQ(AccurateRipVerdictText(verdict), "accurately ripped (confidence 12, v2)");

  record.pressings = {Of(0x12345678, 3), Of(sums_.v1, 5)};
  verdict = VerifyAccurateRip(record, ids_, 1, sums_);
  EXPECT_EQ(verdict.kind, AccurateRipVerdict::Kind::Accurate);
  EXPECT_EQ(verdict.confidence, 5);
  EXPECT_EQ(verdict.version, 1);
  EXPECT_EQ(AccurateRipVerdictText(verdict), "accurately ripped (confidence 5, v1)");
}

// Catches: a pressing of another disc layout (other ids, or the same ids with another track
// count) taken as evidence for or against the rip.
TEST_F(AccurateRipVerdicts, PressingsOfAnotherLayoutAreIgnored) {
  AccurateRipPressing otherIds = Of(sums_.v2, 40);
  otherIds.id1 += 1;
  AccurateRipPressing otherCount = Of(sums_.v2, 30);
  otherCount.tracks.pop_back();
  AccurateRipPressing otherCddb = Of(sums_.v1, 20);
  otherCddb.cddb ^= 0x100;

  AccurateRipRecord record;
  record.pressings = {otherIds, otherCount, otherCddb};
  AccurateRipVerdict verdict = VerifyAccurateRip(record, ids_, 1, sums_);
  EXPECT_EQ(verdict.kind, AccurateRipVerdict::Kind::NotInDatabase);
  EXPECT_EQ(AccurateRipVerdictText(verdict), "not in the database");

  record.pressings.push_back(Of(0x0BADF00D, 4));
  verdict = VerifyAccurateRip(record, ids_, 1, sums_);
  EXPECT_EQ(verdict.kind, AccurateRipVerdict::Kind::NotAccurate);
  EXPECT_EQ(verdict.confidence, 0);
  EXPECT_EQ(verdict.totalConfidence, 4);
  EXPECT_EQ(AccurateRipVerdictText(verdict), "not accurate (confidence of the disc 4)");

  // A track the disc does not have is not in the database.
  EXPECT_EQ(VerifyAccurateRip(record, ids_, 3, sums_).kind, AccurateRipVerdict::Kind::NotInDatabase);
  EXPECT_EQ(VerifyAccurateRip(record, ids_, -1, sums_).kind, AccurateRipVerdict::Kind::NotInDatabase);
  EXPECT_EQ(AccurateRipVerdictText(AccurateRipVerdict{}), "not verified");
}

}  // namespace
