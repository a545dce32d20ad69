// Shared pieces of the end-to-end tests of zbmaker's window on the real X server: finding
// windows with xdotool, typing and closing as a person does, and one zbmaker started with
// its own settings, home and runtime folders.
#pragma once

#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
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

namespace maker_desktop {

// Set by main() when DISPLAY names an X server.
inline bool g_servers = false;

// The main window's title between runs; the desktop adds " — Zimbar MP3 Maker".
inline const QString kPlainCaption = QStringLiteral("zbmaker (v1.3A)");

inline void Sleep(double seconds) { QTest::qWait(int(seconds * 1000)); }

// Runs a short helper and returns what it printed (trimmed), or an empty string.
inline QString Output(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished(2000);
    return {};
  }
  return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()).trimmed() : QString();
}

inline QString WindowName(const QString& id) { return Output(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), id}); }

// "Track 3 of 12 – 41 % – 2 min left" or "File 1 of 2 – 5 %" (the desktop adds the
// program's display name behind it).
inline bool IsProgressTitle(const QString& title) {
  static const QRegularExpression progress(QStringLiteral("^(Track|File) \\d+ of \\d+ \u2013 \\d+ %"));
  return progress.match(title).hasMatch();
}

// The main window's title, between runs or during one (not a box's).
inline bool IsMainTitle(const QString& title) { return title.startsWith(kPlainCaption) || IsProgressTitle(title); }

// The id of the shown main window, waiting up to `seconds` for it (a slow start under ASan).
inline QString FindMainWindow(double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    const QString ids =
        Output(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                                           QStringLiteral("zbmaker")});
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts))
      if (IsMainTitle(WindowName(id))) return id;
    Sleep(0.2);
  }
  return {};
}

// Waits until the title satisfies `ok`; returns the last title seen.
template <typename Predicate>
inline QString WaitForTitle(const QString& id, double seconds, Predicate ok) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  QString title;
  while (std::chrono::steady_clock::now() < until) {
    title = WindowName(id);
    if (ok(title)) return title;
    Sleep(0.1);
  }
  return title;
}

// What a window manager sends when the close box is clicked: the program's own close
// handling runs (a run is cancelled and waited for, the settings are saved).
inline bool SendCloseRequest(const QString& id) {
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

// The question a close during a run asks before it stops the run.
inline const QString kStopRunQuestion = QStringLiteral("^zbmaker Confirmation");

// Closes any error box that comes up within `seconds` as a person closes it; true when
// one came and went (none should: a computer without a CD drive gets no box).
inline bool DismissErrorBox(double seconds) {
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
inline void ToneWav(const std::string& path, double seconds, int hz) {
  test_media::Run("sox -n -r 44100 -c 2 -b 16 '" + path + "' synth " + std::to_string(seconds) + " sine " +
                  std::to_string(hz) + " gain -10");
}

// Seconds of audio ffprobe reads in an MP3 file, or -1 when it cannot read it as one.
inline double Mp3Seconds(const std::string& path) {
  int code = -1;
  const std::string out = test_media::Run(
      "ffprobe -v error -select_streams a:0 -show_entries stream=codec_name:format=duration -of default=nw=1 '" + path + "'",
      &code);
  if (code != 0 || out.find("codec_name=mp3") == std::string::npos) return -1;
  const size_t at = out.find("duration=");
  return at == std::string::npos ? -1 : std::atof(out.c_str() + at + 9);
}

// Runs xdotool with `args`; true when it succeeded.
inline bool Xdotool(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args) == 0; }

// Presses keys on whichever window has the focus, as a person types them (XTEST).
inline bool PressKeys(const QStringList& keys) {
  return Xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("120")} + keys);
}

// Types `text` into the focused control, one character after the other. xdotool types a
// letter that the keyboard map lacks on a spare key that it maps for the moment; the X
// server makes the first level of such a key the small letter for the capitals of
// Latin-1, so those are typed as a person does: Shift and the small letter's key.
inline bool TypeText(const QString& text) {
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
inline bool Focus(const QString& id) { return Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id}); }

// The first shown window whose title matches the regular expression `name`, waiting up
// to `seconds`; empty when none came.
inline QString WaitForWindow(const QString& name, double seconds) {
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
inline bool WaitForWindowGone(const QString& name, double seconds) {
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
inline void Screenshot(const std::string& name) {
  const char* folder = std::getenv("ZIMBAR_TEST_SHOTS");
  if (!folder || !*folder) return;
  Sleep(0.5);  // the keys just sent are handled by then
  const QString display = QString::fromUtf8(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ":0");
  QProcess::execute(QStringLiteral("ffmpeg"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                     QStringLiteral("x11grab"), QStringLiteral("-i"), display, QStringLiteral("-frames:v"),
                     QStringLiteral("1"), QString::fromStdString(std::string(folder) + "/" + name + ".png")});
}

// Sends the window manager's close during a run and answers the question it brings up
// with `key` ("alt+n" or "alt+y"), saving the screen as `shot`; fails when no question came.
inline ::testing::AssertionResult CloseAndAnswer(const QString& window, const QString& key, const std::string& shot) {
  if (!SendCloseRequest(window)) return ::testing::AssertionFailure() << "the close request was not sent";
  const QString box = WaitForWindow(kStopRunQuestion, 10);
  if (box.isEmpty()) return ::testing::AssertionFailure() << "no question before the run was stopped";
  Screenshot(shot);
  if (!Focus(box) || !PressKeys({key})) return ::testing::AssertionFailure() << "the answer was not typed";
  if (!WaitForWindowGone(kStopRunQuestion, 10)) return ::testing::AssertionFailure() << "the question stayed up";
  return ::testing::AssertionSuccess();
}

// The names in `folder`, sorted.
inline std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Waits until `folder` holds exactly `expected` and the title is the plain caption again
// (the run has ended), up to `seconds`.
inline void WaitForRip(const QString& window, const std::string& folder, std::vector<std::string> expected, double seconds) {
  std::sort(expected.begin(), expected.end());
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until &&
         !(FileNames(folder) == expected && WindowName(window).startsWith(kPlainCaption)))
    Sleep(0.2);
}

// A WAV file of the output folder holds `audio` sample for sample behind its 44-byte header.
inline ::testing::AssertionResult HoldsTrack(const std::string& path, const testcd::Audio& audio) {
  const std::vector<uint8_t> wav = ReadBytes(path);
  if (wav.size() < 44) return ::testing::AssertionFailure() << path << " has " << wav.size() << " bytes";
  if (std::vector<uint8_t>(wav.begin() + 44, wav.end()) != testcd::Bytes(audio))
    return ::testing::AssertionFailure() << path << " does not hold its track (" << wav.size() << " bytes)";
  return ::testing::AssertionSuccess();
}

// Chooses CD to WAV in the main window from the keyboard and opens the CD information
// window from its button's mnemonic; the window's id with the focus in it, or empty.
inline QString OpenCdInformation(const QString& window) {
  if (!Focus(window) || !PressKeys({QStringLiteral("alt+d"), QStringLiteral("alt+i")})) return {};
  const QString info = WaitForWindow(QStringLiteral("^CD/Tracks Information$"), 10);
  return !info.isEmpty() && Focus(info) ? info : QString();
}

// Closes the main window as a window manager does; success when the program then ends
// normally with status 0.
inline ::testing::AssertionResult ClosesCleanly(QProcess* p, const QString& window) {
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
    for (const auto& [name, value] : environment_) {
      if (value.isNull()) env.remove(name);
      else env.insert(name, value);
    }
    process_ = std::make_unique<QProcess>();
    process_->setProcessEnvironment(env);
    process_->setWorkingDirectory(QString::fromStdString(cwd));
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->start(QStringLiteral(ZIMBAR_BIN_DIR "/zbmaker"), args);
    return process_.get();
  }
  std::string SettingsPath() const { return dir_.File("home/zbmaker.INI"); }
  // A variable of the next Start's environment; a null value removes it.
  void SetEnvironment(const QString& name, const QString& value) { environment_.emplace_back(name, value); }

 private:
  const TempDir& dir_;
  // The window follows the desktop's language: English unless a test asks for another.
  std::vector<std::pair<QString, QString>> environment_ = {
      {QStringLiteral("LC_ALL"), QString()}, {QStringLiteral("LC_MESSAGES"), QString()},
      {QStringLiteral("LANG"), QStringLiteral("C.UTF-8")}};
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

}  // namespace maker_desktop
