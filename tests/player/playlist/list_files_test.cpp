// Tests of list files, typed URLs, folder collection and the command line's entries.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "player/playlist/list_entries.h"
#include "player/playlist/play_list_file.h"
#include "tests/common/small_disk.h"
#include "tests/common/special_files.h"
#include "tests/common/temp_dir.h"

using namespace std::chrono_literals;

namespace {

void Touch(const std::string& path) { WriteText(path, "x"); }

// Runs body and gives how long it took, in seconds.
template <class Body>
double Seconds(Body body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

}  // namespace

// Catches a reader that takes only one line ending, keeps CRs in entries or makes empty
// entries of blank lines.
TEST(PlayListFile, ReadsCrLfCrAndLfLineEnds) {
  EXPECT_EQ(ParsePlayListText("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(ParsePlayListText("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ParsePlayListText("\xEF\xBB\xBF/x.mp3\n"), (std::vector<std::string>{"/x.mp3"}));
  EXPECT_TRUE(ParsePlayListText("").empty());
}

// Catches ".pls" files of other players read as their raw lines ("[playlist]",
// "NumberOfEntries=2" as entries to play).
TEST(PlayListFile, ReadsThePlaylistSectionFormat) {
  EXPECT_EQ(ParsePlayListText("[playlist]\r\nFile1=/m/a.mp3\r\nTitle1=A\r\nfile2 = http://radio/x\r\n"
                              "NumberOfEntries=2\r\nVersion=2\r\n"),
            (std::vector<std::string>{"/m/a.mp3", "http://radio/x"}));
}

// Catches a writer without CR LF, and a round trip that changes order or entries.
TEST(PlayListFile, SavedAndLoadedListIsTheSame) {
  TempDir dir;
  const std::vector<std::string> entries{"/m/b.mp3", "/m/a.mp3", "http://radio:8000/live", "/m/b.mp3", "/m/é ü.aac"};
  ASSERT_TRUE(WritePlayListFile(dir.File("l.pls"), entries));
  EXPECT_EQ(ReadText(dir.File("l.pls")), "/m/b.mp3\r\n/m/a.mp3\r\nhttp://radio:8000/live\r\n/m/b.mp3\r\n/m/é ü.aac\r\n");
  auto read = ReadPlayListFile(dir.File("l.pls"));
  ASSERT_TRUE(read);
  EXPECT_EQ(read.Value(), entries);
  EXPECT_FALSE(ReadPlayListFile(dir.File("missing.pls")));
}

// Catches lines longer than a path taken as entries (a 100 KB title froze the player at
// every start) and refusals that do not name their line, in both list formats.
TEST(PlayListFile, LinesLongerThanAPathAreRefusedByLine) {
  const std::string longest(kMaxEntryBytes, 'x'), tooLong(kMaxEntryBytes + 1, 'y'), huge(1 << 20, 'z');
  std::vector<RefusedLine> refused;
  EXPECT_EQ(ParsePlayListText("/a.mp3\r\n" + tooLong + "\r\n\r\n" + longest + "\n" + huge + "\n/b.mp3", &refused),
            (std::vector<std::string>{"/a.mp3", longest, "/b.mp3"}));
  EXPECT_EQ(refused, (std::vector<RefusedLine>{{2, kMaxEntryBytes + 1}, {5, 1u << 20}}));
  refused.clear();
  EXPECT_EQ(ParsePlayListText("[playlist]\nFile1=" + tooLong + "\nFile2=/c.mp3\n", &refused),
            (std::vector<std::string>{"/c.mp3"}));
  EXPECT_EQ(refused, (std::vector<RefusedLine>{{2, kMaxEntryBytes + 1}}));
  EXPECT_EQ(ParsePlayListText(tooLong), std::vector<std::string>{});
  EXPECT_EQ(RefusedLineMessage("/l.pls", {3, 102400}),
            "/l.pls, line 3: an entry of 102400 bytes is longer than a path can be (at most 4095 bytes); it was left out");
}

// Catches the open of a list that is a FIFO waiting for a writer (for ever, on the
// window's thread), and a folder or FIFO read as an empty list without a word.
TEST(PlayListFile, OnlyRegularFilesAreRead) {
  TempDir dir;
  const std::string fifo = dir.File("f.pls");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  FifoRescue rescue(fifo);
  std::optional<Error> error;
  const double took = Seconds([&] {
    auto read = ReadPlayListFile(fifo);
    if (!read) error = read.Error();
  });
  EXPECT_LT(took, 1.0) << "the FIFO's open waited for a writer";
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->Is(PlayListFileFault::NotAFile));
  EXPECT_EQ(error->Message(), "Cannot read play list " + fifo + ": it is not a regular file");
  auto folder = ReadPlayListFile(dir.Path());
  ASSERT_FALSE(folder);
  EXPECT_TRUE(folder.Error().Is(PlayListFileFault::NotAFile));
  // Nor is a list written into one: the open of a FIFO without a reader waits too.
  std::optional<Error> written;
  const double wrote = Seconds([&] {
    auto saved = WritePlayListFile(fifo, {"/a.mp3"});
    if (!saved) written = saved.Error();
  });
  EXPECT_LT(wrote, 1.0) << "the FIFO's open waited for a reader";
  ASSERT_TRUE(written);
  EXPECT_EQ(written->Message(), "Cannot write play list " + fifo + ": it is not a regular file");
}

// Catches a save on a full disk that reports success, cuts the old list, or leaves its
// temporary file behind.
TEST(PlayListFile, AFullDiskKeepsTheOldListWhole) {
  TempDir dir;
  SmallDisk disk(dir, 256 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a small file system: " << disk.Why();
  const std::vector<std::string> old{"/m/a.mp3", "/m/b.mp3"};
  ASSERT_TRUE(WritePlayListFile(disk.File("zbplayerdef.pls"), old));
  const std::string before = ReadText(disk.File("zbplayerdef.pls"));
  ASSERT_TRUE(disk.Fill());
  std::vector<std::string> bigger;
  for (int i = 0; i < 20000; ++i) bigger.push_back("/music/track " + std::to_string(i) + ".mp3");
  auto written = WritePlayListFile(disk.File("zbplayerdef.pls"), bigger);
  ASSERT_FALSE(written) << "a list larger than the free room was reported as saved";
  EXPECT_EQ(written.Error().Message(), "Cannot write play list " + disk.File("zbplayerdef.pls") + ": No space left on device");
  EXPECT_EQ(ReadText(disk.File("zbplayerdef.pls")), before);
  EXPECT_EQ(FilesIn(disk.Path()).size(), 2u) << "a temporary file was left behind";
}

// Catches a failed save that leaves a truncated list behind.
TEST(PlayListFile, FailedWriteKeepsTheOldList) {
  TempDir dir;
  ASSERT_TRUE(WritePlayListFile(dir.File("l.pls"), {"/old.mp3"}));
  const bool failed = PassesWithFileSizeLimit(4, [&] { return !WritePlayListFile(dir.File("l.pls"), {"/a/long/new/entry.mp3"}); });
  EXPECT_TRUE(failed);
  EXPECT_EQ(ReadText(dir.File("l.pls")), "/old.mp3\r\n");
}

struct UrlCase {
  const char* typed;
  TypedUrl::Kind kind;
  const char* url;
};
class TypedUrlTest : public testing::TestWithParam<UrlCase> {};

// Catches leading spaces kept in the entry, a scheme compared with case, and other
// schemes let through.
TEST_P(TypedUrlTest, OnlyHttpAndFtpAddressesAreTaken) {
  const TypedUrl url = CheckTypedUrl(GetParam().typed);
  EXPECT_EQ(url.kind, GetParam().kind);
  EXPECT_EQ(url.url, GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(ListEntries, TypedUrlTest,
                         testing::Values(UrlCase{"  ftp://host/a.mp3", TypedUrl::Kind::Accepted, "ftp://host/a.mp3"},
                                         UrlCase{"HTTP://Radio/x", TypedUrl::Kind::Accepted, "HTTP://Radio/x"},
                                         UrlCase{"   ", TypedUrl::Kind::Empty, ""},
                                         UrlCase{"", TypedUrl::Kind::Empty, ""},
                                         UrlCase{"https://host/a", TypedUrl::Kind::Refused, ""},
                                         UrlCase{"file:///a.mp3", TypedUrl::Kind::Refused, ""},
                                         UrlCase{"http:/host", TypedUrl::Kind::Refused, ""}));

// Catches a typed address too long for any list (it would be refused at the next start,
// or freeze the window that shows it).
TEST(ListEntries, TypedUrlLongerThanAPathIsRefused) {
  EXPECT_EQ(CheckTypedUrl("  http://h/" + std::string(kMaxEntryBytes - 9, 'a')).kind, TypedUrl::Kind::Accepted);
  EXPECT_EQ(CheckTypedUrl("http://h/" + std::string(kMaxEntryBytes - 8, 'a')).kind, TypedUrl::Kind::TooLong);
}

// Catches WAV files collected, folders listed before the files, files unsorted, dot
// folders entered, and a link back up the tree followed for ever.
TEST(CollectFolder, MpegAndAacFilesFolderByFolder) {
  TempDir dir;
  const std::string top = dir.File("music");
  ASSERT_EQ(::mkdir(top.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((top + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((top + "/.hidden").c_str(), 0755), 0);
  for (const char* f : {"b.MP3", "A.mp3", "c.aac", "d.wav", "e.txt", "sub/z.mp3", "sub/y.wav", ".hidden/h.mp3"})
    Touch(top + "/" + f);
  ASSERT_EQ(::symlink(top.c_str(), (top + "/sub/loop").c_str()), 0);
  EXPECT_EQ(CollectFolder(top), (std::vector<std::string>{top + "/A.mp3", top + "/b.MP3", top + "/c.aac", top + "/sub/z.mp3"}));
  EXPECT_EQ(CollectFolder(top + "/"), CollectFolder(top));
}

// Catches a tree of WAV files that adds something, and an unreadable folder that fails.
TEST(CollectFolder, WavOnlyTreeAndMissingFolderAddNothing) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("w").c_str(), 0755), 0);
  Touch(dir.File("w/a.wav"));
  EXPECT_TRUE(CollectFolder(dir.File("w")).empty());
  EXPECT_TRUE(CollectFolder(dir.File("none")).empty());
}

// Catches missing files taken, URLs dropped, lists not read and folders not collected,
// and a WAV file skipped although the player plays it.
TEST(CommandLine, EntriesArgumentByArgument) {
  TempDir dir;
  Touch(dir.File("a.MP3"));
  Touch(dir.File("b.wav"));
  Touch(dir.File("c.ogg"));
  Touch(dir.File("d.aac"));
  WriteText(dir.File("l.pls"), "/x/1.mp3\r\n/x/2.mp3\r\n");
  ASSERT_EQ(::mkdir(dir.File("f").c_str(), 0755), 0);
  Touch(dir.File("f/g.mp3"));
  const GatheredEntries gathered = CommandLineEntries(
      {"Ftp://h/s", dir.File("missing.mp3"), dir.File("a.MP3"), dir.File("b.wav"), dir.File("c.ogg"), dir.File("l.pls"),
       dir.File("f"), dir.File("d.aac")});
  EXPECT_TRUE(gathered.notices.empty());
  EXPECT_EQ(gathered.entries, (std::vector<std::string>{"Ftp://h/s", dir.File("a.MP3"), dir.File("b.wav"), "/x/1.mp3", "/x/2.mp3",
                                               dir.File("f") + "/g.mp3", dir.File("d.aac")}));
  EXPECT_TRUE(NamesExistingPath({"nothing", dir.File("f")}));
  EXPECT_FALSE(NamesExistingPath({"nothing", "http://h/x"}));
}

// Catches drops that take any file, or leave lists and folders out.
TEST(Drops, AudioFilesListsAndFoldersJoin) {
  TempDir dir;
  Touch(dir.File("a.mp3"));
  Touch(dir.File("n.txt"));
  Touch(dir.File("w.WAV"));
  WriteText(dir.File("l.pls"), "/x/1.mp3\n");
  ASSERT_EQ(::mkdir(dir.File("f").c_str(), 0755), 0);
  Touch(dir.File("f/g.aac"));
  EXPECT_EQ(DroppedEntries({dir.File("n.txt"), dir.File("a.mp3"), dir.File("l.pls"), dir.File("f"), dir.File("w.WAV")}).entries,
            (std::vector<std::string>{dir.File("a.mp3"), "/x/1.mp3", dir.File("f") + "/g.aac", dir.File("w.WAV")}));
  EXPECT_TRUE(IsDroppable(dir.File("l.pls")));
  EXPECT_TRUE(IsDroppable(dir.File("f")));
  EXPECT_FALSE(IsDroppable(dir.File("n.txt")));
  EXPECT_FALSE(IsDroppable(dir.File("missing.mp3")));
}

// Catches lists given on the command line or dropped that block on a FIFO, lose their
// long lines without a word, or a long address taken from the command line.
TEST(CommandLine, FifoListsAndLongLinesAreToldNotTaken) {
  TempDir dir;
  const std::string fifo = dir.File("radio.pls");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  FifoRescue rescue(fifo);
  WriteText(dir.File("l.pls"), "/x/1.mp3\r\n" + std::string(100 * 1024, 'a') + "\r\n/x/2.mp3\r\n");
  const std::string longUrl = "http://h/" + std::string(kMaxEntryBytes, 'u');
  GatheredEntries gathered;
  const double took = Seconds([&] { gathered = CommandLineEntries({fifo, dir.File("l.pls"), longUrl, "http://h/ok"}); });
  EXPECT_LT(took, 1.0) << "a list that is a FIFO was opened waiting for a writer";
  EXPECT_EQ(gathered.entries, (std::vector<std::string>{"/x/1.mp3", "/x/2.mp3", "http://h/ok"}));
  EXPECT_EQ(gathered.notices,
            (std::vector<std::string>{"Cannot read play list " + fifo + ": it is not a regular file",
                                      dir.File("l.pls") + ", line 2: an entry of 102400 bytes is longer than a path "
                                                          "can be (at most 4095 bytes); it was left out",
                                      "Argument 3: an address of 4104 bytes is longer than a path can be (at most 4095 "
                                      "bytes); it was left out"}));
  const GatheredEntries dropped = DroppedEntries({fifo, std::string(5000, 'n')});
  EXPECT_TRUE(dropped.entries.empty());
  EXPECT_EQ(dropped.notices.size(), 2u);
}

// Catches a start-up list that reads the default list although the command line gave
// entries, does not mark the default list's entries as such, or speaks of a first run's
// missing default list.
TEST(CommandLine, StartupEntriesFallBackOnTheDefaultList) {
  TempDir dir;
  Touch(dir.File("a.mp3"));
  WriteText(dir.File("def.pls"), "/d/1.mp3\r\n/d/2.mp3\r\n");
  StartupEntries given = GatherStartupEntries({dir.File("a.mp3")}, dir.File("def.pls"));
  EXPECT_EQ(given.gathered.entries, std::vector<std::string>{dir.File("a.mp3")});
  EXPECT_FALSE(given.fromDefaultList);
  StartupEntries stored = GatherStartupEntries({dir.File("missing.mp3")}, dir.File("def.pls"));
  EXPECT_EQ(stored.gathered.entries, (std::vector<std::string>{"/d/1.mp3", "/d/2.mp3"}));
  EXPECT_TRUE(stored.fromDefaultList);
  StartupEntries first = GatherStartupEntries({}, dir.File("none.pls"));
  EXPECT_TRUE(first.gathered.entries.empty());
  EXPECT_TRUE(first.gathered.notices.empty());
  EXPECT_FALSE(first.fromDefaultList);
}

// Catches list file errors that do not say what kind of failure they are, which file they
// concern, or the system's reason apart from the text (the windows show them on two lines).
TEST(PlayListFile, ErrorsCarryTheirCategoryFileAndReason) {
  TempDir dir;
  const std::string missing = dir.File("missing.pls");
  auto read = ReadPlayListFile(missing);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.Error().category, ErrorCategory::Io);
  EXPECT_EQ(read.Error().errnum, ENOENT);
  EXPECT_EQ(read.Error().subject, missing);
  EXPECT_EQ(read.Error().reason, std::strerror(ENOENT));
  EXPECT_EQ(read.Error().Message(), "Cannot read play list " + missing + ": " + std::strerror(ENOENT));
  EXPECT_FALSE(read.Error().Is(PlayListFileFault::NotAFile));
  auto folder = WritePlayListFile(dir.Path(), {"/a.mp3"});
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.Error().category, ErrorCategory::Unsupported);
  EXPECT_EQ(folder.Error().subject, dir.Path());
  EXPECT_EQ(folder.Error().reason, "it is not a regular file");
}
