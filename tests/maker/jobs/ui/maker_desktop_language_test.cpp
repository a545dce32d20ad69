// End-to-end test of the language of zbmaker's window on a real X server: a first start
// (no language loaded yet) follows the desktop's language.
#include <gtest/gtest.h>

#include "maker_desktop_support.h"

using namespace maker_desktop;

// Catches a first start with LANG=de_DE.UTF-8 that shows the English texts (the German
// mnemonics then do nothing: Alt+O, E opens "Einstellungen", the window "zbmaker-Optionen";
// Alt+D, B is "Datei", "Beenden"), or one that makes the choice for the user by writing a
// Language.DAT.
TEST_F(MakerDesktop, AFirstStartFollowsTheDesktopLanguage) {
  Maker maker(dir);
  maker.SetEnvironment(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
  QProcess* p = maker.Start(dir.Path(), {});
  const QString window = FindMainWindow(20);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  EXPECT_FALSE(DismissErrorBox(1)) << "a box for the missing CD drive";
  Screenshot("language-de-main");

  // Optionen, Einstellungen: the options window.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+o"), QStringLiteral("e")}));
  const QString options = WaitForWindow(QStringLiteral("^zbmaker-Optionen$"), 10);
  ASSERT_FALSE(options.isEmpty()) << "Alt+O, E did not open the options window titled in German: no German menu";
  Screenshot("language-de-options");
  ASSERT_TRUE(Focus(options));
  ASSERT_TRUE(PressKeys({QStringLiteral("Escape")}));
  ASSERT_TRUE(WaitForWindowGone(QStringLiteral("^zbmaker-Optionen$"), 10));

  // Datei, Beenden: the program ends as a close ends it.
  ASSERT_TRUE(Focus(window));
  ASSERT_TRUE(PressKeys({QStringLiteral("alt+d"), QStringLiteral("b")}));
  ASSERT_TRUE(p->waitForFinished(15000)) << "Alt+D, B did not end the program: no German menu";
  EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p->exitCode(), 0);
  EXPECT_TRUE(FileExists(maker.SettingsPath())) << "the settings were not saved";
  EXPECT_FALSE(FileExists(dir.File("home/Language.DAT"))) << "the desktop's language was stored as the user's choice";
}
