// The maker's desktop shortcut, made once per program version.
#include "maker/jobs/maker_shortcut.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/cdaccess/disc_image_builder.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

// Catches a shortcut made on every start, one never made, a version stored although the
// shortcut could not be written, and an entry that a desktop would not start.
TEST(MakerShortcut, MadeOnceForThisVersion) {
  testcd::TempDir dir;
  const std::string desktop = dir.Path() + "/Desktop";
  std::filesystem::create_directories(desktop);
  SettingsTable settings;
  auto made = CreateMakerShortcutOnce(settings, desktop, "/opt/zb/lib/zimbar/zbmaker");
  ASSERT_TRUE(made);
  EXPECT_TRUE(made.Value());
  EXPECT_EQ(settings.version, 66369);
  const std::string path = desktop + "/Zimbar MP3 Maker.desktop";
  const std::string text = ReadText(path);
  EXPECT_NE(text.find("Exec=\"/opt/zb/lib/zimbar/zbmaker\" %F\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Name=Zimbar MP3 Maker\n"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);

  std::filesystem::remove(path);
  made = CreateMakerShortcutOnce(settings, desktop, "/opt/zb/lib/zimbar/zbmaker");
  ASSERT_TRUE(made);
  EXPECT_FALSE(made.Value());
  EXPECT_FALSE(std::filesystem::exists(path));

  // A desktop folder that cannot take the file: the next start tries again.
  SettingsTable fresh;
  std::filesystem::create_directories(dir.Path() + "/ro");
  chmod((dir.Path() + "/ro").c_str(), 0500);
  if (geteuid() != 0) {
    EXPECT_FALSE(CreateMakerShortcutOnce(fresh, dir.Path() + "/ro", "/x/zbmaker"));
    EXPECT_EQ(fresh.version, 0);
  }
  chmod((dir.Path() + "/ro").c_str(), 0700);
}

// Catches the desktop folder of user-dirs.dirs ignored or its $HOME left unexpanded.
TEST(MakerShortcut, DesktopFolderFromUserDirs) {
  testcd::TempDir dir;
  const testcd::ScopedEnv home("HOME", dir.Path());
  const testcd::ScopedEnv config("XDG_CONFIG_HOME", dir.Path() + "/cfg");
  EXPECT_EQ(DesktopFolder(), dir.Path() + "/Desktop/");
  std::filesystem::create_directories(dir.Path() + "/cfg");
  std::ofstream(dir.Path() + "/cfg/user-dirs.dirs") << "# x\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
  EXPECT_EQ(DesktopFolder(), dir.Path() + "/Schreibtisch/");
}
