// End-to-end tests of zbplayer on a real X server and a real sound server: the test
// command's private Xvfb and PulseAudio with its null sink, recorded with parec. The
// player is driven as a person drives it: xdotool clicks at the skin's button rectangles,
// keys, a second start, an equalizer knob dragged, the play list's dialogs, and MPRIS over
// a private session bus (dbus-run-session, dbus-send, dbus-monitor).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <thread>

#include "common/paths.h"
#include "player/control/equalizer_record.h"
#include "player/playlist/play_list_file.h"
#include "player/skin/display_ini.h"
#include "player/skin/skin_bands.h"
#include "tests/common/temp_dir.h"
#include "tests/outside/gogo/test_media.h"

extern char** environ;

using namespace std::chrono_literals;

namespace {

bool g_servers = false;

constexpr uint32_t kRate = 44100;
// Where the main window is put through its stored place (no window manager moves it).
constexpr int kLeft = 100, kTop = 100;

// The name's extension in lower case, with its dot ("" without one).
std::string LowerExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// A file of sine tones (Hz, all on both channels): sox makes the WAV, lame or ffmpeg the
// compressed file (chosen by the name's extension, any case).
std::string Tone(const TempDir& dir, const std::string& name, double seconds, std::vector<int> tones) {
  const std::string wav = dir.File(name + ".src.wav"), out = dir.File(name);
  std::string mix = "sox -m";
  for (size_t i = 0; i < tones.size(); ++i) {
    const std::string part = wav + std::to_string(i) + ".wav";
    test_media::Run("sox -n -r 44100 -c 2 -b 16 '" + part + "' synth " + std::to_string(seconds) + " sine " +
                    std::to_string(tones[i]) + " gain -10");
    mix += " '" + part + "'";
  }
  if (tones.size() == 1) mix = "cp '" + wav + "0.wav'";
  test_media::Run(mix + " '" + wav + "'");
  for (size_t i = 0; i < tones.size(); ++i) std::remove((wav + std::to_string(i) + ".wav").c_str());
  const std::string ext = LowerExtension(name);
  if (ext == ".aac") test_media::Run("ffmpeg -v error -y -i '" + wav + "' -c:a aac -b:a 128k -f adts '" + out + "'");
  else if (ext == ".flac") test_media::Run("ffmpeg -v error -y -i '" + wav + "' -c:a flac -f flac '" + out + "'");
  else if (ext == ".opus") test_media::Run("ffmpeg -v error -y -i '" + wav + "' -c:a libopus -b:a 96k -f ogg '" + out + "'");
  else if (ext == ".wav") test_media::Run("cp '" + wav + "' '" + out + "'");
  else test_media::Run("lame --quiet -b 160 '" + wav + "' '" + out + "'");
  std::remove(wav.c_str());
  return out;
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
// for the whole recording: sample time and wall-clock time then go together.
class Recording {
 public:
  explicit Recording(std::string path) : path_(std::move(path)) {
    keeper_ = Spawn({"pacat", "-d", "nullsink", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=50"},
                    "/dev/zero", "");
    recorder_ = Spawn({"parec", "-d", "nullsink.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                       "--latency-msec=20"}, nullptr, path_);
    // Running once a fifth of a second has arrived; the start is that much before now.
    const auto waitUntil = std::chrono::steady_clock::now() + 10s;
    while (Bytes() < kBytesPerSecond / 5 && std::chrono::steady_clock::now() < waitUntil) std::this_thread::sleep_for(10ms);
    start_ = std::chrono::steady_clock::now() -
             std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(double(Bytes()) / kBytesPerSecond));
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
  bool Running() const { return Bytes() >= kBytesPerSecond / 5; }
  // Seconds into the recording, by the wall clock.
  double Now() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
  std::vector<int16_t> Samples() const {
    const std::vector<uint8_t> raw = ReadBytes(path_);
    std::vector<int16_t> s(raw.size() / 2);
    std::memcpy(s.data(), raw.data(), s.size() * 2);
    return s;
  }

 private:
  static constexpr double kBytesPerSecond = 44100.0 * 4;
  size_t Bytes() const {
    struct stat st {};
    return ::stat(path_.c_str(), &st) == 0 ? size_t(st.st_size) : 0;
  }
  std::string path_;
  pid_t keeper_ = -1, recorder_ = -1;
  std::chrono::steady_clock::time_point start_;
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

// What sounds in each tenth of a second: the loudest of the candidate tones, or 0 for
// silence.
std::vector<double> Timeline(const std::vector<int16_t>& s, const std::vector<double>& tones) {
  std::vector<double> out;
  const size_t step = kRate / 10;
  for (size_t at = 0; at + step <= s.size() / 2; at += step) {
    double best = 0, bestLevel = 300;
    for (double hz : tones) {
      const double l = Level(s, at, at + step, hz);
      if (l > bestLevel) best = hz, bestLevel = l;
    }
    out.push_back(best);
  }
  return out;
}

// Seconds of the first tenth at or after `after` where tone sounds; -1 when never.
double FirstHeard(const std::vector<double>& timeline, double tone, double after = 0) {
  for (size_t i = size_t(std::max(0.0, after * 10)); i < timeline.size(); ++i)
    if (timeline[i] == tone) return double(i) / 10;
  return -1;
}
double LastHeard(const std::vector<double>& timeline, double tone) {
  for (size_t i = timeline.size(); i-- > 0;)
    if (timeline[i] == tone) return double(i) / 10;
  return -1;
}

void Xdotool(const QStringList& args) {
  ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0) << args.join(' ').toStdString();
}
void Click(QPoint at) {
  Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
           QStringLiteral("1")});
}
void Keys(const QStringList& keys) {
  QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")};
  args += keys;
  Xdotool(args);
}
void Type(const QString& text) {
  Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

DisplayIni Skin() { return DisplayIni::Load(std::string(ZIMBAR_SOURCE_DIR) + "/skins/default/display.Ini").Value(); }

QPoint ButtonCentre(SkinButton button) {
  const SkinRect r = *Skin().Button(button);
  return QPoint(kLeft + r.left + r.width / 2, kTop + r.top + r.height / 2);
}

// One zbplayer with its own settings folder, home (desktop folder) and runtime folder.
class Player {
 public:
  Player(const TempDir& dir, const std::string& ini) : dir_(dir) {
    ::mkdir(dir.File("home").c_str(), 0755);
    ::mkdir(dir.File("h").c_str(), 0755);
    ::mkdir(dir.File("h/Desktop").c_str(), 0755);
    ::mkdir(dir.File("run").c_str(), 0700);
    if (!FileExists(dir.File("home/zbplayer.ini")))
      WriteText(dir.File("home/zbplayer.ini"), "[Player]\nPlayerFormTop=" + std::to_string(kTop) +
                                                  "\nPlayerFormLeft=" + std::to_string(kLeft) + "\n" + ini);
  }
  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZIMBAR_HOME"), QString::fromStdString(dir_.File("home")));
    env.insert(QStringLiteral("HOME"), QString::fromStdString(dir_.File("h")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir_.File("h/.config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir_.File("run")));
    env.insert(QStringLiteral("ZIMBAR_SHARE_DIR"), QStringLiteral(ZIMBAR_BIN_DIR "/../share/zimbar"));
    env.insert(QStringLiteral("ZIMBAR_AUDIO_OUT"), QStringLiteral("pulse"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return env;
  }
  // Starts a player; several may run with the same folders (a second start).
  QProcess* Start(const std::vector<std::string>& args) {
    auto* p = new QProcess;
    p->setProcessEnvironment(Environment());
    p->setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    p->start(QStringLiteral(ZIMBAR_BIN_DIR "/zbplayer"), list);
    processes_.emplace_back(p);
    return p;
  }
  ~Player() {
    for (auto& p : processes_) {
      if (p->state() != QProcess::NotRunning) {
        p->terminate();
        if (!p->waitForFinished(10000)) p->kill();
        p->waitForFinished(5000);
      }
    }
  }

 private:
  const TempDir& dir_;
  std::vector<std::unique_ptr<QProcess>> processes_;
};

void Sleep(double seconds) { QTest::qWait(int(seconds * 1000)); }

class PlayerDesktop : public testing::Test {
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

// Catches files of the command line not played (MP3 or AAC), buttons that miss their
// rectangles, Pause that does not silence at once, an end of track that does not move on
// after two seconds, and a first run without its desktop shortcut.
TEST_F(PlayerDesktop, PlaysTheCommandLineNextPauseAndTheEndOfATrack) {
  const std::string a = Tone(dir, "a.mp3", 6, {440}), b = Tone(dir, "b.mp3", 2.5, {660}),
                    c = Tone(dir, "c.aac", 3, {990});
  // The described two-second pause between entries (gapless playback is the default).
  Player player(dir, "GaplessPlayback=0\n");
  Recording rec(dir.File("rec.raw"));
  ASSERT_TRUE(rec.Running());
  QProcess* p = player.Start({a, b, c});
  Sleep(2.0);
  Click(ButtonCentre(SkinButton::Next));  // to b
  const double nextAt = rec.Now();
  Sleep(1.0);
  Click(ButtonCentre(SkinButton::Pause));
  const double pauseAt = rec.Now();
  Sleep(1.0);
  Click(ButtonCentre(SkinButton::Play));
  const double resumeAt = rec.Now();
  // b has about 1.5 s left, then two seconds of quiet, then c.
  Sleep(6.5);
  rec.Stop();
  Click(ButtonCentre(SkinButton::Close));
  ASSERT_TRUE(p->waitForFinished(10000));
  EXPECT_EQ(p->exitCode(), 0);

  const std::vector<double> t = Timeline(rec.Samples(), {440, 660, 990});
  std::string shown;
  for (double v : t) shown += v == 440 ? 'a' : v == 660 ? 'b' : v == 990 ? 'c' : '.';
  SCOPED_TRACE("heard by tenths: " + shown + " (Next at " + std::to_string(nextAt) + " s, Pause at " +
               std::to_string(pauseAt) + " s, Play at " + std::to_string(resumeAt) + " s)");
  const double aFrom = FirstHeard(t, 440), bFrom = FirstHeard(t, 660), cFrom = FirstHeard(t, 990);
  ASSERT_GE(aFrom, 0) << "the first MP3 was not heard";
  ASSERT_GE(bFrom, 0) << "Next did not play the second file";
  ASSERT_GE(cFrom, 0) << "the AAC file was not heard after the second ended";
  EXPECT_LT(aFrom, 1.5);
  EXPECT_NEAR(bFrom, nextAt, 0.8);
  EXPECT_LT(LastHeard(t, 440), nextAt + 0.5);
  // Paused: silent at once (what the output holds is dropped, to be played on Play), then
  // nothing until Play. (The recording's clock is known to a tenth or two.)
  for (double s = pauseAt + 0.3; s < resumeAt - 0.3; s += 0.1)
    EXPECT_EQ(t[size_t(s * 10)], 0) << "sound while paused at " << s;
  EXPECT_GE(FirstHeard(t, 660, pauseAt + 0.3), resumeAt - 0.4);
  EXPECT_LT(FirstHeard(t, 660, pauseAt + 0.3), resumeAt + 0.8) << "Play did not resume";
  const double gap = cFrom - LastHeard(t, 660);
  EXPECT_GT(gap, 1.6) << "the next track must start two seconds after the end";
  EXPECT_LT(gap, 3.0);
  EXPECT_TRUE(FileExists(dir.File("h/Desktop/Zimbar MP3 Player.desktop")));
  // The list was saved at the end, with the player's settings.
  EXPECT_EQ(ReadPlayListFile(dir.File("home/zbplayerdef.pls")).Value(), (std::vector<std::string>{a, b, c}));
  EXPECT_NE(ReadText(dir.File("home/zbplayer.ini")).find("Version=65890"), std::string::npos);
}

// Catches a second start that plays beside the first, one that cannot take over, a start
// without files that does not leave the running player alone, and a socket left by a
// killed player blocking the next start.
TEST_F(PlayerDesktop, ASecondStartHandsOver) {
  const std::string a = Tone(dir, "a.mp3", 30, {440}), b = Tone(dir, "b.mp3", 30, {660});
  Player player(dir, "");
  Recording rec(dir.File("rec.raw"));
  QProcess* first = player.Start({a});
  Sleep(2.0);
  QProcess* show = player.Start({});
  ASSERT_TRUE(show->waitForFinished(10000));
  EXPECT_EQ(show->exitCode(), 0);
  Sleep(0.5);
  EXPECT_EQ(first->state(), QProcess::Running) << "a start without files must leave the player running";
  QProcess* second = player.Start({b});
  ASSERT_TRUE(first->waitForFinished(10000)) << "the first player did not close";
  EXPECT_EQ(first->exitCode(), 0);
  Sleep(2.5);
  EXPECT_EQ(second->state(), QProcess::Running);
  // Killed, it leaves its socket behind; the next start must not be stopped by it.
  second->kill();
  second->waitForFinished(5000);
  const double killedAt = rec.Now();
  QProcess* third = player.Start({a});
  Sleep(2.5);
  EXPECT_EQ(third->state(), QProcess::Running);
  rec.Stop();
  const std::vector<double> t = Timeline(rec.Samples(), {440, 660});
  const double bFrom = FirstHeard(t, 660);
  ASSERT_GE(bFrom, 0) << "the second start did not play its file";
  EXPECT_GE(FirstHeard(t, 440), 0);
  // One player sounds at a time: no 440 Hz while the second one plays.
  for (double s = bFrom + 0.5; s < killedAt - 0.2; s += 0.1) EXPECT_NE(t[size_t(s * 10)], 440) << s;
  EXPECT_GE(FirstHeard(t, 440, killedAt), 0) << "the start after the killed player did not play";
}

// Catches an equalizer whose knobs do not reach the decoder while they are dragged: the
// low tone's level falls against the other one when slider 0 goes to the bottom.
TEST_F(PlayerDesktop, DraggingAnEqualizerKnobChangesTheSound) {
  const std::string song = Tone(dir, "two.mp3", 30, {300, 1700});
  Player player(dir, "[EQ]\nEQVisible=1\n");
  Recording rec(dir.File("rec.raw"));
  QProcess* p = player.Start({song});
  Sleep(3.0);
  const double before = rec.Now();
  const DisplayIni skin = Skin();
  const std::string folder = std::string(ZIMBAR_SOURCE_DIR) + "/skins/default/";
  const QImage main(QString::fromStdString(folder + "main.bmp")), eq(QString::fromStdString(folder + "eq.bmp"));
  const int mainHeight = BandLayout::ForMain(main.width(), main.height(), skin.withFocus).BandHeight();
  const TrackGeometry track = CutTrack(skin, BandLayout::ForEqualizer(eq.width(), eq.height()), 0);
  const QPoint knob(kLeft + track.place.left + track.knob.width / 2,
                    kTop + mainHeight + 5 + track.place.top + KnobTopOfValue(127, track.maxTop) + track.knob.height / 2);
  Xdotool({QStringLiteral("mousemove"), QString::number(knob.x()), QString::number(knob.y()), QStringLiteral("mousedown"),
           QStringLiteral("1")});
  for (int dy = 10; dy <= 200; dy += 10)
    Xdotool({QStringLiteral("mousemove"), QString::number(knob.x()), QString::number(knob.y() + dy)});
  Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
  const double after = rec.Now();
  Sleep(2.0);
  rec.Stop();
  Click(ButtonCentre(SkinButton::Close));
  ASSERT_TRUE(p->waitForFinished(10000));
  const std::vector<int16_t> s = rec.Samples();
  auto ratio = [&](double from, double to) {
    const size_t a = size_t(from * kRate), b = size_t(to * kRate);
    return 20 * std::log10(Level(s, a, b, 300) / Level(s, a, b, 1700));
  };
  const double flat = ratio(before - 1.5, before - 0.2), cut = ratio(after + 0.6, after + 1.8);
  EXPECT_NEAR(flat, 0, 3) << "the tones start at the same level";
  EXPECT_LT(cut, flat - 12) << "slider 0 at the bottom cuts band 0 by up to 24 dB";
  // The knob's new value is kept.
  EXPECT_NE(ReadText(dir.File("home/zbplayer.ini")).find("EQ0=25"), std::string::npos) << ReadText(dir.File("home/zbplayer.ini"));
}

// Catches Add Dir or Save that do not work through their dialogs, FLAC and Opus files
// (upper-case names too) left out of the folder, and a list chosen with OK that does not
// start playing.
TEST_F(PlayerDesktop, AddADirectoryInThePlayListAndSaveIt) {
  const std::string music = dir.File("music");
  ::mkdir(music.c_str(), 0755);
  ::mkdir((music + "/cd2").c_str(), 0755);
  Tone(dir, "music/b.mp3", 20, {660});
  Tone(dir, "music/A.mp3", 20, {440});
  Tone(dir, "music/cd2/c.mp3", 20, {990});
  Tone(dir, "music/w.wav", 1, {990});
  Tone(dir, "music/cd2/d.flac", 1, {990});
  Tone(dir, "music/E.OPUS", 1, {990});
  Player player(dir, "");
  Recording rec(dir.File("rec.raw"));
  QProcess* p = player.Start({});
  Sleep(2.0);
  Click(ButtonCentre(SkinButton::PlayList));
  Sleep(1.0);
  Keys({QStringLiteral("alt+d")});
  Sleep(1.5);
  Keys({QStringLiteral("ctrl+a")});
  Type(QString::fromStdString(music));
  Sleep(0.3);
  Keys({QStringLiteral("Escape"), QStringLiteral("Return")});  // the completer's popup, then the dialog
  Sleep(1.0);
  Keys({QStringLiteral("alt+s")});
  Sleep(1.5);
  Type(QString::fromStdString(dir.File("saved.pls")));
  Sleep(0.3);
  Keys({QStringLiteral("Return")});
  Sleep(1.0);
  Keys({QStringLiteral("alt+o")});
  Sleep(2.5);
  rec.Stop();
  Click(ButtonCentre(SkinButton::Close));
  ASSERT_TRUE(p->waitForFinished(10000));
  const std::vector<std::string> expected{music + "/A.mp3",     music + "/b.mp3",      music + "/E.OPUS",
                                          music + "/w.wav",     music + "/cd2/c.mp3", music + "/cd2/d.flac"};
  auto saved = ReadPlayListFile(dir.File("saved.pls"));
  ASSERT_TRUE(saved) << "the list was not saved";
  EXPECT_EQ(saved.Value(), expected);
  EXPECT_EQ(ReadText(dir.File("saved.pls")).rfind("[playlist]\nFile1=music/A.mp3\n", 0), 0u) << "a PLS file, relative";
  EXPECT_EQ(ReadPlayListFile(dir.File("home/zbplayerdef.pls")).Value(), expected);
  EXPECT_GE(FirstHeard(Timeline(rec.Samples(), {440, 660, 990}), 440), 0) << "OK did not play the first entry";
}

// Catches a tag editor whose OK does not write the file, or writes the wrong field.
TEST_F(PlayerDesktop, EditATagAndReadItBack) {
  const std::string song = Tone(dir, "untagged.mp3", 20, {440});
  Player player(dir, "");
  QProcess* p = player.Start({song});
  Sleep(2.0);
  Click(ButtonCentre(SkinButton::PlayList));
  Sleep(1.0);
  Keys({QStringLiteral("space"), QStringLiteral("alt+3")});  // select the entry, edit its tag
  Sleep(1.0);
  Type(QStringLiteral("Harbour Lights"));
  Keys({QStringLiteral("Tab")});
  Type(QStringLiteral("Night Trains"));
  Keys({QStringLiteral("Tab")});
  Type(QStringLiteral("Zimbar Ensemble"));
  Keys({QStringLiteral("Tab")});
  Type(QStringLiteral("2024"));
  Keys({QStringLiteral("Return")});
  Sleep(1.0);
  Keys({QStringLiteral("alt+o")});
  Sleep(0.5);
  Click(ButtonCentre(SkinButton::Close));
  ASSERT_TRUE(p->waitForFinished(10000));
  int code = -1;
  const std::string tags = test_media::Run(
      "ffprobe -v error -show_entries format_tags=title,album,artist,date -of default=nw=1 '" + song + "'", &code);
  ASSERT_EQ(code, 0);
  EXPECT_NE(tags.find("TAG:title=Harbour Lights"), std::string::npos) << tags;
  EXPECT_NE(tags.find("TAG:album=Night Trains"), std::string::npos) << tags;
  EXPECT_NE(tags.find("TAG:artist=Zimbar Ensemble"), std::string::npos) << tags;
  EXPECT_NE(tags.find("TAG:date=2024"), std::string::npos) << tags;
}

// Catches a player missing from the session bus, methods that do nothing, properties that
// do not follow, and changes the desktop is not told of (QtDBus sends no PropertiesChanged
// by itself).
TEST_F(PlayerDesktop, MprisOverTheSessionBus) {
  const std::string a = Tone(dir, "a.mp3", 20, {440}), b = Tone(dir, "b.mp3", 20, {660});
  Player player(dir, "");
  const std::string script = dir.File("mpris.sh");
  WriteText(script, R"SH(set -u
dest=org.mpris.MediaPlayer2.zbplayer
send() { dbus-send --session --print-reply --dest=$dest /org/mpris/MediaPlayer2 "$@"; }
get() { send org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:$1 | tail -n +2 | tr -s ' \n' ' ' | sed -e 's/^ //' -e 's/ $//'; echo; }
dbus-monitor --session "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'" > "$OUT/monitor.txt" &
monitor=$!
sleep 0.5
"$PLAYER" "$A" "$B" &
player=$!
for i in $(seq 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner string:$dest | grep -q "boolean true" && break
  sleep 0.1
done
sleep 1.5
{
  echo "identity: $(send org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:Identity | tail -n +2 | tr -s ' \n' ' ' | sed -e 's/^ //' -e 's/ $//')"
  echo "status1: $(get PlaybackStatus)"
  send org.mpris.MediaPlayer2.Player.PlayPause >/dev/null; sleep 0.5
  echo "status2: $(get PlaybackStatus)"
  send org.mpris.MediaPlayer2.Player.Play >/dev/null; sleep 0.5
  send org.mpris.MediaPlayer2.Player.Next >/dev/null; sleep 1
  echo "metadata: $(get Metadata)"
  send org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:Volume variant:double:0.3 >/dev/null; sleep 0.5
  echo "volume: $(get Volume)"
  send org.mpris.MediaPlayer2.Player.Stop >/dev/null; sleep 0.5
  echo "status3: $(get PlaybackStatus)"
  send org.mpris.MediaPlayer2.Quit >/dev/null
} > "$OUT/answers.txt" 2>&1
for i in $(seq 100); do kill -0 $player 2>/dev/null || break; sleep 0.1; done
kill -0 $player 2>/dev/null && echo "player still running" >> "$OUT/answers.txt"
sleep 0.3
kill $monitor
)SH");
  QProcess run;
  QProcessEnvironment env = player.Environment();
  env.insert(QStringLiteral("OUT"), QString::fromStdString(dir.Path()));
  env.insert(QStringLiteral("PLAYER"), QStringLiteral(ZIMBAR_BIN_DIR "/zbplayer"));
  env.insert(QStringLiteral("A"), QString::fromStdString(a));
  env.insert(QStringLiteral("B"), QString::fromStdString(b));
  run.setProcessEnvironment(env);
  run.setProcessChannelMode(QProcess::ForwardedChannels);
  run.start(QStringLiteral("dbus-run-session"), {QStringLiteral("--"), QStringLiteral("bash"), QString::fromStdString(script)});
  ASSERT_TRUE(run.waitForFinished(60000));
  const std::string answers = ReadText(dir.File("answers.txt"));
  // dbus-monitor indents nested values; one blank between words is enough to look for them.
  std::string monitor;
  for (char ch : ReadText(dir.File("monitor.txt"))) {
    const char c = std::isspace(static_cast<unsigned char>(ch)) ? ' ' : ch;
    if (c != ' ' || monitor.empty() || monitor.back() != ' ') monitor += c;
  }
  EXPECT_NE(answers.find("identity: variant string \"zbplayer\""), std::string::npos) << answers;
  EXPECT_NE(answers.find("status1: variant string \"Playing\""), std::string::npos) << answers;
  EXPECT_NE(answers.find("status2: variant string \"Paused\""), std::string::npos) << answers;
  EXPECT_NE(answers.find("string \"xesam:title\" variant string \"b.mp3\""), std::string::npos) << answers;
  EXPECT_NE(answers.find("volume: variant double 0.3"), std::string::npos) << answers;
  EXPECT_NE(answers.find("status3: variant string \"Stopped\""), std::string::npos) << answers;
  EXPECT_EQ(answers.find("player still running"), std::string::npos) << "Quit did not end the player";
  // The player told the bus of each change itself.
  EXPECT_NE(monitor.find("string \"org.mpris.MediaPlayer2.Player\""), std::string::npos) << monitor;
  for (const char* expected : {"string \"Paused\"", "string \"Stopped\"", "variant string \"b.mp3\"", "double 0.3"})
    EXPECT_NE(monitor.find(expected), std::string::npos) << expected << "\n" << monitor;
}

// Catches the hidden temporary files of a list or settings save ended by kill -9 (4.5 MB
// for a long list) staying for ever, and a start that removes more than those: a save
// another process is still doing (it holds its file's lock) and names that only look
// like them stay.
TEST_F(PlayerDesktop, StartRemovesTheTemporaryFilesOfAKilledSave) {
  Player player(dir, "");
  // What a save ended by kill -9 leaves: its hidden temporary file, which nothing locks.
  const std::string staleList = dir.File("home/.zbplayerdef.pls.K1lled"), staleIni = dir.File("home/.zbplayer.ini.aB3dE9");
  WriteText(staleList, std::string(4500000, 'x'));
  WriteText(staleIni, "[Player]\n");
  const std::string live = dir.File("home/.zbplayerdef.pls.L1ve00");
  WriteText(live, "a save in progress");
  QProcess holder;
  holder.start(QStringLiteral("flock"), {QStringLiteral("--exclusive"), QString::fromStdString(live), QStringLiteral("-c"),
                                         QStringLiteral("echo locked; exec sleep 600")});
  ASSERT_TRUE(holder.waitForReadyRead(10000)) << "flock did not take the lock";
  const std::string lookalikes[] = {".zbplayerdef.pls.bak", ".zbplayerdef.pls.abc12", "zbplayerdef.pls.abc123",
                                    ".zbplayer.ini-abc123"};
  for (const std::string& name : lookalikes) WriteText(dir.File("home/" + name), "the user's");

  QProcess* p = player.Start({});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !FileExists(staleList) && !FileExists(staleIni); }, 20000))
      << "the leftovers of the killed save are still there";
  p->terminate();  // closed as by its close button: the list and the settings are saved
  ASSERT_TRUE(p->waitForFinished(10000));
  EXPECT_EQ(ReadText(live), "a save in progress");
  for (const std::string& name : lookalikes) EXPECT_EQ(ReadText(dir.File("home/" + name)), "the user's") << name;
  holder.kill();
  holder.waitForFinished(5000);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  const char* pulse = std::getenv("PULSE_SERVER");
  g_servers = display && *display && pulse && *pulse;
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
