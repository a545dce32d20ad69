// The files a job leaves behind: deletes that spare what the job did not make, and the
// ".tmp" of a track that was read but not encoded.
#include "maker/jobs/job_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/common/temp_dir.h"

namespace {

class LogHost final : public WorkerHost {
 public:
  void AppendLog(MakerLog log, const LogEvent& event) override {
    lines.push_back(std::string(log == MakerLog::Reader ? "R " : "E ") + event.text);
  }
  void SetStatusText(MakerPanel, const std::string&) override {}
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  std::vector<std::string> lines;
};

void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }

}  // namespace

// Catches a FIFO or a folder in a job's place deleted (or its failure lost), a missing file
// reported, and a file still as it was before the job taken for the job's output.
TEST(JobFiles, DeletesOnlyFilesTheJobWrote) {
  TempDir dir;
  LogHost host;
  JobFiles files(host);

  const std::string fifo = dir.File("pipe.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  files.Delete(fifo, MakerLog::Encoder);
  EXPECT_TRUE(Exists(fifo));
  files.Delete(dir.File("missing.wav"), MakerLog::Reader);
  files.Delete("", MakerLog::Reader);
  ASSERT_EQ(host.lines.size(), 1u);
  EXPECT_EQ(host.lines[0], "E     Warning: Cannot delete " + fifo + ": not a regular file");

  const std::string kept = dir.File("old.mp3");
  Write(kept, "earlier output");
  const auto before = FileState::Of(kept);
  ASSERT_TRUE(before);
  files.DeleteWritten(kept, before, MakerLog::Encoder);
  EXPECT_TRUE(Exists(kept));
  Write(kept, "written by the job, then it failed");
  files.DeleteWritten(kept, before, MakerLog::Encoder);
  EXPECT_FALSE(Exists(kept));
  EXPECT_EQ(host.lines.size(), 1u);
}

// Catches the "output" of a job deleted when it is the job's input under the same name or
// under another name of the same file (a hard link), which would lose the input.
TEST(JobFiles, NeverDeletesTheInputAsTheOutput) {
  TempDir dir;
  LogHost host;
  JobFiles files(host);
  const std::string input = dir.File("a.wav");
  Write(input, "audio");
  files.DeleteOutput({input, input, std::nullopt});
  EXPECT_TRUE(Exists(input));
  const std::string link = dir.File("a.mp3");
  ASSERT_EQ(::link(input.c_str(), link.c_str()), 0);
  files.DeleteOutput({input, link, std::nullopt});
  EXPECT_TRUE(Exists(input) && Exists(link));
  ASSERT_EQ(::unlink(link.c_str()), 0);
  Write(link, "half an MP3");
  files.DeleteOutput({input, link, std::nullopt});
  EXPECT_FALSE(Exists(link));
  EXPECT_TRUE(Exists(input));
  EXPECT_TRUE(host.lines.empty());
}

// Catches a read track's ".tmp" left behind, kept under a name that looks like a result of
// the run (the track's plain ".wav") or renamed over an existing file, deleted although
// the rule keeps it, its removal or its keeping not logged, and a missing ".tmp" reported.
TEST(JobFiles, TemporaryInputIsKeptUnderAnUnencodedNameOrRemoved) {
  TempDir dir;
  LogHost host;
  JobFiles files(host);
  const std::string tmp = dir.File("Track03.tmp");
  Write(tmp, "read audio");
  Write(dir.File("Track03.unencoded.wav"), "an earlier run's read");
  files.EndTemporaryInput(3, tmp, "cancelled", false);
  EXPECT_FALSE(Exists(tmp));
  EXPECT_FALSE(Exists(dir.File("Track03.wav")));
  ASSERT_EQ(host.lines.size(), 1u);
  const std::string kept = dir.File("Track03.unencoded-2.wav");
  EXPECT_TRUE(Exists(kept));
  EXPECT_EQ(host.lines[0], "E     Kept track 03 as " + kept + " (not encoded: cancelled).");
  std::ifstream original(dir.File("Track03.unencoded.wav"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(original), {}), "an earlier run's read");

  Write(tmp, "read audio");
  files.EndTemporaryInput(3, tmp, "the encode failed", true);
  EXPECT_FALSE(Exists(tmp));
  ASSERT_EQ(host.lines.size(), 2u);
  EXPECT_EQ(host.lines[1], "E     Removed the read of track 03, " + tmp + " (not encoded: the encode failed).");
  files.EndTemporaryInput(4, dir.File("Track04.tmp"), "cancelled", false);
  files.EndTemporaryInput(4, dir.File("Track04.tmp"), "cancelled", true);
  EXPECT_EQ(host.lines.size(), 2u);
}
