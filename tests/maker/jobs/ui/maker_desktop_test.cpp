// End-to-end tests of zbmaker's window on a real X server (the test command's private
// Xvfb): the program started as a person starts it, with files on its command line, found
// with xdotool, watched through its window title and the files it writes, and closed the
// way a window manager closes a window (WM_DELETE_WINDOW), so that it ends as it would on
// a desktop and saves its settings.
#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>

#include "common/paths.h"
#include "tests/cdaccess/disc_image_builder.h"
#include "tests/common/temp_dir.h"
#include "tests/outside/gogo/test_media.h"
#include "../../metadata/loopback_server.h"  // compiled into this test, as in the batch tests

// Last: its macros (Status, Bool, None) clash with the Qt headers.
#include <X11/Xlib.h>

using namespace std::chrono_literals;

namespace {

bool g_servers = false;

const QString kPlainCaption = QStringLiteral("zbmaker - Zimbar MP3 Maker");

void Sleep(double seconds) { QTest::qWait(int(seconds * 1000)); }

// Runs a short helper and returns what it printed (trimmed), or an empty string.
QString Output(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished(2000);
    return {};
  }
  return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()).trimmed() : QString();
}

QString WindowName(const QString& id) { return Output(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), id}); }

// The id of the shown main window, waiting up to `seconds` for it (a slow start under ASan).
QString FindMainWindow(double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    const QString ids =
        Output(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                           QStringLiteral("zbmaker")});
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts))
      if (WindowName(id).contains(QStringLiteral("zbmaker"))) return id;
    Sleep(0.2);
  }
  return {};
}

// Waits until the title satisfies `ok`; returns the last title seen.
template <typename Predicate>
QString WaitForTitle(const QString& id, double seconds, Predicate ok) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  QString title;
  while (std::chrono::steady_clock::now() < until) {
    title = WindowName(id);
    if (ok(title)) return title;
    Sleep(0.1);
  }
  return title;
}

// "42% - zbmaker" (the desktop may add the program's display name behind it).
bool IsProgressTitle(const QString& title) { return title.contains(QStringLiteral("% - zbmaker")); }

// What a window manager sends when the close box is clicked: the program's own close
// handling runs (a run is cancelled and waited for, the settings are saved).
bool SendCloseRequest(const QString& id) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = Window(id.toULong());
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return sent != 0;
}

// Closes any error box that comes up within `seconds` as a person closes it; true when
// one came and went (none should: a computer without a CD drive gets no box).
bool DismissErrorBox(double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  bool seen = false;
  while (std::chrono::steady_clock::now() < until) {
    const QString ids = Output(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                          QStringLiteral("--name"), QStringLiteral("Error")});
    if (ids.isEmpty() && seen) return true;
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
      seen = true;
      SendCloseRequest(id);
    }
    Sleep(0.2);
  }
  return false;
}

// A stereo 44.1 kHz 16-bit WAV of a sine tone, made with sox.
void ToneWav(const std::string& path, double seconds, int hz) {
  test_media::Run("sox -n -r 44100 -c 2 -b 16 '" + path + "' synth " + std::to_string(seconds) + " sine " +
                  std::to_string(hz) + " gain -10");
}

// Seconds of audio ffprobe reads in an MP3 file, or -1 when it cannot read it as one.
double Mp3Seconds(const std::string& path) {
  int code = -1;
  const std::string out = test_media::Run(
      "ffprobe -v error -select_streams a:0 -show_entries stream=codec_name:format=duration -of default=nw=1 '" + path + "'",
      &code);
  if (code != 0 || out.find("codec_name=mp3") == std::string::npos) return -1;
  const size_t at = out.find("duration=");
  return at == std::string::npos ? -1 : std::atof(out.c_str() + at + 9);
}

// Runs xdotool with `args`; true when it succeeded.
bool Xdotool(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args) == 0; }

// Presses keys on whichever window has the focus, as a person types them (XTEST).
bool PressKeys(const QStringList& keys) {
  return Xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("120")} + keys);
}

// Types `text` into the focused control, one character after the other. xdotool types a
// letter that the keyboard map lacks on a spare key that it maps for the moment; the X
// server makes the first level of such a key the small letter for the capitals of
// Latin-1, so those are typed as a person does: Shift and the small letter's key.
bool TypeText(const QString& text) {
  QString run;
  auto typeRun = [&run] {
    const bool ok =
        run.isEmpty() || Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), run});
    run.clear();
    return ok;
  };
  for (const QChar c : text) {
    if (c.unicode() < 0xC0 || c.unicode() > 0xDE || c.toLower() == c) {
      run += c;
      continue;
    }
    if (!typeRun() || !PressKeys({QStringLiteral("shift+U%1").arg(c.toLower().unicode(), 4, 16, QLatin1Char('0'))}))
      return false;
  }
  return typeRun();
}

// No window manager runs: the test gives the focus, as a click on the window would.
bool Focus(const QString& id) { return Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id}); }

// The first shown window whose title matches the regular expression `name`, waiting up
// to `seconds`; empty when none came.
QString WaitForWindow(const QString& name, double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    const QString ids = Output(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), name});
    if (!ids.isEmpty()) return ids.split('\n', Qt::SkipEmptyParts).first();
    Sleep(0.1);
  }
  return {};
}

// True once no shown window's title matches `name`, waiting up to `seconds`.
bool WaitForWindowGone(const QString& name, double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    if (Output(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--name"), name})
            .isEmpty())
      return true;
    Sleep(0.1);
  }
  return false;
}

// With ZIMBAR_TEST_SHOTS naming a folder, the whole screen is saved there as name.png, so
// that a person can look at what the test saw.
void Screenshot(const std::string& name) {
  const char* folder = std::getenv("ZIMBAR_TEST_SHOTS");
  if (!folder || !*folder) return;
  Sleep(0.5);  // the keys just sent are handled by then
  QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                              QString::fromStdString(std::string(folder) + "/" + name + ".png")});
}

// The names in `folder`, sorted.
std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Waits until `folder` holds exactly `expected` and the title is the plain caption again
// (the run has ended), up to `seconds`.
void WaitForRip(const QString& window, const std::string& folder, std::vector<std::string> expected, double seconds) {
  std::sort(expected.begin(), expected.end());
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until &&
         !(FileNames(folder) == expected && WindowName(window).startsWith(kPlainCaption)))
    Sleep(0.2);
}

// A WAV file of the output folder holds `audio` sample for sample behind its 44-byte header.
::testing::AssertionResult HoldsTrack(const std::string& path, const testcd::Audio& audio) {
  const std::vector<uint8_t> wav = ReadBytes(path);
  if (wav.size() < 44) return ::testing::AssertionFailure() << path << " has " << wav.size() << " bytes";
  if (std::vector<uint8_t>(wav.begin() + 44, wav.end()) != testcd::Bytes(audio))
    return ::testing::AssertionFailure() << path << " does not hold its track (" << wav.size() << " bytes)";
  return ::testing::AssertionSuccess();
}

// Chooses CD to WAV in the main window from the keyboard and opens the CD information
// window from its button's mnemonic; the window's id with the focus in it, or empty.
QString OpenCdInformation(const QString& window) {
  if (!Focus(window) || !PressKeys({QStringLiteral("alt+d"), QStringLiteral("alt+i")})) return {};
  const QString info = WaitForWindow(QStringLiteral("^CD/Tracks Information$"), 10);
  return !info.isEmpty() && Focus(info) ? info : QString();
}

// Closes the main window as a window manager does; success when the program then ends
// normally with status 0.
::testing::AssertionResult ClosesCleanly(QProcess* p, const QString& window) {
  if (!SendCloseRequest(window)) return ::testing::AssertionFailure() << "the close request was not sent";
  if (!p->waitForFinished(15000)) return ::testing::AssertionFailure() << "the program did not end after the close";
  if (p->exitStatus() != QProcess::NormalExit) return ::testing::AssertionFailure() << "the program crashed";
  if (p->exitCode() != 0) return ::testing::AssertionFailure() << "the program ended with status " << p->exitCode();
  return ::testing::AssertionSuccess();
}

// One zbmaker with its own settings folder, home (desktop folder) and runtime folder,
// started in `cwd` so that relative paths on its command line are resolved there.
class Maker {
 public:
  explicit Maker(const TempDir& dir) : dir_(dir) {
    for (const char* sub : {"home", "h", "h/Desktop", "run"}) ::mkdir(dir.File(sub).c_str(), 0700);
  }
  ~Maker() {
    if (process_ && process_->state() != QProcess::NotRunning) {
      process_->kill();
      process_->waitForFinished(5000);
    }
  }
  QProcess* Start(const std::string& cwd, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZIMBAR_HOME"), QString::fromStdString(dir_.File("home")));
    env.insert(QStringLiteral("HOME"), QString::fromStdString(dir_.File("h")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir_.File("h/.config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir_.File("run")));
    env.insert(QStringLiteral("ZIMBAR_LIB_DIR"), QStringLiteral(ZIMBAR_BIN_DIR));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // No session bus: an address where none listens. Without any address the bus library
    // tries to start one through the X server's helper, and where that helper is not
    // installed, it leaks the buffer of the failed attempt (LeakSanitizer then ends the
    // program with status 1).
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + QString::fromStdString(dir_.File("run/no-bus")));
    process_ = std::make_unique<QProcess>();
    process_->setProcessEnvironment(env);
    process_->setWorkingDirectory(QString::fromStdString(cwd));
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->start(QStringLiteral(ZIMBAR_BIN_DIR "/zbmaker"), args);
    return process_.get();
  }
  std::string SettingsPath() const { return dir_.File("home/zbmaker.INI"); }

 private:
  const TempDir& dir_;
  std::unique_ptr<QProcess> process_;
};

class MakerDesktop : public testing::Test {
 protected:
  void SetUp() override {
    if (!g_servers) {
      if (const char* s = std::getenv("ZIMBAR_TEST_SERVERS"); s && std::string(s) == "1")
        FAIL() << "ZIMBAR_TEST_SERVERS=1 but the X server is missing";
      GTEST_SKIP() << "needs DISPLAY; scripts/test.sh starts an X server";
    }
    ::mkdir(dir.File("in").c_str(), 0755);
  }
  TempDir dir;
};

}  // namespace

// Catches files on the command line that are not encoded at once (no AutoStart), relative
// paths not resolved against the starting folder, outputs that are not valid MP3 or are
// cut short, a title that keeps showing progress after the run, and a close that does not
// end the program with status 0 or does not save the settings.
TEST_F(MakerDesktop, EncodesTheCommandLineFilesAndClosesCleanly) {
  ToneWav(dir.File("in/a.wav"), 2, 440);
  ToneWav(dir.File("in/b.wav"), 3, 660);
  Maker maker(dir);
  const auto started = std::chrono::steady_clock::now();
  QProcess* p = maker.Start(dir.File("in"), {QStringLiteral("a.wav"), QStringLiteral("b.wav")});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";

  // Both outputs in place, then the plain caption back: the run has ended.
  const auto until = started + 40s;
  while (std::chrono::steady_clock::now() < until &&
         !(FileExists(dir.File("in/a.mp3")) && FileExists(dir.File("in/b.mp3")) &&
           WindowName(window).startsWith(kPlainCaption)))
    Sleep(0.2);
  EXPECT_TRUE(WindowName(window).startsWith(kPlainCaption)) << WindowName(window).toStdString();
  const double a = Mp3Seconds(dir.File("in/a.mp3")), b = Mp3Seconds(dir.File("in/b.mp3"));
  EXPECT_NEAR(a, 2.0, 0.2) << "a.mp3 missing or not an MP3 of the whole input";
  EXPECT_NEAR(b, 3.0, 0.2) << "b.mp3 missing or not an MP3 of the whole input";
  EXPECT_FALSE(FileExists(dir.File("in/a.part.mp3")));
  EXPECT_FALSE(FileExists(dir.File("in/b.part.mp3")));

  EXPECT_FALSE(DismissErrorBox(1)) << "a box for the missing CD drive";
  ASSERT_TRUE(SendCloseRequest(window));
  ASSERT_TRUE(p->waitForFinished(15000)) << "the program did not end after its window was closed";
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
  ASSERT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
  EXPECT_NE(ReadText(maker.SettingsPath()).find("OutputPath=" + dir.File("in")), std::string::npos)
      << ReadText(maker.SettingsPath());
}

// Catches a close during an encode that leaves the program running, ends it with a
// crash or a failure status, leaves a half-written file under the final name, or loses
// the settings.
TEST_F(MakerDesktop, ClosingDuringAnEncodeEndsCleanly) {
  // The encoder is fast (some hundred times real time on a quick machine): six names for
  // one quarter of an hour of audio give the close a run of a minute and a half of
  // encoding or more to land in, without writing more than one input file.
  constexpr int kCopies = 6;
  ToneWav(dir.File("in/long1.wav"), 900, 440);
  QStringList args{QStringLiteral("long1.wav")};
  for (int i = 2; i <= kCopies; ++i) {
    const std::string name = "long" + std::to_string(i) + ".wav";
    std::filesystem::create_hard_link(dir.File("in/long1.wav"), dir.File("in/" + name));
    args << QString::fromStdString(name);
  }
  Maker maker(dir);
  QProcess* p = maker.Start(dir.File("in"), args);
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  const QString busy = WaitForTitle(window, 20, IsProgressTitle);
  ASSERT_TRUE(IsProgressTitle(busy)) << "no progress in the title: " << busy.toStdString();
  ASSERT_EQ(p->state(), QProcess::Running);
  const QString before = WindowName(window);
  ASSERT_TRUE(IsProgressTitle(before)) << "the encode ended before the close (title \"" << before.toStdString()
                                       << "\"); make the input longer";

  const auto closed = std::chrono::steady_clock::now();
  ASSERT_TRUE(SendCloseRequest(window));
  ASSERT_TRUE(p->waitForFinished(10000)) << "the program did not end after its window was closed";
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - closed).count();
  EXPECT_LT(took, 5.0) << "the close waited too long for the encoder to stop";
  SCOPED_TRACE("closed at " + before.toStdString());
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
  // Files encoded before the close are whole MP3s under their names; the one being
  // encoded is kept under a name that says it is unfinished (the default), never under
  // the final name; the files after it are not touched; nothing else is left.
  std::vector<std::string> expected;
  std::string last_whole;
  bool cut = false;
  for (int i = 1; i <= kCopies; ++i) {
    const std::string stem = "long" + std::to_string(i);
    expected.push_back(stem + ".wav");
    if (cut) continue;
    if (FileExists(dir.File("in/" + stem + ".part.mp3"))) {
      expected.push_back(stem + ".part.mp3");
      cut = true;
    } else if (FileExists(dir.File("in/" + stem + ".mp3"))) {
      expected.push_back(stem + ".mp3");
      last_whole = stem + ".mp3";
    } else {
      cut = true;  // the close came between two files
    }
  }
  // The last file under its final name is the one a cut-short encode would have left.
  if (!last_whole.empty()) {
    EXPECT_NEAR(Mp3Seconds(dir.File("in/" + last_whole)), 900.0, 1.0) << last_whole << " is not the whole input";
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FileNames(dir.File("in")), expected);
  EXPECT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
}

// Catches keyboard mnemonics of the operation and Start that do not work on a real
// desktop, a disc image in the settings not offered as a drive, and CD to WAV that does
// not write one whole WAV file per selected track into the output folder.
TEST_F(MakerDesktop, RipsTheDiscImageToWavFromTheKeyboard) {
  const std::vector<testcd::Audio> tracks{testcd::Tone(75 * 2, 440, 8000), testcd::Tone(75 * 3, 660, 8000)};
  const testcd::DiscImage image(dir.Path(), "disc", tracks);
  ::mkdir(dir.File("out").c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nDiscImages=" + image.CuePath() + "\nUseWinNTRawRead=1\nOutputPath=" +
                                      dir.File("out") + "\n");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  Sleep(1.0);
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+d"), QStringLiteral("alt+s")}));
  // Done when both files are in place and the title is the plain caption again.
  auto wavs = [&] { return FileNames(dir.File("out")); };
  const auto until = std::chrono::steady_clock::now() + 40s;
  while (std::chrono::steady_clock::now() < until &&
         !(wavs().size() == 2 && wavs()[0].ends_with(".wav") && wavs()[1].ends_with(".wav") &&
           WindowName(window).startsWith(kPlainCaption)))
    Sleep(0.2);
  EXPECT_TRUE(WindowName(window).startsWith(kPlainCaption)) << WindowName(window).toStdString();
  const std::vector<std::string> names = wavs();
  ASSERT_EQ(names.size(), 2u) << ::testing::PrintToString(names);
  // Each file holds its whole track, sample for sample, behind a 44-byte header.
  for (size_t i = 0; i < 2; ++i) {
    const std::vector<uint8_t> wav = ReadBytes(dir.File("out/" + names[i]));
    ASSERT_GE(wav.size(), 44u) << names[i];
    EXPECT_TRUE(std::vector<uint8_t>(wav.begin() + 44, wav.end()) == testcd::Bytes(tracks[i]))
        << names[i] << " does not hold track " << i + 1 << " (" << wav.size() << " bytes)";
  }
  ASSERT_TRUE(SendCloseRequest(window));
  ASSERT_TRUE(p->waitForFinished(15000));
  EXPECT_EQ(p->exitCode(), 0);
}

// Catches SIGTERM, SIGINT or SIGHUP in window mode that kills the program (settings lost, a
// half-written file under the final name), leaves it running, or ends it with another
// status than the shell's for the signal (128 + its number, as in --batch).
TEST_F(MakerDesktop, TerminationSignalsEndARunAsACloseDoes) {
  ToneWav(dir.File("in/long.wav"), 900, 440);
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(number));
    TempDir own;  // settings of this start alone
    Maker maker(own);
    QProcess* p = maker.Start(dir.File("in"), {QStringLiteral("long.wav")});
    const QString window = FindMainWindow(20);
    ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
    const QString busy = WaitForTitle(window, 20, IsProgressTitle);
    ASSERT_TRUE(IsProgressTitle(busy)) << "no progress in the title: " << busy.toStdString();
    ASSERT_EQ(::kill(pid_t(p->processId()), number), 0);
    ASSERT_TRUE(p->waitForFinished(10000)) << "the program did not end after the signal";
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 128 + number);
    EXPECT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
    EXPECT_FALSE(FileExists(dir.File("in/long.mp3"))) << "an unfinished encode was put under the final name";
    std::filesystem::remove(dir.File("in/long.part.mp3"));
  }
}

// Catches a window manager's close that is lost while a box is up (Qt drops a close for a
// window that a modal box blocks), or that ends the program without its settings.
TEST_F(MakerDesktop, ACloseWhileABoxIsUpEndsTheProgram) {
  Maker maker(dir);
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  EXPECT_FALSE(DismissErrorBox(1)) << "a box for the missing CD drive";
  // The About box, from the keyboard.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+h"), QStringLiteral("a")}));
  ASSERT_FALSE(WaitForWindow(QStringLiteral("About zbmaker"), 10).isEmpty()) << "the About box did not open";

  ASSERT_TRUE(SendCloseRequest(window));
  ASSERT_TRUE(p->waitForFinished(15000)) << "the close was lost while the box was up";
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
  EXPECT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
}

// Catches CD information typed in the CD window (album, artist, track names, letters
// beyond ASCII) that does not reach the output file names, a pattern that is not applied
// as the settings ask, tracks ripped that the person did not pick, and a rip that does
// not hold each picked track sample for sample.
TEST_F(MakerDesktop, RipsTheTracksAPersonPickedWithTheTypedNames) {
  const std::vector<testcd::Audio> tracks{testcd::Tone(75 * 2, 330, 6000), testcd::Tone(75 * 2, 440, 7000),
                                          testcd::Tone(75 * 2, 550, 8000), testcd::Tone(75 * 2, 660, 9000)};
  const testcd::DiscImage image(dir.Path(), "disc", tracks);
  ::mkdir(dir.File("out").c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nDiscImages=" + image.CuePath() + "\nUseWinNTRawRead=1\nOutputPath=" +
                                      dir.File("out") +
                                      "\nUseFileNameFormat=1\nFileNamePattern=($artist$) [$title$] [$track#$] $trackname$\n");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  const QString info = OpenCdInformation(window);
  ASSERT_FALSE(info.isEmpty()) << "the CD information window did not open";
  // Each label's mnemonic puts the focus into its field with the text selected.
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+t")}));
  ASSERT_TRUE(TypeText(QStringLiteral("Café Dämmerung")));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+a")}));
  ASSERT_TRUE(TypeText(QStringLiteral("Zugvögel")));
  // The track list comes after the genre; Enter on a row asks for its name.
  auto nameRow = [&](const QStringList& moves, const QString& name) {
    ASSERT_TRUE(PressKeys(moves + QStringList{QStringLiteral("Return")}));
    const QString prompt = WaitForWindow(QStringLiteral("^Track Name$"), 10);
    ASSERT_FALSE(prompt.isEmpty()) << "the track name prompt did not open";
    ASSERT_TRUE(Focus(prompt));
    ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(TypeText(name));
    ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
    ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^Track Name$"), 10)) << "the track name prompt did not close";
    ASSERT_TRUE(Focus(info));
  };
  nameRow({QStringLiteral("alt+g"), QStringLiteral("Tab"), QStringLiteral("Home"), QStringLiteral("Down")},
          QStringLiteral("Über die Brücke"));
  ASSERT_FALSE(HasFatalFailure());
  nameRow({QStringLiteral("Down"), QStringLiteral("Down")}, QStringLiteral("Łódź bei Nacht/Tag"));
  ASSERT_FALSE(HasFatalFailure());
  Screenshot("cd_info_typed");
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+o")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^CD/Tracks Information$"), 10)) << "OK did not close the window";

  // OK selects every track again: the person picks tracks 2 and 4 now. The track list is
  // five tabs on from the operation (past the drive, CD/Tracks Info, Output Path, Start);
  // Down selects track 2 alone, Ctrl+Down moves on without selecting, Ctrl+Space adds 4.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+d"), QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"),
                         QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Home"), QStringLiteral("Down"),
                         QStringLiteral("ctrl+Down"), QStringLiteral("ctrl+Down"), QStringLiteral("ctrl+space")}));
  Screenshot("tracks_picked");
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));

  const std::vector<std::string> expected{"(Zugvögel) [Café Dämmerung] [02] Über die Brücke.wav",
                                          "(Zugvögel) [Café Dämmerung] [04] Łódź bei Nacht-Tag.wav"};
  WaitForRip(window, dir.File("out"), expected, 40);
  EXPECT_TRUE(WindowName(window).startsWith(kPlainCaption)) << WindowName(window).toStdString();
  ASSERT_EQ(FileNames(dir.File("out")), expected);
  EXPECT_TRUE(HoldsTrack(dir.File("out/" + expected[0]), tracks[1]));
  EXPECT_TRUE(HoldsTrack(dir.File("out/" + expected[1]), tracks[3]));
  EXPECT_TRUE(ClosesCleanly(p, window));
}

// Catches a "Load Info From CDDB" that does not ask the server in the settings about this
// disc's layout, does not put the reply's artist, title and track names (UTF-8) into the
// window, or whose names the rip then does not use.
TEST_F(MakerDesktop, CddbLookupFromTheCdWindowNamesTheRip) {
  const std::vector<testcd::Audio> tracks{testcd::Tone(75 * 2, 392, 7000), testcd::Tone(75 * 2, 494, 8000),
                                          testcd::Tone(75 * 2, 587, 9000)};
  const testcd::DiscImage image(dir.Path(), "disc", tracks);
  CddbScript script;
  script.queryReply = "200 jazz 0c000603 Nachtfalter / Später Sommer\r\n";
  script.readReply =
      "210 jazz 0c000603 CD database entry follows (until terminating `.')\r\n"
      "# xmcd\r\nDISCID=0c000603\r\nDTITLE=Nachtfalter / Später Sommer\r\nDYEAR=2024\r\nDGENRE=Jazz\r\n"
      "TTITLE0=Erste Straße\r\nTTITLE1=Ça va: oui?\r\nTTITLE2=Ølfestival\r\nEXTD=\r\nEXTT0=\r\nPLAYORDER=\r\n.\r\n";
  LoopbackServer server(CddbpHandler(script));
  ::mkdir(dir.File("out").c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nDiscImages=" + image.CuePath() + "\nUseWinNTRawRead=1\nOutputPath=" +
                                      dir.File("out") +
                                      "\nUseFileNameFormat=1\nFileNamePattern=$track#$ $artist$ - $title$ - $trackname$"
                                      "\nCDDBServer=cddbp://127.0.0.1:" + std::to_string(server.Port()) + "\n");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  const QString info = OpenCdInformation(window);
  ASSERT_FALSE(info.isEmpty()) << "the CD information window did not open";
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+l")}));
  // The status window closes by itself once the entry has been read.
  const auto asked = std::chrono::steady_clock::now();
  auto sent = [&](const std::string& text) {
    for (const std::string& transcript : server.Transcripts())
      if (transcript.find(text) != std::string::npos) return true;
    return false;
  };
  auto readSent = [&] { return sent("cddb read jazz 0c000603"); };
  while (!readSent() && std::chrono::steady_clock::now() - asked < 20s) Sleep(0.1);
  ASSERT_TRUE(readSent()) << "the lookup did not get to reading the entry";
  if (!WaitForWindowGone(QStringLiteral("^CDDB Status$"), 20)) {
    Screenshot("cddb_status_left_open");
    FAIL() << "the CDDB status window stayed open: the lookup failed";
  }
  // The query names the disc: three tracks, their start frames and its length in seconds.
  EXPECT_TRUE(sent("cddb query 0c000603 3 150 300 450 8\r\n")) << ::testing::PrintToString(server.Transcripts());
  ASSERT_TRUE(Focus(info));
  Screenshot("cd_info_from_cddb");
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+o")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^CD/Tracks Information$"), 10)) << "OK did not close the window";
  // Every track is selected after OK.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));

  const std::vector<std::string> expected{"01 Nachtfalter - Später Sommer - Erste Straße.wav",
                                          "02 Nachtfalter - Später Sommer - Ça va- oui-.wav",
                                          "03 Nachtfalter - Später Sommer - Ølfestival.wav"};
  WaitForRip(window, dir.File("out"), expected, 40);
  EXPECT_TRUE(WindowName(window).startsWith(kPlainCaption)) << WindowName(window).toStdString();
  ASSERT_EQ(FileNames(dir.File("out")), expected);
  for (size_t i = 0; i < tracks.size(); ++i) EXPECT_TRUE(HoldsTrack(dir.File("out/" + expected[i]), tracks[i]));
  EXPECT_TRUE(ClosesCleanly(p, window));
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  g_servers = display && *display;
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
