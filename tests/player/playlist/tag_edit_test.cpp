// Tests of the tag editor's rules on real files.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/id3v1_tag.h"
#include "common/paths.h"
#include "player/playlist/tag_edit.h"
#include "tests/common/temp_dir.h"

namespace {

Id3v1Tag Read(const std::string& path) {
  Id3v1Tag tag;
  EXPECT_EQ(ReadId3v1Tag(path, &tag.album, &tag.artist, &tag.title, &tag.year), kId3Ok) << path;
  return tag;
}

// An MP3-ish file with a tag of its own title.
std::string Tagged(const TempDir& dir, const std::string& name, const std::string& title) {
  const std::string path = dir.File(name);
  WriteText(path, std::string(1000, '\xFF'));
  const std::string album = "Old", artist = "Old", year = "1999";
  EXPECT_EQ(WriteId3v1Tag(path, &album, &artist, &title, &year), kId3Ok);
  return path;
}

}  // namespace

// Catches the song text written to every file of a multiple selection (all titles the
// same) or album, artist and year not reaching all of them.
TEST(TagEdit, SeveralFilesKeepTheirOwnTitles) {
  TempDir dir;
  const std::vector<std::string> files{Tagged(dir, "1.mp3", "One"), Tagged(dir, "2.mp3", "Two"), Tagged(dir, "3.mp3", "Three")};
  TagEditValues values{"Ignored", "Album", "Artist", "2024", false};
  EXPECT_TRUE(WriteTags(files, values).empty());
  const char* titles[] = {"One", "Two", "Three"};
  for (size_t i = 0; i < files.size(); ++i) {
    const Id3v1Tag tag = Read(files[i]);
    EXPECT_EQ(tag.title, titles[i]);
    EXPECT_EQ(tag.album, "Album");
    EXPECT_EQ(tag.artist, "Artist");
    EXPECT_EQ(tag.year, "2024");
  }
  EXPECT_EQ(TagEditInstruction(files), "Specify ID3 tag for the selected files.");
  EXPECT_EQ(TagEditInstruction({files[0]}), "Specify ID3 tag for: 1.mp3");
}

// Catches the folder or extension left in a title taken from the file name, a name not
// cut to the field, and the song text ignored for a single file.
TEST(TagEdit, FileNameAsTitleAndTheSongTextOfOneFile) {
  TempDir dir;
  const std::string longName = "A very long song name that goes past thirty.mp3";
  const std::vector<std::string> files{Tagged(dir, "Morning Song.mp3", "x"), Tagged(dir, longName, "y")};
  TagEditValues byName{"Ignored", "", "", "", true};
  EXPECT_TRUE(WriteTags(files, byName).empty());
  EXPECT_EQ(Read(files[0]).title, "Morning Song");
  EXPECT_EQ(Read(files[1]).title, std::string("A very long song name that goes past thirty").substr(0, 29));
  TagEditValues one{"Typed Title", "", "", "", false};
  EXPECT_TRUE(WriteTags({files[0]}, one).empty());
  EXPECT_EQ(Read(files[0]).title, "Typed Title");
  EXPECT_EQ(TitleToWrite(files[0], one, 2), std::nullopt);
}

// Catches a failure that stops the other files, a message without the file's name, and
// an editor that makes a new file for an entry that is not there.
TEST(TagEdit, AFileThatCannotBeWrittenIsReportedAndTheOthersAreWritten) {
  TempDir dir;
  const std::string good = Tagged(dir, "good.mp3", "Good");
  const std::string missing = dir.File("gone.mp3");
  ASSERT_EQ(::mkdir(dir.File("folder.mp3").c_str(), 0755), 0);
  TagEditValues values{"", "New Album", "", "", false};
  const std::vector<std::string> failures = WriteTags({missing, dir.File("folder.mp3"), good, "http://radio/x.mp3"}, values);
  EXPECT_EQ(failures, (std::vector<std::string>{"Cannot write ID3 tag of: gone.mp3", "Cannot write ID3 tag of: folder.mp3",
                                                "Cannot write ID3 tag of: x.mp3"}));
  EXPECT_EQ(Read(good).album, "New Album");
  EXPECT_FALSE(FileExists(missing));
}

// Catches fields filled from a file without a tag (stale values of the last one).
TEST(TagEdit, FileWithoutTagGivesEmptyFields) {
  TempDir dir;
  WriteText(dir.File("plain.mp3"), std::string(500, '\0'));
  const Id3v1Tag tag = ReadTagForEditing(dir.File("plain.mp3"));
  EXPECT_TRUE(tag.title.empty() && tag.artist.empty() && tag.album.empty() && tag.year.empty());
}

namespace {

std::string Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

std::string ProbeTag(const std::string& path, const std::string& key) {
  return Shell("ffprobe -v error -show_entries format_tags=" + key + " -of default=noprint_wrappers=1:nokey=1 '" +
               path + "'");
}

// Half a second of a tone, encoded by ffmpeg with the given (or no) ID3v2 title.
std::string RealMp3(const TempDir& dir, const std::string& name, const std::string& v2Title = "") {
  const std::string path = dir.File(name);
  const std::string meta = v2Title.empty() ? "-id3v2_version 0" : "-id3v2_version 4 -metadata title='" + v2Title + "'";
  Shell("ffmpeg -v error -f lavfi -i sine=duration=0.5 -c:a libmp3lame -write_xing 0 " + meta + " '" + path + "'");
  return path;
}

}  // namespace

// Catches the editor showing the ISO-8859-1 record ('?' for every Japanese character)
// although the file has an ID3v2 title, and losing the fallback to the record.
TEST(TagEdit, EditorAndTitleFieldReadId3v2FirstThenTheRecord) {
  TempDir dir;
  const std::string mp3 = RealMp3(dir, "jp.mp3", "夜に駆ける");
  const std::string album = "Album", artist = "Artist", title = "?????", year = "2019";
  ASSERT_EQ(WriteId3v1Tag(mp3, &album, &artist, &title, &year), kId3Ok);
  const Id3v1Tag shown = ReadTagForEditing(mp3);
  EXPECT_EQ(shown.title, "夜に駆ける");
  EXPECT_EQ(shown.artist, "Artist");  // not in the ID3v2 tag: the record's
  EXPECT_EQ(shown.year, "2019");
}

// Catches changes that only the ID3v1 record (and so no ffmpeg-based player) sees,
// names outside ISO-8859-1 lost, and an ID3v2 tag put in front of a WAV file.
TEST(TagEdit, ChangesReachBothTagsAndFfprobeReadsThemBack) {
  TempDir dir;
  const std::string mp3 = RealMp3(dir, "song.mp3");
  TagEditValues values{"Café – Ünïcödé", "アルバム", "Café – Ünïcödé", "YYYY", false};
  EXPECT_TRUE(WriteTags({mp3}, values).empty());
  EXPECT_EQ(ProbeTag(mp3, "title"), "Café – Ünïcödé");
  EXPECT_EQ(ProbeTag(mp3, "album"), "アルバム");
  EXPECT_EQ(ProbeTag(mp3, "date"), "");
  EXPECT_EQ(Read(mp3).title, "Caf\xC3\xA9 ? \xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9");
  EXPECT_EQ(ReadTagForEditing(mp3).album, "アルバム");

  const std::string wav = dir.File("tone.wav");
  Shell("ffmpeg -v error -f lavfi -i sine=duration=0.2 '" + wav + "'");
  EXPECT_TRUE(WriteTags({wav}, values).empty());
  EXPECT_EQ(ReadBytes(wav)[0], 'R');
  EXPECT_EQ(Read(wav).artist, "Caf\xC3\xA9 ? \xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9");
}
