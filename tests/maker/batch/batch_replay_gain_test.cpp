// ReplayGain of a terminal file run whose files are encoded several at once: the album of
// a folder spans the parallel jobs.
#include "batch_test_support.h"

namespace batch_test {
namespace {

std::string ProbeTag(const std::string& path, const std::string& key) {
  RunResult r = RunShell("ffprobe -v error -show_entries format_tags=" + key +
                         " -of default=noprint_wrappers=1:nokey=1 '" + path + "'");
  while (!r.output.empty() && r.output.back() == '\n') r.output.pop_back();
  return r.output;
}

// Catches parallel jobs that each tag their own file as an album of one: with two jobs at
// once, every FLAC of the folder gets the album gain a run of one job at a time gives,
// and its own track gain.
TEST_F(BatchEndToEnd, ParallelJobsTagOneAlbumPerFolder) {
  if (RunShell("command -v ffprobe").exitCode != 0) GTEST_SKIP() << "ffprobe is not installed";
  std::filesystem::create_directories(dir + "/home");
  std::ofstream(dir + "/home/zbmaker.INI") << "[Options]\nMPEGMode=6\nReplayGainFiles=1\n";
  RunShell("sox -n -r 44100 -c 2 -b 16 '" + dir + "/loud.wav' synth 2 sine 440 sine 554 vol 0.8");
  RunShell("sox -n -r 44100 -c 2 -b 16 '" + dir + "/quiet.wav' synth 1.5 sine 660 vol 0.1");
  RunShell("sox -n -r 44100 -c 2 -b 16 '" + dir + "/mid.wav' synth 1 sine 330 vol 0.3");
  const char* names[] = {"loud", "quiet", "mid"};

  std::vector<std::string> alone;
  const RunResult one = Maker("--batch --jobs 1 loud.wav quiet.wav mid.wav");
  ASSERT_EQ(one.exitCode, 0) << one.output;
  for (const char* name : names) {
    alone.push_back(ProbeTag(dir + "/" + name + ".flac", "REPLAYGAIN_TRACK_GAIN") + " / " +
                    ProbeTag(dir + "/" + name + ".flac", "REPLAYGAIN_ALBUM_GAIN"));
  }
  EXPECT_NE(alone[0], alone[1]);
  EXPECT_EQ(Count(one.output, "    ReplayGain: track "), 3) << one.output;

  const RunResult parallel = Maker("--batch --jobs 2 --yes loud.wav quiet.wav mid.wav");
  ASSERT_EQ(parallel.exitCode, 0) << parallel.output;
  for (size_t i = 0; i < 3; ++i) {
    const std::string path = dir + "/" + names[i] + ".flac";
    EXPECT_EQ(ProbeTag(path, "REPLAYGAIN_TRACK_GAIN") + " / " + ProbeTag(path, "REPLAYGAIN_ALBUM_GAIN"), alone[i])
        << parallel.output;
  }
  EXPECT_EQ(Count(parallel.output, "    ReplayGain: track "), 3) << parallel.output;
}

}  // namespace
}  // namespace batch_test
