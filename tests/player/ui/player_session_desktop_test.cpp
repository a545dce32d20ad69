// End-to-end test of zbplayer's list handling on the real X server and a private session
// bus: a list file with relative entries, given by a relative name from another working
// folder, whose first entry is missing. One program start serves every check: the missing
// entry is passed over, the next plays within three seconds (the desktop is told through
// MPRIS), what plays is recorded through the wav: capture output, and the list saved at
// the end holds absolute paths.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "player/playlist/play_list_file.h"
#include "tests/common/temp_dir.h"

namespace {

bool g_display = false;

// A line of the script's answers ("key: value"), or "" when it is not there.
std::string Answer(const std::string& answers, const std::string& key) {
  const size_t at = answers.find(key + ": ");
  if (at == std::string::npos) return {};
  const size_t from = at + key.size() + 2;
  return answers.substr(from, answers.find('\n', from) - from);
}

}  // namespace

// Catches a list that stops at a missing first entry while the desktop is told
// "Playing", relative entries of a list taken against the working folder instead of the
// list's, a relative argument stored as given, and a list saved with relative paths.
TEST(PlayerSessionDesktop, AListWithAMissingFirstEntryPlaysTheNextFromAnotherFolder) {
  if (!g_display) {
    if (const char* s = std::getenv("ZIMBAR_TEST_SERVERS"); s && std::string(s) == "1")
      FAIL() << "ZIMBAR_TEST_SERVERS=1 but the X server is missing";
    GTEST_SKIP() << "needs DISPLAY; scripts/test.sh starts the X server";
  }
  TempDir dir;
  for (const char* folder : {"home", "h", "run", "music", "lists", "elsewhere"})
    ASSERT_EQ(::mkdir(dir.File(folder).c_str(), 0700), 0) << folder;
  WriteText(dir.File("home/zbplayer.ini"), "[Player]\nPlayerFormTop=100\nPlayerFormLeft=100\n");
  // Four seconds of a 660 Hz tone.
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 '" + dir.File("music/b.wav") + "' synth 4 sine 660 gain -10").c_str()),
            0);
  WriteText(dir.File("lists/l.m3u"), "#EXTM3U\n#EXTINF:4,Nobody \xE2\x80\x93 Gone\n../music/missing.wav\n"
                                     "#EXTINF:4,Band \xE2\x80\x93 Tone\n../music/./b.wav\n");
  const std::string script = dir.File("session.sh");
  WriteText(script, R"SH(set -u
dest=org.mpris.MediaPlayer2.zbplayer
get() { dbus-send --session --print-reply --dest=$dest /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:$1 2>/dev/null | tail -n +2 | tr -s ' \n' ' '; }
cd "$ELSEWHERE"
launched=$(date +%s%N)
"$PLAYER" ../lists/l.m3u &
player=$!
# Timed from the moment the player is up (on the bus): its start-up is not what is measured.
for i in $(seq 200); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner string:$dest 2>/dev/null | grep -q "boolean true" && break
  sleep 0.02
done
start=$(date +%s%N)
playing=""
for i in $(seq 200); do
  status=$(get PlaybackStatus)
  metadata=$(get Metadata)
  case "$status|$metadata" in
    *Playing*b.wav*) playing=$(( ($(date +%s%N) - start) / 1000000 )); break ;;
  esac
  sleep 0.05
done
{
  echo "playing after ms: ${playing:-never}"
  echo "up after ms: $(( (start - launched) / 1000000 ))"
  echo "status: $status"
  echo "metadata: $metadata"
} > "$OUT/answers.txt"
sleep 1
dbus-send --session --print-reply --dest=$dest /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Quit >/dev/null
for i in $(seq 100); do kill -0 $player 2>/dev/null || break; sleep 0.1; done
kill -0 $player 2>/dev/null && { echo "still running: yes" >> "$OUT/answers.txt"; kill $player; }
true
)SH");
  QProcess run;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ZIMBAR_HOME"), QString::fromStdString(dir.File("home")));
  env.insert(QStringLiteral("HOME"), QString::fromStdString(dir.File("h")));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File("h/.config")));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.File("run")));
  env.insert(QStringLiteral("ZIMBAR_SHARE_DIR"), QStringLiteral(ZIMBAR_BIN_DIR "/../share/zimbar"));
  env.insert(QStringLiteral("ZIMBAR_AUDIO_OUT"), QString::fromStdString("wav:" + dir.File("heard.wav")));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("OUT"), QString::fromStdString(dir.Path()));
  env.insert(QStringLiteral("ELSEWHERE"), QString::fromStdString(dir.File("elsewhere")));
  env.insert(QStringLiteral("PLAYER"), QStringLiteral(ZIMBAR_BIN_DIR "/zbplayer"));
  env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  run.setProcessEnvironment(env);
  run.setProcessChannelMode(QProcess::ForwardedChannels);
  run.start(QStringLiteral("dbus-run-session"), {QStringLiteral("--"), QStringLiteral("bash"), QString::fromStdString(script)});
  ASSERT_TRUE(run.waitForFinished(60000));

  const std::string answers = ReadText(dir.File("answers.txt"));
  SCOPED_TRACE(answers);
  const std::string after = Answer(answers, "playing after ms");
  ASSERT_NE(after, "never") << "the entry after the missing one did not play";
  std::printf("the entry after the missing one played %s ms after the player was up (%s ms after its start)\n",
              after.c_str(), Answer(answers, "up after ms").c_str());
  EXPECT_LT(std::stoi(after), 3000) << "the missing entry held the list up";
  EXPECT_NE(Answer(answers, "metadata").find("Band \xE2\x80\x93 Tone"), std::string::npos) << "the list's title";
  EXPECT_EQ(Answer(answers, "still running"), "") << "Quit did not end the player";
  // What was heard is the tone of b.wav.
  const std::string heard = ReadText(dir.File("heard.wav"));
  EXPECT_GT(heard.size(), 44u + 44100u * 4u / 2u) << "less than half a second was heard";
  // The list was saved with absolute paths, resolved against the list's folder.
  auto saved = ReadPlayListEntries(dir.File("home/zbplayerdef.pls"));
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved.Value().size(), 2u);
  EXPECT_EQ(saved.Value()[0].location, dir.File("music/missing.wav"));
  EXPECT_EQ(saved.Value()[1].location, dir.File("music/b.wav"));
  EXPECT_EQ(saved.Value()[1].title, "Band \xE2\x80\x93 Tone");
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  g_display = display && *display;
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
