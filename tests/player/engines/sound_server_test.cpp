// The three engines on a real sound server: the test command's private PulseAudio daemon
// with its null sink, recorded from the sink's monitor with parec, through the pulse
// output and through ALSA routed to the server by its pulse plugin.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/player/engines/engine_test_support.h"

extern char** environ;

using namespace engine_test;
using namespace std::chrono_literals;

namespace {

// parec recording the null sink's monitor into a raw file until the object goes. An idle
// null sink hands its monitor almost nothing and, when a stream wakes it, the first part
// of that stream never reaches the monitor; so a stream of zeros keeps the sink running
// for the whole recording, and the recording counts as started once data arrives.
class MonitorRecording {
 public:
  explicit MonitorRecording(const std::string& path) : path_(path) {
    keeper_ = Spawn({"pacat", "-d", "nullsink", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=50"},
                    "/dev/zero", nullptr);
    pid_ = Spawn({"parec", "-d", "nullsink.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                  "--latency-msec=20"},
                 nullptr, path.c_str());
    const auto waitUntil = std::chrono::steady_clock::now() + 10s;
    while (Bytes() < kStartedBytes && std::chrono::steady_clock::now() < waitUntil) std::this_thread::sleep_for(10ms);
  }
  ~MonitorRecording() { Stop(); }
  void Stop() {
    for (pid_t* pid : {&pid_, &keeper_}) {
      if (*pid <= 0) continue;
      ::kill(*pid, SIGTERM);
      ::waitpid(*pid, nullptr, 0);
      *pid = -1;
    }
  }
  bool Started() const { return pid_ > 0 && keeper_ > 0 && Bytes() >= kStartedBytes; }

 private:
  static constexpr size_t kStartedBytes = 44100 * 4 / 5;  // a fifth of a second
  static pid_t Spawn(std::vector<const char*> args, const char* in, const char* out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in) posix_spawn_file_actions_addopen(&actions, 0, in, O_RDONLY, 0);
    if (out) posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, const_cast<char**>(args.data()), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  size_t Bytes() const {
    struct stat st {};
    return ::stat(path_.c_str(), &st) == 0 ? size_t(st.st_size) : 0;
  }
  std::string path_;
  pid_t pid_ = -1, keeper_ = -1;
};

// The stretch of a recording louder than silence: its length and level.
struct Heard {
  double seconds = 0;
  double rms = 0;
};

Heard Analyse(const std::vector<uint8_t>& raw) {
  const auto* s = reinterpret_cast<const int16_t*>(raw.data());
  const size_t frames = raw.size() / 4;
  size_t first = frames, last = 0;
  for (size_t i = 0; i < frames; ++i) {
    if (std::abs(s[2 * i]) > 1000) {
      first = std::min(first, i);
      last = i;
    }
  }
  Heard h;
  if (first >= last) return h;
  double sum = 0;
  for (size_t i = first; i <= last; ++i) sum += double(s[2 * i]) * s[2 * i];
  h.seconds = double(last - first) / 44100.0;
  h.rms = std::sqrt(sum / double(last - first + 1));
  return h;
}

struct ServerCase {
  EngineKind kind;
  bool throughAlsa;
};

class SoundServer : public testing::TestWithParam<ServerCase> {};

}  // namespace

// Catches an output that does not reach the desktop's sound server (or reaches it silent,
// cut short or stretched) through either device.
TEST_P(SoundServer, PlaysTheWholeFileAtItsLevel) {
  if (std::getenv("ZIMBAR_TEST_SERVERS") == nullptr) GTEST_SKIP() << "needs the test command's sound server";
  const ServerCase c = GetParam();
  // The input is drained before its end is reported, so that the recording is whole when
  // the facade has gone.
  ScopedGapless gapless(false);
  TempDir dir;
  std::string file;
  const double seconds = 1.5;
  switch (c.kind) {
    case EngineKind::Mp3:
      file = dir.File("in.mp3");
      ASSERT_TRUE(player_test::MakeMp3(file, 44100, 2, seconds));
      break;
    case EngineKind::Wav:
      file = dir.File("in.wav");
      test_media::WriteFile(file, player_test::ToneWav(44100, 2, seconds, {440.0, 1000.0}));
      break;
    case EngineKind::Aac:
      file = dir.File("in.aac");
      ASSERT_TRUE(MakeAac(file, 44100, 2, seconds));
      break;
  }
  // ALSA's default device becomes the sound server, through the pulse plugin.
  const std::string asoundrc = dir.File("asound.conf");
  WriteText(asoundrc, "</usr/share/alsa/alsa.conf>\npcm.!default { type pulse }\nctl.!default { type pulse }\n");
  ScopedEnv alsaConfig("ALSA_CONFIG_PATH", c.throughAlsa ? asoundrc.c_str() : nullptr);
  ScopedEnv audioOut("ZIMBAR_AUDIO_OUT", c.kind == EngineKind::Mp3 ? nullptr : c.throughAlsa ? "alsa" : "pulse");
  const std::string raw = dir.File("monitor.raw");
  MonitorRecording recording(raw);
  ASSERT_TRUE(recording.Started());
  std::this_thread::sleep_for(300ms);
  QueueMainLoop loop;
  {
    TSoundPlayer player(loop);
    Recorder recorder(player);
    player.UseDirectSound(!c.throughAlsa);
    player.Open(file);
    player.Play();
    EXPECT_TRUE(loop.RunUntil([&] { return recorder.HasState(3); }, 20s));
    for (const Event& e : recorder.Of(Event::Error)) ADD_FAILURE() << e.text;
    player.Stop();
  }
  std::this_thread::sleep_for(300ms);
  recording.Stop();
  const Heard heard = Analyse(ReadBytes(raw));
  EXPECT_NEAR(heard.seconds, seconds, 0.1);
  EXPECT_GT(heard.rms, 5000.0);
  EXPECT_LT(heard.rms, 14000.0);
}

INSTANTIATE_TEST_SUITE_P(Outputs, SoundServer,
                         testing::Values(ServerCase{EngineKind::Mp3, false}, ServerCase{EngineKind::Wav, false},
                                         ServerCase{EngineKind::Aac, false}, ServerCase{EngineKind::Mp3, true},
                                         ServerCase{EngineKind::Wav, true}, ServerCase{EngineKind::Aac, true}),
                         [](const testing::TestParamInfo<ServerCase>& info) {
                           const char* kind = info.param.kind == EngineKind::Mp3   ? "Mp3"
                                              : info.param.kind == EngineKind::Wav ? "Wav"
                                                                                   : "Aac";
                           return std::string(kind) + (info.param.throughAlsa ? "ThroughAlsa" : "ThroughPulse");
                         });
