// The media engine through the facade: FLAC, Ogg Vorbis, Opus and M4A (AAC and ALAC) files
// and Ogg streams over HTTP, captured through the wav: output and compared with what
// ffmpeg and flac decode; seeks, stops, damaged input and servers that misbehave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "player/engines/media_player.h"
#include "tests/outside/zbdecode/stream_server.h"
#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

enum class Kind { Flac16, Flac16Mono, Flac24, Vorbis, Opus, M4aAac, M4aAlac };

struct MediaCase {
  Kind kind;
  const char* name;
  uint32_t rate;
  int channels;
  bool lossless;
};

const MediaCase kCases[] = {
    {Kind::Flac16, "Flac16", 44100, 2, true},   {Kind::Flac16Mono, "Flac16Mono", 22050, 1, true},
    {Kind::Flac24, "Flac24", 48000, 2, true},   {Kind::Vorbis, "Vorbis", 44100, 2, false},
    {Kind::Opus, "Opus", 48000, 2, false},      {Kind::M4aAac, "M4aAac", 44100, 2, false},
    {Kind::M4aAlac, "M4aAlac", 44100, 2, true},
};

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

bool Command(const std::string& command) {
  int code = -1;
  test_media::Run(command, &code);
  return code == 0;
}

// Encodes the WAV file wav to path in the case's format; false when the encoder failed.
// M4A files keep their index in front, so that a cut file still plays.
bool Encode(const MediaCase& c, const std::string& wav, const std::string& path) {
  const std::string ffmpeg = "ffmpeg -v error -y -i " + Quoted(wav) + " ";
  switch (c.kind) {
    case Kind::Flac16:
    case Kind::Flac16Mono:
      return Command("flac -s -f -o " + Quoted(path) + " " + Quoted(wav));
    case Kind::Flac24: {
      // Lowered a little on the way, so that the low 8 of the 24 bits are not all zero.
      const bool ok = Command(ffmpeg + "-af volume=0.77 -c:a pcm_s24le " + Quoted(wav + ".24.wav")) &&
                      Command("flac -s -f -o " + Quoted(path) + " " + Quoted(wav + ".24.wav"));
      std::remove((wav + ".24.wav").c_str());
      return ok;
    }
    case Kind::Vorbis:
      return Command(ffmpeg + "-c:a libvorbis -q:a 4 -f ogg " + Quoted(path));
    case Kind::Opus:
      return Command(ffmpeg + "-c:a libopus -b:a 96k -f ogg " + Quoted(path));
    case Kind::M4aAac:
      return Command(ffmpeg + "-c:a aac -b:a 128k -movflags +faststart -f mp4 " + Quoted(path));
    case Kind::M4aAlac:
      return Command(ffmpeg + "-c:a alac -movflags +faststart -f mp4 " + Quoted(path));
  }
  return false;
}

// Encodes a tone of the case's layout, seconds long, to path.
bool MakeMedia(const MediaCase& c, const std::string& path, double seconds, std::vector<double> hz = {440.0, 1000.0}) {
  const std::string wav = path + ".src.wav";
  test_media::WriteFile(wav, player_test::ToneWav(c.rate, c.channels, seconds, std::move(hz)));
  const bool ok = Encode(c, wav, path);
  std::remove(wav.c_str());
  return ok;
}

// What ffmpeg decodes from path, as 16-bit samples at the stream's own rate.
std::vector<uint8_t> FfmpegDecode(const std::string& path, uint16_t* channels, uint32_t* rate) {
  const std::string wav = path + ".ref.wav";
  test_media::Run("ffmpeg -v error -y -i " + Quoted(path) + " -c:a pcm_s16le -f wav " + Quoted(wav));
  std::vector<uint8_t> data = player_test::WavData(ReadBytes(wav), channels, rate);
  std::remove(wav.c_str());
  return data;
}

// What the engine is to play of an encoding of seconds of audio, given ffmpeg's decode of
// it: an MP4 file's stated length (its edit list), where ffmpeg keeps the AAC encoder's
// padding at the end; the decode itself otherwise.
std::vector<uint8_t> ExpectedPlay(const MediaCase& c, std::vector<uint8_t> decoded, double seconds) {
  if (c.kind != Kind::M4aAac) return decoded;
  const size_t stated = size_t(c.rate * seconds) * size_t(c.channels) * 2;
  EXPECT_GE(decoded.size(), stated);
  decoded.resize(std::min(decoded.size(), stated));
  return decoded;
}

// The largest difference between two runs of 16-bit samples of equal length.
int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const auto* x = reinterpret_cast<const int16_t*>(a.data());
  const auto* y = reinterpret_cast<const int16_t*>(b.data());
  int most = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()) / 2; ++i) most = std::max(most, std::abs(int(x[i]) - int(y[i])));
  return most;
}

// The root mean square of the difference of two runs of 16-bit samples over that of the
// second.
double DifferenceRatio(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const auto* x = reinterpret_cast<const int16_t*>(a.data());
  const auto* y = reinterpret_cast<const int16_t*>(b.data());
  double difference = 0, signal = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()) / 2; ++i) {
    difference += (double(x[i]) - y[i]) * (double(x[i]) - y[i]);
    signal += double(y[i]) * y[i];
  }
  return signal == 0 ? 1.0 : std::sqrt(difference / signal);
}

// The longest run of frames of 16-bit stereo pcm that are (nearly) silent.
size_t LongestSilence(const std::vector<uint8_t>& pcm) {
  const auto* samples = reinterpret_cast<const int16_t*>(pcm.data());
  size_t longest = 0, run = 0;
  for (size_t frame = 0; frame < pcm.size() / 4; ++frame) {
    run = std::abs(samples[2 * frame]) < 64 && std::abs(samples[2 * frame + 1]) < 64 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

// What one playback through a new facade heard and reported.
struct Played {
  std::vector<uint8_t> heard;
  uint16_t channels = 0;
  uint32_t rate = 0;
  std::vector<Event> events;
  bool ended = false;
  std::string engine;

  std::vector<Event> Of(Event::Kind kind) const {
    std::vector<Event> found;
    for (const Event& e : events) {
      if (e.kind == kind) found.push_back(e);
    }
    return found;
  }
  std::string Errors() const {
    std::string all;
    for (const Event& e : Of(Event::Error)) all += e.text + "\n";
    return all;
  }
};

class MediaTest : public testing::Test {
 protected:
  // Plays name; before lets the test act before Play (a seek), control while it plays.
  // Waits for the end of stream or an error when waitForEnd.
  Played Play(const std::string& name, uint32_t speed, const std::function<void(TSoundPlayer&)>& before = nullptr,
              const std::function<void(TSoundPlayer&, Recorder&)>& control = nullptr, bool waitForEnd = true) {
    const std::string capture = dir_.File("heard" + std::to_string(++plays_) + ".wav");
    Played p;
    {
      ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=" + std::to_string(speed)).c_str());
      TSoundPlayer player(loop_);
      Recorder recorder(player);
      player.UseDirectSound(false);
      player.Open(name);
      EXPECT_NE(player.Media(), nullptr) << name;
      if (player.Media() == nullptr) return p;
      if (before) before(player);
      player.Play();
      if (control) control(player, recorder);
      if (waitForEnd) {
        p.ended = loop_.RunUntil([&] { return recorder.HasState(3) || !recorder.Of(Event::Error).empty(); }, 60s);
      }
      player.Stop();
      p.events = recorder.Events();
    }
    p.heard = player_test::WavData(ReadBytes(capture), &p.channels, &p.rate);
    return p;
  }

  ScopedGapless gapless_{false};
  TempDir dir_;
  QueueMainLoop loop_;
  int plays_ = 0;
};

class MediaFormats : public MediaTest, public testing::WithParamInterface<MediaCase> {};

std::string CaseName(const testing::TestParamInfo<MediaCase>& info) { return info.param.name; }

}  // namespace

// Catches samples lost or added at either end (encoder delay or padding kept, the
// decoder's last frames not drained), a layout or rate changed on the way, lossless audio
// altered (a float detour), and stream information that does not describe the stream.
TEST_P(MediaFormats, PlaysWhatFfmpegDecodesAndEnds) {
  const MediaCase c = GetParam();
  const std::string path = dir_.File("tone.media");
  ASSERT_TRUE(MakeMedia(c, path, 2.5));
  uint16_t channels = 0;
  uint32_t rate = 0;
  const std::vector<uint8_t> reference = ExpectedPlay(c, FfmpegDecode(path, &channels, &rate), 2.5);
  ASSERT_FALSE(reference.empty());

  const Played p = Play(path, 32);
  ASSERT_TRUE(p.ended);
  EXPECT_EQ(p.Errors(), "");
  EXPECT_EQ(p.Of(Event::State).size(), 1u);
  EXPECT_EQ(p.rate, rate);
  EXPECT_EQ(p.channels, channels);
  ASSERT_EQ(p.heard.size(), reference.size());
  if (c.lossless) {
    EXPECT_TRUE(p.heard == reference);
  } else {
    EXPECT_LE(MaxDifference(p.heard, reference), 1);
  }
  const auto info = p.Of(Event::StreamInfo);
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(uint32_t(info[0].value2), c.rate);
  EXPECT_EQ(info[0].value3, c.channels == 1 ? 3 : 0);
  EXPECT_GT(info[0].value1, 0);
  const auto positions = p.Of(Event::Position);
  ASSERT_GE(positions.size(), 2u);
  EXPECT_EQ(positions[0].value2, 2);
  EXPECT_EQ(positions.back().value1, 2);
}

// Catches a seek that lands on a packet boundary rather than the asked sample, that keeps
// the audio queued before it, or counts the position from the start again.
TEST_P(MediaFormats, SeeksToTheAskedSample) {
  const MediaCase c = GetParam();
  const std::string path = dir_.File("seek.media");
  ASSERT_TRUE(MakeMedia(c, path, 4.0, {330.0, 770.0}));
  const std::vector<uint8_t> reference = ExpectedPlay(c, FfmpegDecode(path, nullptr, nullptr), 4.0);
  const size_t frameBytes = size_t(c.channels) * 2;
  const size_t from = size_t(3) * c.rate * frameBytes;
  ASSERT_GT(reference.size(), from);
  const Played p = Play(path, 32, [](TSoundPlayer& player) { player.Seek(3, 4); });
  ASSERT_TRUE(p.ended);
  EXPECT_EQ(p.Errors(), "");
  ASSERT_EQ(p.heard.size(), reference.size() - from);
  const std::vector<uint8_t> tail(reference.begin() + ptrdiff_t(from), reference.end());
  if (c.lossless) {
    EXPECT_TRUE(p.heard == tail);
  } else {
    // A lossy decoder starts afresh after a seek (its noise generators too), so the
    // samples differ a little; one sample off would differ by a tenth of the signal.
    EXPECT_LT(DifferenceRatio(p.heard, tail), 0.02);
  }
  EXPECT_EQ(p.Of(Event::Position).back().value1, 4);
}

INSTANTIATE_TEST_SUITE_P(Media, MediaFormats, testing::ValuesIn(kCases), CaseName);

// Catches 16-bit FLAC not reaching the output bit for bit (a conversion on the way), by
// the format's own decoder rather than the one the engine uses.
TEST_F(MediaTest, FlacPlaysExactlyWhatTheFlacDecoderGives) {
  for (const MediaCase& c : {kCases[0], kCases[1]}) {
    const std::string path = dir_.File(std::string(c.name) + ".flac");
    ASSERT_TRUE(MakeMedia(c, path, 1.5));
    const std::string wav = path + ".dec.wav";
    ASSERT_TRUE(Command("flac -s -d -f -o " + Quoted(wav) + " " + Quoted(path)));
    const std::vector<uint8_t> reference = player_test::WavData(ReadBytes(wav));
    const Played p = Play(path, 32);
    ASSERT_TRUE(p.ended) << c.name;
    EXPECT_EQ(p.heard.size(), reference.size()) << c.name;
    EXPECT_TRUE(p.heard == reference) << c.name;
  }
}

// Catches a seek past the end that plays on, hangs, or ends without the end of stream.
TEST_F(MediaTest, SeekPastTheEndEndsWithEndOfStream) {
  const std::string path = dir_.File("short.ogg");
  ASSERT_TRUE(MakeMedia(kCases[3], path, 1.0));
  const Played p = Play(path, 32, [](TSoundPlayer& player) { player.Seek(60, 1); });
  ASSERT_TRUE(p.ended);
  EXPECT_EQ(p.Errors(), "");
  EXPECT_TRUE(p.heard.empty());
  EXPECT_EQ(p.Of(Event::State).size(), 1u);
}

// Catches a Stop that waits for the file to play out (while playing or paused), or that
// reports an end of stream.
TEST_F(MediaTest, StopReturnsPromptlyWhilePlayingAndPaused) {
  const std::string path = dir_.File("long.opus");
  ASSERT_TRUE(MakeMedia(kCases[4], path, 20.0));
  for (bool pause : {false, true}) {
    const auto start = std::chrono::steady_clock::now();
    const Played p = Play(
        path, 1, nullptr,
        [&](TSoundPlayer& player, Recorder& recorder) {
          ASSERT_TRUE(loop_.RunUntil([&] { return !recorder.OutputData().empty(); }, 20s));
          if (pause) player.Pause();
        },
        /*waitForEnd=*/false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s) << pause;
    EXPECT_TRUE(p.Of(Event::State).empty()) << pause;
    EXPECT_EQ(p.Errors(), "") << pause;
  }
}

// Catches a file that breaks off mid-stream made an error (it ends normally, with what it
// holds), a damaged stretch ending the playback or crashing the decoder, and a file with
// nothing decodable taken for a silent one.
TEST_F(MediaTest, DamagedAndTruncatedFilesPlayWhatTheyHold) {
  for (const MediaCase& c : kCases) {
    const std::string path = dir_.File(std::string(c.name) + ".media");
    ASSERT_TRUE(MakeMedia(c, path, 3.0));
    const std::vector<uint8_t> whole = ReadBytes(path);
    uint16_t channels = 0;
    uint32_t rate = 0;
    const size_t wholeBytes = FfmpegDecode(path, &channels, &rate).size();

    // Cut three quarters in (past the headers of every format): what is there plays,
    // and the end is an end.
    const std::string cut = dir_.File(std::string(c.name) + ".cut");
    WriteBytes(cut, std::vector<uint8_t>(whole.begin(), whole.begin() + ptrdiff_t(whole.size() * 3 / 4)));
    const Played truncated = Play(cut, 32);
    ASSERT_TRUE(truncated.ended) << c.name;
    EXPECT_EQ(truncated.Errors(), "") << c.name;
    EXPECT_EQ(truncated.Of(Event::State).size(), 1u) << c.name;
    const size_t tenth = size_t(c.rate / 10) * size_t(c.channels) * 2;
    const size_t ffmpegCut = FfmpegDecode(cut, nullptr, nullptr).size();
    EXPECT_GT(truncated.heard.size(), 0u) << c.name;
    EXPECT_LT(truncated.heard.size(), wholeBytes) << c.name;
    EXPECT_GE(truncated.heard.size() + tenth, ffmpegCut) << c.name;

    // Noise over a stretch in the middle: play goes on past it to the end, as far as
    // ffmpeg's decode of the same file goes.
    std::vector<uint8_t> damagedBytes = whole;
    uint32_t seed = 12345;
    for (size_t k = whole.size() / 2; k < whole.size() / 2 + 600 && k < whole.size(); ++k) {
      seed = seed * 1103515245 + 12345;
      damagedBytes[k] = uint8_t(seed >> 16);
    }
    const std::string damaged = dir_.File(std::string(c.name) + ".damaged");
    WriteBytes(damaged, damagedBytes);
    const size_t ffmpegBytes = FfmpegDecode(damaged, nullptr, nullptr).size();
    const Played p = Play(damaged, 32);
    ASSERT_TRUE(p.ended) << c.name;
    EXPECT_EQ(p.Errors(), "") << c.name;
    EXPECT_EQ(p.Of(Event::State).size(), 1u) << c.name;
    EXPECT_GE(p.heard.size() + tenth, ffmpegBytes) << c.name;
    EXPECT_GT(p.heard.size(), 0u) << c.name;
  }
  // The head of an Ogg Vorbis file and nothing decodable after it.
  const std::string path = dir_.File("head.ogg");
  ASSERT_TRUE(MakeMedia(kCases[3], path, 1.0));
  std::vector<uint8_t> bytes = ReadBytes(path);
  bytes.resize(64);
  bytes.resize(20000, 0x5A);
  WriteBytes(path, bytes);
  const Played p = Play(path, 32);
  ASSERT_TRUE(p.ended);
  ASSERT_EQ(p.Of(Event::Error).size(), 1u);
  EXPECT_EQ(p.Of(Event::Error)[0].text.rfind("Cannot play " + path + ": ", 0), 0u) << p.Errors();
  EXPECT_TRUE(p.Of(Event::State).empty());
}

// Catches a stream over HTTP that is not played whole (its end taken for a failure, a
// length guessed for a live stream) and a stream that is not looked at by its URL.
TEST_F(MediaTest, OggStreamsOverHttpPlayWhole) {
  for (const MediaCase& c : {kCases[3], kCases[4]}) {
    const std::string path = dir_.File(std::string(c.name) + ".ogg");
    ASSERT_TRUE(MakeMedia(c, path, 2.0));
    const std::vector<uint8_t> reference = FfmpegDecode(path, nullptr, nullptr);
    player_test::StreamServer server({"http", path});
    ASSERT_NE(server.Port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/live/stream." +
                            (c.kind == Kind::Opus ? "opus" : "ogg") + "?session=1";
    const Played p = Play(url, 32);
    ASSERT_TRUE(p.ended) << c.name;
    EXPECT_EQ(p.Errors(), "") << c.name;
    EXPECT_EQ(p.heard.size(), reference.size()) << c.name;
    EXPECT_LE(MaxDifference(p.heard, reference), 1) << c.name;
    const auto positions = p.Of(Event::Position);
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions[0].value2, 0) << "a live stream has no length";
  }
}

// Catches a stalled server that holds the player for ever, a server sending garbage taken
// for silence, and errors that do not name the stream.
TEST_F(MediaTest, ServersThatStallOrSendGarbageEndWithAnError) {
  const std::string path = dir_.File("tone.ogg");
  ASSERT_TRUE(MakeMedia(kCases[3], path, 6.0));
  const std::string garbage = dir_.File("garbage.bin");
  WriteBytes(garbage, std::vector<uint8_t>(200000, 0x47));
  struct Server {
    std::vector<std::string> args;
    const char* what;
  };
  const Server servers[] = {
      {{"http", path, "--stall-after", "20000"}, "stalled"},
      {{"http", garbage}, "garbage"},
      {{"http", path, "--junk"}, "junk"},
  };
  for (const Server& s : servers) {
    player_test::StreamServer server(s.args);
    ASSERT_NE(server.Port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/stream.ogg";
    const Played p = Play(url, 32);
    ASSERT_TRUE(p.ended) << s.what;
    ASSERT_EQ(p.Of(Event::Error).size(), 1u) << s.what;
    EXPECT_EQ(p.Of(Event::Error)[0].text.rfind("Cannot play " + url + ": ", 0), 0u) << p.Errors();
    EXPECT_TRUE(p.Of(Event::State).empty()) << s.what;
  }
}

// Catches a Stop that waits for a stalled server (or for its own read timeout).
TEST_F(MediaTest, StopDuringAStalledStreamReturnsPromptly) {
  const std::string path = dir_.File("tone.ogg");
  ASSERT_TRUE(MakeMedia(kCases[3], path, 6.0));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"http", path, "--stall-after", "20000"},
                                               std::vector<std::string>{"http", path, "--silent"}}) {
    player_test::StreamServer server(args);
    ASSERT_NE(server.Port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/stream.ogg";
    std::chrono::steady_clock::duration took{};
    const Played p = Play(
        url, 1, nullptr,
        [&](TSoundPlayer& player, Recorder&) {
          ASSERT_TRUE(server.WaitForEvent("accepted"));
          const auto start = std::chrono::steady_clock::now();
          player.Stop();
          took = std::chrono::steady_clock::now() - start;
        },
        /*waitForEnd=*/false);
    EXPECT_LT(took, 2s) << args.back();
    EXPECT_TRUE(p.Of(Event::Error).empty()) << p.Errors();
  }
}

// Catches encoder delay or padding kept at a join (a gap or a click between two files of
// one piece played one after the other), and samples lost at the hand-over.
TEST_F(MediaTest, TwoHalvesOfOneToneJoinWithoutAGap) {
  ScopedGapless gapless(true);
  for (const MediaCase& c : kCases) {
    // (24-bit FLAC is made at another level than the tone.)
    if (c.channels != 2 || c.kind == Kind::Flac24) continue;
    // The cut lies inside a codec frame of every format.
    const size_t frames = size_t(c.rate) * 3, cut = size_t(c.rate) * 3 / 2 + 333;
    const std::vector<unsigned char> whole = player_test::ToneWav(c.rate, 2, 3.0, {440.0, 1000.0});
    const std::vector<uint8_t> wholeData = player_test::WavData(std::vector<uint8_t>(whole.begin(), whole.end()));
    ASSERT_EQ(wholeData.size(), frames * 4);
    const auto* samples = reinterpret_cast<const int16_t*>(wholeData.data());
    std::vector<std::string> halves;
    for (int half = 0; half < 2; ++half) {
      const std::vector<int16_t> part(samples + (half == 0 ? 0 : 2 * cut), samples + (half == 0 ? 2 * cut : 2 * frames));
      const std::string wav = dir_.File(std::string(c.name) + std::to_string(half) + ".wav");
      test_media::WriteFile(wav, test_media::WavBytes(c.rate, 2, part));
      halves.push_back(dir_.File(std::string(c.name) + std::to_string(half) + ".media"));
      ASSERT_TRUE(Encode(c, wav, halves.back())) << c.name;
    }
    const std::string capture = dir_.File(std::string(c.name) + ".heard.wav");
    {
      ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=32").c_str());
      for (const std::string& file : halves) {
        auto player = std::make_unique<TSoundPlayer>(loop_);
        Recorder recorder(*player);
        player->UseDirectSound(false);
        player->Open(file);
        player->Play();
        EXPECT_TRUE(loop_.RunUntil([&] { return recorder.HasState(3); }, 30s)) << file;
        EXPECT_TRUE(recorder.Of(Event::Error).empty()) << file;
        player->Stop();
      }
      // The last input's output lingers a moment after it has played out, then closes.
      EXPECT_TRUE(loop_.RunUntil(
          [&] {
            const std::vector<uint8_t> file = ReadBytes(capture);
            return file.size() > 44 && (file[40] | file[41] | file[42] | file[43]) != 0;
          },
          10s));
    }
    const std::vector<uint8_t> heard = player_test::WavData(ReadBytes(capture));
    // An MP4 file written by ffmpeg states its length in milliseconds: each may lose up to
    // one at its end. The other formats state theirs to the sample.
    const size_t slack = c.kind == Kind::M4aAac ? size_t(c.rate / 1000 + 1) * 2 * 4 : 0;
    ASSERT_LE(heard.size(), wholeData.size()) << c.name;
    ASSERT_GE(heard.size() + slack, wholeData.size()) << c.name;
    const size_t from = (cut - c.rate / 10) * 4, to = (cut + c.rate / 10) * 4;
    const std::vector<uint8_t> join(heard.begin() + ptrdiff_t(from), heard.begin() + ptrdiff_t(to));
    EXPECT_LE(LongestSilence(join), size_t(c.rate / 1000)) << c.name;
    if (c.lossless) {
      EXPECT_TRUE(heard == wholeData) << c.name;
    } else if (slack == 0) {
      // Around the join (a tenth of a second each side) the two decodes sound as the tone.
      const std::vector<uint8_t> b(wholeData.begin() + ptrdiff_t(from), wholeData.begin() + ptrdiff_t(to));
      EXPECT_LT(DifferenceRatio(join, b), 0.1) << c.name;
    }
  }
}
