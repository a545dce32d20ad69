// Tests of list files, typed URLs, folder collection and the command line's entries.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "player/playlist/list_entries.h"
#include "player/playlist/play_list_file.h"
#include "tests/common/temp_dir.h"

namespace {

void Touch(const std::string& path) { WriteText(path, "x"); }

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
  const std::vector<std::string> entries = CommandLineEntries(
      {"Ftp://h/s", dir.File("missing.mp3"), dir.File("a.MP3"), dir.File("b.wav"), dir.File("c.ogg"), dir.File("l.pls"),
       dir.File("f"), dir.File("d.aac")});
  EXPECT_EQ(entries, (std::vector<std::string>{"Ftp://h/s", dir.File("a.MP3"), dir.File("b.wav"), "/x/1.mp3", "/x/2.mp3",
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
  EXPECT_EQ(DroppedEntries({dir.File("n.txt"), dir.File("a.mp3"), dir.File("l.pls"), dir.File("f"), dir.File("w.WAV")}),
            (std::vector<std::string>{dir.File("a.mp3"), "/x/1.mp3", dir.File("f") + "/g.aac", dir.File("w.WAV")}));
}
