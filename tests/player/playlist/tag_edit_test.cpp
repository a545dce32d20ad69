// Tests of the tag editor's rules on real files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>

#include "common/id3v1_tag.h"
#include "common/paths.h"
#include "common/tags/audio_file_format.h"
#include "common/tags/audio_file_tags.h"
#include "common/tags/tag_file.h"
#include "player/playlist/tag_edit.h"
#include "tests/common/tags/format_test_files.h"
#include "tests/common/tags/reference_tools.h"
#include "tests/common/tags/tagged_file_builder.h"
#include "tests/common/small_disk.h"
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
  const Id3v1Record record = EncodeId3v1Tag({title, "Old", "Old", "1999"}, kId3v1MakerTextLimit);
  WriteText(path, std::string(1000, '\xFF') + std::string(record.begin(), record.end()));
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

// Catches a failure that stops the other files, a message without the file's name or the
// reason, and an editor that makes a new file for an entry that is not there.
TEST(TagEdit, AFileThatCannotBeWrittenIsReportedAndTheOthersAreWritten) {
  TempDir dir;
  const std::string good = Tagged(dir, "good.mp3", "Good");
  const std::string missing = dir.File("gone.mp3");
  ASSERT_EQ(::mkdir(dir.File("folder.mp3").c_str(), 0755), 0);
  TagEditValues values{"", "New Album", "", "", false};
  const std::vector<std::string> failures = WriteTags({missing, dir.File("folder.mp3"), good, "http://radio/x.mp3"}, values);
  EXPECT_EQ(failures, (std::vector<std::string>{"Cannot write ID3 tag of: gone.mp3\nNo such file or directory",
                                                "Cannot write ID3 tag of: folder.mp3\nIs a directory",
                                                "Cannot write ID3 tag of: x.mp3\nA stream has no tag to write"}));
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

std::string ProbeTag(const std::string& path, const std::string& key) { return reference_tools::ProbeTag(path, key); }

// Half a second of a tone, encoded by ffmpeg with the given (or no) ID3v2 title.
std::string RealMp3(const TempDir& dir, const std::string& name, const std::string& v2Title = "") {
  const std::string path = dir.File(name);
  const std::string meta = v2Title.empty() ? "-id3v2_version 0" : "-id3v2_version 4 -metadata title='" + v2Title + "'";
  reference_tools::Run("ffmpeg -v error -f lavfi -i sine=duration=0.5 -c:a libmp3lame -write_xing 0 " + meta + " '" +
                       path + "'");
  return path;
}

}  // namespace

// Catches the editor showing the ISO-8859-1 record ('?' for every Japanese character)
// although the file has an ID3v2 title, and losing the fallback to the record.
TEST(TagEdit, EditorAndTitleFieldReadId3v2FirstThenTheRecord) {
  TempDir dir;
  const std::string mp3 = RealMp3(dir, "jp.mp3", "夜に駆ける");
  TagFileUpdate record;
  record.id3v1 = Id3v1Update{.title = "?????", .artist = "Artist", .album = "Album", .year = "2019"};
  ASSERT_TRUE(WriteTagFile(mp3, record));
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
  reference_tools::Run("ffmpeg -v error -f lavfi -i sine=duration=0.2 '" + wav + "'");
  EXPECT_TRUE(WriteTags({wav}, values).empty());
  EXPECT_EQ(ReadBytes(wav)[0], 'R');
  EXPECT_EQ(Read(wav).artist, "Caf\xC3\xA9 ? \xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9");
}

// Catches the editor's in-place write on a nearly full disk: it reported success while the
// MP3 lost the end of its audio and the record it had just been given. The disk is full
// but for the room left in the file's last block: enough for the ID3v1 record, not for
// an ID3v2 tag. The rewrite fails instead, says why, and the file keeps every byte.
TEST(TagEdit, ANearlyFullDiskLeavesTheFileWholeAndSaysWhy) {
  TempDir dir;
  SmallDisk disk(dir, 2 * 1024 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "Skipped: the full-disk case needs a small tmpfs: " << disk.Why();
  const std::string mp3 = disk.File("song.mp3");
  const size_t block = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  int frames = 100;
  while ((MpegFrames(frames).size() % block) + 1000 < block || (MpegFrames(frames).size() % block) + 200 > block)
    ++frames;
  const std::vector<uint8_t> before = MpegFrames(frames);
  WriteBytes(mp3, before);
  ASSERT_EQ(ReadBytes(mp3).size(), before.size());
  ASSERT_TRUE(disk.Fill());

  TagEditValues values{"A Title", "An Album", "An Artist", "2024", false};
  EXPECT_EQ(WriteTags({mp3}, values),
            std::vector<std::string>{"Cannot write ID3 tag of: song.mp3\nNo space left on device"});
  const std::vector<uint8_t> after = ReadBytes(mp3);
  EXPECT_NE(std::search(after.begin(), after.end(), before.begin(), before.end()), after.end())
      << "the audio lost its end (" << before.size() << " bytes before, " << after.size() << " after)";
  EXPECT_TRUE(after == before) << "the file changed";
  EXPECT_EQ(reference_tools::ProbePackets(mp3), std::to_string(frames));
  // Nothing else is left on the disk: no unfinished copy.
  ::unlink(disk.File("filler").c_str());
  EXPECT_EQ(reference_tools::Run("ls -A '" + disk.Path() + "'"), "song.mp3");
}

// Catches the audio cut by a rewrite that takes the 0x10 flag of a 2.3 tag for a footer
// (the first MPEG frame lost): after the editor wrote the tags, the MPEG data is the same
// and ffprobe finds every frame.
TEST(TagEdit, AudioAfterAVersion23TagWithFlag10StaysWhole) {
  TempDir dir;
  const std::string bare = dir.File("bare.mp3");
  reference_tools::MakeMp3(bare, 0.5);
  const TaggedFileParts parts = BuildTaggedFile({.name = "v23_flag10", .version = 3, .extraFlags = 0x10}, ReadBytes(bare));
  const std::string mp3 = dir.File("song.mp3");
  WriteBytes(mp3, parts.File());
  TagEditValues values{"A Song", "An Album", "", "", false};
  ASSERT_EQ(WriteTags({mp3}, values), std::vector<std::string>{});
  const std::vector<uint8_t> file = ReadBytes(mp3);
  ASSERT_GT(file.size(), 10u);
  const size_t tagBytes = 10 + ((size_t{file[6]} << 21) | (size_t{file[7]} << 14) | (size_t{file[8]} << 7) | file[9]);
  ASSERT_EQ(file.size(), tagBytes + parts.audio.size() + 128);
  EXPECT_TRUE(std::equal(parts.audio.begin(), parts.audio.end(), file.begin() + static_cast<long>(tagBytes)));
  EXPECT_EQ(reference_tools::ProbePackets(mp3), reference_tools::ProbePackets(bare));
  EXPECT_EQ(ProbeTag(mp3, "title"), "A Song");
  EXPECT_EQ(ProbeTag(mp3, "album"), "An Album");
}

// Catches a read-only file replaced by the rewrite (root may rename over any file; the
// owner protected it), the mode of an edited file lost, and a symbolic link replaced by a
// file: the link stays and its target gets the tags.
TEST(TagEdit, ReadOnlyFilesAreRefusedEditedFilesKeepModeAndLinks) {
  TempDir dir;
  const std::string locked = Tagged(dir, "locked.mp3", "Locked");
  const std::string shared = Tagged(dir, "shared.mp3", "Shared");
  ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0664), 0);
  const std::string link = dir.File("link.mp3");
  ASSERT_EQ(::symlink("shared.mp3", link.c_str()), 0);
  const std::vector<uint8_t> lockedBefore = ReadBytes(locked);

  TagEditValues values{"", "New Album", "", "", false};
  EXPECT_EQ(WriteTags({locked, link}, values),
            std::vector<std::string>{"Cannot write ID3 tag of: locked.mp3\nThe file is read-only"});
  EXPECT_TRUE(ReadBytes(locked) == lockedBefore);
  struct stat info {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(shared.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0664u);
  EXPECT_EQ(Read(shared).album, "New Album");
  EXPECT_EQ(Read(shared).title, "Shared");
}

// Catches a FIFO entry opened by the editor: reading its tag on the player's main thread
// must return at once and leave the bytes waiting in it for their reader (the WAV header
// test took them), and writing is refused with the reason.
TEST(TagEdit, AFifoEntryIsNeitherOpenedNorRead) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int peer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(peer, 0);
  const std::string waiting = std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0", 24) + std::string(40, 'x');
  ASSERT_EQ(::write(peer, waiting.data(), waiting.size()), static_cast<ssize_t>(waiting.size()));

  auto read = std::async(std::launch::async, [&] { return ReadTagForEditing(fifo); });
  // A read blocked on the FIFO returns once there is more to read; the test then fails.
  if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
    (void)!::write(peer, std::string(65536, '\0').data(), 65536);
  const Id3v1Tag tag = read.get();
  EXPECT_TRUE(tag.title.empty() && tag.album.empty());
  TagEditValues values{"", "New Album", "", "", false};
  EXPECT_EQ(WriteTags({fifo}, values), std::vector<std::string>{"Cannot write ID3 tag of: pipe.mp3\nNot a regular file"});
  char left[128] = {};
  EXPECT_EQ(::read(peer, left, sizeof left), static_cast<ssize_t>(waiting.size())) << "bytes were taken from the FIFO";
  ::close(peer);
}

// Catches ID3v2 texts cut to the record's 30 bytes when only one field changed, the first
// file's values written to all where the user changed nothing, and the new fields (track
// number, genre, comment) not reaching the file.
TEST(TagEdit, OnlyChangedFieldsAreWrittenAndTheId3v2TextsStayWhole) {
  TempDir dir;
  const std::string longTitle = "A title far longer than thirty bytes — ünïcödé, 夜に駆ける";
  const std::string one = RealMp3(dir, "one.mp3", longTitle);
  const std::string two = RealMp3(dir, "two.mp3", "Second");
  for (const auto& [file, artist] : {std::pair{one, "Artist One"}, std::pair{two, "Artist Two"}}) {
    TagEditValues own;
    own.artist = artist;
    own.album = std::string("Album of ") + artist;
    ASSERT_TRUE(WriteTags({file}, own).empty());
  }
  const TagEditFields shown = ReadFieldsForEditing(one);
  EXPECT_EQ(shown.title, longTitle);
  EXPECT_EQ(shown.year, "") << "an unknown year shows as empty";

  TagEditValues values;
  values.genre = "Jazz";
  values.trackNumber = "3/12";
  values.comment = "Kommentar – ☺";
  EXPECT_EQ(RefusedTagEditValues(values), "");
  EXPECT_TRUE(WriteTags({one, two}, values).empty());
  EXPECT_EQ(ProbeTag(one, "title"), longTitle);
  EXPECT_EQ(ProbeTag(one, "artist"), "Artist One");
  EXPECT_EQ(ProbeTag(two, "artist"), "Artist Two");
  EXPECT_EQ(ProbeTag(two, "album"), "Album of Artist Two");
  EXPECT_EQ(ProbeTag(two, "title"), "Second");
  EXPECT_EQ(ProbeTag(two, "genre"), "Jazz");
  EXPECT_EQ(ProbeTag(two, "track"), "3/12");
  const TagEditFields back = ReadFieldsForEditing(two);
  EXPECT_EQ(back.comment, "Kommentar – ☺");
  EXPECT_EQ(back.genre, "Jazz");
  EXPECT_EQ(back.trackNumber, "3/12");
  // The record holds what fits: 30 bytes of the artist at most, the title cut there.
  EXPECT_EQ(Read(one).artist, "Artist One");

  // Nothing changed: no file is rewritten.
  const std::vector<uint8_t> before = ReadBytes(one);
  EXPECT_TRUE(WriteTags({one}, TagEditValues{}).empty());
  EXPECT_TRUE(ReadBytes(one) == before);
}

// Catches "YYYY" written for a blank year, and years or track numbers that are not
// numbers accepted.
TEST(TagEdit, ABlankYearWritesNoYearAndAWordIsRefused) {
  TempDir dir;
  const std::string mp3 = RealMp3(dir, "song.mp3");
  TagEditValues dated;
  dated.year = "1999";
  ASSERT_TRUE(WriteTags({mp3}, dated).empty());
  EXPECT_EQ(ProbeTag(mp3, "date"), "1999");
  TagEditValues blank;
  blank.year = "";
  EXPECT_EQ(RefusedTagEditValues(blank), "");
  ASSERT_TRUE(WriteTags({mp3}, blank).empty());
  EXPECT_EQ(ProbeTag(mp3, "date"), "");
  const std::vector<uint8_t> file = ReadBytes(mp3);
  ASSERT_GE(file.size(), 128u);
  EXPECT_EQ(std::string(file.end() - 128 + 93, file.end() - 128 + 97), "    ") << "the record's year is blank";
  EXPECT_EQ(ReadFieldsForEditing(mp3).year, "");

  for (const char* year : {"YYYY", "19x9", "12345", "0000", "-5"}) {
    TagEditValues word;
    word.year = year;
    EXPECT_EQ(RefusedTagEditValues(word), "The year must be a number, such as 1999.") << year;
  }
  for (const char* track : {"three", "3/", "/12", "3-12"}) {
    TagEditValues word;
    word.trackNumber = track;
    EXPECT_EQ(RefusedTagEditValues(word), "The track number must be a number, such as 3 or 3/12.") << track;
  }
}

namespace {

using format_test_files::FormatCase;

class TagEditFormat : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    path_ = format_test_files::MakeTaggedFile(dir_, GetParam(), "tune", 1.0, format_test_files::SampleFields());
    if (path_.empty()) GTEST_SKIP() << "the reference tool cannot write " << GetParam().name;
  }
  TempDir dir_;
  std::string path_;
};

// A cover, ReplayGain values and MusicBrainz ids, which an edit must keep.
AudioTags TagsToKeep(const TempDir& dir) {
  const std::string png = dir.File("c.png");
  reference_tools::Run("ffmpeg -v error -y -f lavfi -i color=c=green:s=8x8 -frames:v 1 '" + png + "'");
  AudioTags tags;
  tags.title = "Kept title";
  tags.artist = "Kept artist";
  tags.album = "Kept album";
  tags.year = "2001";
  tags.track = 2;
  tags.musicBrainzAlbumId = "8a2d7a4f-1a3b-4c5d-9e6f-0a1b2c3d4e5f";
  tags.musicBrainzTrackId = "11111111-2222-3333-4444-555555555555";
  tags.cover = CoverImage{"image/png", ReadBytes(png)};
  tags.replayGain = ReplayGainValues{-6.0, 0.5, -4.5, 0.75};
  return tags;
}

}  // namespace

// Catches the fields of a FLAC, Ogg or M4A file not shown (or the ID3v1 path taken), the
// title field missing the track number or cover, and the editor's fields kept disabled.
TEST_P(TagEditFormat, ShowsTheFieldsOfTheFormatsOwnTags) {
  const TagEditFields shown = ReadFieldsForEditing(path_);
  EXPECT_EQ(shown.title, "Harbour Lights \xe2\x80\x94 \xe6\x97\xa5\xe6\x9c\xac");
  EXPECT_EQ(shown.artist, "Zimbar \xc3\x89nsemble");
  EXPECT_EQ(shown.album, "Night Trains");
  EXPECT_EQ(shown.year, "2003");
  EXPECT_EQ(shown.trackNumber, "7");
  EXPECT_EQ(shown.genre, "Jazz");
  EXPECT_EQ(shown.comment, "Recorded live");
  EXPECT_TRUE(HoldsAllTagFields(path_));
  EXPECT_FALSE(TakesId3v2Tag(path_));

  const EntryTags entry = ReadEntryTags(path_);
  EXPECT_EQ(entry.text.title, shown.title);
  EXPECT_EQ(entry.text.artist, shown.artist);
  EXPECT_EQ(entry.text.album, "Night Trains");
  EXPECT_EQ(entry.text.year, "2003");
  EXPECT_EQ(entry.trackNumber, 7);
  EXPECT_FALSE(entry.cover);
}

// Catches an edit of a FLAC, Ogg or M4A file that puts an ID3 tag or record into it,
// drops its cover, ReplayGain values or MusicBrainz ids, or writes a field not changed;
// and a read-only file rewritten, or refused without the editor's message.
TEST_P(TagEditFormat, EditsTheFormatsOwnTagsAndKeepsTheRest) {
  ASSERT_TRUE(WriteAudioFileTags(path_, GetParam().format, TagsToKeep(dir_)));
  const auto before = ReadAudioFileTags(path_, GetParam().format);
  ASSERT_TRUE(before);
  EXPECT_EQ(ReadEntryTags(path_).cover, before->cover);

  TagEditValues values;
  values.song = "Neuer Titel \xe2\x99\xab";
  values.year = "2024";
  values.trackNumber = "5/10";
  values.genre = "Blues";
  values.comment = "Edited";
  EXPECT_TRUE(WriteTags({path_}, values).empty());

  const TagEditFields shown = ReadFieldsForEditing(path_);
  EXPECT_EQ(shown.title, "Neuer Titel \xe2\x99\xab");
  EXPECT_EQ(shown.artist, "Kept artist");
  EXPECT_EQ(shown.album, "Kept album");
  EXPECT_EQ(shown.year, "2024");
  EXPECT_EQ(shown.trackNumber, "5/10");
  EXPECT_EQ(shown.genre, "Blues");
  EXPECT_EQ(shown.comment, "Edited");
  const auto after = ReadAudioFileTags(path_, GetParam().format);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->cover, before->cover);
  EXPECT_EQ(after->replayGain, before->replayGain);
  EXPECT_EQ(after->musicBrainzAlbumId, before->musicBrainzAlbumId);
  EXPECT_EQ(after->musicBrainzTrackId, before->musicBrainzTrackId);
  EXPECT_EQ(SniffAudioFileFormat(path_), GetParam().format) << "no ID3v2 tag in front";
  EXPECT_FALSE(ReadId3v1TagFile(path_)) << "no ID3v1 record at the end";

  const std::vector<uint8_t> edited = ReadBytes(path_);
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  EXPECT_EQ(WriteTags({path_}, values),
            std::vector<std::string>{"Cannot write ID3 tag of: tune" + std::string(GetParam().extension) +
                                     "\nThe file is read-only"});
  EXPECT_TRUE(ReadBytes(path_) == edited);
}

INSTANTIATE_TEST_SUITE_P(Formats, TagEditFormat, ::testing::ValuesIn(format_test_files::kFormats),
                         [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// Catches a format told by its name: a FLAC file named ".mp3" given an ID3v2 tag in front
// (it would no longer play as FLAC), an M4A file named ".aac" left with the record alone;
// and a full date giving the title field no year.
TEST(TagEdit, FormatsAreToldByContentNotByName) {
  TempDir dir;
  const std::string flac = format_test_files::MakeTaggedFile(dir, format_test_files::kFormats[0], "real", 1.0,
                                                             {{"TITLE", "T"}, {"DATE", "2003-05-01"}});
  const std::string m4a = format_test_files::MakeTaggedFile(dir, format_test_files::kFormats[3], "real", 1.0, {{"TITLE", "M"}});
  if (flac.empty() || m4a.empty()) GTEST_SKIP() << "flac or ffmpeg missing";
  const std::string namedMp3 = dir.File("flac.mp3");
  const std::string namedAac = dir.File("m4a.aac");
  ASSERT_EQ(::rename(flac.c_str(), namedMp3.c_str()), 0);
  ASSERT_EQ(::rename(m4a.c_str(), namedAac.c_str()), 0);
  EXPECT_EQ(ReadFieldsForEditing(namedMp3).year, "2003-05-01");
  EXPECT_EQ(ReadEntryTags(namedMp3).text.year, "2003");
  EXPECT_TRUE(HoldsAllTagFields(namedAac));

  TagEditValues values;
  values.artist = "Both";
  EXPECT_TRUE(WriteTags({namedMp3, namedAac}, values).empty());
  EXPECT_EQ(SniffAudioFileFormat(namedMp3), AudioFileFormat::Flac);
  EXPECT_EQ(SniffAudioFileFormat(namedAac), AudioFileFormat::M4a);
  EXPECT_EQ(ReadFieldsForEditing(namedMp3).artist, "Both");
  EXPECT_EQ(ReadFieldsForEditing(namedAac).artist, "Both");
  EXPECT_EQ(ReadFieldsForEditing(namedAac).title, "M");
  EXPECT_FALSE(ReadId3v1TagFile(namedAac));
}
