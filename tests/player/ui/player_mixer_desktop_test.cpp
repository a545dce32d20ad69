// zbplayer's sound streams as the desktop's mixer lists them: the test command's X server
// and PulseAudio daemon, the streams read with pactl.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/temp_dir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

bool RunShell(const std::string& command) { return std::system(command.c_str()) == 0; }

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

// Waits until the mixer lists a stream of zbplayer named title.
bool Listed(const std::string& title, std::chrono::seconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const std::string listed = SinkInputs();
    const size_t at = listed.find("media.name = \"" + title + "\"");
    if (at != std::string::npos) {
      // The properties of the stream that has this name, up to the next stream.
      const size_t end = listed.find("Sink Input #", at);
      const size_t begin = listed.rfind("Sink Input #", at);
      const std::string stream = listed.substr(begin, end == std::string::npos ? end : end - begin);
      if (stream.find("application.name = \"zbplayer\"") != std::string::npos) return true;
    }
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(20ms);
  }
}

// zbplayer with its own settings, home and runtime folders, on the pulse output.
class Player {
 public:
  Player(const TempDir& dir, const std::vector<std::string>& files) {
    for (const char* sub : {"home", "h", "run"}) ::mkdir(dir.File(sub).c_str(), 0700);
    std::vector<std::string> env = {"ZIMBAR_HOME=" + dir.File("home"), "HOME=" + dir.File("h"),
                                    "XDG_CONFIG_HOME=" + dir.File("h/.config"), "XDG_RUNTIME_DIR=" + dir.File("run"),
                                    "ZIMBAR_SHARE_DIR=" ZIMBAR_BIN_DIR "/../share/zimbar", "ZIMBAR_AUDIO_OUT=pulse",
                                    "QT_QPA_PLATFORM=xcb"};
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string var = *e;
      const std::string name = var.substr(0, var.find('='));
      if (name == "DBUS_SESSION_BUS_ADDRESS") continue;
      bool replaced = false;
      for (const std::string& own : env) replaced = replaced || own.rfind(name + "=", 0) == 0;
      if (!replaced) env.push_back(var);
    }
    std::vector<char*> envp;
    for (std::string& var : env) envp.push_back(var.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {ZIMBAR_BIN_DIR "/zbplayer"};
    args.insert(args.end(), files.begin(), files.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  }
  ~Player() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  bool Started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

}  // namespace

// Catches a stream that the mixer names after the sound library ("via ...") or after
// nothing, an MP3 whose stream (the decoder library's) keeps the program's name, and a
// title that stays when the next entry plays.
TEST(PlayerMixer, TheMixerListsZbplayerWithTheTitleOfWhatPlays) {
  if (std::getenv("DISPLAY") == nullptr || std::getenv("PULSE_SERVER") == nullptr) {
    if (const char* s = std::getenv("ZIMBAR_TEST_SERVERS"); s && std::string(s) == "1")
      FAIL() << "ZIMBAR_TEST_SERVERS=1 but the X server or the sound server is missing";
    GTEST_SKIP() << "needs DISPLAY and PULSE_SERVER; scripts/test.sh starts both";
  }
  TempDir dir;
  const std::string wav = dir.File("second.wav"), mp3 = dir.File("first.mp3");
  ASSERT_TRUE(RunShell("sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth 2 sine 440 gain -10"));
  ASSERT_TRUE(RunShell("lame --quiet -b 160 --tt 'Opening' --ta 'First Band' '" + wav + "' '" + mp3 + "'"));
  Player player(dir, {mp3, wav});
  ASSERT_TRUE(player.Started());
  EXPECT_TRUE(Listed("First Band \u2013 Opening", 15s)) << SinkInputs();
  // The WAV file has no tag: named as the desktop names it elsewhere (the task bar, MPRIS).
  EXPECT_TRUE(Listed("second.wav", 10s)) << SinkInputs();
  EXPECT_EQ(SinkInputs().find("out123"), std::string::npos);
}
