// Tests of skin folders: the check for the three files and installing a chosen skin.
#include "player/skin/skin_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/paths.h"
#include "tests/common/temp_dir.h"

namespace {

void WriteSkin(const std::string& folder, const std::string& tag, bool withEq = true) {
  ::mkdir(folder.c_str(), 0755);
  WriteText(folder + "/display.Ini", "[display]\n; " + tag + "\n");
  WriteText(folder + "/main.bmp", "main " + tag);
  if (withEq) WriteText(folder + "/eq.bmp", "eq " + tag);
}

}  // namespace

// Catches a folder without eq.bmp that is installed anyway, or an error that changes the
// active skin or does not say why.
TEST(SkinFolder, FolderMissingAFileIsRefusedAndKeepsTheSkin) {
  TempDir dir;
  WriteSkin(dir.File("active"), "old");
  WriteSkin(dir.File("chosen"), "new", /*withEq=*/false);
  const auto result = InstallSkin(dir.File("chosen"), dir.File("active"));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Error().Message(), "Specified directory does not contain display information.");
  EXPECT_EQ(ReadText(dir.File("active/main.bmp")), "main old");
  EXPECT_FALSE(HoldsSkin(dir.File("chosen")));
}

// Catches a copy that misses one of the three files, fails on a missing target folder,
// or leaves temporary files behind.
TEST(SkinFolder, InstallCopiesTheThreeFilesIntoANewFolder) {
  TempDir dir;
  WriteSkin(dir.File("chosen"), "new");
  ASSERT_TRUE(InstallSkin(dir.File("chosen"), dir.File("user/skin/")));
  EXPECT_EQ(ReadText(dir.File("user/skin/display.Ini")), "[display]\n; new\n");
  EXPECT_EQ(ReadText(dir.File("user/skin/main.bmp")), "main new");
  EXPECT_EQ(ReadText(dir.File("user/skin/eq.bmp")), "eq new");
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.File("user/skin"))) ++files;
  EXPECT_EQ(files, 3u);
}

// Catches choosing the active folder itself, which a plain copy would truncate to nothing.
TEST(SkinFolder, ChoosingTheActiveFolderKeepsItsFiles) {
  TempDir dir;
  WriteSkin(dir.File("active"), "same");
  ASSERT_TRUE(InstallSkin(dir.File("active"), dir.File("active/")));
  EXPECT_EQ(ReadText(dir.File("active/main.bmp")), "main same");
}

// Catches a copy that fails half-way (a file that cannot be read) and leaves a mixed skin.
TEST(SkinFolder, AFailedCopyLeavesTheActiveSkinWhole) {
  TempDir dir;
  WriteSkin(dir.File("active"), "old");
  WriteSkin(dir.File("chosen"), "new");
  // Reading the start of a process's own memory file fails (EIO), for root too.
  ASSERT_EQ(::unlink(dir.File("chosen/eq.bmp").c_str()), 0);
  ASSERT_EQ(::symlink("/proc/self/mem", dir.File("chosen/eq.bmp").c_str()), 0);
  const auto result = InstallSkin(dir.File("chosen"), dir.File("active"));
  ASSERT_FALSE(result);
  EXPECT_NE(result.Error().Message().find("Cannot copy the skin file"), std::string::npos);
  EXPECT_EQ(ReadText(dir.File("active/main.bmp")), "main old");
  EXPECT_EQ(ReadText(dir.File("active/display.Ini")), "[display]\n; old\n");
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.File("active"))) ++files;
  EXPECT_EQ(files, 3u);
}

// Catches an active skin read from an incomplete per-user copy instead of the shipped one.
TEST(SkinFolder, ActiveSkinIsTheUserCopyOnlyWhenComplete) {
  TempDir dir;
  ScopedEnv home("ZIMBAR_HOME", dir.File("home").c_str());
  ScopedEnv share("ZIMBAR_SHARE_DIR", dir.File("share").c_str());
  EXPECT_EQ(ActiveSkinFolder(), dir.File("share/skins/default/"));
  ::mkdir(dir.File("home").c_str(), 0755);
  WriteSkin(dir.File("home/skin"), "mine", /*withEq=*/false);
  EXPECT_EQ(ActiveSkinFolder(), dir.File("share/skins/default/"));
  WriteText(dir.File("home/skin/eq.bmp"), "eq");
  EXPECT_EQ(ActiveSkinFolder(), dir.File("home/skin/"));
}

// Catches a list without the user's own skins or without the shipped ones, folders that
// are not skins listed (a file, an incomplete folder, a hidden one), and an order that
// changes from one run to the next.
TEST(SkinFolder, InstalledSkinsAreTheShippedThenTheUsersOwn) {
  TempDir dir;
  ScopedEnv home("ZIMBAR_HOME", dir.File("home").c_str());
  ScopedEnv share("ZIMBAR_SHARE_DIR", dir.File("share").c_str());
  EXPECT_TRUE(InstalledSkins().empty());
  ASSERT_TRUE(CreateDirectories(dir.File("share/skins")));
  ASSERT_TRUE(CreateDirectories(dir.File("home/skins")));
  WriteSkin(dir.File("share/skins/default"), "d");
  WriteSkin(dir.File("share/skins/daylight"), "l");
  WriteSkin(dir.File("home/skins/mine"), "m");
  WriteSkin(dir.File("home/skins/half"), "h", /*withEq=*/false);
  WriteSkin(dir.File("home/skins/.hidden"), "x");
  WriteText(dir.File("home/skins/notes.txt"), "not a skin");
  WriteSkin(dir.File("home/skin"), "active");  // the active copy is no skin of its own
  EXPECT_EQ(InstalledSkins(), (std::vector<InstalledSkin>{{"daylight", dir.File("share/skins/daylight/"), false},
                                                          {"default", dir.File("share/skins/default/"), false},
                                                          {"mine", dir.File("home/skins/mine/"), true}}));
}
