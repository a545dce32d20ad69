// End-to-end test of the CD information of two discs on a real X server: what is typed
// for one disc stays with that disc.
#include <gtest/gtest.h>

#include "maker_desktop_support.h"

using namespace maker_desktop;

namespace {

// The drive list from the keyboard: CD to WAV, then the drive list (the first control
// after the operation), one entry down or up.
bool ChooseDrive(const QString& window, const QString& move) {
  return Focus(window) && PressKeys({QStringLiteral("alt+d"), QStringLiteral("Tab"), move});
}

}  // namespace

// Catches the CD information typed for one disc (album, artist, year, a track name) that
// reaches the files of another disc chosen in the drive list afterwards, and a disc chosen
// again that does not get back what was typed for it.
TEST_F(MakerDesktop, TheCdInformationStaysWithItsDisc) {
  const std::vector<testcd::Audio> firstTracks{testcd::Tone(75 * 2, 330, 6000), testcd::Tone(75 * 3, 440, 7000)};
  const std::vector<testcd::Audio> secondTracks{testcd::Tone(75 * 3, 550, 8000), testcd::Tone(75 * 2, 660, 9000)};
  const testcd::DiscImage first(dir.Path(), "first", firstTracks);
  const testcd::DiscImage second(dir.Path(), "second", secondTracks);
  ::mkdir(dir.File("out").c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nDiscImages=" + first.CuePath() + "|" + second.CuePath() +
                                      "\nUseWinNTRawRead=1\nOutputPath=" + dir.File("out") +
                                      "\nUseFileNameFormat=1\nFileNamePattern=$artist$ - $title$ - $year$ - $trackname$\n");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";

  // The first disc: album, artist, year and the name of track 1, typed.
  QString info = OpenCdInformation(window);
  ASSERT_FALSE(info.isEmpty()) << "the CD information window did not open";
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+t")}));
  ASSERT_TRUE(TypeText(QStringLiteral("Erstes Album")));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+a")}));
  ASSERT_TRUE(TypeText(QStringLiteral("Erster Künstler")));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+y")}));
  ASSERT_TRUE(TypeText(QStringLiteral("1987")));
  // Enter on track 1 of the list (after the genre) asks for its name.
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+g"), QStringLiteral("Tab"), QStringLiteral("Home"), QStringLiteral("Down"),
                         QStringLiteral("Up"), QStringLiteral("Return")}));
  const QString prompt = WaitForWindow(QStringLiteral("^Track Name$"), 10);
  ASSERT_FALSE(prompt.isEmpty()) << "the track name prompt did not open";
  ASSERT_TRUE(Focus(prompt));
  ASSERT_TRUE(PressKeys({QStringLiteral("ctrl+a")}));
  ASSERT_TRUE(TypeText(QStringLiteral("Morgenlied")));
  ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^Track Name$"), 10)) << "the track name prompt did not close";
  ASSERT_TRUE(Focus(info));
  Screenshot("disc_first_typed");
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+o")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^CD/Tracks Information$"), 10)) << "OK did not close the window";

  // The second disc: its CD window is empty, its files carry nothing of the first.
  ASSERT_TRUE(ChooseDrive(window, QStringLiteral("Down")));
  info = OpenCdInformation(window);
  ASSERT_FALSE(info.isEmpty()) << "the CD information window did not open for the second disc";
  Screenshot("disc_second_empty");
  ASSERT_TRUE(PressKeys({QStringLiteral("Escape")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^CD/Tracks Information$"), 10)) << "Escape did not close the window";
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));
  const auto until = std::chrono::steady_clock::now() + 40s;
  while (std::chrono::steady_clock::now() < until &&
         !(FileNames(dir.File("out")).size() == 5 && WindowName(window).startsWith(kPlainCaption)))
    Sleep(0.2);
  const std::vector<std::string> secondFiles = FileNames(dir.File("out"));
  // The two tracks, then rip.cue, rip.log and rip.m3u.
  ASSERT_EQ(secondFiles.size(), 5u) << ::testing::PrintToString(secondFiles);
  for (const std::string& name : secondFiles)
    for (const char* trace : {"Erst", "Künstler", "1987", "Morgenlied"})
      EXPECT_EQ(name.find(trace), std::string::npos) << name << " carries the first disc's " << trace;
  // The files are in track order by name: each holds the second disc's track.
  EXPECT_TRUE(HoldsTrack(dir.File("out/" + secondFiles[0]), secondTracks[0]));
  EXPECT_TRUE(HoldsTrack(dir.File("out/" + secondFiles[1]), secondTracks[1]));

  // Back to the first disc: its information is back, and its files carry it.
  ASSERT_TRUE(ChooseDrive(window, QStringLiteral("Up")));
  info = OpenCdInformation(window);
  ASSERT_FALSE(info.isEmpty()) << "the CD information window did not open for the first disc again";
  Screenshot("disc_first_again");
  ASSERT_TRUE(PressKeys({QStringLiteral("Escape")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^CD/Tracks Information$"), 10)) << "Escape did not close the window";
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));
  const std::string named = "Erster Künstler - Erstes Album - 1987 - Morgenlied.wav";
  const std::string unnamed = "Erster Künstler - Erstes Album - 1987 - Track02.wav";
  std::vector<std::string> expected = secondFiles;
  expected.push_back(named);
  expected.push_back(unnamed);
  // Its rip log, cue sheet and play list, named after the album.
  for (const char* extension : {".cue", ".log", ".m3u"}) expected.push_back("Erstes Album" + std::string(extension));
  std::sort(expected.begin(), expected.end());
  WaitForRip(window, dir.File("out"), expected, 40);
  ASSERT_EQ(FileNames(dir.File("out")), expected);
  EXPECT_TRUE(HoldsTrack(dir.File("out/" + named), firstTracks[0]));
  EXPECT_TRUE(HoldsTrack(dir.File("out/" + unnamed), firstTracks[1]));
  EXPECT_TRUE(ClosesCleanly(p, window));
}
