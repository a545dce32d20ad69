// Tests of OutputFile with real files, links, a FIFO and a private device node.
#include "common/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <set>

#include "common/fd_io.h"
#include "common/paths.h"
#include "tests/common/saving_process.h"
#include "tests/common/special_files.h"
#include "tests/common/temp_dir.h"

namespace {

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::optional<OutputFile> Create(const std::string& path, const OutputFileOptions& options = {}) {
  auto created = OutputFile::Create(path, options);
  if (!created) {
    ADD_FAILURE() << created.Error().Message();
    return std::nullopt;
  }
  return std::move(created).Value();
}

bool Write(std::optional<OutputFile>& out, const std::string& text) { return WriteAll(out->Fd(), text.data(), text.size()); }

}  // namespace

// Catches an existing output truncated or replaced before the new one is finished, the
// replacement losing the old file's permissions, or a temporary file left behind.
TEST(OutputFile, ExistingFileIsReplacedOnlyByCommit) {
  TempDir dir;
  const std::string path = dir.File("a.wav");
  WriteText(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  std::optional<OutputFile> out = Create(path);
  ASSERT_TRUE(out);
  ASSERT_TRUE(Write(out, "new contents"));
  EXPECT_EQ(ReadText(path), "old");
  EXPECT_NE(out->WritePath(), path);
  EXPECT_EQ(ExtractFileDir(out->WritePath()), dir.Path() + "/");
  ASSERT_TRUE(out->Commit());
  EXPECT_EQ(ReadText(path), "new contents");
  struct stat info{};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"a.wav"});
}

// Catches a failed or abandoned job that touches the existing output, creates the output
// after all, or leaves its temporary file.
TEST(OutputFile, AbandonLeavesTheOutputAsItWas) {
  TempDir dir;
  WriteText(dir.File("kept.wav"), "precious");
  {
    std::optional<OutputFile> out = Create(dir.File("kept.wav"));
    ASSERT_TRUE(out);
    ASSERT_TRUE(Write(out, "half"));
    out->Abandon();
    std::optional<OutputFile> fresh = Create(dir.File("new.wav"));
    ASSERT_TRUE(fresh);
    ASSERT_TRUE(Write(fresh, "half"));
  }  // the destructor abandons `fresh`
  EXPECT_EQ(ReadText(dir.File("kept.wav")), "precious");
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"kept.wav"});
}

// Catches an output that is the input (same path, a symbolic link to it, a hard link to
// it) being opened at all: the input must stay whole and nothing may be created.
TEST(OutputFile, OutputThatIsTheInputIsRefusedBeforeAnythingIsTouched) {
  TempDir dir;
  const std::string input = dir.File("in.aac");
  WriteText(input, "input bytes");
  ASSERT_EQ(::symlink(input.c_str(), dir.File("soft.wav").c_str()), 0);
  ASSERT_EQ(::link(input.c_str(), dir.File("hard.wav").c_str()), 0);
  for (const std::string& out : {input, dir.File("soft.wav"), dir.File("hard.wav"), dir.File("./in.aac")}) {
    SCOPED_TRACE(out);
    auto created = OutputFile::Create(out, {.input = input});
    ASSERT_FALSE(created);
    EXPECT_TRUE(created.Error().Is(OutputFileFault::SameAsInput));
    EXPECT_NE(created.Error().Message().find("is the input file itself"), std::string::npos);
  }
  EXPECT_EQ(ReadText(input), "input bytes");
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"in.aac", "soft.wav", "hard.wav"}));
}

// Catches a symbolic link replaced by a plain file (the real file would stop receiving the
// output) or written through before the output is finished.
TEST(OutputFile, SymbolicLinkIsFollowedAndKept) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("real").c_str(), 0755), 0);
  WriteText(dir.File("real/a.wav"), "old");
  ASSERT_EQ(::symlink("real/a.wav", dir.File("link.wav").c_str()), 0);
  std::optional<OutputFile> out = Create(dir.File("link.wav"));
  ASSERT_TRUE(out);
  EXPECT_EQ(out->Path(), dir.File("real/a.wav"));
  ASSERT_TRUE(Write(out, "new"));
  EXPECT_EQ(ReadText(dir.File("real/a.wav")), "old");
  ASSERT_TRUE(out->Commit());
  struct stat info{};
  ASSERT_EQ(::lstat(dir.File("link.wav").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadText(dir.File("link.wav")), "new");
  EXPECT_EQ(Names(dir.File("real")), std::set<std::string>{"a.wav"});
}

// Catches a FIFO output replaced by a file, truncated or removed when the job fails: it
// is written in place and stays a FIFO whatever the end.
TEST(OutputFile, FifoIsWrittenInPlaceAndNeverRemoved) {
  TempDir dir;
  const std::string path = dir.File("pipe.wav");
  FifoReader reader(path);
  ASSERT_TRUE(reader.Ok());
  {
    std::optional<OutputFile> out = Create(path);
    ASSERT_TRUE(out);
    EXPECT_TRUE(out->InPlace());
    EXPECT_EQ(out->WritePath(), path);
    ASSERT_TRUE(Write(out, "streamed"));
    auto kept = out->KeepAs(PartialFilePath(path, ".wav"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept.Value(), path);
    out->Abandon();
  }
  EXPECT_EQ(reader.Join(), "streamed");
  EXPECT_TRUE(IsFifo(path));
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"pipe.wav"});
}

// Catches a device output that is unlinked, renamed or replaced by a file when writing to
// it fails (as root this once removed the machine's /dev/full). A private node with the
// numbers of /dev/full stands in for it.
TEST(OutputFile, DeviceThatRefusesWritesIsKept) {
  TempDir dir;
  const std::string node = dir.File("full");
  std::string why;
  if (!MakeFullDeviceNode(node, why)) GTEST_SKIP() << "no private device node: " << why;
  for (bool commit : {false, true}) {
    std::optional<OutputFile> out = Create(node);
    ASSERT_TRUE(out);
    EXPECT_TRUE(out->InPlace());
    EXPECT_FALSE(Write(out, "data"));
    EXPECT_EQ(errno, ENOSPC);
    if (commit) {
      EXPECT_TRUE(out->Commit());
    } else {
      out->Abandon();
    }
    EXPECT_TRUE(IsFullDeviceNode(node));
  }
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"full"});
}

// Catches a kept unfinished output that replaces an earlier one or a file of the user:
// the name "x.part.wav" is taken when free, else "x.part-2.wav".
TEST(OutputFile, KeptOutputGetsAFreePartName) {
  TempDir dir;
  const std::string path = dir.File("x.wav");
  EXPECT_EQ(PartialFilePath(path, ".wav"), dir.File("x.part.wav"));
  EXPECT_EQ(PartialFilePath(dir.File("Track02.tmp"), ".wav"), dir.File("Track02.part.wav"));
  for (const char* expected : {"x.part.wav", "x.part-2.wav"}) {
    std::optional<OutputFile> out = Create(path);
    ASSERT_TRUE(out);
    ASSERT_TRUE(Write(out, expected));
    auto kept = out->KeepAs(PartialFilePath(path, ".wav"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept.Value(), dir.File(expected));
  }
  EXPECT_EQ(ReadText(dir.File("x.part.wav")), "x.part.wav");
  EXPECT_EQ(ReadText(dir.File("x.part-2.wav")), "x.part-2.wav");
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"x.part.wav", "x.part-2.wav"}));
}

// Catches a create error without its reason, an output in a folder that does not exist
// creating that folder, and a folder given as the output.
TEST(OutputFile, CreateErrorsSayWhy) {
  TempDir dir;
  auto missing = OutputFile::Create(dir.File("no/such/folder/a.wav"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Error().Message(), "Cannot create " + dir.File("no/such/folder/a.wav") + ": No such file or directory");
  auto folder = OutputFile::Create(dir.Path());
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.Error().errnum, EISDIR);
  const std::string tooLong = dir.File(std::string(252, 'n') + ".wav");
  auto longName = OutputFile::Create(tooLong);
  ASSERT_FALSE(longName);
  EXPECT_EQ(longName.Error().errnum, ENAMETOOLONG);
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{});
}

// Catches an output error without its case, category or file, and texts of the cases that
// differ from what the logs and windows show.
TEST(OutputFile, ErrorsCarryTheirCaseCategoryAndFile) {
  TempDir dir;
  const std::string path = dir.File("no/such/folder/a.wav");
  auto missing = OutputFile::Create(path);
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.Error().Is(OutputFileFault::Create));
  EXPECT_EQ(missing.Error().category, ErrorCategory::Io);
  EXPECT_EQ(missing.Error().subject, path);
  EXPECT_EQ(missing.Error().reason, "No such file or directory");
  WriteText(dir.File("in.wav"), "x");
  auto same = OutputFile::Create(dir.File("in.wav"), {.input = dir.File("in.wav")});
  ASSERT_FALSE(same);
  EXPECT_EQ(same.Error().category, ErrorCategory::Usage);
  EXPECT_EQ(same.Error().reason, "it is the input file itself");
  EXPECT_EQ(same.Error().text, dir.File("in.wav") + " is the input file itself");
  EXPECT_EQ(OutputFileFailure(OutputFileFault::Write, "/m/a.wav", ENOSPC).text,
            "Cannot write to /m/a.wav: No space left on device");
  EXPECT_EQ(OutputFileFailure(OutputFileFault::Replace, "/m/a.wav", EACCES).text, "Cannot replace /m/a.wav: Permission denied");
  EXPECT_EQ(OutputFileFailure(OutputFileFault::Keep, "/m/.a.wav.x", EIO).text,
            "Cannot keep the unfinished file /m/.a.wav.x: Input/output error");
}

// Catches a temporary name that does not fit beside an output whose name has the longest
// length allowed (the create would fail although the output itself is fine).
TEST(OutputFile, LongestNameStillGetsATemporaryFile) {
  TempDir dir;
  const std::string path = dir.File(std::string(251, 'l') + ".wav");
  std::optional<OutputFile> out = Create(path);
  ASSERT_TRUE(out);
  ASSERT_TRUE(Write(out, "x"));
  ASSERT_TRUE(out->Commit());
  EXPECT_EQ(ReadText(path), "x");
}

// Catches the hidden temporary files of saves ended by kill -9 staying for ever (a 4.5 MB
// play list, the settings), and a clean-up that removes more than those leftovers: a file
// another process or this one is still writing, names that only look like ours, other
// files, folders and links. A settings file that is a link has its temporary files beside
// the link's target.
TEST(OutputFile, StaleTemporariesOfKilledSavesAreRemoved) {
  TempDir dir;
  const std::string ini = dir.File("zbmaker.INI"), list = dir.File("zbplayerdef.pls");
  WriteText(ini, "[Options]\n");
  ASSERT_EQ(::mkdir(dir.File("real").c_str(), 0755), 0);
  const std::string linked = dir.File("zbplayer.ini");
  ASSERT_EQ(::symlink("real/player.ini", linked.c_str()), 0);

  SavingProcess killedIni(ini), killedList(list, 4500000), killedLinked(linked), live(ini);
  ASSERT_FALSE(killedIni.TemporaryPath().empty());
  ASSERT_FALSE(killedList.TemporaryPath().empty());
  ASSERT_FALSE(live.TemporaryPath().empty());
  EXPECT_EQ(ExtractFileDir(killedLinked.TemporaryPath()), dir.File("real/"));
  killedIni.Kill();
  killedList.Kill();
  killedLinked.Kill();
  std::optional<OutputFile> own = Create(list);
  ASSERT_TRUE(own);
  ASSERT_TRUE(Write(own, "this process's save"));

  const std::string lookalikes[] = {".zbmaker.INI.bak",    ".zbmaker.INI.abc12",   ".zbmaker.INI.abc1234",
                                    "zbmaker.INI.abc123",  ".zbmaker.ini.abc123",  ".zbmaker.INI.ab-123",
                                    ".zbmaker.INI-abc123", ".notes.txt.abc123",    "..zbmaker.INI.abc123"};
  for (const std::string& name : lookalikes) WriteText(dir.File(name), "the user's");
  ASSERT_EQ(::mkdir(dir.File(".zbmaker.INI.Folder").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("zbmaker.INI", dir.File(".zbmaker.INI.Link12").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.File(".zbmaker.INI.Fifo12").c_str(), 0600), 0);

  std::set<std::string> expected = Names(dir.Path());
  expected.erase(ExtractFileName(killedIni.TemporaryPath()));
  expected.erase(ExtractFileName(killedList.TemporaryPath()));
  const std::vector<std::string> removed = RemoveStaleTemporaries({ini, list, linked});
  EXPECT_EQ(std::set<std::string>(removed.begin(), removed.end()),
            (std::set<std::string>{killedIni.TemporaryPath(), killedList.TemporaryPath(), killedLinked.TemporaryPath()}));
  EXPECT_EQ(Names(dir.Path()), expected);
  EXPECT_EQ(Names(dir.File("real")), std::set<std::string>{});
  for (const std::string& name : lookalikes) EXPECT_EQ(ReadText(dir.File(name)), "the user's") << name;

  // The saves in progress go on undisturbed.
  EXPECT_TRUE(FileExists(live.TemporaryPath()));
  ASSERT_TRUE(own->Commit());
  EXPECT_EQ(ReadText(list), "this process's save");
  live.Kill();
  EXPECT_EQ(RemoveStaleTemporaries({ini}), std::vector<std::string>{live.TemporaryPath()});
}
