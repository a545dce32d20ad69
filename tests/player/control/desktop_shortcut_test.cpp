// Tests of the desktop shortcut and of the single-instance socket's name.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/paths.h"
#include "player/control/desktop_shortcut.h"
#include "player/control/instance_name.h"
#include "tests/common/temp_dir.h"

// Catches a desktop folder taken from the wrong place or with $HOME left unexpanded.
TEST(DesktopShortcut, DesktopFolderFollowsUserDirs) {
  TempDir home;
  ScopedEnv h("HOME", home.Path().c_str());
  ScopedEnv x("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(DesktopFolder(), home.Path() + "/Desktop/");
  ASSERT_EQ(::mkdir(home.File(".config").c_str(), 0755), 0);
  WriteText(home.File(".config/user-dirs.dirs"), "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(DesktopFolder(), home.Path() + "/Schreibtisch/");
}

// Catches an Exec line that breaks on spaces or quotes in the program's path, and a
// shortcut that cannot be started because it is not executable.
TEST(DesktopShortcut, EntryStartsTheProgramWithItsFiles) {
  TempDir dir;
  const std::string program = "/opt/my \"apps\"/50%/zbplayer";
  ASSERT_TRUE(CreateDesktopShortcut(dir.Path(), PlayerDesktopEntry(), program));
  const std::string path = dir.File("Zimbar MP3 Player.desktop");
  const std::string text = ReadText(path);
  EXPECT_NE(text.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
  EXPECT_NE(text.find("Name=Zimbar MP3 Player\n"), std::string::npos);
  EXPECT_NE(text.find("Exec=\"/opt/my \\\\\"apps\\\\\"/50%%/zbplayer\" %F\n"), std::string::npos) << text;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
}

// Catches a shortcut made in a folder that is not there (a desktop folder created in
// the user's home unasked).
TEST(DesktopShortcut, MissingDesktopFolderIsLeftAlone) {
  TempDir dir;
  EXPECT_TRUE(CreateDesktopShortcut(dir.File("Desktop"), PlayerDesktopEntry(), "/bin/zbplayer"));
  EXPECT_FALSE(DirectoryExists(dir.File("Desktop")));
}

// Catches two players with different settings folders sharing one socket (a test's
// player would hand over to the user's), and a socket outside the runtime folder.
TEST(InstanceName, DiffersPerSettingsFolder) {
  TempDir runtime;
  ScopedEnv r("XDG_RUNTIME_DIR", runtime.Path().c_str());
  std::string a, b;
  {
    ScopedEnv z("ZIMBAR_HOME", "/tmp/one");
    a = InstanceSocketPath();
  }
  {
    ScopedEnv z("ZIMBAR_HOME", "/tmp/two");
    b = InstanceSocketPath();
  }
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(runtime.Path() + "/zimbar-ZBPL-", 0), 0u) << a;
}
