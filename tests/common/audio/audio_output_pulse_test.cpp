// The "pulse" output on a real sound server: the test command's private PulseAudio daemon
// with its null sink, its streams listed with pactl and its monitor recorded with parec.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/audio/audio_output.h"
#include "common/audio/output_stream_title.h"
#include "tests/common/temp_dir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const AudioFormat kCd{44100, 2, 16};

pid_t Spawn(std::vector<const char*> args, const char* in, const char* out) {
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

size_t FileBytes(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? size_t(st.st_size) : 0;
}

// parec recording the null sink's monitor into a raw file until the object goes. An idle
// null sink hands its monitor almost nothing and, when a stream wakes it, the first part of
// that stream never reaches the monitor; so a stream of zeros keeps the sink running for
// the whole recording, and the recording counts as started once data arrives.
class MonitorRecording {
 public:
  explicit MonitorRecording(const std::string& path) : path_(path) {
    keeper_ = Spawn({"pacat", "-d", "nullsink", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=50"},
                    "/dev/zero", nullptr);
    pid_ = Spawn({"parec", "-d", "nullsink.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                  "--latency-msec=10"},
                 nullptr, path.c_str());
    const auto until = Clock::now() + 10s;
    while (Bytes() < kStartedBytes && Clock::now() < until) std::this_thread::sleep_for(10ms);
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
  size_t Bytes() const { return FileBytes(path_); }
  // The recording's samples (left, right, ...).
  std::vector<int16_t> Samples() const {
    const std::vector<uint8_t> raw = ReadBytes(path_);
    std::vector<int16_t> samples(raw.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(raw[2 * i] | raw[2 * i + 1] << 8);
    return samples;
  }

 private:
  static constexpr size_t kStartedBytes = 44100 * 4 / 5;  // a fifth of a second
  std::string path_;
  pid_t pid_ = -1, keeper_ = -1;
};

// What `pactl list sink-inputs` says.
std::string SinkInputs() {
  std::string text;
  FILE* pipe = ::popen("pactl list sink-inputs 2>&1", "r");
  if (pipe == nullptr) return text;
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
  ::pclose(pipe);
  return text;
}

bool Lists(const std::string& property) { return SinkInputs().find(property) != std::string::npos; }

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (!pred()) {
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// A signal whose left channel is a two-tone sound that never comes near silence (so that
// its start, its end and any gap show in the recording) and whose right channel counts the
// frames (so that each frame is found again).
std::vector<int16_t> Signal(size_t frames) {
  std::vector<int16_t> s(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / 44100.0;
    const double v = 0.5 * std::sin(2 * M_PI * 440 * t) + 0.2 * std::sin(2 * M_PI * 1250 * t);
    s[2 * i] = int16_t(12000 + 6000 * v);
    s[2 * i + 1] = int16_t(int(i % 60000) - 30000);
  }
  return s;
}

// Whether a left sample is the signal's (not the zeros of the stream that keeps the sink running).
bool Loud(int16_t left) { return std::abs(left) > 2000; }

// The frames of a recording that are the signal's, in order.
std::vector<int16_t> LoudFrames(const std::vector<int16_t>& samples) {
  std::vector<int16_t> loud;
  for (size_t i = 0; i + 1 < samples.size(); i += 2)
    if (Loud(samples[i])) loud.insert(loud.end(), {samples[i], samples[i + 1]});
  return loud;
}

class PulseOutput : public testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("PULSE_SERVER") == nullptr || std::system("pactl info >/dev/null 2>&1") != 0) {
      if (const char* s = std::getenv("ZIMBAR_TEST_SERVERS"); s && std::string(s) == "1")
        FAIL() << "ZIMBAR_TEST_SERVERS=1 but the sound server is missing";
      GTEST_SKIP() << "needs PULSE_SERVER; scripts/test.sh starts the sound server";
    }
  }
  void TearDown() override { SetOutputStreamTitle(""); }
  TempDir dir;
  ScopedEnv out{"ZIMBAR_AUDIO_OUT", "pulse"};
};

}  // namespace

// Catches a stream the desktop's mixer names after the library rather than the player
// ("via ..."), without the track's title, or whose title does not follow the track while it
// stays open; and an output that does not play exactly what it was given.
TEST_F(PulseOutput, TheMixerShowsThePlayerAndTheTitleAndTheSoundIsExact) {
  SetOutputStreamTitle("Artist \u2013 First Song");
  const std::string raw = dir.File("monitor.raw");
  MonitorRecording recording(raw);
  ASSERT_TRUE(recording.Started());
  const std::vector<int16_t> signal = Signal(44100 * 3 / 2);  // 1.5 s
  const auto opened = AudioOutput::Open(AudioDevice::DirectSound, kCd, nullptr);
  ASSERT_TRUE(opened) << opened.Error().text;
  AudioOutput& output = *opened.Value();
  EXPECT_EQ(output.BackendName(), "pulse");
  for (size_t at = 0, tag = 0; at < signal.size(); at += 4096, ++tag) {
    ASSERT_TRUE(output.Queue(uint32_t(tag), signal.data() + at, 2 * std::min<size_t>(4096, signal.size() - at)));
  }
  EXPECT_TRUE(WaitUntil([] { return Lists("media.name = \"Artist \u2013 First Song\""); }, 5s)) << SinkInputs();
  const std::string listed = SinkInputs();
  EXPECT_NE(listed.find("application.name = \"zbplayer\""), std::string::npos) << listed;
  EXPECT_NE(listed.find("media.role = \"music\""), std::string::npos) << listed;
  EXPECT_NE(listed.find("application.id = \"org.zimbar.zbplayer\""), std::string::npos) << listed;
  EXPECT_EQ(listed.find("out123"), std::string::npos) << listed;
  // The next track: the same stream, renamed.
  SetOutputStreamTitle("Other \u2013 Second Song");
  EXPECT_TRUE(WaitUntil([] { return Lists("media.name = \"Other \u2013 Second Song\""); }, 2s)) << SinkInputs();
  EXPECT_FALSE(Lists("First Song"));
  EXPECT_TRUE(output.Drain());
  std::this_thread::sleep_for(100ms);  // the monitor's own latency
  recording.Stop();

  // A stream that joins a running null sink may lose its first milliseconds on the
  // monitor (the sink rewinds to mix it in sooner, and the monitor keeps what it had), and
  // a writer starved by a busy machine lets the server play silence until it catches up;
  // from the first frame recorded on, every sample heard is the next one given.
  const std::vector<int16_t> heard = LoudFrames(recording.Samples());
  ASSERT_FALSE(heard.empty()) << "the signal never reached the sound server";
  const size_t skipped = size_t(heard[1] + 30000);
  EXPECT_LE(skipped, 441u) << "the start of the stream was lost";
  ASSERT_EQ(heard.size(), signal.size() - 2 * skipped) << "frames were lost or repeated (underruns: "
                                                        << output.Underruns() << ")";
  size_t differing = 0;
  for (size_t i = 2 * skipped; i < signal.size(); ++i) differing += heard[i - 2 * skipped] != signal[i];
  EXPECT_EQ(differing, 0u) << "the sound server did not get the samples given";
}

// Catches a Pause or a Stop that lets the sound server play on what it holds (a drain where
// a drop belongs, or a large server buffer), and a Pause after which Resume loses or repeats
// audio.
TEST_F(PulseOutput, PauseAndDiscardSilenceWithinATenth) {
  const std::string raw = dir.File("monitor.raw");
  MonitorRecording recording(raw);
  ASSERT_TRUE(recording.Started());
  const std::vector<int16_t> signal = Signal(44100 * 2);
  const auto opened = AudioOutput::Open(AudioDevice::DirectSound, kCd, nullptr);
  ASSERT_TRUE(opened) << opened.Error().text;
  AudioOutput& output = *opened.Value();
  const auto queueAll = [&] {
    for (size_t at = 0, tag = 0; at < signal.size(); at += 4096, ++tag)
      ASSERT_TRUE(output.Queue(uint32_t(tag), signal.data() + at, 2 * std::min<size_t>(4096, signal.size() - at)));
  };
  queueAll();

  // The recording's length when a call was made, and where the signal was last heard.
  const auto lastLoudFrame = [&](size_t fromFrame) {
    const std::vector<int16_t> heard = recording.Samples();
    size_t last = 0;
    for (size_t f = fromFrame; 2 * f < heard.size(); ++f)
      if (Loud(heard[2 * f])) last = f;
    return last;
  };
  const auto loudFrames = [&] {
    const std::vector<int16_t> heard = recording.Samples();
    size_t loud = 0;
    for (size_t f = 0; 2 * f < heard.size(); ++f) loud += Loud(heard[2 * f]);
    return loud;
  };
  const size_t tenth = 4410;

  ASSERT_TRUE(WaitUntil([&] { return loudFrames() > 44100 * 6 / 10; }, 5s));
  const size_t atPause = recording.Bytes() / 4;
  output.Pause();
  const size_t afterPause = recording.Bytes() / 4 + 44100 * 3 / 10;
  ASSERT_TRUE(WaitUntil([&] { return recording.Bytes() / 4 > afterPause; }, 5s));
  EXPECT_LE(lastLoudFrame(atPause), atPause + tenth) << "the sound went on after Pause";
  output.Resume();
  EXPECT_TRUE(output.Drain());
  std::this_thread::sleep_for(100ms);
  // A pause neither loses nor repeats more than a few milliseconds. Each time the stream
  // joins the running sink (at the start, at Resume, after a writer starved by a busy
  // machine catches up) the monitor may miss or repeat up to 10 ms: the sink mixes ahead
  // and rewinds, and the monitor keeps what it had. So the frame counter may jump that far
  // either way where the stream joins, never further.
  {
    const std::vector<int16_t> heard = LoudFrames(recording.Samples());
    std::vector<int> jumps;  // frames skipped (or, below zero, repeated) where the counter jumps
    int previous = -30001;
    for (size_t i = 0; i + 1 < heard.size(); i += 2) {
      const int counter = heard[i + 1];
      const int skipped = ((counter - previous - 1) % 60000 + 90000) % 60000 - 30000;
      if (skipped != 0) jumps.push_back(skipped);
      previous = counter;
    }
    std::string seen;
    for (const int skipped : jumps) seen += " " + std::to_string(skipped);
    ASSERT_FALSE(heard.empty()) << "nothing of the signal was heard";
    for (const int skipped : jumps) EXPECT_LE(std::abs(skipped), 441) << "frames skipped (-: repeated):" << seen;
    EXPECT_EQ(previous, int((signal.size() / 2 - 1) % 60000) - 30000) << "the end was not heard; frames skipped:" << seen;
  }

  queueAll();
  const size_t before = loudFrames();
  ASSERT_TRUE(WaitUntil([&] { return loudFrames() > before + 44100 * 3 / 10; }, 5s));
  const size_t atDiscard = recording.Bytes() / 4;
  output.Discard();
  const size_t afterDiscard = recording.Bytes() / 4 + 44100 * 3 / 10;
  ASSERT_TRUE(WaitUntil([&] { return recording.Bytes() / 4 > afterDiscard; }, 5s));
  EXPECT_LE(lastLoudFrame(atDiscard), atDiscard + tenth) << "the sound went on after Discard";
}

// Catches a missing sound server that hangs the open or fails without saying why.
TEST(PulseOutputOpen, AMissingServerIsAClearError) {
  TempDir dir;
  ScopedEnv out("ZIMBAR_AUDIO_OUT", "pulse");
  ScopedEnv server("PULSE_SERVER", ("unix:" + dir.File("no-server")).c_str());
  const auto opened = AudioOutput::Open(AudioDevice::DirectSound, kCd, nullptr);
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.Error().text.rfind("Cannot open the audio output pulse: ", 0), 0u) << opened.Error().text;
}
