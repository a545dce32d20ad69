// End-to-end tests of what a run of zbmaker's window leaves behind on a real X server: a CD
// to MP3 rip cancelled with the Cancel button, and the one question about existing outputs
// before a run.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "maker_desktop_support.h"

using namespace maker_desktop;

namespace {

// The names in `folder` that end with one of `endings`.
std::vector<std::string> NamesEndingWith(const std::string& folder, const std::vector<std::string>& endings) {
  std::vector<std::string> found;
  for (const std::string& name : FileNames(folder))
    for (const std::string& ending : endings)
      if (name.ends_with(ending)) found.push_back(name);
  return found;
}

bool HasName(const std::string& folder, const std::string& name) {
  const std::vector<std::string> names = FileNames(folder);
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

// Catches a cancelled CD to MP3 rip that leaves the full-size WAV of the tracks read but not
// yet encoded in the output folder (renamed to ".wav", or as ".tmp"): with fresh settings
// the run removes them. Track 1 is long, so that tracks 2 and 3 are read and wait for the
// encoder when Cancel is pressed.
TEST_F(MakerDesktop, CancelledCdToMp3RunLeavesNoWav) {
  const std::vector<testcd::Audio> tracks{testcd::Tone(75 * 240, 440, 8000), testcd::Tone(75 * 8, 660, 8000),
                                          testcd::Tone(75 * 8, 880, 8000)};
  const testcd::DiscImage image(dir.Path(), "disc", tracks);
  const std::string out = dir.File("out");
  ::mkdir(out.c_str(), 0755);
  Maker maker(dir);
  WriteText(maker.SettingsPath(),
            "[Options]\nDiscImages=" + image.CuePath() + "\nUseWinNTRawRead=1\nOutputPath=" + out + "\n");
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  Sleep(1.0);
  ASSERT_TRUE(Focus(window));
  // CD to MP3 is the operation of fresh settings; Start from its mnemonic.
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));

  // Waits until the reads of tracks 2 and 3 are in place while track 1 is still encoded.
  const auto until = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < until && NamesEndingWith(out, {"03.tmp"}).empty()) Sleep(0.05);
  ASSERT_FALSE(NamesEndingWith(out, {"03.tmp"}).empty()) << ::testing::PrintToString(FileNames(out));
  ASSERT_TRUE(NamesEndingWith(out, {"01.mp3"}).empty()) << "track 1 was encoded before the reads ended; make it longer";
  // No screenshot here: the encode of track 1 would go on meanwhile and might end.
  ASSERT_TRUE(Focus(window));
  // Cancel from its mnemonic.
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+n")}));
  const QString idle = WaitForTitle(window, 30, [](const QString& title) { return title.startsWith(kPlainCaption); });
  ASSERT_TRUE(idle.startsWith(kPlainCaption)) << "the run did not end after Cancel: " << idle.toStdString();
  Screenshot("cd_to_mp3_cancelled");
  EXPECT_EQ(NamesEndingWith(out, {".wav", ".tmp"}), std::vector<std::string>{}) << ::testing::PrintToString(FileNames(out));
  // The encode that Cancel cut short is kept as an unfinished ".part.mp3" (the default of
  // CD2MP3DelMP3OnError), never under the final name.
  EXPECT_TRUE(NamesEndingWith(out, {"01.mp3"}).empty()) << ::testing::PrintToString(FileNames(out));
  EXPECT_TRUE(ClosesCleanly(p, window));
}

// Catches an overwrite question per file in the middle of a run, a "Keep all" that still
// replaces or re-encodes, and a "Replace all" that does not replace: the command line's two
// files, both with an MP3 already, bring one question; Keep All leaves both MP3s as they
// were; Start again and Replace All encodes both.
TEST_F(MakerDesktop, ExistingOutputsAreAskedAboutOnceBeforeTheRun) {
  ToneWav(dir.File("in/a.wav"), 2, 440);
  ToneWav(dir.File("in/b.wav"), 2, 660);
  WriteText(dir.File("in/a.mp3"), "an older a");
  WriteText(dir.File("in/b.mp3"), "an older b");
  Maker maker(dir);
  WriteText(maker.SettingsPath(), "[Options]\nConfirmOverwrite=1\n");
  QProcess* p = maker.Start(dir.File("in"), {QStringLiteral("a.wav"), QStringLiteral("b.wav")});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";

  const QString question = WaitForWindow(QStringLiteral("^zbmaker Confirmation$"), 20);
  ASSERT_FALSE(question.isEmpty()) << "no question about the existing outputs";
  Screenshot("existing_outputs_question");
  ASSERT_TRUE(Focus(question));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+k")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^zbmaker Confirmation$"), 10)) << "Keep All did not close the box";
  const QString idle = WaitForTitle(window, 20, [](const QString& title) { return title.startsWith(kPlainCaption); });
  EXPECT_TRUE(idle.startsWith(kPlainCaption)) << idle.toStdString();
  EXPECT_TRUE(WaitForWindow(QStringLiteral("^zbmaker Confirmation$"), 2).isEmpty()) << "a second question";
  EXPECT_EQ(ReadText(dir.File("in/a.mp3")), "an older a");
  EXPECT_EQ(ReadText(dir.File("in/b.mp3")), "an older b");

  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+s")}));
  const QString again = WaitForWindow(QStringLiteral("^zbmaker Confirmation$"), 20);
  ASSERT_FALSE(again.isEmpty()) << "Start again asked nothing";
  ASSERT_TRUE(Focus(again));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+r")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^zbmaker Confirmation$"), 10)) << "Replace All did not close the box";
  const auto until = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < until &&
         !(Mp3Seconds(dir.File("in/a.mp3")) > 0 && Mp3Seconds(dir.File("in/b.mp3")) > 0 &&
           WindowName(window).startsWith(kPlainCaption)))
    Sleep(0.2);
  EXPECT_NEAR(Mp3Seconds(dir.File("in/a.mp3")), 2.0, 0.2);
  EXPECT_NEAR(Mp3Seconds(dir.File("in/b.mp3")), 2.0, 0.2);
  EXPECT_FALSE(HasName(dir.File("in"), "a.part.mp3"));
  EXPECT_TRUE(WaitForWindow(QStringLiteral("^zbmaker Confirmation$"), 1).isEmpty()) << "a question during the run";
  EXPECT_TRUE(ClosesCleanly(p, window));
}
