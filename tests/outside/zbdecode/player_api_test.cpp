// Tests of the player in libzbdecode.so through its exported functions: what it plays
// (captured through the wav: output), its notifications, the equalizer, output filters
// and the control messages' argument forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <mutex>

#include "outside/zbdecode/zbdecode_player.h"
#include "tests/common/temp_dir.h"
#include "tests/outside/zbdecode/player_media.h"
#include "tests/outside/zbdecode/player_pump.h"
#include "tests/outside/zbdecode/stream_server.h"

using namespace player_test;
using namespace std::chrono_literals;

namespace {

// Plays path to its end into a capture file and returns the recorded samples.
std::vector<uint8_t> PlayToEnd(const std::string& path, const std::string& capture, const ZbdEqualizer* eq,
                               Pump* keep = nullptr) {
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=16").c_str());
  Pump own;
  Pump& pump = keep ? *keep : own;
  ZbdPlayer* p = pump.Start();
  EXPECT_NE(p, nullptr);
  if (!p) return {};
  EXPECT_EQ(control_message_send_S(p, ZBD_MSG_INPUT_OPEN, path.c_str()), ZBD_OK);
  if (eq) {
    EXPECT_EQ(control_message_send_P(p, ZBD_MSG_SET_CODEC_EQUALIZER, eq), ZBD_OK);
  }
  EXPECT_EQ(control_message_send_N(p, ZBD_MSG_PLAY), ZBD_OK);
  EXPECT_TRUE(pump.WaitForState(ZBD_PLAYER_STATE_EOS)) << "no end of stream";
  pump.Delete();  // closes the output, which completes the capture
  return WavData(ReadBytes(capture));
}

struct FormatCase {
  uint32_t rate;
  int channels;
  bool zeroEqualizer;
};

class PlayerOutput : public testing::TestWithParam<FormatCase> {};

}  // namespace

// Catches any difference from the reference decoder: lost, repeated or reordered frames,
// a wrong rate or channel count, resampling, gapless trimming not applied, and an
// all-zero equalizer record that changes the samples.
TEST_P(PlayerOutput, PlaysExactlyWhatTheReferenceDecoderGives) {
  const FormatCase c = GetParam();
  TempDir dir;
  const std::string mp3 = dir.File("in.mp3");
  ASSERT_TRUE(MakeMp3(mp3, c.rate, c.channels, 2.0));
  const std::vector<uint8_t> reference = ReferenceDecode(mp3);
  ASSERT_GT(reference.size(), 100000u);
  const ZbdEqualizer zeros{};
  const std::string capture = dir.File("heard.wav");
  const std::vector<uint8_t> heard = PlayToEnd(mp3, capture, c.zeroEqualizer ? &zeros : nullptr);
  uint16_t channels = 0;
  uint32_t rate = 0;
  WavData(ReadBytes(capture), &channels, &rate);
  EXPECT_EQ(rate, c.rate);
  EXPECT_EQ(channels, c.channels);
  ASSERT_EQ(heard.size(), reference.size());
  EXPECT_TRUE(heard == reference);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlayerOutput,
                         testing::Values(FormatCase{44100, 2, false}, FormatCase{44100, 2, true},
                                         FormatCase{48000, 1, false}, FormatCase{22050, 2, false}));

// Catches the equalizer record driving the wrong sub-band, a cut too weak to hear, or a
// cut that spills over onto neighbouring bands.
TEST(PlayerEqualizer, MaximumCutAttenuatesItsBandAndSparesTwoBandsAway) {
  TempDir dir;
  const std::string mp3 = dir.File("tones.mp3");
  const double bandHz = 44100.0 / 64.0;
  const double inBand = 4.5 * bandHz, twoAway = 6.5 * bandHz;
  ASSERT_TRUE(MakeMp3(mp3, 44100, 2, 2.0, {inBand, twoAway}, "-b 320"));
  const std::vector<uint8_t> plain = PlayToEnd(mp3, dir.File("plain.wav"), nullptr);
  ZbdEqualizer eq{};
  eq.left[4] = eq.right[4] = -51;
  const std::vector<uint8_t> cut = PlayToEnd(mp3, dir.File("cut.wav"), &eq);
  ASSERT_FALSE(plain.empty());
  ASSERT_EQ(plain.size(), cut.size());
  const double plainIn = ToneLevel(plain, 2, 44100, inBand), cutIn = ToneLevel(cut, 2, 44100, inBand);
  const double plainAway = ToneLevel(plain, 2, 44100, twoAway), cutAway = ToneLevel(cut, 2, 44100, twoAway);
  const double attenuation = 20 * std::log10(plainIn / cutIn);
  const double change = 20 * std::log10(cutAway / plainAway);
  EXPECT_GE(attenuation, 20.0);
  EXPECT_LE(std::abs(change), 1.0);
}

namespace {

// Plays path to its end with the codec gain (hundredths of a dB) set before it opens.
std::vector<uint8_t> PlayWithGain(const std::string& path, const std::string& capture, int gain) {
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + capture + ",speed=16").c_str());
  Pump pump;
  ZbdPlayer* p = pump.Start();
  EXPECT_NE(p, nullptr);
  if (!p) return {};
  EXPECT_EQ(control_message_send_SI(p, ZBD_MSG_SET_PLAYER_ENVIRONMENT_INTEGER, ZBD_ENV_CODEC_GAIN, gain), ZBD_OK);
  EXPECT_EQ(control_message_send_S(p, ZBD_MSG_INPUT_OPEN, path.c_str()), ZBD_OK);
  EXPECT_EQ(control_message_send_N(p, ZBD_MSG_PLAY), ZBD_OK);
  EXPECT_TRUE(pump.WaitForState(ZBD_PLAYER_STATE_EOS)) << "no end of stream";
  pump.Delete();
  return WavData(ReadBytes(capture));
}

}  // namespace

// Catches a codec gain applied coarsely or not at all, one that wraps around instead of
// clipping at full scale, and a gain of 0 that changes the decoding.
TEST(PlayerGain, CodecGainScalesTheDecodedAudioAndClipsAtFullScale) {
  TempDir dir;
  const std::string mp3 = dir.File("tone.mp3");
  ASSERT_TRUE(MakeMp3(mp3, 44100, 2, 2.0, {1000.0}));
  const std::vector<uint8_t> plain = PlayToEnd(mp3, dir.File("plain.wav"), nullptr);
  ASSERT_GT(plain.size(), 100000u);
  EXPECT_TRUE(PlayWithGain(mp3, dir.File("zero.wav"), 0) == plain);
  const std::vector<uint8_t> half = PlayWithGain(mp3, dir.File("half.wav"), -602);
  ASSERT_EQ(half.size(), plain.size());
  EXPECT_NEAR(20 * std::log10(ToneLevel(half, 2, 44100, 1000.0) / ToneLevel(plain, 2, 44100, 1000.0)), -6.02, 0.02);

  const std::vector<uint8_t> loud = PlayWithGain(mp3, dir.File("loud.wav"), 2000);
  ASSERT_EQ(loud.size(), plain.size());
  const auto* in = reinterpret_cast<const int16_t*>(plain.data());
  const auto* out = reinterpret_cast<const int16_t*>(loud.data());
  int clipped = 0, flipped = 0;
  for (size_t i = 0; i < plain.size() / 2; ++i) {
    if (out[i] == 32767 || out[i] == -32768) ++clipped;
    if (std::abs(in[i]) > 2000 && (in[i] > 0) != (out[i] > 0)) ++flipped;
  }
  EXPECT_GT(clipped, 1000);
  EXPECT_EQ(flipped, 0) << "samples wrapped around";
}

namespace {

// An output filter that records what passes through it.
struct FilterTap {
  std::mutex mutex;
  std::vector<uint8_t> seen;
  int instances = 0;
};
FilterTap* g_tap = nullptr;

const char* TapName() { return "test-tap"; }
int32_t TapNew(void** instance, uint32_t) {
  *instance = g_tap;
  ++g_tap->instances;
  return 0;
}
int32_t TapDelete(void*) { return 0; }
int32_t TapWrite(ZbdOutputFilterStage* stage, const void* pcm, uint32_t bytes, uint32_t bytesPerSample,
                 uint32_t channels, uint32_t rate) {
  auto* tap = static_cast<FilterTap*>(stage->instance);
  {
    std::lock_guard lock(tap->mutex);
    const auto* b = static_cast<const uint8_t*>(pcm);
    tap->seen.insert(tap->seen.end(), b, b + bytes);
  }
  return stage->next->write(stage->next, pcm, bytes, bytesPerSample, channels, rate);
}
int32_t TapDescribe(ZbdFilterEntry* table) {
  table[0] = reinterpret_cast<ZbdFilterEntry>(&TapName);
  table[1] = reinterpret_cast<ZbdFilterEntry>(&TapNew);
  table[2] = reinterpret_cast<ZbdFilterEntry>(&TapDelete);
  table[5] = reinterpret_cast<ZbdFilterEntry>(&TapWrite);
  return 0;
}

}  // namespace

// Catches a filter that misses audio, sees it after it was played, or is instantiated
// again when the same name is added twice; and a filter list that does not name it.
TEST(PlayerFilter, SeesAllAudioBeforeItIsPlayedAndForwardsItUnchanged) {
  TempDir dir;
  const std::string mp3 = dir.File("in.mp3");
  ASSERT_TRUE(MakeMp3(mp3, 44100, 2, 1.5));
  FilterTap tap;
  g_tap = &tap;
  char name[64];
  std::snprintf(name, sizeof name, "function@%p", reinterpret_cast<void*>(&TapDescribe));
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + dir.File("heard.wav") + ",speed=16").c_str());
  Pump pump;
  ZbdPlayer* p = pump.Start();
  ASSERT_NE(p, nullptr);
  control_message_send_SI(p, ZBD_MSG_OUTPUT_ADD_FILTER, name, 0);
  control_message_send_SI(p, ZBD_MSG_OUTPUT_ADD_FILTER, name, 0);
  control_message_send_N(p, ZBD_MSG_OUTPUT_FILTER_LIST);
  control_message_send_S(p, ZBD_MSG_INPUT_OPEN, mp3.c_str());
  control_message_send_N(p, ZBD_MSG_PLAY);
  ASSERT_TRUE(pump.WaitForState(ZBD_PLAYER_STATE_EOS));
  pump.Delete();
  const std::vector<uint8_t> heard = WavData(ReadBytes(dir.File("heard.wav")));
  EXPECT_EQ(tap.instances, 1);
  ASSERT_EQ(tap.seen.size(), heard.size());
  EXPECT_TRUE(tap.seen == heard);
  const auto listed = pump.Of(ZBD_NOTIFY_OUTPUT_FILTER_INFO);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].text1, name);
  g_tap = nullptr;
}

// Catches timecodes that run ahead of what is heard, skip or repeat steps of the
// granularity, a Range that is not the length in seconds, and an end of stream reported
// before the last audio was heard.
TEST(PlayerNotifications, TimecodeAndPositionFollowTheHeardAudio) {
  TempDir dir;
  const std::string mp3 = dir.File("in.mp3");
  ASSERT_TRUE(MakeMp3(mp3, 44100, 2, 3.2));
  ScopedEnv env("ZIMBAR_AUDIO_OUT", ("wav:" + dir.File("heard.wav") + ",speed=4").c_str());
  Pump pump;
  ZbdPlayer* p = pump.Start();
  ASSERT_NE(p, nullptr);
  control_message_send_S(p, ZBD_MSG_INPUT_OPEN, mp3.c_str());
  control_message_send_I(p, ZBD_MSG_SET_INPUT_TIMECODE_GRANULARITY, 500);
  const auto start = std::chrono::steady_clock::now();
  control_message_send_N(p, ZBD_MSG_PLAY);
  ASSERT_TRUE(pump.WaitForState(ZBD_PLAYER_STATE_EOS));
  const auto ended = std::chrono::steady_clock::now();
  EXPECT_GE(ended - start, 700ms) << "3.2 s at four times the speed ended too early";
  EXPECT_EQ(pump.Count(pump.Notes(), ZBD_NOTIFY_READY), 1u);

  std::vector<int> ms;
  for (const Note& n : pump.Of(ZBD_NOTIFY_INPUT_TIMECODE)) {
    const auto& t = n.message.data.timecode;
    ms.push_back(((t.hours * 60 + t.minutes) * 60 + t.seconds) * 1000 + t.fractions * 10);
    // Each arrives when that much has been heard, not before.
    EXPECT_LE(std::chrono::duration_cast<std::chrono::milliseconds>(n.at - start).count() * 4 + 100, ms.back() + 400)
        << ms.back();
  }
  ASSERT_GE(ms.size(), 7u);
  for (size_t i = 1; i + 1 < ms.size(); ++i) {
    EXPECT_GE(ms[i] - ms[i - 1], 0) << i;
    EXPECT_LT(ms[i] - ms[i - 1], 600) << i;
  }
  EXPECT_GE(ms.back(), 3100);
  const auto positions = pump.Of(ZBD_NOTIFY_INPUT_POSITION);
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.front().message.data.position.range, 3u);
  EXPECT_EQ(positions.back().message.data.position.offset, 3u);
  const auto info = pump.Of(ZBD_NOTIFY_INPUT_STREAM_INFO);
  ASSERT_FALSE(info.empty());
  EXPECT_EQ(info[0].message.data.stream_info.frequency, 44100);
  EXPECT_EQ(info[0].message.data.stream_info.layer, 3);
  EXPECT_EQ(info[0].message.data.stream_info.bitrate, 192);
}

// Catches a missing file or an output that cannot open being swallowed (no error
// notification) or hanging the player.
TEST(PlayerNotifications, FailuresAreSaidThroughTheErrorNotification) {
  TempDir dir;
  Pump pump;
  ZbdPlayer* p = pump.Start();
  ASSERT_NE(p, nullptr);
  const std::string missing = dir.File("missing.mp3");
  control_message_send_S(p, ZBD_MSG_INPUT_OPEN, missing.c_str());
  ASSERT_TRUE(pump.WaitForCode(ZBD_NOTIFY_ERROR));
  EXPECT_NE(pump.Of(ZBD_NOTIFY_ERROR)[0].text1.find(missing), std::string::npos);

  const std::string mp3 = dir.File("in.mp3");
  ASSERT_TRUE(MakeMp3(mp3, 44100, 2, 1.0));
  ScopedEnv env("ZIMBAR_AUDIO_OUT", "wav:/nonexistent-folder/heard.wav");
  pump.Clear();
  control_message_send_S(p, ZBD_MSG_INPUT_OPEN, mp3.c_str());
  control_message_send_N(p, ZBD_MSG_PLAY);
  ASSERT_TRUE(pump.WaitFor([](const std::vector<Note>& n) {
    return Pump::Count(n, ZBD_NOTIFY_ERROR) > 0 && Pump::HasState(n, ZBD_PLAYER_STATE_STOPPED);
  }));
  EXPECT_NE(pump.Of(ZBD_NOTIFY_ERROR)[0].text1.find("/nonexistent-folder/heard.wav"), std::string::npos);
  EXPECT_FALSE(Pump::HasState(pump.Notes(), ZBD_PLAYER_STATE_EOS));
}

// Catches a FIFO or a device given as the input that holds the decoding thread in its
// open or its reads for ever (so that no Stop or delete could end), instead of being
// refused at once with the reason.
TEST(PlayerNotifications, WhatIsNotARegularFileIsRefusedAtOnce) {
  TempDir dir;
  IdleFifo fifo(dir.File("pipe.mp3"));
  ASSERT_TRUE(fifo.Ok());
  ASSERT_EQ(::symlink("/dev/zero", dir.File("zero.mp3").c_str()), 0);
  struct Case {
    std::string path, expected;
  };
  const Case cases[] = {{fifo.Path(), "named pipe"}, {dir.File("zero.mp3"), "character device"}, {dir.Path(), "folder"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Pump pump;
    ZbdPlayer* p = pump.Start();
    ASSERT_NE(p, nullptr);
    // Without the fault this never fires; with it, a writer lets the waiting open go.
    Watchdog watchdog(3s, [&] { fifo.Release(); });
    const auto sent = std::chrono::steady_clock::now();
    control_message_send_S(p, ZBD_MSG_INPUT_OPEN, c.path.c_str());
    control_message_send_N(p, ZBD_MSG_PLAY);
    ASSERT_TRUE(pump.WaitForCode(ZBD_NOTIFY_ERROR, 10s));
    const std::string error = pump.Of(ZBD_NOTIFY_ERROR)[0].text1;
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_LT(pump.Of(ZBD_NOTIFY_ERROR)[0].at - sent, 500ms) << "refused late";
    control_message_send_N(p, ZBD_MSG_STOP);
    EXPECT_LT(TimeOf([&] { pump.Delete(); }), 500ms);
  }
}

// Catches a message accepted under the wrong argument form, a getter that does not answer
// with its notification, or a refused setting that is not answered by Nack.
TEST(PlayerMessages, FormsAreCheckedAndGettersAnswer) {
  Pump pump;
  ZbdPlayer* p = pump.Start();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(control_message_send_N(p, ZBD_MSG_INPUT_OPEN), ZBD_ERR_ARGUMENT);
  EXPECT_EQ(control_message_send_S(p, ZBD_MSG_PLAY, "x"), ZBD_ERR_ARGUMENT);
  EXPECT_EQ(control_message_send_I(p, 57, 0), ZBD_ERR_ARGUMENT);
  EXPECT_EQ(control_message_send_N(nullptr, ZBD_MSG_PLAY), ZBD_ERR_ARGUMENT);
  EXPECT_EQ(control_message_send_S(p, ZBD_MSG_SET_INPUT_NAME, std::string(ZBD_MAX_TEXT + 1, 'a').c_str()),
            ZBD_ERR_ARGUMENT);
  EXPECT_EQ(player_set_priority(p, 6), ZBD_ERR_ARGUMENT);
  EXPECT_EQ(player_set_priority(p, 2), ZBD_OK);
  EXPECT_EQ(player_get_priority(p), 2u);

  control_message_send_I(p, ZBD_MSG_SET_NOTIFICATION_MASK, 0xFF);
  control_message_send_I(p, ZBD_MSG_PING, 1234);
  control_message_send_I(p, ZBD_MSG_SET_PLAYER_MODE, 2);
  control_message_send_N(p, ZBD_MSG_GET_PLAYER_MODE);
  control_message_send_SI(p, ZBD_MSG_SET_PLAYER_ENVIRONMENT_INTEGER, "A.B", 7);
  control_message_send_S(p, ZBD_MSG_GET_PLAYER_ENVIRONMENT_INTEGER, "A.B");
  control_message_send_SS(p, ZBD_MSG_SET_PLAYER_ENVIRONMENT_STRING, "C", "text");
  control_message_send_S(p, ZBD_MSG_GET_PLAYER_ENVIRONMENT_STRING, "C");
  control_message_send_III(p, ZBD_MSG_SET_OUTPUT_VOLUME, 80, 100, 50);
  control_message_send_N(p, ZBD_MSG_GET_OUTPUT_VOLUME);
  control_message_send_N(p, ZBD_MSG_GET_OUTPUT_NAME);
  control_message_send_N(p, ZBD_MSG_OUTPUT_MODULES_LIST);
  control_message_send_N(p, ZBD_MSG_INPUT_MODULES_LIST);
  control_message_send_S(p, ZBD_MSG_SET_OUTPUT_NAME, "/dev/dsound/0");  // not registered yet
  control_message_send_IPI(p, ZBD_MSG_INPUT_SEND_MESSAGE, 1, nullptr, 0);
  control_message_send_S(p, ZBD_MSG_OUTPUT_MODULE_REGISTER, "dsound_output_module_register@zbdsound.dll");
  control_message_send_S(p, ZBD_MSG_SET_OUTPUT_NAME, "/dev/dsound/0");
  control_message_send_N(p, ZBD_MSG_GET_OUTPUT_NAME);
  control_message_send_II(p, ZBD_MSG_INPUT_SEEK, 1, 2);  // nothing open
  control_message_send_N(p, ZBD_MSG_EXIT);
  ASSERT_TRUE(pump.WaitForCode(ZBD_NOTIFY_EXITED));

  const auto pong = pump.Of(ZBD_NOTIFY_PONG);
  ASSERT_EQ(pong.size(), 1u);
  EXPECT_EQ(pong[0].message.data.tag, 1234u);
  ASSERT_EQ(pump.Of(ZBD_NOTIFY_PLAYER_MODE).size(), 1u);
  EXPECT_EQ(pump.Of(ZBD_NOTIFY_PLAYER_MODE)[0].message.data.tag, 2u);
  const auto envInt = pump.Of(ZBD_NOTIFY_PLAYER_ENVIRONMENT_INTEGER);
  ASSERT_EQ(envInt.size(), 1u);
  EXPECT_EQ(envInt[0].text1, "A.B");
  EXPECT_EQ(envInt[0].message.data.environment_integer.value, 7);
  const auto envString = pump.Of(ZBD_NOTIFY_PLAYER_ENVIRONMENT_STRING);
  ASSERT_EQ(envString.size(), 1u);
  EXPECT_EQ(envString[0].text2, "text");
  const auto volume = pump.Of(ZBD_NOTIFY_OUTPUT_VOLUME);
  ASSERT_EQ(volume.size(), 1u);
  EXPECT_EQ(volume[0].message.data.volume.master_level, 80);
  const auto names = pump.Of(ZBD_NOTIFY_OUTPUT_NAME);
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names.front().text1, "/dev/wave/0");
  EXPECT_EQ(names.back().text1, "/dev/dsound/0");
  EXPECT_EQ(pump.Of(ZBD_NOTIFY_INPUT_MODULE_INFO).size(), 3u);
  EXPECT_EQ(pump.Of(ZBD_NOTIFY_OUTPUT_MODULE_INFO).size(), 1u);  // listed before the register
  std::vector<std::pair<int, int>> nacks;
  for (const Note& n : pump.Of(ZBD_NOTIFY_NACK)) nacks.push_back({n.message.data.nack.command, n.message.data.nack.code});
  const std::vector<std::pair<int, int>> expectedNacks = {{ZBD_MSG_SET_OUTPUT_NAME, ZBD_ERR_NO_MODULE},
                                                          {ZBD_MSG_INPUT_SEND_MESSAGE, ZBD_ERR_NOT_SUPPORTED},
                                                          {ZBD_MSG_INPUT_SEEK, ZBD_ERR_STATE}};
  EXPECT_EQ(nacks, expectedNacks);
}
