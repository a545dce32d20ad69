// Find read offset end to end: synthesized disc images read through the real reader
// library, against records built here from the disc's true audio.
#include "maker/cd/read_offset_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "tests/cdaccess/disc_image_builder.h"
#include "tests/maker/accuracy/accuraterip_reference.h"

namespace {

class RecordingHost : public WorkerHost {
 public:
  void AppendLog(MakerLog, const LogEvent& event) override { lines.push_back(event.text); }
  void SetStatusText(MakerPanel, const std::string& text) override { statuses.push_back(text); }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  std::vector<std::string> lines;
  std::vector<std::string> statuses;
};

const std::vector<int> kFiveTracks = {31, 26, 29, 24, 33};

// A disc's true audio (noise, one stream) and the image a drive with a read offset of
// `driveOffset` samples gives of it: sample x of the image is sample x - driveOffset of
// the disc, so reading with that offset gives the disc back.
struct OffsetDisc {
  OffsetDisc(const std::string& dir, const std::string& name, int driveOffset,
             const std::vector<int>& trackSectors = kFiveTracks) {
    size_t frames = 0;
    for (const int sectors : trackSectors) frames += static_cast<size_t>(sectors) * kCdFramesPerSector;
    truth = arref::Noise(frames, 99);
    std::vector<testcd::Audio> tracks;
    size_t at = 0;
    for (const int sectors : trackSectors) {
      testcd::Audio track;
      for (size_t i = 0; i < static_cast<size_t>(sectors) * kCdFramesPerSector; ++i) {
        const int64_t source = static_cast<int64_t>(at + i) - driveOffset;
        const bool inside = source >= 0 && source < static_cast<int64_t>(frames);
        track.push_back(inside ? truth[2 * static_cast<size_t>(source)] : 0);
        track.push_back(inside ? truth[2 * static_cast<size_t>(source) + 1] : 0);
      }
      trueTracks.emplace_back(truth.begin() + static_cast<std::ptrdiff_t>(2 * at),
                              truth.begin() + static_cast<std::ptrdiff_t>(2 * (at + track.size() / 2)));
      at += track.size() / 2;
      tracks.push_back(std::move(track));
    }
    image = std::make_unique<testcd::DiscImage>(dir, name, tracks);
    table.audio = 1;
    table.trackCount = static_cast<int>(tracks.size());
    CdToc toc;
    for (int t = 1; t <= table.trackCount + 1; ++t) {
      table.start[static_cast<size_t>(t)] = t <= table.trackCount ? image->Start(t) : image->End(table.trackCount);
      toc.starts.push_back(table.start[static_cast<size_t>(t)]);
    }
    ids = ComputeAccurateRipDiscIds(toc);
  }

  // A pressing of the disc: each track's true v1 or v2 sums, or wrong ones.
  AccurateRipPressing Pressing(bool v2, uint8_t confidence, bool wrong = false) const {
    AccurateRipPressing pressing{ids.id1, ids.id2, ids.cddb, {}};
    for (size_t t = 0; t < trueTracks.size(); ++t) {
      const arref::Sums sums = arref::Checksums(trueTracks[t], t == 0, t + 1 == trueTracks.size());
      pressing.tracks.push_back({confidence, (v2 ? sums.v2 : sums.v1) ^ (wrong ? 0x00F0F0F0u : 0u), 0});
    }
    return pressing;
  }

  std::vector<int16_t> truth;
  std::vector<std::vector<int16_t>> trueTracks;
  std::unique_ptr<testcd::DiscImage> image;
  TrackTable table;
  AccurateRipDiscIds ids;
};

class ReadOffsetFinderTest : public ::testing::Test {
 protected:
  ReadOffsetFinderJob Job(const OffsetDisc& disc, std::shared_ptr<const AccurateRipRecord> record) {
    ReadOffsetFinderJob job;
    job.drive = disc.image->DriveIndex();
    job.discImages = disc.image->Images();
    job.sectorsPerRead = 16;
    job.jitterCorrection = false;
    job.table = disc.table;
    job.record = std::move(record);
    job.discIds = disc.ids;
    return job;
  }

  ReadOffsetFinding Run(const ReadOffsetFinderJob& job, RecordingHost& host, bool cancelSoon = false) {
    Worker<ReadOffsetFinder> finder(loop_, host, job);
    bool finished = false;
    finder.SetOnFinished([&] { finished = true; });
    finder.Start();
    if (cancelSoon) {
      // Once the first track is being read.
      loop_.RunUntil([&] { return !host.statuses.empty(); }, std::chrono::seconds(60));
      finder.Cancel();
    }
    EXPECT_TRUE(loop_.RunUntil([&] { return finished; }, std::chrono::seconds(120)));
    error_ = finder.Error();
    return finder.Finding();
  }

  testcd::ScopedEnv libDir_{"ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR};
  testcd::TempDir dir_;
  QueueMainLoop loop_;
  bool error_ = false;
};

// Catches: the widened read or the search shifting the wrong way, tracks read without the
// margins, confidences of the pressings not added, and a result that names the wrong
// tracks.
TEST_F(ReadOffsetFinderTest, FindsTheOffsetOfTheDriveOnTheMiddleTracks) {
  for (const int driveOffset : {667, -30}) {
    SCOPED_TRACE(driveOffset);
    const OffsetDisc disc(dir_.Path(), "disc" + std::to_string(driveOffset + 1000), driveOffset);
    auto record = std::make_shared<AccurateRipRecord>();
    AccurateRipPressing otherDisc = disc.Pressing(/*v2=*/true, 40);
    otherDisc.id1 ^= 1;
    record->pressings = {disc.Pressing(/*v2=*/false, 4), disc.Pressing(/*v2=*/true, 6),
                         disc.Pressing(/*v2=*/false, 2, /*wrong=*/true), otherDisc};
    RecordingHost host;
    const ReadOffsetFinding finding = Run(Job(disc, record), host);
    ASSERT_EQ(finding.kind, ReadOffsetFinding::Kind::Found) << finding.error;
    EXPECT_FALSE(error_);
    EXPECT_EQ(finding.best.offset, driveOffset);
    EXPECT_EQ(finding.best.tracks, 3);
    EXPECT_EQ(finding.best.confidence, 30);
    EXPECT_EQ(finding.tracksRead, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(finding.tracksMatched, (std::vector<int>{2, 3, 4}));
    const std::string result = driveOffset > 0 ? "Read offset +667 (tracks 2, 3, 4 matched, confidence 30)"
                                               : "Read offset -30 (tracks 2, 3, 4 matched, confidence 30)";
    EXPECT_EQ(ReadOffsetFindingText(finding), result);
    EXPECT_TRUE(host.Has(result));
    EXPECT_TRUE(host.Has("Reading track 03 (2 of 3), 3000 samples either side"));
  }
}

// Catches: a finder that does not find what a drive reading 667 samples early needs (the
// simulated drive offset of the disc images), with pressings of the disc that do not
// match beside the one that does.
TEST_F(ReadOffsetFinderTest, FindsTheSimulatedDriveOffset) {
  const OffsetDisc disc(dir_.Path(), "true", /*driveOffset=*/0);
  auto record = std::make_shared<AccurateRipRecord>();
  record->pressings = {disc.Pressing(/*v2=*/false, 2, /*wrong=*/true), disc.Pressing(/*v2=*/true, 7),
                       disc.Pressing(/*v2=*/true, 3, /*wrong=*/true)};
  testcd::ScopedEnv drive("ZIMBAR_CD_SIMULATE", "offset=667");
  RecordingHost host;
  const ReadOffsetFinding finding = Run(Job(disc, record), host);
  ASSERT_EQ(finding.kind, ReadOffsetFinding::Kind::Found) << finding.error;
  EXPECT_EQ(finding.best.offset, 667);
  EXPECT_EQ(finding.tracksMatched, (std::vector<int>{2, 3, 4}));
  EXPECT_TRUE(host.Has("Read offset +667 (tracks 2, 3, 4 matched, confidence 21)"));
}

// Catches: the job's jitter correction not handed to the reader (jittered reads match no
// shift), and the reader's warnings kept from the log.
TEST_F(ReadOffsetFinderTest, JitteryDriveWithJitterCorrection) {
  const OffsetDisc disc(dir_.Path(), "jitter", -30);
  auto record = std::make_shared<AccurateRipRecord>();
  record->pressings = {disc.Pressing(/*v2=*/false, 5)};
  testcd::ScopedEnv drive("ZIMBAR_CD_SIMULATE", "jitter=40,share=0.5,seed=3");
  ReadOffsetFinderJob job = Job(disc, record);
  job.jitterCorrection = true;
  job.overlapPercent = 30;
  job.maxSyncNoMatchRetry = 3;
  RecordingHost host;
  Worker<ReadOffsetFinder> finder(loop_, host, job);
  bool finished = false;
  finder.SetOnFinished([&] { finished = true; });
  finder.Start();
  ASSERT_TRUE(loop_.RunUntil([&] { return finished; }, std::chrono::seconds(120)));
  const ReadOffsetFinding finding = finder.Finding();
  ASSERT_EQ(finding.kind, ReadOffsetFinding::Kind::Found) << finding.error;
  EXPECT_EQ(finding.best.offset, -30);
  EXPECT_EQ(finding.best.tracks, 3);
  EXPECT_TRUE(finder.Warning());
  EXPECT_TRUE(std::any_of(host.lines.begin(), host.lines.end(), [](const std::string& line) {
    return line.rfind("    Warning: Track 02: Made ", 0) == 0;
  }));
}

// Catches: a disc with no middle tracks not searched, and widened reads of its first and
// last tracks that fail where they run past the disc's start or end (silence there).
TEST_F(ReadOffsetFinderTest, TwoTrackDiscIsSearchedOnItsEdgeTracks) {
  const OffsetDisc disc(dir_.Path(), "two", 667, {20, 18});
  auto record = std::make_shared<AccurateRipRecord>();
  record->pressings = {disc.Pressing(/*v2=*/true, 3)};
  RecordingHost host;
  const ReadOffsetFinding finding = Run(Job(disc, record), host);
  ASSERT_EQ(finding.kind, ReadOffsetFinding::Kind::Found) << finding.error;
  EXPECT_EQ(finding.best.offset, 667);
  EXPECT_EQ(finding.tracksMatched, (std::vector<int>{1, 2}));
  EXPECT_EQ(finding.best.confidence, 6);
}

// Catches: the first or last track chosen while middle ones are there, tracks the record
// does not vouch for chosen, a data track chosen, a choice made from another disc's
// pressing, and a long track read (and held in memory) while shorter ones would do.
TEST(ChooseOffsetTracks, MiddleTracksWithTheMostConfidenceFirst) {
  TrackTable table;
  table.trackCount = 6;
  for (int t = 1; t <= 7; ++t) table.start[static_cast<size_t>(t)] = (t - 1) * 1000;
  table.data[6] = 1;  // track 6 is data: five audio tracks
  const AccurateRipDiscIds ids{5, 1, 2, 3};
  AccurateRipRecord record;
  record.pressings.push_back({1, 2, 3, {{9, 0, 0}, {1, 0, 0}, {0, 0, 0}, {5, 0, 0}, {9, 0, 0}}});
  record.pressings.push_back({1, 2, 3, {{9, 0, 0}, {1, 0, 0}, {0, 0, 0}, {5, 0, 0}, {9, 0, 0}}});
  record.pressings.push_back({7, 2, 3, {{0, 0, 0}, {0, 0, 0}, {99, 0, 0}, {0, 0, 0}, {0, 0, 0}}});
  EXPECT_EQ(ChooseOffsetTracks(table, record, ids, 3), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(ChooseOffsetTracks(table, record, ids, 2), (std::vector<int>{2, 4}));
  EXPECT_EQ(ChooseOffsetTracks(table, record, ids, 9), (std::vector<int>{1, 2, 4, 5}));
  EXPECT_TRUE(ChooseOffsetTracks(table, record, {5, 1, 2, 4}, 3).empty());
  // Track 4 lasting over ten minutes goes after the shorter middle track, before the edges.
  table.start[5] = table.start[4] + 10 * 60 * 75 + 1;
  table.start[6] = table.start[5] + 1000;
  table.start[7] = table.start[6] + 1000;
  EXPECT_EQ(ChooseOffsetTracks(table, record, ids, 1), (std::vector<int>{2}));
  EXPECT_EQ(ChooseOffsetTracks(table, record, ids, 2), (std::vector<int>{2, 4}));
  EXPECT_TRUE(ChooseOffsetTracks(table, {}, ids, 3).empty());
}

// Catches: an offset claimed when nothing matched, reading a disc the record does not
// know, and a missing reader library taken for a result.
TEST_F(ReadOffsetFinderTest, NoMatchNotInDatabaseAndNoReader) {
  const OffsetDisc disc(dir_.Path(), "disc", 667);
  auto wrong = std::make_shared<AccurateRipRecord>();
  wrong->pressings = {disc.Pressing(/*v2=*/false, 4, /*wrong=*/true)};
  RecordingHost host;
  ReadOffsetFinding finding = Run(Job(disc, wrong), host);
  EXPECT_EQ(finding.kind, ReadOffsetFinding::Kind::NoMatch);
  EXPECT_FALSE(error_);
  EXPECT_TRUE(host.Has("No read offset matched (tracks 2, 3, 4 read)"));

  RecordingHost unknown;
  finding = Run(Job(disc, nullptr), unknown);
  EXPECT_EQ(finding.kind, ReadOffsetFinding::Kind::NotInDatabase);
  EXPECT_TRUE(finding.tracksRead.empty());
  EXPECT_TRUE(unknown.Has("The disc is not in the AccurateRip database"));

  testcd::TempDir empty;
  testcd::ScopedEnv noLibrary("ZIMBAR_LIB_DIR", empty.Path());
  RecordingHost noReader;
  finding = Run(Job(disc, wrong), noReader);
  EXPECT_EQ(finding.kind, ReadOffsetFinding::Kind::Failed);
  EXPECT_TRUE(error_);
  EXPECT_TRUE(noReader.Has("    Error: Cannot load NT reader."));
}

// Catches: a Cancel reported as a result or as a failure, and reading that goes on to the
// next track after it.
TEST_F(ReadOffsetFinderTest, CancelWhileReadingStopsTheReader) {
  const OffsetDisc disc(dir_.Path(), "disc", 667);
  auto record = std::make_shared<AccurateRipRecord>();
  record->pressings = {disc.Pressing(/*v2=*/false, 4)};
  // A slow drive: every read request of 16 sectors takes 200 ms, a track several seconds.
  testcd::ScopedEnv slow("ZIMBAR_CD_SIMULATE", "delay=200");
  RecordingHost host;
  const ReadOffsetFinding finding = Run(Job(disc, record), host, /*cancelSoon=*/true);
  EXPECT_EQ(finding.kind, ReadOffsetFinding::Kind::Cancelled);
  EXPECT_TRUE(finding.tracksRead.empty());
  EXPECT_FALSE(error_);
  EXPECT_TRUE(host.Has("Cancelled"));
}

}  // namespace
