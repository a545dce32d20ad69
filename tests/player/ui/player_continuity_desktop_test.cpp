// End-to-end tests of zbplayer's continuity on the real X server and sound server: what
// two consecutive entries sound like across their joint, and how soon Pause is silent.
// One start records a list of four entries through the wav: capture output (two WAV
// halves of one tone, then two MP3 halves of another tone encoded by lame); the capture
// begins a new file whenever an output opens, so it holds them all only when the output
// stays open across the list. A second start plays a WAV and an MP3 entry through
// PulseAudio, whose null sink's monitor parec records while the skin's Pause and Play
// buttons are clicked.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "player/skin/display_ini.h"
#include "tests/common/temp_dir.h"
#include "tests/outside/gogo/test_media.h"

extern char** environ;

using namespace std::chrono_literals;

namespace {

bool g_servers = false;

constexpr uint32_t kRate = 44100;
constexpr size_t kFrameBytes = 4;  // 16-bit stereo
// Where the main window is put through its stored place (no window manager moves it).
constexpr int kLeft = 100, kTop = 100;

// Frames of a sine tone on both channels, 16-bit, at about -10 dB.
constexpr double kAmplitude = 10000;
std::vector<int16_t> Sine(double hz, size_t frames) {
  std::vector<int16_t> s(frames * 2);
  for (size_t i = 0; i < frames; ++i)
    s[2 * i] = s[2 * i + 1] = int16_t(std::lround(kAmplitude * std::sin(2.0 * M_PI * hz * double(i) / kRate)));
  return s;
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// A canonical 16-bit stereo WAV file of frames [from, to) of samples.
void WriteWav(const std::string& path, const std::vector<int16_t>& samples, size_t from, size_t to) {
  const uint32_t data = uint32_t((to - from) * kFrameBytes);
  std::vector<uint8_t> out;
  for (char c : std::string("RIFF")) out.push_back(uint8_t(c));
  PutLe(out, data + 36, 4);
  for (char c : std::string("WAVEfmt ")) out.push_back(uint8_t(c));
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);
  PutLe(out, 2, 2);
  PutLe(out, kRate, 4);
  PutLe(out, kRate * kFrameBytes, 4);
  PutLe(out, kFrameBytes, 2);
  PutLe(out, 16, 2);
  for (char c : std::string("data")) out.push_back(uint8_t(c));
  PutLe(out, data, 4);
  const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data() + 2 * from);
  out.insert(out.end(), bytes, bytes + data);
  WriteBytes(path, out);
}

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& raw, size_t skip) {
  if (raw.size() <= skip) return {};
  std::vector<int16_t> s((raw.size() - skip) / 2);
  std::memcpy(s.data(), raw.data() + skip, s.size() * 2);
  return s;
}

// The data size a WAV header gives, 0 when the file is not there (yet).
uint32_t WavDataBytes(const std::string& path) {
  const std::vector<uint8_t> raw = ReadBytes(path);
  if (raw.size() < 44) return 0;
  return uint32_t(raw[40]) | uint32_t(raw[41]) << 8 | uint32_t(raw[42]) << 16 | uint32_t(raw[43]) << 24;
}

// The longest run of frames in [from, to) (left channel) for which bad(frame) holds.
template <typename Bad>
size_t LongestRun(size_t from, size_t to, Bad bad) {
  size_t longest = 0, run = 0;
  for (size_t i = from; i < to; ++i) {
    run = bad(i) ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

pid_t Spawn(const std::vector<const char*>& argv, const char* input, const std::string& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input) posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
  if (!output.empty()) posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<const char*> args = argv;
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, const_cast<char**>(args.data()), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// parec recording the null sink's monitor into a raw file while the object lives. An
// idle null sink hands its monitor almost nothing, so a stream of zeros keeps it running
// for the whole recording. parec writes what it captures as it comes, so the file's size
// at a moment is where that moment is in the recording (less the capture's small
// latency).
class Recording {
 public:
  explicit Recording(std::string path) : path_(std::move(path)) {
    keeper_ = Spawn({"pacat", "-d", "nullsink", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=50"},
                    "/dev/zero", "");
    recorder_ = Spawn({"parec", "-d", "nullsink.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                       "--latency-msec=10"}, nullptr, path_);
  }
  ~Recording() { Stop(); }
  void Stop() {
    for (pid_t* pid : {&recorder_, &keeper_}) {
      if (*pid <= 0) continue;
      ::kill(*pid, SIGTERM);
      ::waitpid(*pid, nullptr, 0);
      *pid = -1;
    }
  }
  // Frames recorded by now.
  size_t Frames() const {
    struct stat st {};
    return ::stat(path_.c_str(), &st) == 0 ? size_t(st.st_size) / kFrameBytes : 0;
  }
  std::vector<int16_t> Samples() const { return AsSamples(ReadBytes(path_), 0); }

 private:
  std::string path_;
  pid_t keeper_ = -1, recorder_ = -1;
};

// Amplitude of a frequency in the left channel of frames [from, to) (Goertzel).
double Level(const std::vector<int16_t>& s, size_t from, size_t to, double hz) {
  const double w = 2.0 * M_PI * hz / kRate, c = 2.0 * std::cos(w);
  double s1 = 0, s2 = 0;
  to = std::min(to, s.size() / 2);
  if (from >= to) return 0;
  for (size_t i = from; i < to; ++i) {
    const double v = s[2 * i] + c * s1 - s2;
    s2 = s1;
    s1 = v;
  }
  return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / double(to - from);
}

void Xdotool(const QStringList& args) {
  ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0) << args.join(' ').toStdString();
}
void Click(QPoint at) {
  Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
           QStringLiteral("1")});
}

QPoint ButtonCentre(SkinButton button) {
  const DisplayIni skin = DisplayIni::Load(std::string(ZIMBAR_SOURCE_DIR) + "/skins/default/display.Ini").Value();
  const SkinRect r = *skin.Button(button);
  return QPoint(kLeft + r.left + r.width / 2, kTop + r.top + r.height / 2);
}

// One zbplayer with its own settings folder, home and runtime folder, sounding through
// output (a $ZIMBAR_AUDIO_OUT value).
class Player {
 public:
  Player(const TempDir& dir, const std::string& name, const std::string& output) {
    for (const char* folder : {"", "/home", "/h", "/run"}) ::mkdir(dir.File(name + folder).c_str(), 0700);
    WriteText(dir.File(name + "/home/zbplayer.ini"), "[Player]\nPlayerFormTop=" + std::to_string(kTop) +
                                                         "\nPlayerFormLeft=" + std::to_string(kLeft) + "\n");
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert(QStringLiteral("ZIMBAR_HOME"), QString::fromStdString(dir.File(name + "/home")));
    env_.insert(QStringLiteral("HOME"), QString::fromStdString(dir.File(name + "/h")));
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File(name + "/h/.config")));
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.File(name + "/run")));
    env_.insert(QStringLiteral("ZIMBAR_SHARE_DIR"), QStringLiteral(ZIMBAR_BIN_DIR "/../share/zimbar"));
    env_.insert(QStringLiteral("ZIMBAR_AUDIO_OUT"), QString::fromStdString(output));
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // No session bus: the user's must not see a test's player.
    env_.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  }
  void Start(const std::vector<std::string>& args) {
    process_.setProcessEnvironment(env_);
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    process_.start(QStringLiteral(ZIMBAR_BIN_DIR "/zbplayer"), list);
  }
  // Ended as by its close button (the list and the settings are saved), with the status
  // a SIGTERM gives.
  bool Close() {
    process_.terminate();
    return process_.waitForFinished(10000) && process_.exitStatus() == QProcess::NormalExit &&
           process_.exitCode() == 128 + SIGTERM;
  }
  ~Player() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(5000);
  }

 private:
  QProcessEnvironment env_;
  QProcess process_;
};

// What a player that plays files through the wav: capture output (at eight times the
// pace) records; waits until the output has closed with at least samples recorded.
std::vector<int16_t> Capture(const TempDir& dir, const std::string& name, const std::vector<std::string>& files,
                             size_t samples) {
  const std::string heard = dir.File(name + ".wav");
  Player player(dir, name, "wav:" + heard + ",speed=8");
  player.Start(files);
  // The output writes the size into its header when it closes after the last entry.
  EXPECT_TRUE(QTest::qWaitFor([&] { return WavDataBytes(heard) >= samples * 2; }, 10000))
      << name << ": the capture did not reach the length of the entries";
  EXPECT_TRUE(player.Close()) << name;
  return AsSamples(ReadBytes(heard), 44);
}

class PlayerContinuityDesktop : public testing::Test {
 protected:
  void SetUp() override {
    if (!g_servers) {
      if (const char* s = std::getenv("ZIMBAR_TEST_SERVERS"); s && std::string(s) == "1")
        FAIL() << "ZIMBAR_TEST_SERVERS=1 but the X server or the sound server is missing";
      GTEST_SKIP() << "needs DISPLAY and PULSE_SERVER; scripts/test.sh starts both";
    }
    Xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("5")});
  }
  TempDir dir;
};

}  // namespace

// Catches a pause between entries (the two-second wait, an output drained and opened
// again, also from the WAV engine to the MP3 one), a joint that loses or repeats samples,
// a full volume that changes the samples, and MP3 encoder delay and padding left in as
// silence at the joint.
TEST_F(PlayerContinuityDesktop, ConsecutiveEntriesJoinWithoutAGap) {
  // Two tones of three seconds; each is cut at a frame that is no buffer boundary.
  constexpr size_t kFrames = 3 * kRate + 333, kCut = kRate + 12345;
  const std::vector<int16_t> wavTone = Sine(440, kFrames), mp3Tone = Sine(660, kFrames);
  WriteWav(dir.File("w1.wav"), wavTone, 0, kCut);
  WriteWav(dir.File("w2.wav"), wavTone, kCut, kFrames);
  WriteWav(dir.File("m1.src.wav"), mp3Tone, 0, kCut);
  WriteWav(dir.File("m2.src.wav"), mp3Tone, kCut, kFrames);
  for (const char* half : {"m1", "m2"})
    test_media::Run(std::string("lame --quiet -b 192 '") + dir.File(std::string(half) + ".src.wav") + "' '" +
                    dir.File(std::string(half) + ".mp3") + "'");
  // The halves as mpg123 decodes them, back to back (it removes delay and padding too).
  std::vector<int16_t> reference;
  size_t mp3Joint = 0;
  for (const char* half : {"m1", "m2"}) {
    test_media::Run(std::string("mpg123 -q -s '") + dir.File(std::string(half) + ".mp3") + "' > '" +
                    dir.File(std::string(half) + ".raw") + "'");
    const std::vector<int16_t> decoded = AsSamples(ReadBytes(dir.File(std::string(half) + ".raw")), 0);
    reference.insert(reference.end(), decoded.begin(), decoded.end());
    if (mp3Joint == 0) mp3Joint = reference.size() / 2;
  }

  // One start plays the four entries: the output goes on from the WAV entries to the MP3
  // ones (same format), so the capture holds all of them back to back.
  const std::vector<int16_t> heard =
      Capture(dir, "four", {dir.File("w1.wav"), dir.File("w2.wav"), dir.File("m1.mp3"), dir.File("m2.mp3")},
              wavTone.size() + reference.size());
  std::printf("heard %zu frames: the WAV halves hold %zu, the MP3 halves decode to %zu with mpg123\n",
              heard.size() / 2, kFrames, reference.size() / 2);
  ASSERT_EQ(heard.size(), wavTone.size() + reference.size()) << "the four entries were not heard whole, and nothing else";
  // The WAV halves: the whole tone, sample for sample, from the first frame on.
  size_t firstDiffer = 0;
  while (firstDiffer < wavTone.size() && heard[firstDiffer] == wavTone[firstDiffer]) ++firstDiffer;
  EXPECT_EQ(firstDiffer, wavTone.size()) << "the WAV halves differ from the whole tone at frame " << firstDiffer / 2
                                         << " (the joint is at frame " << kCut << ")";
  const std::vector<int16_t> mp3(heard.begin() + std::ptrdiff_t(wavTone.size()), heard.end());
  // Around the joint (a tenth of a second each side): no run of silence and no run that
  // strays from the tone longer than a millisecond.
  const size_t from = mp3Joint - kRate / 10, to = mp3Joint + kRate / 10, ms = kRate / 1000;
  const size_t silent = LongestRun(from, to, [&](size_t i) { return std::abs(mp3[2 * i]) < 300; });
  const size_t astray = LongestRun(from, to, [&](size_t i) {
    return std::abs(double(mp3[2 * i]) - double(mp3Tone[2 * i])) > 0.25 * kAmplitude;
  });
  size_t differ = 0;
  for (size_t i = 0; i < std::min(mp3.size(), reference.size()); ++i) differ += mp3[i] != reference[i];
  std::printf("MP3 joint: longest silence %zu frames, longest stray from the tone %zu frames; %zu samples differ "
              "from the halves decoded by mpg123\n", silent, astray, differ);
  EXPECT_LE(silent, ms) << "a gap at the MP3 joint";
  EXPECT_LE(astray, ms) << "the MP3 joint loses or repeats part of the tone";
  EXPECT_EQ(differ, 0u) << "the MP3 halves as heard differ from the halves decoded by mpg123";
}

// Catches Pause that lets the output drain what it holds (0.6 to 1.8 seconds of sound)
// instead of stopping it, a Play that does not resume, and a WAV entry whose queued tail
// (the engine's whole ring, about 1.5 seconds) sounds on top of the MP3 entry after it.
TEST_F(PlayerContinuityDesktop, PauseIsSilentWithinATenthOfASecondAndTheNextEngineWaitsItsTurn) {
  constexpr size_t kFrames = 4 * kRate;
  WriteWav(dir.File("tone.wav"), Sine(440, kFrames), 0, kFrames);
  WriteWav(dir.File("next.src.wav"), Sine(660, 2 * kRate), 0, 2 * kRate);
  test_media::Run("lame --quiet -b 192 '" + dir.File("next.src.wav") + "' '" + dir.File("next.mp3") + "'");
  Recording rec(dir.File("rec.raw"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return rec.Frames() > kRate / 10; }, 10000)) << "parec records nothing";
  Player player(dir, "pulse", "pulse");
  player.Start({dir.File("tone.wav"), dir.File("next.mp3")});
  // Waits until the tone has sounded for half a second.
  auto sounding = [&](size_t sinceFrame, double hz) {
    const std::vector<int16_t> s = rec.Samples();
    const size_t end = s.size() / 2;
    return end >= sinceFrame + kRate / 10 && Level(s, end - kRate / 10, end, hz) > 1000;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return sounding(0, 440); }, 10000)) << "the tone was not heard";
  const size_t heardAt = rec.Frames();
  ASSERT_TRUE(QTest::qWaitFor([&] { return rec.Frames() > heardAt + kRate / 2; }, 5000));

  const size_t pauseBefore = rec.Frames();
  Click(ButtonCentre(SkinButton::Pause));
  const size_t pauseAfter = rec.Frames();
  ASSERT_TRUE(QTest::qWaitFor([&] { return rec.Frames() > pauseAfter + kRate * 7 / 10; }, 5000));
  const size_t playBefore = rec.Frames();
  Click(ButtonCentre(SkinButton::Play));
  const size_t playAfter = rec.Frames();
  const bool resumed = QTest::qWaitFor([&] { return sounding(playAfter, 440); }, 5000);
  // The WAV entry has about three seconds left, then the MP3 entry follows.
  const bool followed = QTest::qWaitFor([&] { return sounding(playAfter, 660); }, 8000);
  const size_t followedAt = rec.Frames();
  EXPECT_TRUE(QTest::qWaitFor([&] { return rec.Frames() > followedAt + kRate / 2; }, 5000));
  EXPECT_TRUE(player.Close());
  rec.Stop();

  const std::vector<int16_t> s = rec.Samples();
  ASSERT_GT(s.size() / 2, playBefore);
  // The last frame that sounds before Play: the tone ends there.
  size_t lastSound = pauseBefore;
  for (size_t i = pauseBefore; i < playBefore; ++i)
    if (std::abs(s[2 * i]) > 100) lastSound = i;
  // The click happened between the two marks (xdotool's start takes most of that time);
  // the earlier mark is the strict one, and the recording lags the file's size by the
  // capture latency, which only makes the measure longer.
  const double msAfterPress = 1000.0 * (double(lastSound) - double(pauseBefore)) / kRate;
  std::printf("the tone ended %.1f ms after the click on Pause began (the click took %.1f ms)\n", msAfterPress,
              1000.0 * double(pauseAfter - pauseBefore) / kRate);
  EXPECT_GE(lastSound, pauseBefore) << "the tone was not playing when Pause was pressed";
  EXPECT_LT(msAfterPress, 100) << "sound went on after Pause";
  EXPECT_TRUE(resumed) << "Play did not resume the tone";

  // After Play: by tenths of a second, never both tones at once (a tenth that holds the
  // joint may), and no tenth of silence between them.
  ASSERT_TRUE(followed) << "the MP3 entry did not follow";
  std::string heard;
  for (size_t at = playAfter; at + kRate / 10 <= s.size() / 2; at += kRate / 10) {
    const bool a = Level(s, at, at + kRate / 10, 440) > 1000, b = Level(s, at, at + kRate / 10, 660) > 1000;
    heard += a && b ? 'X' : a ? 'a' : b ? 'b' : '.';
  }
  SCOPED_TRACE("heard by tenths after Play: " + heard);
  const size_t firstB = heard.find_first_of("Xb"), lastA = heard.find_last_of("Xa");
  ASSERT_NE(firstB, std::string::npos);
  ASSERT_NE(lastA, std::string::npos);
  EXPECT_LE(lastA, firstB + 1) << "the WAV entry's tail sounds on top of the MP3 entry";
  EXPECT_LE(firstB, lastA + 1) << "silence between the two entries";
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  const char* pulse = std::getenv("PULSE_SERVER");
  g_servers = display && *display && pulse && *pulse;
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
