// ReplayGain while playing: the factor each format's tags give under each mode (tags of our
// own writer and of the reference taggers), the scaling of the samples, and what the MP3
// and WAV engines play with it, captured through the wav: output.
#include "player/engines/playback_gain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "common/tags/audio_file_tags.h"
#include "common/tags/id3v2_tag.h"
#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

double Factor(double db) { return std::pow(10.0, db / 20.0); }

// Sets the process's ReplayGain for a test and puts the default back afterwards.
class ScopedReplayGain {
 public:
  ScopedReplayGain(ReplayGainMode mode, double preampDb) { SetReplayGain(mode, preampDb); }
  ~ScopedReplayGain() { SetReplayGain(ReplayGainMode::Track, 0); }
  ScopedReplayGain(const ScopedReplayGain&) = delete;
  ScopedReplayGain& operator=(const ScopedReplayGain&) = delete;
};

double GainFor(const std::string& path, AudioFileFormat format, ReplayGainMode mode, double preampDb = 0) {
  ScopedReplayGain set(mode, preampDb);
  return PlaybackGainFor(path, format);
}

std::string Sh(const std::string& command) { return test_media::Run(command); }

struct FormatCase {
  const char* name;
  AudioFileFormat format;
  const char* codec;  // ffmpeg's encoder for the test file
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

// A second of a 1 kHz tone at half scale, untagged; empty when ffmpeg cannot make it.
std::string MakeTone(const TempDir& dir, const FormatCase& c, const std::string& stem = "tone") {
  const std::string path = dir.File(stem + c.extension);
  Sh("ffmpeg -v error -y -f lavfi -i 'sine=frequency=1000:duration=1:sample_rate=48000' -af volume=0.5 -ac 2 "
     "-map_metadata -1 -c:a " + std::string(c.codec) + " '" + path + "'");
  return std::filesystem::exists(path) ? path : std::string();
}

// The RMS level in dB of what ffmpeg decodes from path (the Opus header's gain applied).
double DecodedLevelDb(const std::string& path) {
  // volumedetect reports on the error output.
  const std::string out = Sh("{ ffmpeg -v info -i '" + path + "' -af volumedetect -f null - 2>&1; }");
  const size_t at = out.find("mean_volume: ");
  if (at == std::string::npos) return NAN;
  return std::stod(out.substr(at + 13));
}

class PlaybackGainFormat : public testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    path_ = MakeTone(dir_, GetParam());
    if (path_.empty()) GTEST_SKIP() << "ffmpeg cannot write " << GetParam().name;
  }
  TempDir dir_;
  std::string path_;
};

}  // namespace

// Catches a mode that reads the other gain, a pre-amp not added, a peak limit missing or
// applied without need, and an untagged file or Off that is not exactly 1.0 (so not
// bit-exact). For Opus, catches a factor that applies the header's gain a second time or
// forgets the 5 dB between R128 and ReplayGain: the decoder's output times the factor must
// sit at the level the values ask for.
TEST_P(PlaybackGainFormat, OurOwnTagsGiveTheFactorOfEachMode) {
  const AudioFileFormat format = GetParam().format;
  EXPECT_EQ(GainFor(path_, format, ReplayGainMode::Track), 1.0) << "untagged";
  EXPECT_EQ(GainFor(path_, format, ReplayGainMode::Album, 6), 1.0) << "untagged, with a pre-amp";
  const double untaggedDb = DecodedLevelDb(path_);

  const ReplayGainValues values{.trackGain = -6.0, .trackPeak = 0.5, .albumGain = -3.0, .albumPeak = 0.6};
  const auto written = WriteReplayGainTags(path_, format, values);
  ASSERT_TRUE(written) << written.Error().text;
  EXPECT_EQ(GainFor(path_, format, ReplayGainMode::Off), 1.0);
  EXPECT_EQ(GainFor(path_, format, ReplayGainMode::Off, 10), 1.0);

  if (format == AudioFileFormat::Opus) {
    // The decoder applies the album's gain towards -23 LUFS: 8 dB down.
    const double decodedDb = DecodedLevelDb(path_);
    EXPECT_NEAR(decodedDb - untaggedDb, -8.0, 0.1);
    const double track = GainFor(path_, format, ReplayGainMode::Track);
    const double album = GainFor(path_, format, ReplayGainMode::Album);
    EXPECT_NEAR(track, Factor(2.0), 1e-3);
    EXPECT_NEAR(album, Factor(5.0), 1e-3);
    EXPECT_NEAR(decodedDb + 20 * std::log10(track), untaggedDb - 6.0, 0.1);
    EXPECT_NEAR(decodedDb + 20 * std::log10(album), untaggedDb - 3.0, 0.1);
    EXPECT_NEAR(GainFor(path_, format, ReplayGainMode::Track, -4), Factor(-2.0), 1e-3);
    return;
  }
  EXPECT_NEAR(GainFor(path_, format, ReplayGainMode::Track), Factor(-6.0), 1e-6);
  EXPECT_NEAR(GainFor(path_, format, ReplayGainMode::Album), Factor(-3.0), 1e-6);
  EXPECT_NEAR(GainFor(path_, format, ReplayGainMode::Track, 2.5), Factor(-3.5), 1e-6);
  // Lifted by 7 dB the track's peak of 0.5 would pass full scale: held at 1 / 0.5.
  EXPECT_NEAR(GainFor(path_, format, ReplayGainMode::Track, 13), 2.0, 1e-6);
  EXPECT_NEAR(GainFor(path_, format, ReplayGainMode::Album, 15), 1 / 0.6, 1e-6);
  // Just below the limit the gain stands.
  EXPECT_NEAR(GainFor(path_, format, ReplayGainMode::Track, 12), Factor(6.0), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlaybackGainFormat, testing::ValuesIn(kFormats),
                         [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// Catches gains that only our own writer's form reaches: the track's gain alone (metaflac,
// "-6.00 dB"), the album's alone in small letters without a unit (vorbiscomment), QuickTime
// metadata keys (ffmpeg into M4A), an ID3v2 frame made by ffmpeg, and R128 tags without a
// header gain (opusenc). A stored gain stands for the other one; no peak means no limit.
TEST(PlaybackGain, TagsOfTheReferenceToolsAreRead) {
  TempDir dir;
  const auto tone = [&](int i) { return MakeTone(dir, kFormats[i], "ref"); };

  const std::string flac = tone(0);
  ASSERT_FALSE(flac.empty());
  Sh("metaflac '--set-tag=REPLAYGAIN_TRACK_GAIN=-6.00 dB' '" + flac + "'");
  EXPECT_NEAR(GainFor(flac, AudioFileFormat::Flac, ReplayGainMode::Track), Factor(-6.0), 1e-6);
  EXPECT_NEAR(GainFor(flac, AudioFileFormat::Flac, ReplayGainMode::Album), Factor(-6.0), 1e-6);
  EXPECT_NEAR(GainFor(flac, AudioFileFormat::Flac, ReplayGainMode::Track, 12), Factor(6.0), 1e-6);

  const std::string ogg = tone(1);
  ASSERT_FALSE(ogg.empty());
  Sh("vorbiscomment -w -t 'replaygain_album_gain=-4.00' -t 'replaygain_album_peak=0.3' '" + ogg + "'");
  EXPECT_NEAR(GainFor(ogg, AudioFileFormat::OggVorbis, ReplayGainMode::Track), Factor(-4.0), 1e-6);
  EXPECT_NEAR(GainFor(ogg, AudioFileFormat::OggVorbis, ReplayGainMode::Album, 15), 1 / 0.3, 1e-6);

  const std::string wav = dir.File("ref.wav");
  test_media::WriteFile(wav, player_test::ToneWav(48000, 2, 1.0, {1000.0}));
  const std::string m4a = dir.File("ffmpeg.m4a");
  Sh("ffmpeg -v error -y -i '" + wav + "' -c:a aac -movflags use_metadata_tags -metadata "
     "'REPLAYGAIN_TRACK_GAIN=-6.00 dB' -metadata 'REPLAYGAIN_TRACK_PEAK=0.800000' '" + m4a + "'");
  EXPECT_NEAR(GainFor(m4a, AudioFileFormat::M4a, ReplayGainMode::Track), Factor(-6.0), 1e-6);
  EXPECT_NEAR(GainFor(m4a, AudioFileFormat::M4a, ReplayGainMode::Track, 10), 1.25, 1e-6);

  const std::string mp3 = dir.File("ffmpeg.mp3");
  Sh("ffmpeg -v error -y -i '" + wav + "' -c:a libmp3lame -metadata 'REPLAYGAIN_TRACK_GAIN=+2.50 dB' '" + mp3 + "'");
  EXPECT_NEAR(GainFor(mp3, AudioFileFormat::Mp3, ReplayGainMode::Album), Factor(2.5), 1e-6);

  // R128_TRACK_GAIN of +1 dB over an output gain of 0: 1 + 5 dB on top of the decoder.
  const std::string opus = dir.File("opusenc.opus");
  Sh("opusenc --quiet --comment R128_TRACK_GAIN=256 '" + wav + "' '" + opus + "'");
  EXPECT_NEAR(GainFor(opus, AudioFileFormat::Opus, ReplayGainMode::Track), Factor(6.0), 1e-6);
  EXPECT_NEAR(GainFor(opus, AudioFileFormat::Opus, ReplayGainMode::Album), Factor(5.0), 1e-6);
  const std::string plainOpus = dir.File("plain.opus");
  Sh("opusenc --quiet '" + wav + "' '" + plainOpus + "'");
  EXPECT_EQ(GainFor(plainOpus, AudioFileFormat::Opus, ReplayGainMode::Album), 1.0);
}

// Catches a factor other than exactly 1.0 where no gain can apply (so that playback would
// not stay bit-exact), and a FIFO opened (it would block the player until a writer came).
TEST(PlaybackGain, NamesWithoutReadableTagsGiveExactlyOne) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.flac");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string junk = dir.File("junk.mp3");
  WriteText(junk, "no audio here");
  for (const std::string& name : {std::string("http://127.0.0.1:9/a.flac"), dir.File("missing.flac"), fifo, junk}) {
    for (const AudioFileFormat format : {AudioFileFormat::Flac, AudioFileFormat::Mp3, AudioFileFormat::Opus}) {
      EXPECT_EQ(GainFor(name, format, ReplayGainMode::Track, 15), 1.0) << name;
    }
  }
}

// Catches a mode number outside the three taken as it is, and a pre-amp beyond its range.
TEST(PlaybackGain, SettingsOutsideTheirRangeAreHeldWithin) {
  ScopedReplayGain restore(ReplayGainMode::Track, 0);
  SetReplayGain(ReplayGainMode(7), 40);
  EXPECT_EQ(CurrentReplayGainMode(), ReplayGainMode::Track);
  EXPECT_EQ(ReplayGainPreampDb(), 15.0);
  SetReplayGain(ReplayGainMode(-1), -40);
  EXPECT_EQ(CurrentReplayGainMode(), ReplayGainMode::Track);
  EXPECT_EQ(ReplayGainPreampDb(), -15.0);
  SetReplayGain(ReplayGainMode::Album, -2.5);
  EXPECT_EQ(CurrentReplayGainMode(), ReplayGainMode::Album);
  EXPECT_EQ(ReplayGainPreampDb(), -2.5);
}

// Catches truncation instead of rounding, wrap-around instead of clipping, and a scale of
// 1.0 that still touches the samples.
TEST(PlaybackGain, SamplesAreRoundedAndClipped) {
  std::vector<int16_t> samples{1000, -1000, 3, -3, 7, 30000, -30000, 32767, -32768, 0};
  auto half = samples;
  ApplyPlaybackGain(half.data(), half.size(), 0.51);
  EXPECT_EQ(half, (std::vector<int16_t>{510, -510, 2, -2, 4, 15300, -15300, 16711, -16712, 0}));
  auto doubled = samples;
  ApplyPlaybackGain(doubled.data(), doubled.size(), 2.0);
  EXPECT_EQ(doubled, (std::vector<int16_t>{2000, -2000, 6, -6, 14, 32767, -32768, 32767, -32768, 0}));
  auto same = samples;
  ApplyPlaybackGain(same.data(), same.size(), 1.0);
  EXPECT_EQ(same, samples);
}

namespace {

// Plays path through a facade into a capture at speed 64 and returns what was heard.
std::vector<uint8_t> Heard(const TempDir& dir, const std::string& path) {
  const std::string capture = dir.File("heard.wav");
  std::remove(capture.c_str());
  {
    ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=64").c_str());
    QueueMainLoop loop;
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.UseDirectSound(false);
    player.Open(path);
    player.Play();
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 30s)) << "no end of stream";
    for (const Event& e : recorder.Of(Event::Error)) ADD_FAILURE() << e.text;
    player.Stop();
  }
  return player_test::WavData(ReadBytes(capture));
}

double LevelRatioDb(const std::vector<uint8_t>& quiet, const std::vector<uint8_t>& loud) {
  return 20 * std::log10(player_test::ToneLevel(quiet, 2, 44100, 1000.0) / player_test::ToneLevel(loud, 2, 44100, 1000.0));
}

// A WAV file with an "id3 " chunk behind its audio holding the given ReplayGain texts.
void WriteWavWithId3(const std::string& path, const std::vector<std::pair<std::string, std::string>>& texts) {
  std::vector<unsigned char> wav = player_test::ToneWav(44100, 2, 2.0, {1000.0}, 0.4);
  Id3v2Update update;
  update.userTexts = texts;
  const auto tag = RenderUpdatedId3v2Tag({}, update);
  ASSERT_TRUE(tag) << tag.Error().text;
  std::vector<uint8_t> chunk{'i', 'd', '3', ' '};
  const uint32_t bytes = uint32_t(tag.Value().size());
  for (int i = 0; i < 4; ++i) chunk.push_back(uint8_t(bytes >> (8 * i)));
  chunk.insert(chunk.end(), tag.Value().begin(), tag.Value().end());
  if (chunk.size() % 2) chunk.push_back(0);
  wav.insert(wav.end(), chunk.begin(), chunk.end());
  const uint32_t riff = uint32_t(wav.size() - 8);
  for (int i = 0; i < 4; ++i) wav[4 + i] = uint8_t(riff >> (8 * i));
  test_media::WriteFile(path, wav);
}

}  // namespace

// Catches an MP3 engine that ignores the gain, applies it coarsely (the library's volume
// steps), twice, or to a file with ReplayGain off (which must stay bit for bit mpg123's).
TEST(PlaybackGainEngines, Mp3TaggedMinusSixDbPlaysAtHalfAmplitude) {
  ScopedGapless gapless(false);
  TempDir dir;
  const std::string mp3 = dir.File("tagged.mp3");
  ASSERT_TRUE(player_test::MakeMp3(mp3, 44100, 2, 2.0, {1000.0}));
  const std::vector<uint8_t> reference = player_test::ReferenceDecode(mp3);
  ASSERT_TRUE(WriteReplayGainTags(mp3, AudioFileFormat::Mp3, {-6.0, 0.5, -1.0, 0.5}));

  std::vector<uint8_t> off, track;
  {
    ScopedReplayGain set(ReplayGainMode::Off, 0);
    off = Heard(dir, mp3);
  }
  {
    ScopedReplayGain set(ReplayGainMode::Track, 0);
    track = Heard(dir, mp3);
  }
  ASSERT_EQ(off.size(), reference.size());
  EXPECT_TRUE(off == reference) << "ReplayGain off changed the audio";
  ASSERT_EQ(track.size(), reference.size());
  EXPECT_NEAR(LevelRatioDb(track, off), -6.0, 0.05);
}

// Catches a WAV engine that ignores the gain of an "id3 " chunk, or that changes a file
// with ReplayGain off or without tags.
TEST(PlaybackGainEngines, WavWithAnId3ChunkPlaysAtItsGain) {
  ScopedGapless gapless(false);
  TempDir dir;
  const std::string tagged = dir.File("tagged.wav");
  WriteWavWithId3(tagged, {{"REPLAYGAIN_TRACK_GAIN", "-6.00 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0.400000"}});
  const std::vector<uint8_t> samples = player_test::WavData(ReadBytes(tagged));
  ASSERT_FALSE(samples.empty());
  std::vector<uint8_t> off, track;
  {
    ScopedReplayGain set(ReplayGainMode::Off, 0);
    off = Heard(dir, tagged);
  }
  {
    ScopedReplayGain set(ReplayGainMode::Track, 0);
    track = Heard(dir, tagged);
  }
  EXPECT_TRUE(off == samples) << "ReplayGain off changed the audio";
  ASSERT_EQ(track.size(), samples.size());
  EXPECT_NEAR(LevelRatioDb(track, off), -6.0, 0.05);
}

// Catches an AAC engine that ignores the gain of an ID3v2 tag in front of the stream.
TEST(PlaybackGainEngines, AacWithAnId3v2TagPlaysAtItsGain) {
  ScopedGapless gapless(false);
  TempDir dir;
  const std::string plain = dir.File("plain.aac");
  ASSERT_TRUE(MakeAac(plain, 44100, 2, 2.0));
  Id3v2Update update;
  update.userTexts = {{"REPLAYGAIN_TRACK_GAIN", "-6.00 dB"}};
  const auto tag = RenderUpdatedId3v2Tag({}, update);
  ASSERT_TRUE(tag) << tag.Error().text;
  std::vector<uint8_t> bytes = tag.Value();
  const std::vector<uint8_t> stream = ReadBytes(plain);
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  const std::string tagged = dir.File("tagged.aac");
  WriteBytes(tagged, bytes);

  std::vector<uint8_t> off, track;
  {
    ScopedReplayGain set(ReplayGainMode::Off, 0);
    off = Heard(dir, tagged);
  }
  {
    ScopedReplayGain set(ReplayGainMode::Track, 0);
    track = Heard(dir, tagged);
  }
  ASSERT_FALSE(off.empty());
  EXPECT_TRUE(Heard(dir, plain) == off) << "ReplayGain off changed the audio";
  ASSERT_EQ(track.size(), off.size());
  EXPECT_NEAR(LevelRatioDb(track, off), -6.0, 0.05);
}
