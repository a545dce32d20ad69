// CD to MP3 runs that encode several read tracks at once, each on an encoder lane.
#include <set>

#include "common/paths.h"
#include "pipeline_fixture.h"

namespace {

std::vector<std::string> History(const RecordingHost::Row& row) {
  std::vector<std::string> out;
  for (const auto& text : row.history) out.push_back(text.substr(0, text.find('\t')));
  return out;
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The encoder log's lines of track `track` ("[Track 02] ...") without their label.
std::vector<std::string> LinesOf(const std::vector<std::string>& log, int track) {
  char label[32];
  std::snprintf(label, sizeof label, "[Track %02i] ", track);
  std::vector<std::string> lines;
  for (const std::string& line : log)
    if (line.starts_with(label)) lines.push_back(line.substr(std::char_traits<char>::length(label)));
  return lines;
}

}  // namespace

class CdEncoderLanes : public PipelineTest {
 protected:
  // A pipeline of its own with `lanes` encoder lanes and `tracks` selected tracks, whose
  // readers write their ".tmp" files.
  struct LaneRig {
    LaneRig(MainLoop& loop, SettingsTable& settings, int lanes, int tracks) : rig(loop, settings) {
      settings.encoderJobs = lanes;
      rig.h.AddTracks(tracks);
      rig.f.reader = ReaderWrites;
    }
    Rig rig;
  };
};

// Catches lanes that wait for each other (a second track not encoded while the first is),
// a reader held up by busy lanes, row words or a done signal unlike one lane's, and album
// values made in the order the encodes ended instead of by track.
TEST_F(CdEncoderLanes, TwoLanesEncodeTogetherAndEndAsOneLaneDoes) {
  settings.beepWhenDone = 1;
  settings.replayGain = 1;
  settings.mpegMode = kModeFlac;  // takes container tags: every encode measures its loudness
  std::map<int, std::string> rows;
  for (const int lanes : {1, 2}) {
    SCOPED_TRACE(lanes);
    LaneRig lane(loop, settings, lanes, 4);
    Rig& r = lane.rig;
    std::map<std::string, std::unique_ptr<std::atomic<bool>>> gates;
    for (const char* name : {"Track01.tmp", "Track02.tmp"}) gates[PathIn(name)] = std::make_unique<std::atomic<bool>>(false);
    r.f.encoder = [&](const EncoderJob& job) {
      const auto gate = gates.find(job.inputPath);
      WorkerScript script{.writeFile = ChangeFileExt(job.inputPath, ".flac"),
                          .gate = gate == gates.end() ? nullptr : gate->second.get()};
      TrackLoudness loudness;
      loudness.integratedLufs = -20.0 - static_cast<double>(job.inputPath.size() % 7);
      script.loudness = loudness;
      return script;
    };
    r.p.StartButtonClick();
    if (lanes == 2) {
      // Both lanes encode while the reader reads on: tracks 3 and 4 wait as "Read".
      ASSERT_TRUE(PumpUntil([&] { return r.h.Statuses(JobList::Tracks) == "Read Read Read Read"; }));
      ASSERT_TRUE(PumpUntil([&] { return r.f.encoderJobs.size() == 2; }));
      EXPECT_EQ(r.f.encoderJobs[0].inputPath, PathIn("Track01.tmp"));
      EXPECT_EQ(r.f.encoderJobs[1].inputPath, PathIn("Track02.tmp"));
      // Track 2 ends first; its lane takes track 3, then 4, while track 1 still encodes.
      *gates[PathIn("Track02.tmp")] = true;
      ASSERT_TRUE(PumpUntil([&] { return r.h.Statuses(JobList::Tracks) == "Read OK OK OK"; }));
      EXPECT_TRUE(r.p.Busy()) << "the run ended with a lane still encoding";
      EXPECT_EQ(r.h.beeps, 0);
      *gates[PathIn("Track01.tmp")] = true;
    } else {
      ASSERT_TRUE(PumpUntil([&] { return r.f.encoderJobs.size() == 1 && r.h.Statuses(JobList::Tracks) == "Read Read Read Read"; }));
      EXPECT_EQ(r.f.encoderJobs.size(), 1u) << "one lane encodes one track at a time";
      for (auto& [path, gate] : gates) *gate = true;
    }
    RunUntilIdle(&r.p);
    rows[lanes] = r.h.Statuses(JobList::Tracks);
    EXPECT_EQ(rows[lanes], "OK OK OK OK");
    for (const auto& row : r.h.tracks) EXPECT_EQ(History(row), (std::vector<std::string>{"+", "Read", "OK"}));
    EXPECT_EQ(r.h.beeps, 3) << "the done signal, once";
    ASSERT_EQ(r.f.replayGainJobs.size(), 1u);
    ASSERT_EQ(r.f.replayGainJobs[0].albums.size(), 1u);
    std::vector<std::string> album;
    for (const ReplayGainFile& file : r.f.replayGainJobs[0].albums[0]) album.push_back(FileName(file.path));
    EXPECT_EQ(album, (std::vector<std::string>{"Track01.flac", "Track02.flac", "Track03.flac", "Track04.flac"}));
    for (const char* name : {"Track01", "Track02", "Track03", "Track04"}) {
      EXPECT_TRUE(Exists(PathIn(std::string(name) + ".flac"))) << name;
      EXPECT_FALSE(Exists(PathIn(std::string(name) + ".tmp"))) << name << ": the temporary file of a finished encode";
    }
    EXPECT_EQ(r.h.status[MakerPanel::Encoder], " FLAC Encoder: Idle");
  }
  EXPECT_EQ(rows[1], rows[2]);
}

// Catches lane lines that do not say their track (or say another's), an empty line that
// separates nothing between interleaved encodes, a panel that shows one lane's own text
// while two encode, and labels where only one lane runs (a run of one track, or one lane).
TEST_F(CdEncoderLanes, LanesLabelTheirLinesAndThePanelNamesTheirTracks) {
  for (const auto& [lanes, tracks] : {std::pair{2, 3}, std::pair{2, 1}, std::pair{1, 3}}) {
    SCOPED_TRACE(std::to_string(lanes) + " lanes, " + std::to_string(tracks) + " tracks");
    LaneRig lane(loop, settings, lanes, tracks);
    Rig& r = lane.rig;
    std::atomic<bool> gate{false};
    r.f.encoder = [&](const EncoderJob& job) {
      return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".mp3"),
                          .logLines = {"Encoding: " + job.inputPath, "To: " + ChangeFileExt(job.inputPath, ".mp3")},
                          .statusText = " MP3 Encoder: 45.20%, " + job.inputPath,
                          .gate = &gate};
    };
    r.p.StartButtonClick();
    const bool labelled = lanes == 2 && tracks > 1;
    if (labelled) {
      ASSERT_TRUE(PumpUntil(
          [&] { return r.h.status[MakerPanel::Encoder] == " MP3 Encoder: 2 tracks (01: 45.20%; 02: 45.20%)"; }));
    } else {
      ASSERT_TRUE(PumpUntil([&] { return r.h.status[MakerPanel::Encoder] == " MP3 Encoder: 45.20%, " + PathIn("Track01.tmp"); }));
    }
    gate = true;
    RunUntilIdle(&r.p);
    ASSERT_EQ(r.h.Statuses(JobList::Tracks), tracks == 3 ? "OK OK OK" : "OK");
    if (!labelled) {
      for (const std::string& line : r.h.encoderLog) EXPECT_FALSE(line.starts_with("[Track")) << line;
      EXPECT_EQ(LogCount(r.h.encoderLog, "Encoding: " + PathIn("Track01.tmp")), 1u);
      continue;
    }
    for (const std::string& line : r.h.encoderLog) EXPECT_TRUE(line.starts_with("[Track 0")) << "unlabelled: " << line;
    for (int track = 1; track <= 3; ++track) {
      const std::string tmp = PathIn("Track0" + std::to_string(track) + ".tmp");
      const std::vector<std::string> lines = LinesOf(r.h.encoderLog, track);
      ASSERT_EQ(lines.size(), 3u) << track;
      EXPECT_EQ(lines[0], "Encoding: " + tmp);
      EXPECT_EQ(lines[1], "To: " + ChangeFileExt(tmp, ".mp3"));
      EXPECT_TRUE(lines[2].starts_with("    Done (")) << lines[2];
    }
    for (const LogEvent& event : r.h.encoderEvents) EXPECT_TRUE(event.subject.starts_with("Track 0")) << event.text;
  }
}

// Catches a Cancel that stops one lane only, ends the run while a lane still encodes,
// leaves a ".tmp" or a partial output behind, or words the rows otherwise than one lane.
TEST_F(CdEncoderLanes, CancelWithTwoLanesEncodingEndsEveryLaneAndLeavesNoStrayFile) {
  settings.beepWhenDone = 1;
  settings.cd2mp3DelTempOnError = 1;
  settings.cd2mp3DelMp3OnError = 1;
  LaneRig lane(loop, settings, 2, 4);
  Rig& r = lane.rig;
  r.f.encoder = [](const EncoderJob& job) {
    return WorkerScript{.blockUntilCancelled = true, .writeFile = ChangeFileExt(job.inputPath, ".mp3")};
  };
  r.p.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return r.h.Statuses(JobList::Tracks) == "Read Read Read Read" && r.f.encoderJobs.size() == 2; }));
  ASSERT_TRUE(PumpUntil([&] { return Exists(PathIn("Track01.mp3")) && Exists(PathIn("Track02.mp3")); }));
  r.p.CancelButtonClick();
  RunUntilIdle(&r.p);
  EXPECT_EQ(r.h.Statuses(JobList::Tracks), "Cancelled Cancelled Cancelled Cancelled");
  EXPECT_EQ(r.f.encoderJobs.size(), 2u) << "a track started after Cancel";
  EXPECT_EQ(r.h.beeps, 0);
  EXPECT_EQ(LogCount(r.h.encoderLog, "[Track 01]     Cancelled."), 1u);
  EXPECT_EQ(LogCount(r.h.encoderLog, "[Track 02]     Cancelled."), 1u);
  EXPECT_TRUE(r.h.visible["StartButton"]);
  EXPECT_EQ(r.h.status[MakerPanel::Encoder], " MP3 Encoder: Idle");
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) left.insert(entry.path().filename().string());
  EXPECT_TRUE(left.empty()) << *left.begin();
}

// Catches an encode error on one lane that stops or spoils the other lane, or whose delete
// rules reach another track's files.
TEST_F(CdEncoderLanes, EncodeErrorOnOneLaneKeepsTheOthersAndDeletesOnlyItsOwnFiles) {
  settings.cd2mp3DelTempOnError = 0;
  settings.cd2mp3DelMp3OnError = 1;
  LaneRig lane(loop, settings, 2, 3);
  Rig& r = lane.rig;
  std::atomic<bool> gate{false};
  r.f.encoder = [&](const EncoderJob& job) {
    const bool bad = job.inputPath == PathIn("Track02.tmp");
    return WorkerScript{.error = bad, .writeFile = ChangeFileExt(job.inputPath, ".mp3"), .gate = bad ? nullptr : &gate};
  };
  r.p.StartButtonClick();
  // Track 2 fails while track 1 still encodes on the other lane.
  ASSERT_TRUE(PumpUntil([&] { return r.h.Statuses(JobList::Tracks).starts_with("Read Error "); }));
  EXPECT_TRUE(Exists(PathIn("Track01.tmp")));
  gate = true;
  RunUntilIdle(&r.p);
  EXPECT_EQ(r.h.Statuses(JobList::Tracks), "OK Error OK");
  EXPECT_TRUE(Exists(PathIn("Track01.mp3")));
  EXPECT_TRUE(Exists(PathIn("Track03.mp3")));
  EXPECT_FALSE(Exists(PathIn("Track02.mp3"))) << "the failed track's output";
  EXPECT_FALSE(Exists(PathIn("Track02.tmp")));
  EXPECT_TRUE(Exists(PathIn("Track02.unencoded.wav"))) << "the failed track's read, kept under its own name";
  for (const char* name : {"Track01.tmp", "Track03.tmp", "Track01.unencoded.wav", "Track03.unencoded.wav"})
    EXPECT_FALSE(Exists(PathIn(name))) << name;
  EXPECT_EQ(LogCount(r.h.encoderLog, "[Track 02]     Kept track 02 as " + PathIn("Track02.unencoded.wav") +
                                         " (not encoded: the encode failed)."),
            1u);
}
