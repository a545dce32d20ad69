// Tags of every output format: written, read back by ReadAudioFileTags and by ffprobe, and
// the ReplayGain rewrite that leaves a file as it was when it cannot be finished.
#include "common/tags/audio_file_tags.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "common/tags/opus_head_gain.h"
#include "common/unique_fd.h"
#include "tests/common/small_disk.h"
#include "tests/common/tags/reference_tools.h"
#include "tests/common/temp_dir.h"

namespace {

using reference_tools::Run;
std::string Shell(const std::string& command) { return Run(command); }

bool HaveTool(const std::string& tool) { return !Run("command -v " + tool).empty(); }

struct FormatCase {
  const char* name;
  AudioFileFormat format;
  const char* ffmpegCodec;  // the codec ffmpeg makes the test file with
  const char* extension;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

const FormatCase kFormats[] = {
    {"Flac", AudioFileFormat::Flac, "flac", ".flac"},
    {"OggVorbis", AudioFileFormat::OggVorbis, "libvorbis", ".ogg"},
    {"Opus", AudioFileFormat::Opus, "libopus", ".opus"},
    {"M4a", AudioFileFormat::M4a, "aac", ".m4a"},
    {"Mp3", AudioFileFormat::Mp3, "libmp3lame", ".mp3"},
};

// Half a second of a stereo tone in the format, without tags; empty when ffmpeg cannot
// make it.
std::string MakeFile(const TempDir& dir, const FormatCase& c, const std::string& stem = "a") {
  const std::string path = dir.File(stem + c.extension);
  Run("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.5:sample_rate=48000 -ac 2 -map_metadata -1 "
      "-c:a " + std::string(c.ffmpegCodec) + " '" + path + "'");
  return std::filesystem::exists(path) ? path : std::string();
}

// A small real PNG, so that readers that look at the picture take it for one.
CoverImage MakeCover(const TempDir& dir) {
  const std::string path = dir.File("cover.png");
  Run("ffmpeg -v error -y -f lavfi -i color=c=red:s=8x8 -frames:v 1 '" + path + "'");
  return CoverImage{"image/png", ReadBytes(path)};
}

AudioTags FullTags(const CoverImage& cover) {
  AudioTags tags;
  tags.title = "Ünïcødé ♫ 東京";
  tags.artist = "Café – Ärger";
  tags.album = "夜に駆ける";
  tags.albumArtist = "Various – Künstler";
  tags.year = "2003";
  tags.genre = "Rock";
  tags.track = 3;
  tags.trackCount = 12;
  tags.disc = 2;
  tags.discCount = 3;
  tags.musicBrainzAlbumId = "8a2d7a4f-1a3b-4c5d-9e6f-0a1b2c3d4e5f";
  tags.musicBrainzTrackId = "11111111-2222-3333-4444-555555555555";
  tags.musicBrainzReleaseTrackId = "66666666-7777-8888-9999-000000000000";
  tags.musicBrainzArtistId = "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee";
  tags.musicBrainzAlbumArtistId = "ffffffff-0000-1111-2222-333333333333";
  tags.musicBrainzDiscId = "lwHl8fGzJyLXQR33ug60E8jhf4k-";
  tags.cover = cover;
  return tags;
}

// Every tag ffprobe finds in the container and its streams, keys in lower case.
std::map<std::string, std::string> ProbeTags(const std::string& path) {
  std::map<std::string, std::string> tags;
  std::istringstream lines(
      Run("ffprobe -v error -show_entries format_tags:stream_tags -of default=noprint_wrappers=1 '" + path + "'"));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("TAG:", 0) != 0) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(4, equals - 4);
    for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    tags.emplace(key, line.substr(equals + 1));
  }
  return tags;
}

// The first of `keys` ffprobe shows (formats name the same tag differently).
std::string Probed(const std::map<std::string, std::string>& tags, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    const auto found = tags.find(key);
    if (found != tags.end()) return found->second;
  }
  return {};
}

// The audio decodes without an error: every page and frame still where it was.
bool DecodesCleanly(const std::string& path) {
  return Run("ffmpeg -v error -xerror -i '" + path + "' -map 0:a -f null - && echo decoded") == "decoded";
}

class AudioFileTagsFormat : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    if (!HaveTool("ffmpeg") || !HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg or ffprobe missing";
    path_ = MakeFile(dir_, GetParam());
    if (path_.empty()) GTEST_SKIP() << "ffmpeg cannot write " << GetParam().name;
  }
  TempDir dir_;
  std::string path_;
};

// Catches a field left out or mangled in a format (UTF-8 turned into Latin-1, track or disc
// without its total, an id under a name readers do not know), a cover whose bytes change,
// and a write that damages the audio.
TEST_P(AudioFileTagsFormat, EveryTagReadsBackOwnAndThroughFfprobe) {
  const AudioTags tags = FullTags(MakeCover(dir_));
  ASSERT_FALSE(tags.cover->data.empty());
  const auto written = WriteAudioFileTags(path_, GetParam().format, tags);
  ASSERT_TRUE(written) << written.Error().text;

  const auto read = ReadAudioFileTags(path_, GetParam().format);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, tags);

  const auto probed = ProbeTags(path_);
  EXPECT_EQ(Probed(probed, {"title"}), tags.title);
  EXPECT_EQ(Probed(probed, {"artist"}), tags.artist);
  EXPECT_EQ(Probed(probed, {"album"}), tags.album);
  EXPECT_EQ(Probed(probed, {"album_artist", "albumartist"}), tags.albumArtist);
  EXPECT_EQ(Probed(probed, {"date"}), "2003");
  EXPECT_EQ(Probed(probed, {"genre"}), "Rock");
  const std::string track = Probed(probed, {"track", "tracknumber"});
  EXPECT_TRUE(track == "3/12" || (track == "3" && Probed(probed, {"tracktotal"}) == "12")) << track;
  const std::string disc = Probed(probed, {"disc", "discnumber"});
  EXPECT_TRUE(disc == "2/3" || (disc == "2" && Probed(probed, {"disctotal"}) == "3")) << disc;
  EXPECT_EQ(Probed(probed, {"musicbrainz_albumid", "musicbrainz album id"}), tags.musicBrainzAlbumId);
  EXPECT_EQ(Probed(probed, {"musicbrainz_trackid", "musicbrainz track id"}), tags.musicBrainzTrackId);
  EXPECT_EQ(Probed(probed, {"musicbrainz_discid", "musicbrainz disc id"}), tags.musicBrainzDiscId);

  // The cover as ffmpeg takes it out of the file.
  const std::string extracted = dir_.File("extracted.png");
  Shell("ffmpeg -v error -y -i '" + path_ + "' -map 0:v:0 -c copy -f image2 '" + extracted + "'");
  EXPECT_EQ(ReadBytes(extracted), tags.cover->data);
  EXPECT_TRUE(DecodesCleanly(path_));

  // A second write replaces the tags rather than adding to them.
  AudioTags fewer;
  fewer.title = "Second";
  ASSERT_TRUE(WriteAudioFileTags(path_, GetParam().format, fewer));
  const auto reread = ReadAudioFileTags(path_, GetParam().format);
  ASSERT_TRUE(reread);
  EXPECT_EQ(*reread, fewer);
}

// Catches ReplayGain texts in a form readers do not parse, values lost on the way, an
// Opus file without its header gain or with a page checksum that no longer fits, and
// tags other than ReplayGain changed by the ReplayGain rewrite.
TEST_P(AudioFileTagsFormat, ReplayGainReadsBackAndKeepsTheOtherTags) {
  AudioTags tags;
  tags.title = "Ünïcødé ♫ 東京";
  tags.track = 1;
  tags.trackCount = 2;
  ASSERT_TRUE(WriteAudioFileTags(path_, GetParam().format, tags));
  const ReplayGainValues values{.trackGain = -3.21, .trackPeak = 0.912345, .albumGain = -4.5, .albumPeak = 0.987654};
  const auto written = WriteReplayGainTags(path_, GetParam().format, values);
  ASSERT_TRUE(written) << written.Error().text;

  const auto read = ReadAudioFileTags(path_, GetParam().format);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->title, tags.title);
  EXPECT_EQ(read->track, 1);
  ASSERT_TRUE(read->replayGain);
  EXPECT_NEAR(read->replayGain->trackGain, -3.21, 0.005);
  EXPECT_NEAR(read->replayGain->albumGain, -4.5, 0.005);
  const auto probed = ProbeTags(path_);
  if (GetParam().format == AudioFileFormat::Opus) {
    // RFC 7845: the album gain towards -23 LUFS in the header, the track's on top of it.
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(ReadOpusOutputGain(fd.Get()), std::optional<int16_t>(GainQ78(-4.5 - 5.0)));
    EXPECT_EQ(Probed(probed, {"r128_track_gain"}), std::to_string(GainQ78(-3.21 + 4.5)));
    EXPECT_EQ(Probed(probed, {"replaygain_track_gain"}), "");
    if (HaveTool("opusinfo")) {
      const std::string info = Shell("opusinfo '" + path_ + "'");
      EXPECT_NE(info.find("Playback gain: -9.5 dB"), std::string::npos) << info;
      EXPECT_EQ(info.find("CRC"), std::string::npos) << info;
    }
    if (HaveTool("opusdec")) {
      const std::string wav = dir_.File("decoded.wav");
      EXPECT_EQ(Shell("opusdec --quiet '" + path_ + "' '" + wav + "' && echo ok"), "ok");
      EXPECT_GT(std::filesystem::file_size(wav), 44u);
    }
  } else {
    EXPECT_NEAR(read->replayGain->trackPeak, 0.912345, 1e-6);
    EXPECT_NEAR(read->replayGain->albumPeak, 0.987654, 1e-6);
    EXPECT_EQ(Probed(probed, {"replaygain_track_gain"}), "-3.21 dB");
    EXPECT_EQ(Probed(probed, {"replaygain_track_peak"}), "0.912345");
    EXPECT_EQ(Probed(probed, {"replaygain_album_gain"}), "-4.50 dB");
    EXPECT_EQ(Probed(probed, {"replaygain_album_peak"}), "0.987654");
  }
  EXPECT_TRUE(DecodesCleanly(path_));
}

// Catches a ReplayGain write that changes, truncates or leaves behind anything when the
// file may not be written or the disk is full.
TEST_P(AudioFileTagsFormat, FailedReplayGainWriteLeavesTheFileAsItWas) {
  const ReplayGainValues values{.trackGain = 1.5, .trackPeak = 0.5, .albumGain = 1.0, .albumPeak = 0.6};
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  const auto before = ReadBytes(path_);
  EXPECT_FALSE(WriteReplayGainTags(path_, GetParam().format, values));
  EXPECT_EQ(ReadBytes(path_), before);
  ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);

  SmallDisk disk(dir_, 1 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  const std::string onDisk = disk.File(std::string("b") + GetParam().extension);
  std::filesystem::copy_file(path_, onDisk);
  ASSERT_TRUE(disk.Fill());
  const auto full = ReadBytes(onDisk);
  EXPECT_FALSE(WriteReplayGainTags(onDisk, GetParam().format, values));
  EXPECT_EQ(ReadBytes(onDisk), full);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(disk.Path())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{std::string("b") + GetParam().extension, "filler"}));
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioFileTagsFormat, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

// Catches a checksum computed over the wrong bytes or with the wrong polynomial: every
// page libogg writes must check out.
TEST(OpusHeadGain, PageChecksumMatchesTheEncoders) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
  TempDir dir;
  const std::string path = MakeFile(dir, kFormats[2]);
  if (path.empty()) GTEST_SKIP() << "ffmpeg cannot write Opus";
  const auto bytes = ReadBytes(path);
  ASSERT_GT(bytes.size(), 27u);
  const size_t pageBytes = 27 + bytes[26] + [&] {
    size_t body = 0;
    for (size_t i = 0; i < bytes[26]; ++i) body += bytes[27 + i];
    return body;
  }();
  const uint32_t stored = bytes[22] | (bytes[23] << 8) | (bytes[24] << 16) | (uint32_t{bytes[25]} << 24);
  EXPECT_EQ(OggPageCrc(std::span<const uint8_t>(bytes.data(), pageBytes)), stored);
  EXPECT_EQ(GainQ78(-9.5), -2432);
  EXPECT_EQ(GainQ78(1000), 32767);
  EXPECT_EQ(GainQ78(-1000), -32768);
}

// Catches formats without tags of their own taken for ones that have them.
TEST(AudioFileTags, FormatsWithoutTagsAreRefused) {
  TempDir dir;
  const std::string path = dir.File("a.wav");
  WriteText(path, "RIFF");
  EXPECT_FALSE(WriteAudioFileTags(path, AudioFileFormat::Wav, AudioTags{}));
  EXPECT_FALSE(ReadAudioFileTags(path, AudioFileFormat::Flac));
  EXPECT_FALSE(WriteAudioFileTags(dir.File("missing.flac"), AudioFileFormat::Flac, AudioTags{}));
}

}  // namespace
