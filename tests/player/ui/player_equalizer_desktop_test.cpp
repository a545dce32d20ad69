// End-to-end test of the equalizer in zbplayer on the real X server: the same stored
// slider settings change an MP3, a WAV and an AAC file alike. Each file is played by a
// player of its own through the wav: capture output (which records one output from its
// start, so one file per start), sped up.
#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>

#include "tests/common/temp_dir.h"
#include "tests/outside/zbdecode/player_media.h"

namespace {

bool g_servers = false;

constexpr uint32_t kRate = 44100;
constexpr double kSeconds = 4;
// Band 0 (up to a 64th of the rate, 689 Hz) and band 2 (1378 to 2067 Hz), away from the
// band edges.
constexpr double kLow = 330, kHigh = 1720;

// Plays file in a zbplayer with its own settings folder, recorded into capture; returns
// the samples heard.
std::vector<uint8_t> PlayThroughPlayer(const TempDir& dir, const std::string& file, const std::string& ini,
                                       const std::string& capture) {
  const std::string home = dir.File("home-" + file.substr(file.rfind('.') + 1));
  ::mkdir(home.c_str(), 0755);
  WriteText(home + "/zbplayer.ini", "[Player]\nPlayerFormTop=100\nPlayerFormLeft=100\n" + ini);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ZIMBAR_HOME"), QString::fromStdString(home));
  env.insert(QStringLiteral("HOME"), QString::fromStdString(home));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(home + "/.config"));
  env.insert(QStringLiteral("ZIMBAR_SHARE_DIR"), QStringLiteral(ZIMBAR_BIN_DIR "/../share/zimbar"));
  env.insert(QStringLiteral("ZIMBAR_AUDIO_OUT"), QString::fromStdString("wav:" + capture + ",speed=8"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  QProcess player;
  player.setProcessEnvironment(env);
  player.setProcessChannelMode(QProcess::ForwardedChannels);
  player.start(QStringLiteral(ZIMBAR_BIN_DIR "/zbplayer"), {QString::fromStdString(file)});
  // The whole file is in the capture once it holds all of the audio.
  const size_t whole = size_t(kSeconds * kRate) * 4;
  const bool heard = QTest::qWaitFor([&] { return ReadBytes(capture).size() >= whole; }, 30000);
  player.terminate();  // as by the close button
  EXPECT_TRUE(player.waitForFinished(10000));
  EXPECT_TRUE(heard) << file << " was not played to its end";
  return player_test::WavData(ReadBytes(capture));
}

// The level of the band-0 tone against the band-2 tone, in dB, over the file's middle.
double LowAgainstHigh(const std::vector<uint8_t>& pcm) {
  const size_t skip = kRate;  // past the start and before the end
  return 20 * std::log10(player_test::ToneLevel(pcm, 2, kRate, kLow, skip) /
                         player_test::ToneLevel(pcm, 2, kRate, kHigh, skip));
}

}  // namespace

// Catches WAV and AAC files that the equalizer leaves unchanged while it changes MP3
// (slider 0 at the bottom: band 0 cut by 24 dB), and an equalizer that needs a slider
// moved before it acts on a file started with it on.
TEST(PlayerEqualizerDesktop, StoredSlidersChangeMp3WavAndAacAlike) {
  if (!g_servers) {
    if (const char* s = std::getenv("ZIMBAR_TEST_SERVERS"); s && std::string(s) == "1")
      FAIL() << "ZIMBAR_TEST_SERVERS=1 but the X server is missing";
    GTEST_SKIP() << "needs DISPLAY; scripts/test.sh starts the X server";
  }
  TempDir dir;
  const std::string wav = dir.File("tones.wav");
  test_media::WriteFile(wav, player_test::ToneWav(kRate, 2, kSeconds, {kLow, kHigh}));
  const std::string mp3 = dir.File("tones.mp3"), aac = dir.File("tones.aac");
  int code = -1;
  test_media::Run("lame --quiet -b 192 '" + wav + "' '" + mp3 + "'", &code);
  ASSERT_EQ(code, 0);
  test_media::Run("ffmpeg -v error -y -i '" + wav + "' -c:a aac -b:a 192k -f adts '" + aac + "'", &code);
  ASSERT_EQ(code, 0);

  const std::string eq = "[EQ]\nEQEnabled=1\nEQ0=255\n";
  double cut[3] = {};
  const std::string files[3] = {mp3, wav, aac};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(files[i]);
    const std::vector<uint8_t> heard = PlayThroughPlayer(dir, files[i], eq, dir.File("heard" + std::to_string(i) + ".wav"));
    ASSERT_GE(heard.size(), size_t(kSeconds * kRate) * 4 - 4096 * 4);
    cut[i] = LowAgainstHigh(heard);
  }
  SCOPED_TRACE("band 0 against band 2: MP3 " + std::to_string(cut[0]) + " dB, WAV " + std::to_string(cut[1]) +
               " dB, AAC " + std::to_string(cut[2]) + " dB");
  EXPECT_NEAR(cut[0], -24, 2) << "the MP3 decoder's cut";
  EXPECT_NEAR(cut[1], cut[0], 1);
  EXPECT_NEAR(cut[2], cut[0], 1);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  g_servers = display && *display;
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
