// What the three engines play, captured through the wav: output, and the notifications
// they raise while doing it, driven through the facade as the main window drives it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "tests/outside/zbdecode/stream_server.h"
#include "tests/player/engines/engine_test_support.h"

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

struct Media {
  std::string path;
  std::vector<uint8_t> reference;  // the samples it must play
  uint16_t channels = 0;
  uint32_t rate = 0;
};

struct Case {
  EngineKind kind;
  uint32_t rate;
  int channels;
  double seconds;
};

std::string NameOf(EngineKind kind) { return kind == EngineKind::Mp3 ? "Mp3" : kind == EngineKind::Wav ? "Wav" : "Aac"; }

// Makes the test file of a case and what it must sound like.
Media MakeMedia(const TempDir& dir, const Case& c) {
  Media m;
  m.channels = uint16_t(c.channels);
  m.rate = c.rate;
  switch (c.kind) {
    case EngineKind::Mp3:
      m.path = dir.File("in.mp3");
      EXPECT_TRUE(player_test::MakeMp3(m.path, c.rate, c.channels, c.seconds));
      m.reference = player_test::ReferenceDecode(m.path);
      break;
    case EngineKind::Wav: {
      m.path = dir.File("in.wav");
      std::vector<unsigned char> wav = player_test::ToneWav(c.rate, c.channels, c.seconds, {440.0, 1000.0});
      m.reference = player_test::WavData(std::vector<uint8_t>(wav.begin(), wav.end()));
      // A metadata chunk behind the audio is no part of it.
      const char list[] = "LIST\x0c\0\0\0INFOIART\0\0\0\0";
      wav.insert(wav.end(), list, list + 20);
      test_media::WriteFile(m.path, wav);
      break;
    }
    case EngineKind::Aac:
      m.path = dir.File("in.aac");
      EXPECT_TRUE(MakeAac(m.path, c.rate, c.channels, c.seconds));
      m.reference = ReferenceAac(m.path, &m.channels, &m.rate);
      break;
  }
  EXPECT_FALSE(m.reference.empty());
  return m;
}

class EnginePlayback : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    media_ = MakeMedia(dir_, GetParam());
    capture_ = dir_.File("heard.wav");
  }
  // Plays the file through a new facade; control runs on the main loop while it plays.
  void PlayThrough(uint32_t speed, const std::function<void(TSoundPlayer&, Recorder&)>& control = nullptr,
                   bool expectEnd = true) {
    ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture_ + ",speed=" + std::to_string(speed)).c_str());
    {
      TSoundPlayer player(loop_);
      Recorder recorder(player);
      player.UseDirectSound(false);
      player.Open(media_.path);
      ASSERT_NE(player.Engine(), nullptr);
      player.Play();
      if (control) control(player, recorder);
      if (expectEnd) {
        EXPECT_TRUE(loop_.RunUntil([&] { return recorder.HasState(3); }, 30s)) << "no end of stream";
      }
      player.Stop();
      events_ = recorder.Events();
      outputData_ = recorder.OutputData();
      oversized_ = recorder.Oversized();
    }
    heard_ = player_test::WavData(ReadBytes(capture_), &heardChannels_, &heardRate_);
  }
  std::vector<Event> Of(Event::Kind kind) const {
    std::vector<Event> found;
    for (const Event& e : events_) {
      if (e.kind == kind) found.push_back(e);
    }
    return found;
  }

  // One input at a time, drained and closed at its end as without gapless playback: each
  // capture is whole when the facade has gone.
  ScopedGapless gapless_{false};
  TempDir dir_;
  QueueMainLoop loop_;
  Media media_;
  std::string capture_;
  std::vector<Event> events_;
  std::vector<uint8_t> heard_, outputData_;
  bool oversized_ = false;
  uint16_t heardChannels_ = 0;
  uint32_t heardRate_ = 0;
};

}  // namespace

// Catches lost, repeated or altered audio (metadata chunks played as audio, the AAC stream
// forced to 44.1 kHz stereo, the stale block of the library's last call), visualization
// slices over 256 bytes or of audio that was not played, and notifications with wrong
// values or on the wrong thread.
TEST_P(EnginePlayback, PlaysExactlyTheReferenceAndReportsIt) {
  const Case c = GetParam();
  PlayThrough(16);
  EXPECT_EQ(heardRate_, media_.rate);
  EXPECT_EQ(heardChannels_, media_.channels);
  ASSERT_EQ(heard_.size(), media_.reference.size());
  EXPECT_TRUE(heard_ == media_.reference);

  ASSERT_FALSE(outputData_.empty());
  EXPECT_FALSE(oversized_);
  ASSERT_LE(outputData_.size(), heard_.size());
  EXPECT_TRUE(std::equal(outputData_.begin(), outputData_.end(), heard_.begin()));

  const bool mp3 = c.kind == EngineKind::Mp3;
  const auto info = Of(Event::StreamInfo);
  ASSERT_FALSE(info.empty());
  EXPECT_EQ(uint32_t(info[0].value2), media_.rate);
  if (c.kind == EngineKind::Wav) {
    EXPECT_EQ(info[0].value1, int(c.channels * c.rate * 16 / 1000));
    EXPECT_EQ(info[0].value3, c.channels == 2 ? 0 : 255);
  } else {
    // The mode is the library's record: what the reference decoder took for the layout.
    EXPECT_EQ(info[0].value3 == 3, media_.channels == 1);
  }
  const auto positions = Of(Event::Position);
  ASSERT_GE(positions.size(), 2u);
  const int expectedRange = int(c.seconds);
  EXPECT_EQ(positions[0].value2, expectedRange);
  EXPECT_EQ(positions.back().value2, expectedRange);
  // The last report counts the seconds played before the last buffer went out.
  EXPECT_LE(positions.back().value1, int(c.seconds));
  EXPECT_GE(positions.back().value1, int(c.seconds) - (mp3 ? 0 : 1));
  // The threads: the MP3 engine reports on the main thread; the others on their worker,
  // except the WAV engine's position notifications while playing.
  for (const Event& e : Of(Event::Timecode)) EXPECT_EQ(e.onMain, mp3);
  for (const Event& e : Of(Event::State)) EXPECT_EQ(e.onMain, mp3);
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_EQ(positions[i].onMain, mp3 || c.kind == EngineKind::Wav) << i;
  int last = -1;
  for (const Event& e : Of(Event::Timecode)) {
    EXPECT_GE(e.value1, last);
    last = e.value1;
  }
  EXPECT_TRUE(Of(Event::Error).empty()) << Of(Event::Error)[0].text;
}

// Catches a pause that loses or repeats audio, whose timecode keeps running, or after which
// the queued audio plays on (a second and more of it, where the sound is to stop at once).
TEST_P(EnginePlayback, PauseKeepsThePosition) {
  int pausedAt = -1;
  bool stood = true;
  uint64_t heardAtPause = 0, heardAfterPause = 0;
  // The capture holds what the device clock has played, up to its last write of a chunk.
  const auto heardSoFar = [&] {
    const std::vector<uint8_t> file = ReadBytes(capture_);
    return file.size() > 44 ? uint64_t(file.size() - 44) : uint64_t(0);
  };
  PlayThrough(4, [&](TSoundPlayer& player, Recorder& recorder) {
    ASSERT_TRUE(loop_.RunUntil([&] { return recorder.LastTimecode() >= 1; }, 20s));
    heardAtPause = heardSoFar();
    player.Pause();
    loop_.RunUntil([] { return false; }, 700ms);  // the whole queue would have played by now
    heardAfterPause = heardSoFar();
    pausedAt = recorder.LastTimecode();
    loop_.RunUntil([] { return false; }, 400ms);
    stood = recorder.LastTimecode() == pausedAt && !recorder.HasState(3);
    player.Play();
  });
  EXPECT_TRUE(stood) << "the timecode ran on while paused";
  EXPECT_GE(pausedAt, 1);
  // A tenth of a second by the device clock, and the chunk the capture had not yet taken.
  const uint64_t tenth = uint64_t(media_.rate) * media_.channels * 2 / 10;
  EXPECT_LE(heardAfterPause - heardAtPause, tenth + 4096) << "the sound went on after Pause";
  ASSERT_EQ(heard_.size(), media_.reference.size());
  EXPECT_TRUE(heard_ == media_.reference);
}

// Catches a Stop during pause that hangs (the paused worker never let go) or that reports
// an end of stream.
TEST_P(EnginePlayback, StopDuringPauseEndsWithoutEndOfStream) {
  const auto start = std::chrono::steady_clock::now();
  PlayThrough(
      2,
      [&](TSoundPlayer& player, Recorder& recorder) {
        ASSERT_TRUE(loop_.RunUntil([&] { return recorder.LastTimecode() >= 0; }, 20s));
        player.Pause();
        loop_.RunUntil([] { return false; }, 100ms);
        player.Stop();
        loop_.RunUntil([] { return false; }, 200ms);
      },
      /*expectEnd=*/false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  for (const Event& e : Of(Event::State)) EXPECT_NE(e.value1, 3);
  EXPECT_LT(heard_.size(), media_.reference.size());
}

INSTANTIATE_TEST_SUITE_P(Engines, EnginePlayback,
                         testing::Values(Case{EngineKind::Mp3, 44100, 2, 3.0}, Case{EngineKind::Mp3, 48000, 1, 3.0},
                                         Case{EngineKind::Wav, 44100, 2, 3.5}, Case{EngineKind::Wav, 48000, 1, 3.0},
                                         Case{EngineKind::Aac, 44100, 2, 3.0}, Case{EngineKind::Aac, 48000, 1, 3.0}),
                         [](const testing::TestParamInfo<Case>& info) {
                           return NameOf(info.param.kind) + std::to_string(info.param.rate) +
                                  (info.param.channels == 1 ? "Mono" : "Stereo");
                         });

class EngineSeek : public EnginePlayback {};

// Catches a seek to 0 that does not restart the audio and the timecode.
TEST_P(EngineSeek, SeekToZeroRestartsTheTimecode) {
  bool restarted = false;
  PlayThrough(4, [&](TSoundPlayer& player, Recorder& recorder) {
    ASSERT_TRUE(loop_.RunUntil([&] { return recorder.LastTimecode() >= 2; }, 20s));
    // The AAC engine reports on its worker, which may pass second 0 before this thread
    // looks: any timecode of 0 after the seek counts.
    const size_t before = recorder.Events().size();
    player.Seek(0, int(GetParam().seconds));
    restarted = loop_.RunUntil(
        [&] {
          const std::vector<Event> events = recorder.Events();
          for (size_t i = before; i < events.size(); ++i) {
            if (events[i].kind == Event::Timecode && events[i].value1 == 0) return true;
          }
          return false;
        },
        10s);
  });
  EXPECT_TRUE(restarted);
  ASSERT_GT(heard_.size(), media_.reference.size());
  // The start was heard twice: once before the seek and once after it, to the end.
  EXPECT_TRUE(std::equal(media_.reference.begin(), media_.reference.begin() + 44100, heard_.begin()));
}

// Catches a seek past the end that hangs, plays on, or ends without the end-of-stream state.
TEST_P(EngineSeek, SeekPastTheEndEndsWithEndOfStream) {
  const auto start = std::chrono::steady_clock::now();
  PlayThrough(1, [&](TSoundPlayer& player, Recorder& recorder) {
    ASSERT_TRUE(loop_.RunUntil([&] { return recorder.LastTimecode() >= 0; }, 20s));
    player.Seek(1000, int(GetParam().seconds));
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
  EXPECT_LT(heard_.size(), media_.reference.size());
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineSeek,
                         testing::Values(Case{EngineKind::Mp3, 44100, 2, 4.0}, Case{EngineKind::Wav, 44100, 2, 4.0},
                                         Case{EngineKind::Aac, 44100, 2, 4.0}),
                         [](const testing::TestParamInfo<Case>& info) { return NameOf(info.param.kind); });

// Catches an AAC stream without a length (Range 0: no position slider) and a seek that
// does nothing or lands away from the asked time: a seek to 30 s before the first buffer
// gives the stream from within 0.1 s after 30 s, sample for sample.
TEST(AacEngine, SeeksToThirtySecondsAndKnowsTheLength) {
  ScopedGapless gapless(false);  // each capture whole once the facade has gone
  TempDir dir;
  const std::string path = dir.File("long.aac");
  ASSERT_TRUE(MakeAac(path, 44100, 2, 33.0));
  uint16_t channels = 0;
  uint32_t rate = 0;
  const std::vector<uint8_t> reference = ReferenceAac(path, &channels, &rate);
  ASSERT_EQ(rate, 44100u);
  const size_t frameBytes = size_t(channels) * 2;
  const std::string capture = dir.File("heard.wav");
  QueueMainLoop loop;
  std::vector<Event> events;
  {
    ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=16").c_str());
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.Open(path);
    player.Seek(30, 33);
    player.Play();
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 30s));
    player.Stop();
    events = recorder.Events();
  }
  const std::vector<uint8_t> heard = player_test::WavData(ReadBytes(capture));
  ASSERT_LT(heard.size(), reference.size());
  ASSERT_EQ(heard.size() % frameBytes, 0u);
  const double landedSeconds = double((reference.size() - heard.size()) / frameBytes) / rate;
  EXPECT_GE(landedSeconds, 30.0);
  EXPECT_LT(landedSeconds, 30.1);
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), reference.end() - std::ptrdiff_t(heard.size())))
      << "what played after the seek is not the stream from there";
  std::vector<Event> positions;
  for (const Event& e : events) {
    if (e.kind == Event::Position) positions.push_back(e);
  }
  ASSERT_GE(positions.size(), 2u);
  EXPECT_EQ(positions[0].value2, 33);
  EXPECT_EQ(positions[1].value1, 30) << "the first position after the seek";
  EXPECT_EQ(positions.back().value2, 33);
}

namespace {

// An ID3v2.4 tag with a TXXX frame "iTunSMPB" stating delay and padding for validFrames.
std::vector<uint8_t> SmpbTag(uint32_t delay, uint32_t padding, uint64_t validFrames) {
  char value[80];
  std::snprintf(value, sizeof value, " 00000000 %08X %08X %016llX 00000000", delay, padding,
                static_cast<unsigned long long>(validFrames));
  std::vector<uint8_t> frame = {3};  // UTF-8
  for (const char* c = "iTunSMPB"; *c != 0; ++c) frame.push_back(uint8_t(*c));
  frame.push_back(0);
  for (const char* c = value; *c != 0; ++c) frame.push_back(uint8_t(*c));
  auto synchsafe = [](uint32_t v) {
    return std::vector<uint8_t>{uint8_t(v >> 21 & 0x7F), uint8_t(v >> 14 & 0x7F), uint8_t(v >> 7 & 0x7F),
                                uint8_t(v & 0x7F)};
  };
  std::vector<uint8_t> tag = {'I', 'D', '3', 4, 0, 0};
  const auto tagSize = synchsafe(uint32_t(10 + frame.size()));
  tag.insert(tag.end(), tagSize.begin(), tagSize.end());
  tag.insert(tag.end(), {'T', 'X', 'X', 'X'});
  const auto frameSize = synchsafe(uint32_t(frame.size()));
  tag.insert(tag.end(), frameSize.begin(), frameSize.end());
  tag.insert(tag.end(), {0, 0});
  tag.insert(tag.end(), frame.begin(), frame.end());
  return tag;
}

// Where piece (16-bit, channel 0 of channels) best matches tone from frame `at`, within
// ±range frames: the offset.
long BestOffset(const std::vector<int16_t>& tone, const std::vector<uint8_t>& piece, int channels, long at,
                long range) {
  const auto* samples = reinterpret_cast<const int16_t*>(piece.data());
  const long frames = std::min<long>(4096, long(piece.size() / 2 / size_t(channels)));
  long best = 0;
  double bestError = 1e300;
  for (long offset = -range; offset <= range; ++offset) {
    double error = 0;
    for (long i = 0; i < frames; ++i) {
      const long t = at + offset + i;
      const double want = t >= 0 && size_t(t) * size_t(channels) < tone.size() ? tone[size_t(t) * size_t(channels)] : 0;
      const double d = want - samples[size_t(i) * size_t(channels)];
      error += d * d;
    }
    if (error < bestError) {
      bestError = error;
      best = offset;
    }
  }
  return best;
}

}  // namespace

// Catches the AAC priming and padding played where the stream states them (a gap of about
// 50 ms at the joint of two files of one recording, the second heard late): two halves of
// a tone, each an ADTS file with an iTunSMPB tag in front, play exactly their own lengths,
// each from where its part of the tone starts; joined they leave no gap or overlap over
// 1 ms. The stated length is the range.
TEST(AacEngine, StatedEncoderDelayAndPaddingAreNotPlayed) {
  ScopedGapless gapless(false);  // each capture whole once the facade has gone
  TempDir dir;
  const uint32_t rate = 44100;
  const int channels = 2;
  const std::vector<unsigned char> wav = player_test::ToneWav(rate, channels, 5.0, {330.0, 523.0});
  const std::vector<uint8_t> whole = player_test::WavData(std::vector<uint8_t>(wav.begin(), wav.end()));
  std::vector<int16_t> tone(whole.size() / 2);
  std::memcpy(tone.data(), whole.data(), tone.size() * 2);
  const size_t totalFrames = tone.size() / channels;
  const size_t cut = 1024 * 97 + 411;
  const size_t lengths[2] = {cut, totalFrames - cut};
  std::vector<std::vector<uint8_t>> heard;
  std::vector<int> ranges;
  for (int half = 0; half < 2; ++half) {
    const std::string name = dir.File("half" + std::to_string(half));
    const auto first = tone.begin() + std::ptrdiff_t(half == 0 ? 0 : cut * channels);
    const std::vector<int16_t> part(first, first + std::ptrdiff_t(lengths[half] * channels));
    test_media::WriteFile(name + ".wav", test_media::WavBytes(rate, channels, part));
    int code = -1;
    test_media::Run("ffmpeg -v error -y -i '" + name + ".wav' -c:a aac -b:a 192k -f adts '" + name + ".adts'", &code);
    ASSERT_EQ(code, 0);
    // ffmpeg's AAC encoder primes with 1024 sample periods; the rest of the last block
    // is padding.
    uint16_t decodedChannels = 0;
    uint32_t decodedRate = 0;
    const size_t decodedFrames = ReferenceAac(name + ".adts", &decodedChannels, &decodedRate).size() / 4;
    ASSERT_GE(decodedFrames, lengths[half] + 1024);
    std::vector<uint8_t> file = SmpbTag(1024, uint32_t(decodedFrames - 1024 - lengths[half]), lengths[half]);
    const std::vector<uint8_t> adts = ReadBytes(name + ".adts");
    file.insert(file.end(), adts.begin(), adts.end());
    test_media::WriteFile(name + ".aac", std::vector<unsigned char>(file.begin(), file.end()));

    QueueMainLoop loop;
    ScopedEnv out("ZIMBAR_AUDIO_OUT", ("wav:" + name + ".heard.wav,speed=16").c_str());
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.Open(name + ".aac");
    player.Play();
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 20s));
    player.Stop();
    const auto positions = recorder.Of(Event::Position);
    ranges.push_back(positions.empty() ? -1 : positions.front().value2);
    heard.push_back(player_test::WavData(ReadBytes(name + ".heard.wav")));
  }
  const size_t tolerance = rate / 1000;
  EXPECT_EQ(heard[0].size() / 4, lengths[0]) << "priming or padding of the first half was played";
  EXPECT_EQ(heard[1].size() / 4, lengths[1]) << "priming or padding of the second half was played";
  EXPECT_NEAR(BestOffset(tone, heard[0], channels, 0, 1500), 0, long(tolerance));
  const long secondAt = long(heard[0].size() / 4) + BestOffset(tone, heard[1], channels, long(heard[0].size() / 4), 1500);
  EXPECT_NEAR(secondAt, long(cut), long(tolerance)) << "gap (+) or overlap (-) at the joint";
  EXPECT_EQ(ranges[0], int(lengths[0] / rate));
  EXPECT_EQ(ranges[1], int(lengths[1] / rate));
}

// Catches a file:// URI that an engine cannot open (its escapes kept, the scheme taken
// for part of the path): each engine plays the file the URI names to its end.
TEST(Engines, FileUrisPlayTheFilesTheyName) {
  ScopedGapless gapless(false);  // each capture whole once the facade has gone
  TempDir dir;
  const std::string wav = dir.File("a b.wav"), aac = dir.File("a b.aac"), mp3 = dir.File("a b.mp3");
  test_media::WriteFile(wav, player_test::ToneWav(44100, 2, 0.5, {440.0}));
  ASSERT_TRUE(MakeAac(aac, 44100, 2, 0.5));
  ASSERT_TRUE(player_test::MakeMp3(mp3, 44100, 2, 0.5));
  for (const std::string& path : {wav, aac, mp3}) {
    std::string uri = "file://";
    for (char c : path) uri += c == ' ' ? std::string("%20") : std::string(1, c);
    SCOPED_TRACE(uri);
    QueueMainLoop loop;
    ScopedEnv out("ZIMBAR_AUDIO_OUT", ("wav:" + dir.File("heard.wav") + ",speed=16").c_str());
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.Open(uri);
    player.Play();
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3) || !recorder.Of(Event::Error).empty(); }, 20s));
    player.Stop();
    for (const Event& e : recorder.Of(Event::Error)) ADD_FAILURE() << e.text;
    EXPECT_GT(player_test::WavData(ReadBytes(dir.File("heard.wav"))).size(), 44100u);
  }
}

// Catches a station's titles reaching the window with their control characters (ESC,
// BEL, BS, DEL: boxes in the title field) or as broken UTF-8 (a title in ISO-8859-1).
TEST(Mp3Engine, StreamTitlesReachTheWindowAsCleanUtf8) {
  TempDir dir;
  const std::string mp3 = dir.File("stream.mp3");
  ASSERT_TRUE(player_test::MakeMp3(mp3, 44100, 2, 1.5, {440.0}, "-b 128"));
  player_test::StreamServer server({"http", mp3, "--icy-metaint", "4096", "--title-encoding", "latin-1", "--titles",
                                    "Esc\x1b[1mBold,Bell\x07 Back\x08 Del\x7f!,Caf\u00e9\tCr\u00e8me"});
  ASSERT_GT(server.Port(), 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/stream.mp3";
  ScopedEnv out("ZIMBAR_AUDIO_OUT", ("wav:" + dir.File("heard.wav") + ",speed=16").c_str());
  QueueMainLoop loop;
  TSoundPlayer player(loop);
  Recorder recorder(player);
  std::vector<std::string> names;
  player.SetOnNotifyInputName([&](void*, const std::string& name) { names.push_back(name); });
  player.Open(url);
  player.Play();
  ASSERT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 20s));
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], url);
  EXPECT_EQ(std::vector<std::string>(names.begin() + 1, names.end()),
            (std::vector<std::string>{"Esc[1mBold", "Bell Back Del!", "Caf\u00e9 Cr\u00e8me"}));
}
