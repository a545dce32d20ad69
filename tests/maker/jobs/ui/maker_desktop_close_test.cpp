// End-to-end tests of closing zbmaker's window during a run on a real X server: the close
// asks before it stops the run, No leaves the run going, Yes stops it and ends the program.
#include <gtest/gtest.h>

#include "maker_desktop_support.h"

using namespace maker_desktop;

// Catches a close during a run that stops it unasked (a rip of many minutes lost to a
// slip of the mouse), a No that still stops the run or leaves it unable to finish, a
// question when no run is going, and a Yes that does not stop the run, leaves the run's
// temporary WAV files behind or does not end the program with status 0.
TEST_F(MakerDesktop, ACloseDuringARunAsksNoLetsItFinishYesStopsIt) {
  const std::vector<testcd::Audio> tracks{testcd::Tone(75 * 3, 392, 7000), testcd::Tone(75 * 3, 494, 8000),
                                          testcd::Tone(75 * 3, 587, 9000)};
  const testcd::DiscImage image(dir.Path(), "disc", tracks);
  ::mkdir(dir.File("out").c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nDiscImages=" + image.CuePath() + "\nUseWinNTRawRead=1\nOutputPath=" +
                                      dir.File("out") + "\n");
  // A slow drive: each track takes a second or two to read, time for the question.
  const testcd::ScopedEnv slow("ZIMBAR_CD_SIMULATE", "delay=150");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";

  // CD to MP3 of every track (the choice at start), closed during the first read: No.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));
  ASSERT_TRUE(IsProgressTitle(WaitForTitle(window, 20, IsProgressTitle))) << "the run did not start";
  ASSERT_TRUE(CloseAndAnswer(window, QStringLiteral("alt+n"), "close_question"));
  ASSERT_EQ(p->state(), QProcess::Running) << "No ended the program";
  const std::vector<std::string> mp3s{"Track01.mp3", "Track02.mp3", "Track03.mp3"};
  // The run's end writes its rip log, cue sheet and play list beside the tracks.
  std::vector<std::string> inFolder = mp3s;
  for (const char* name : {"rip.cue", "rip.log", "rip.m3u"}) inFolder.push_back(name);
  WaitForRip(window, dir.File("out"), inFolder, 60);
  ASSERT_EQ(FileNames(dir.File("out")), inFolder) << "the run did not go on to its end after No";
  for (const std::string& name : mp3s) EXPECT_NEAR(Mp3Seconds(dir.File("out/" + name)), 3.0, 0.2) << name;

  // The same CD to MP3 run again (the run left its tracks selected), over an emptied
  // folder, closed during its reads: Yes. The reads it leaves unencoded are temporary WAV
  // files of the run and must go with it.
  for (const std::string& name : inFolder) std::filesystem::remove(dir.File("out/" + name));
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));
  ASSERT_TRUE(IsProgressTitle(WaitForTitle(window, 20, IsProgressTitle))) << "the second run did not start";
  ASSERT_TRUE(CloseAndAnswer(window, QStringLiteral("alt+y"), "close_question_yes"));
  const auto closed = std::chrono::steady_clock::now();
  ASSERT_TRUE(p->waitForFinished(10000)) << "the program did not end after Yes";
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - closed).count(), 5.0)
      << "Yes let the run go on";
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
  EXPECT_FALSE(FileExists(dir.File("out/Track03.mp3"))) << "the run went on to its last track after Yes";
  for (const std::string& name : FileNames(dir.File("out")))
    EXPECT_FALSE(name.ends_with(".wav") || name.ends_with(".tmp")) << "a temporary WAV was left: " << name;
  EXPECT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
}
