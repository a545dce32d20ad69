// Tests of the editable fields of FLAC, Ogg Vorbis, Opus and M4A files: read from files the
// reference tools tagged, changed one by one with every other tag kept, written safely,
// and the playing time from the audio properties.
#include "common/tags/format_tag_fields.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/tags/audio_file_tags.h"
#include "tests/common/tags/format_test_files.h"
#include "tests/common/tags/reference_tools.h"
#include "tests/common/temp_dir.h"

namespace {

using format_test_files::FormatCase;


constexpr double kSeconds = 2.5;

class FormatTagFieldsTest : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    path_ = format_test_files::MakeTaggedFile(dir_, GetParam(), "tune", kSeconds, format_test_files::SampleFields());
    if (path_.empty()) GTEST_SKIP() << "the reference tool cannot write " << GetParam().name;
  }
  TempDir dir_;
  std::string path_;
};

// The tags the file gets before an edit: ReplayGain, MusicBrainz ids and a cover.
AudioTags RichTags(const TempDir& dir) {
  const std::string png = dir.File("c.png");
  reference_tools::Run("ffmpeg -v error -y -f lavfi -i color=c=blue:s=8x8 -frames:v 1 '" + png + "'");
  AudioTags tags;
  tags.title = "Old title";
  tags.artist = "Old artist";
  tags.album = "Old album";
  tags.year = "1999";
  tags.genre = "Rock";
  tags.track = 3;
  tags.trackCount = 12;
  tags.musicBrainzAlbumId = "8a2d7a4f-1a3b-4c5d-9e6f-0a1b2c3d4e5f";
  tags.musicBrainzTrackId = "11111111-2222-3333-4444-555555555555";
  tags.cover = CoverImage{"image/png", ReadBytes(png)};
  tags.replayGain = ReplayGainValues{-6.0, 0.5, -4.5, 0.75};
  return tags;
}

}  // namespace

// Catches a field read from the wrong comment or atom, UTF-8 turned into Latin-1 or
// cut, and a length far from the tone's (the audio properties not read).
TEST_P(FormatTagFieldsTest, ReadsWhatTheReferenceToolWroteAndTheLength) {
  const auto fields = ReadFormatTagFields(path_, GetParam().format);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->title, "Harbour Lights \xe2\x80\x94 \xe6\x97\xa5\xe6\x9c\xac");
  EXPECT_EQ(fields->artist, "Zimbar \xc3\x89nsemble");
  EXPECT_EQ(fields->album, "Night Trains");
  EXPECT_EQ(fields->year, "2003");
  EXPECT_EQ(fields->trackNumber, "7");
  EXPECT_EQ(fields->genre, "Jazz");
  EXPECT_EQ(fields->comment, "Recorded live");
  const auto ms = FormatDurationMs(path_, GetParam().format);
  ASSERT_TRUE(ms);
  // FLAC and Ogg count samples; M4A rounds to its encoder's frames and priming.
  EXPECT_NEAR(double(*ms), kSeconds * 1000, GetParam().format == AudioFileFormat::M4a ? 60.0 : 5.0);
  EXPECT_FALSE(ReadFormatTagFields(path_, AudioFileFormat::Mp3));
}

// Catches an edit that drops what it did not name (ReplayGain, MusicBrainz ids, the
// cover, an Opus header gain), a field left twice, a removed field kept, and a rewrite
// that damages the audio.
TEST_P(FormatTagFieldsTest, ChangesOnlyTheNamedFieldsAndKeepsTheRest) {
  const AudioTags before = RichTags(dir_);
  ASSERT_TRUE(WriteAudioFileTags(path_, GetParam().format, before));
  const auto rich = ReadAudioFileTags(path_, GetParam().format);
  ASSERT_TRUE(rich);

  FormatTagUpdate update;
  update.title = "Neuer Titel \xc3\xa4\xc3\xb6\xc3\xbc";
  update.year = "2024";
  update.trackNumber = "4/9";
  update.comment = "Edited";
  update.genre = "";  // removed
  ASSERT_TRUE(WriteFormatTagFields(path_, GetParam().format, update));

  const auto fields = ReadFormatTagFields(path_, GetParam().format);
  ASSERT_TRUE(fields);
  EXPECT_EQ(fields->title, *update.title);
  EXPECT_EQ(fields->artist, "Old artist");
  EXPECT_EQ(fields->album, "Old album");
  EXPECT_EQ(fields->year, "2024");
  EXPECT_EQ(fields->trackNumber, "4/9");
  EXPECT_EQ(fields->genre, "");
  EXPECT_EQ(fields->comment, "Edited");

  const auto after = ReadAudioFileTags(path_, GetParam().format);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->musicBrainzAlbumId, rich->musicBrainzAlbumId);
  EXPECT_EQ(after->musicBrainzTrackId, rich->musicBrainzTrackId);
  EXPECT_EQ(after->cover, rich->cover);
  EXPECT_EQ(after->replayGain, rich->replayGain);
  ASSERT_TRUE(after->replayGain);
  EXPECT_EQ(after->track, 4);
  EXPECT_EQ(after->trackCount, 9);
  // Another reader sees the new title, and the audio still decodes.
  EXPECT_EQ(reference_tools::Run("ffprobe -v error -show_entries format_tags=title:stream_tags=title -of "
                "default=noprint_wrappers=1:nokey=1 '" + path_ + "'"),
            *update.title);
  EXPECT_EQ(reference_tools::Run("ffmpeg -v error -xerror -i '" + path_ + "' -map 0:a -f null - && echo decoded"), "decoded");
}

// Catches a read-only file replaced by the rewrite, a bad track number written, and a
// file that is not of the format changed: each refused with the reason and left byte for
// byte as it was.
TEST_P(FormatTagFieldsTest, RefusedWritesLeaveTheFileAsItWas) {
  const std::vector<uint8_t> before = ReadBytes(path_);
  FormatTagUpdate update;
  update.title = "New";

  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  auto written = WriteFormatTagFields(path_, GetParam().format, update);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.Error().reason, "The file is read-only");
  ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);

  FormatTagUpdate badTrack;
  badTrack.trackNumber = "three";
  written = WriteFormatTagFields(path_, GetParam().format, badTrack);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.Error().reason, "Not a track number: three");
  EXPECT_TRUE(ReadBytes(path_) == before);

  const std::string other = dir_.File("other.bin");
  WriteText(other, std::string(4096, 'x'));
  written = WriteFormatTagFields(other, GetParam().format, update);
  ASSERT_FALSE(written);
  EXPECT_FALSE(written.Error().reason.empty());
  EXPECT_EQ(ReadText(other), std::string(4096, 'x'));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), std::filesystem::directory_iterator()), 2)
      << "the file and the other: no temporary file is left";
  EXPECT_FALSE(FormatDurationMs(other, GetParam().format));
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatTagFieldsTest, ::testing::ValuesIn(format_test_files::kFormats),
                         [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// Catches the editor writing its fields into a format that has other tags (MP3, WAV).
TEST(FormatTagFields, OtherFormatsAreRefusedUntouched) {
  TempDir dir;
  const std::string path = dir.File("a.mp3");
  WriteText(path, std::string(1000, '\xFF'));
  FormatTagUpdate update;
  update.title = "x";
  EXPECT_FALSE(WriteFormatTagFields(path, AudioFileFormat::Mp3, update));
  EXPECT_EQ(ReadText(path), std::string(1000, '\xFF'));
  EXPECT_FALSE(HasFormatTagFields(AudioFileFormat::Wav));
  EXPECT_TRUE(HasFormatTagFields(AudioFileFormat::Opus));
}
