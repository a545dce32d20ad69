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

// Catches a bare list written without CR LF, and a round trip that changes order or
// entries, in each of the formats.
TEST(PlayListFile, SavedAndLoadedListIsTheSame) {
  TempDir dir;
  const std::vector<std::string> entries{"/m/b.mp3", "/m/a.mp3", "http://radio:8000/live", "/m/b.mp3", "/m/é ü.aac"};
  ASSERT_TRUE(WritePlayListFile(dir.File("l.txt"), entries));
  EXPECT_EQ(ReadText(dir.File("l.txt")), "/m/b.mp3\r\n/m/a.mp3\r\nhttp://radio:8000/live\r\n/m/b.mp3\r\n/m/é ü.aac\r\n");
  for (const char* name : {"l.txt", "l.pls", "l.m3u", "l.M3U8"}) {
    ASSERT_TRUE(WritePlayListFile(dir.File(name), entries)) << name;
    auto read = ReadPlayListFile(dir.File(name));
    ASSERT_TRUE(read) << name;
    EXPECT_EQ(read.Value(), entries) << name;
  }
  EXPECT_FALSE(ReadPlayListFile(dir.File("missing.pls")));
}

// Catches the list files of other players read as raw lines ("#EXTINF:..." or
// "NumberOfEntries=2" as entries to play), titles and lengths lost, relative entries
// taken against the working folder instead of the list's, file:// URIs kept as names,
// and an old 8-bit ".m3u" whose titles show as broken UTF-8 or whose names are changed.
TEST(PlayListFile, ReadsExtendedM3uAndPlsWithTitlesAndRelativePaths) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("lists").c_str(), 0755), 0);
  WriteText(dir.File("lists/a.m3u8"),
            "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:215,Band \xE2\x80\x93 Song\r\nsongs/one.mp3\r\n# a comment\r\n"
            "../two.wav\r\n#EXTINF:-1,Radio\r\nhttps://radio.example/live\r\nfile:///m/a%20b%C3%A9.mp3\r\n");
  auto m3u = ReadPlayListEntries(dir.File("lists/a.m3u8"));
  ASSERT_TRUE(m3u);
  EXPECT_EQ(m3u.Value(), (std::vector<ListEntry>{{dir.File("lists/songs/one.mp3"), "Band \xE2\x80\x93 Song", 215},
                                                 {dir.File("two.wav"), "", -1},
                                                 {"https://radio.example/live", "Radio", -1},
                                                 {"/m/a b\xC3\xA9.mp3", "", -1}}));
  WriteText(dir.File("lists/old.m3u"), "# no header\n#EXTINF:3,Caf\xE9\n./caf\xE9.mp3\n");
  auto old = ReadPlayListEntries(dir.File("lists/old.m3u"));
  ASSERT_TRUE(old);
  EXPECT_EQ(old.Value(), (std::vector<ListEntry>{{dir.File("lists/caf\xE9.mp3"), "Caf\xC3\xA9", 3}}));
  WriteText(dir.File("lists/p.pls"), "[playlist]\nTitle2=Second\nFile1=one.mp3\nFile2=/m/two.mp3\nLength2=61\n"
                                     "Title1=First\nLength1=-1\nNumberOfEntries=2\nVersion=2\n");
  auto pls = ReadPlayListEntries(dir.File("lists/p.pls"));
  ASSERT_TRUE(pls);
  EXPECT_EQ(pls.Value(), (std::vector<ListEntry>{{dir.File("lists/one.mp3"), "First", -1}, {"/m/two.mp3", "Second", 61}}));
  // The bare list of the player's own: relative lines against the list's folder too.
  WriteText(dir.File("lists/bare.pls"), "x.mp3\r\n/m/y.mp3\r\n");
  EXPECT_EQ(ReadPlayListFile(dir.File("lists/bare.pls")).Value(),
            (std::vector<std::string>{dir.File("lists/x.mp3"), "/m/y.mp3"}));
}

// Catches Save writing a bare list whatever the name, titles and lengths dropped, and
// absolute paths where the list's own folder holds the files (the list would not move).
TEST(PlayListFile, SaveWritesTheFormatItsNameGives) {
  TempDir dir;
  const std::vector<ListEntry> entries{{dir.File("s/one.mp3"), "Band \xE2\x80\x93 Song", 215},
                                       {"/elsewhere/two.wav", "", -1},
                                       {"http://radio.example/live", "Radio", -1}};
  ASSERT_TRUE(WritePlayListRecords(dir.File("l.m3u8"), entries));
  EXPECT_EQ(ReadText(dir.File("l.m3u8")), "#EXTM3U\n#EXTINF:215,Band \xE2\x80\x93 Song\ns/one.mp3\n/elsewhere/two.wav\n"
                                          "#EXTINF:-1,Radio\nhttp://radio.example/live\n");
  ASSERT_TRUE(WritePlayListRecords(dir.File("l.pls"), entries));
  EXPECT_EQ(ReadText(dir.File("l.pls")), "[playlist]\nFile1=s/one.mp3\nTitle1=Band \xE2\x80\x93 Song\nLength1=215\n"
                                         "File2=/elsewhere/two.wav\nFile3=http://radio.example/live\nTitle3=Radio\n"
                                         "Length3=-1\nNumberOfEntries=3\nVersion=2\n");
  for (const char* name : {"l.m3u8", "l.pls"}) {
    auto read = ReadPlayListEntries(dir.File(name));
    ASSERT_TRUE(read) << name;
    EXPECT_EQ(read.Value(), entries) << name;
  }
  ASSERT_TRUE(WritePlayListRecords(dir.File("l.list"), entries));
  EXPECT_EQ(ReadText(dir.File("l.list")), "s/one.mp3\r\n/elsewhere/two.wav\r\nhttp://radio.example/live\r\n");
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
  ASSERT_TRUE(WritePlayListFile(dir.File("l.lst"), {"/old.mp3"}));
  const bool failed = PassesWithFileSizeLimit(4, [&] { return !WritePlayListFile(dir.File("l.lst"), {"/a/long/new/entry.mp3"}); });
  EXPECT_TRUE(failed);
  EXPECT_EQ(ReadText(dir.File("l.lst")), "/old.mp3\r\n");
}

struct UrlCase {
  const char* typed;
  TypedUrl::Kind kind;
  const char* url;
};
class TypedUrlTest : public testing::TestWithParam<UrlCase> {};

// Catches leading spaces kept in the entry, a scheme compared with case, HTTPS refused
// (the streams play over TLS), and other schemes let through.
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
                                         UrlCase{"https://host/a", TypedUrl::Kind::Accepted, "https://host/a"},
                                         UrlCase{"file:///a.mp3", TypedUrl::Kind::Refused, ""},
                                         UrlCase{"http:/host", TypedUrl::Kind::Refused, ""}));

// Catches a typed address too long for any list (it would be refused at the next start,
// or freeze the window that shows it).
TEST(ListEntries, TypedUrlLongerThanAPathIsRefused) {
  EXPECT_EQ(CheckTypedUrl("  http://h/" + std::string(kMaxEntryBytes - 9, 'a')).kind, TypedUrl::Kind::Accepted);
  EXPECT_EQ(CheckTypedUrl("http://h/" + std::string(kMaxEntryBytes - 8, 'a')).kind, TypedUrl::Kind::TooLong);
}

// Catches WAV, FLAC, Ogg, Opus or MP4 files left out (or only in lower case), other files
// taken, folders listed before the files, files unsorted, dot folders entered, and a link
// back up the tree followed for ever.
TEST(CollectFolder, AudioFilesFolderByFolder) {
  TempDir dir;
  const std::string top = dir.File("music");
  ASSERT_EQ(::mkdir(top.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((top + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((top + "/.hidden").c_str(), 0755), 0);
  for (const char* f : {"b.MP3", "A.mp3", "c.aac", "d.wav", "e.txt", "f.FLAC", "g.Opus", "h.oga", "i.m4a", "j.MP4",
                        "k.ogg", "l.mp2", "m.wma", "n.flac.part", "flac", "sub/z.mp3", "sub/y.wav", "sub/x.OGG",
                        ".hidden/h.mp3", ".hidden/h.flac"})
    Touch(top + "/" + f);
  ASSERT_EQ(::symlink(top.c_str(), (top + "/sub/loop").c_str()), 0);
  EXPECT_EQ(CollectFolder(top),
            (std::vector<std::string>{top + "/A.mp3", top + "/b.MP3", top + "/c.aac", top + "/d.wav", top + "/f.FLAC",
                                      top + "/g.Opus", top + "/h.oga", top + "/i.m4a", top + "/j.MP4", top + "/k.ogg",
                                      top + "/l.mp2", top + "/sub/x.OGG", top + "/sub/y.wav", top + "/sub/z.mp3"}));
  EXPECT_EQ(CollectFolder(top + "/"), CollectFolder(top));
}

// Catches subfolders taken in the order the file system lists them (a different order
// from one folder to the next), and two that differ in case only taken as one.
TEST(CollectFolder, SubfoldersInAStableOrder) {
  TempDir dir;
  const std::string top = dir.File("music");
  ASSERT_EQ(::mkdir(top.c_str(), 0755), 0);
  for (const char* f : {"c", "A", "b", "a"}) {
    ASSERT_EQ(::mkdir((top + "/" + f).c_str(), 0755), 0);
    Touch(top + "/" + f + "/x.mp3");
  }
  EXPECT_EQ(CollectFolder(top), (std::vector<std::string>{top + "/A/x.mp3", top + "/a/x.mp3", top + "/b/x.mp3",
                                                          top + "/c/x.mp3"}));
}

// Catches a tree of WAV files that adds nothing, and an unreadable folder that fails.
TEST(CollectFolder, WavOnlyTreeAddsItsFilesAndAMissingFolderNothing) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("w").c_str(), 0755), 0);
  Touch(dir.File("w/a.wav"));
  EXPECT_EQ(CollectFolder(dir.File("w")), std::vector<std::string>{dir.File("w/a.wav")});
  EXPECT_TRUE(CollectFolder(dir.File("none")).empty());
}

// Catches missing files taken or left out without a word, files no engine plays left out
// without a word, URLs dropped, lists not read and folders not collected, and a WAV,
// FLAC, Ogg or M4A file skipped although the player plays it.
TEST(CommandLine, EntriesArgumentByArgument) {
  TempDir dir;
  Touch(dir.File("a.MP3"));
  Touch(dir.File("b.wav"));
  Touch(dir.File("c.wma"));
  Touch(dir.File("d.aac"));
  Touch(dir.File("e.flac"));
  Touch(dir.File("h.Ogg"));
  Touch(dir.File("i.M4A"));
  WriteText(dir.File("l.pls"), "/x/1.mp3\r\n/x/2.flac\r\n");
  ASSERT_EQ(::mkdir(dir.File("f").c_str(), 0755), 0);
  Touch(dir.File("f/g.mp3"));
  Touch(dir.File("f/g.opus"));
  const GatheredEntries gathered = CommandLineEntries(
      {"Ftp://h/s", dir.File("missing.mp3"), dir.File("a.MP3"), dir.File("b.wav"), dir.File("c.wma"), dir.File("l.pls"),
       dir.File("f"), dir.File("d.aac"), dir.File("e.flac"), dir.File("h.Ogg"), dir.File("i.M4A")});
  EXPECT_EQ(gathered.notices,
            (std::vector<std::string>{"Argument 2: " + dir.File("missing.mp3") + ": no such file or folder; it was left out",
                                      "Argument 5: " + dir.File("c.wma") +
                                          ": the player plays MP3, AAC, WAV, FLAC, Ogg Vorbis, Opus and M4A files and "
                                          "lists of them (.pls, .m3u, .m3u8), not this kind of file; it was left out"}));
  EXPECT_EQ(gathered.entries,
            (std::vector<std::string>{"Ftp://h/s", dir.File("a.MP3"), dir.File("b.wav"), "/x/1.mp3", "/x/2.flac",
                                      dir.File("f") + "/g.mp3", dir.File("f") + "/g.opus", dir.File("d.aac"),
                                      dir.File("e.flac"), dir.File("h.Ogg"), dir.File("i.M4A")}));
  EXPECT_TRUE(NamesExistingPath({"nothing", dir.File("f")}));
  EXPECT_FALSE(NamesExistingPath({"nothing", "http://h/x"}));
}

// Catches drops that take any file (or leave one out without a word), leave lists and
// folders out, or refuse an Opus, FLAC or MP4 file (also what MPRIS OpenUri is offered).
TEST(Drops, AudioFilesListsAndFoldersJoin) {
  TempDir dir;
  Touch(dir.File("a.mp3"));
  Touch(dir.File("n.txt"));
  Touch(dir.File("w.WAV"));
  Touch(dir.File("s.opus"));
  Touch(dir.File("v.oga"));
  Touch(dir.File("m.mp4"));
  WriteText(dir.File("l.m3u"), "/x/1.mp3\n/x/2.opus\n");
  ASSERT_EQ(::mkdir(dir.File("f").c_str(), 0755), 0);
  Touch(dir.File("f/g.aac"));
  Touch(dir.File("f/h.Flac"));
  const GatheredEntries dropped = DroppedEntries({dir.File("n.txt"), dir.File("a.mp3"), dir.File("l.m3u"), dir.File("f"),
                                                  dir.File("w.WAV"), dir.File("s.opus"), dir.File("v.oga"),
                                                  dir.File("m.mp4")});
  EXPECT_EQ(dropped.entries, (std::vector<std::string>{dir.File("a.mp3"), "/x/1.mp3", "/x/2.opus", dir.File("f") + "/g.aac",
                                                       dir.File("f") + "/h.Flac", dir.File("w.WAV"), dir.File("s.opus"),
                                                       dir.File("v.oga"), dir.File("m.mp4")}));
  ASSERT_EQ(dropped.notices.size(), 1u) << "a file no engine plays is told";
  EXPECT_EQ(dropped.notices[0].rfind(dir.File("n.txt") + ": the player plays", 0), 0u) << dropped.notices[0];
  EXPECT_TRUE(IsDroppable(dir.File("l.m3u")));
  EXPECT_TRUE(IsDroppable(dir.File("f")));
  EXPECT_TRUE(IsDroppable(dir.File("s.opus")));
  EXPECT_TRUE(IsDroppable("file://" + dir.File("f/h.Flac")));
  EXPECT_FALSE(IsDroppable(dir.File("n.txt")));
  EXPECT_FALSE(IsDroppable(dir.File("missing.mp3")));
  EXPECT_FALSE(IsDroppable(dir.File("missing.opus")));
}

// Catches relative arguments stored as given (they break once the working folder
// changes), file:// URIs taken as names, and M3U lists on the command line not loaded.
TEST(CommandLine, RelativePathsUrisAndListsBecomeAbsoluteEntries) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("m").c_str(), 0755), 0);
  Touch(dir.File("m/a b.mp3"));
  Touch(dir.File("m/c.wav"));
  WriteText(dir.File("m/l.m3u"), "#EXTM3U\n#EXTINF:10,T\nc.wav\n");
  char was[4096];
  ASSERT_NE(::getcwd(was, sizeof was), nullptr);
  ASSERT_EQ(::chdir(dir.File("m").c_str()), 0);
  const GatheredEntries gathered = CommandLineEntries({"./x/../a b.mp3", "file://" + dir.File("m/a%20b.mp3"), "l.m3u"});
  ASSERT_EQ(::chdir(was), 0);
  EXPECT_TRUE(gathered.notices.empty()) << gathered.notices.front();
  EXPECT_EQ(gathered.entries, (std::vector<std::string>{dir.File("m/a b.mp3"), dir.File("m/a b.mp3"), dir.File("m/c.wav")}));
  EXPECT_EQ(gathered.described, (std::vector<ListEntry>{{dir.File("m/c.wav"), "T", 10}}));
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
  StartupEntries stored = GatherStartupEntries({}, dir.File("def.pls"));
  EXPECT_EQ(stored.gathered.entries, (std::vector<std::string>{"/d/1.mp3", "/d/2.mp3"}));
  EXPECT_TRUE(stored.fromDefaultList);
  // Arguments that give nothing are told; the default list does not take their place.
  Touch(dir.File("song.wma"));
  StartupEntries refused = GatherStartupEntries({dir.File("song.wma"), dir.File("missing.mp3")}, dir.File("def.pls"));
  EXPECT_TRUE(refused.gathered.entries.empty());
  EXPECT_FALSE(refused.fromDefaultList);
  EXPECT_TRUE(refused.argumentsGiven);
  EXPECT_EQ(refused.gathered.notices.size(), 2u);
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
