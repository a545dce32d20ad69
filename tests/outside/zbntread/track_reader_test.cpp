// The read loop of the reader library against disc images with simulated drive faults.
#include "outside/zbntread/track_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "cdaccess/cd_drive_list.h"
#include "outside/zbntread/zbntread.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

using testcd::Audio;

struct Message {
  uint8_t type;
  int32_t value;
};

struct ReadRun {
  TrackReadOutcome outcome;
  Audio audio;
  std::vector<Message> messages;

  int Count(uint8_t type) const {
    return int(std::count_if(messages.begin(), messages.end(), [type](const Message& m) { return m.type == type; }));
  }
  const Message* Find(uint8_t type) const {
    const auto it = std::find_if(messages.begin(), messages.end(), [type](const Message& m) { return m.type == type; });
    return it == messages.end() ? nullptr : &*it;
  }
};

ReadRun ReadTrack(CdSource& source, const TrackReadParams& params) {
  ReadRun run;
  TrackReadEvents events;
  events.message = [&](uint8_t type, int32_t value, int32_t) { run.messages.push_back({type, value}); };
  events.cancelled = [] { return false; };
  events.emit = [&](std::span<const uint32_t> frames) {
    const size_t at = run.audio.size();
    run.audio.resize(at + frames.size() * 2);
    std::memcpy(&run.audio[at], frames.data(), frames.size() * 4);
    return true;
  };
  TrackReader reader(source, params, events);
  run.outcome = reader.Run();
  return run;
}

TrackReadParams ParamsFor(const testcd::DiscImage& image, int track, bool jitter, int sectorsPerRead = 13,
                          int overlap = 30) {
  TrackReadParams params;
  params.firstSector = image.Start(track);
  params.endSector = image.End(track);
  params.sectorsPerRead = sectorsPerRead;
  params.jitterCorrection = jitter;
  params.overlapPercent = overlap;
  params.syncNoMatchRetries = 3;
  return params;
}

std::unique_ptr<CdSource> OpenImage(const testcd::DiscImage& image, const std::string& faults) {
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", faults);
  for (const auto& entry : ListCdDrives(CdAccessMethod::OsInterface, image.Images()))
    if (entry.image) {
      auto source = OpenCdDrive(entry, CdAccessMethod::OsInterface);
      return source ? std::move(source).Value() : nullptr;
    }
  return nullptr;
}

// A mixed disc: noise, a tone, silence around a tone; track lengths are no multiple of a read.
class TrackReaderTest : public ::testing::Test {
 protected:
  testcd::TempDir dir_;
  testcd::DiscImage image_{dir_.Path(), "mixed",
                           {testcd::Noise(101, 1),
                            testcd::Join({testcd::Silence(20), testcd::Tone(97, 1000.0, 12000), testcd::Noise(40, 2),
                                          testcd::Silence(30)}),
                            testcd::Tone(77, 441.0, 9000)}};
};

// Catches: plain reads that skip, repeat or cut sectors at read boundaries, and jitter
// correction that invents corrections when every read is exact.
TEST_F(TrackReaderTest, CleanImageReadsAreBitExactWithoutCorrections) {
  auto source = OpenImage(image_, "");
  ASSERT_NE(source, nullptr);
  for (bool jitter : {false, true}) {
    for (int track = 1; track <= 3; ++track) {
      const ReadRun run = ReadTrack(*source, ParamsFor(image_, track, jitter));
      EXPECT_EQ(run.outcome, TrackReadOutcome::Finished);
      EXPECT_EQ(run.audio, image_.Track(track)) << "track " << track;
      EXPECT_EQ(run.Find(READER_MSG_CORRECTIONS), nullptr);
      ASSERT_FALSE(run.messages.empty());
      EXPECT_EQ(run.messages.back().type, READER_MSG_PROGRESS);
      EXPECT_EQ(run.messages.back().value, 10000);
    }
  }
}

// Catches: overlap matching that misplaces jittered reads (silence, tones, noise) or gives
// up on them, for small and large reads and overlaps.
TEST_F(TrackReaderTest, CorrectedReadsAreBitExactUnderSimulatedJitter) {
  for (const auto& [sectors, overlap] : {std::pair{8, 10}, {26, 80}}) {
    auto source = OpenImage(image_, "jitter=100,share=0.33,seed=7");
    int corrections = 0;
    for (int track = 1; track <= 3; ++track) {
      const ReadRun run = ReadTrack(*source, ParamsFor(image_, track, /*jitter=*/true, sectors, overlap));
      EXPECT_TRUE(run.audio == image_.Track(track)) << "track " << track << ", " << sectors << " sectors, " << overlap << "%";
      EXPECT_EQ(run.Count(READER_MSG_SYNC_ERROR), 0);
      if (const Message* m = run.Find(READER_MSG_CORRECTIONS)) corrections += m->value;
    }
    EXPECT_GT(corrections, 0) << "the simulated jitter was never corrected";
  }
}

// Catches: trusting two agreeing reads at the start of a track, which may both be misplaced
// the same way (these seeds draw the same jitter twice in a row early on).
TEST_F(TrackReaderTest, TrackStartIsSettledByThreeAgreeingReads) {
  for (const char* faults : {"jitter=100,share=0.5,seed=7", "jitter=100,share=0.5,seed=13"}) {
    auto source = OpenImage(image_, faults);
    for (int track = 1; track <= 3; ++track) {
      const ReadRun run = ReadTrack(*source, ParamsFor(image_, track, /*jitter=*/true, 8, 40));
      EXPECT_TRUE(run.audio == image_.Track(track)) << faults << ", track " << track;
      EXPECT_EQ(run.Count(READER_MSG_SUSPICIOUS_START), 0);
    }
  }
}

// Catches: read errors that a retry cures being lost silently, or spoiling the audio.
TEST_F(TrackReaderTest, TransientErrorsAreRetriedAndReported) {
  for (bool jitter : {false, true}) {
    auto source = OpenImage(image_, "transient=3,seed=3");
    const ReadRun run = ReadTrack(*source, ParamsFor(image_, 1, jitter, 8));
    EXPECT_EQ(run.audio, image_.Track(1));
    EXPECT_EQ(run.Count(READER_MSG_DRIVE_ERROR), 3);
    EXPECT_EQ(run.Find(READER_MSG_DRIVE_ERROR)->value, 0x11);
    EXPECT_EQ(run.Count(READER_MSG_READ_ERROR), 0);
  }
}

// Catches: unreadable sectors passing for good audio, or taking the rest of the read with them.
TEST_F(TrackReaderTest, UnreadableSectorsBecomeOneErrorAndSilence) {
  const int32_t bad = image_.Start(2) + 50;
  auto source = OpenImage(image_, "bad=" + std::to_string(bad) + "-" + std::to_string(bad + 2));
  const ReadRun run = ReadTrack(*source, ParamsFor(image_, 2, /*jitter=*/false));
  EXPECT_EQ(run.outcome, TrackReadOutcome::Finished);
  ASSERT_EQ(run.Count(READER_MSG_READ_ERROR), 1);
  EXPECT_EQ(run.Find(READER_MSG_READ_ERROR)->value, bad);
  Audio expected = image_.Track(2);
  std::fill(expected.begin() + 50 * 1176, expected.begin() + 53 * 1176, 0);
  EXPECT_EQ(run.audio, expected);

  auto jittery = OpenImage(image_, "jitter=50,share=0.3,bad=" + std::to_string(bad) + "-" + std::to_string(bad));
  const ReadRun corrected = ReadTrack(*jittery, ParamsFor(image_, 2, /*jitter=*/true));
  EXPECT_EQ(corrected.outcome, TrackReadOutcome::Finished);
  EXPECT_EQ(corrected.audio.size(), image_.Track(2).size());
  EXPECT_GE(corrected.Count(READER_MSG_READ_ERROR), 1);
}

// A drive whose reads all start the same number of frames early once the first few are done.
class OffsetSource final : public CdSource {
 public:
  OffsetSource(const Audio& disc, int offsetFrames, int exactReads)
      : disc_(disc), offset_(offsetFrames), exactReads_(exactReads) {}
  Expected<std::string> Name() override { return std::string("offset"); }
  CdDriveAddress Address() const override { return {}; }
  Expected<CdToc> ReadToc() override {
    CdToc toc;
    toc.starts = {0, static_cast<int32_t>(disc_.size() / 1176)};
    return toc;
  }
  Outcome SetSpeed(int) override { return Done{}; }
  bool PausesAfterFailure() const override { return false; }
  Outcome ReadAudio(int32_t sector, int sectors, int, std::span<uint8_t> out) override {
    const int64_t first = int64_t{sector} * 588 + (reads_++ < exactReads_ ? 0 : offset_);
    auto* frames = reinterpret_cast<uint32_t*>(out.data());
    for (int64_t i = 0; i < int64_t{sectors} * 588; ++i) {
      const int64_t at = first + i;
      frames[i] = (at < 0 || at >= static_cast<int64_t>(disc_.size() / 2))
                      ? 0
                      : (static_cast<uint16_t>(disc_[2 * at]) | (uint32_t{static_cast<uint16_t>(disc_[2 * at + 1])} << 16));
    }
    return Done{};
  }

 private:
  const Audio& disc_;
  int offset_;
  int exactReads_;
  int reads_ = 0;
};

// Catches: a loop that never ends when reads near the track end always stop short.
TEST(TrackReaderOffsetTest, DriveThatTurnsEarlyStillReachesTrackEnd) {
  const Audio disc = testcd::Noise(50, 9);
  OffsetSource source(disc, -40, /*exactReads=*/TrackReader::kVotesNeeded);
  TrackReadParams params{.firstSector = 0, .endSector = 50, .sectorsPerRead = 12, .jitterCorrection = true,
                         .overlapPercent = 20};
  const ReadRun run = ReadTrack(source, params);
  EXPECT_EQ(run.outcome, TrackReadOutcome::Finished);
  ASSERT_EQ(run.audio.size(), disc.size());
  EXPECT_EQ(run.Count(READER_MSG_SUSPICIOUS_END), 1);
  ASSERT_NE(run.Find(READER_MSG_CORRECTIONS), nullptr);
  // Everything up to the last read is placed right.
  EXPECT_TRUE(std::equal(disc.begin(), disc.end() - 12 * 1176, run.audio.begin()));
}

}  // namespace
