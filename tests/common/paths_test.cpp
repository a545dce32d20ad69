// Tests of path splitting, joining, extension changes, the per-user folder and folder creation.
#include "common/paths.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/common/temp_dir.h"

// Catches wrong splits at the edges: no extension, dots in folder names, trailing slash,
// hidden files, several dots, root files and bare names. The parts must rebuild the path.
TEST(Paths, SplitHandlesEdgeCases) {
  const struct {
    const char *path, *dir, *name, *ext;
  } cases[] = {
      {"/music/song.wav", "/music/", "song", ".wav"},
      {"/my.music/song", "/my.music/", "song", ""},
      {"/my.music/song.tar.gz", "/my.music/", "song.tar", ".gz"},
      {"/music/album/", "/music/album/", "", ""},
      {"/home/u/.x", "/home/u/", ".x", ""},
      {"/home/u/.x.ini", "/home/u/", ".x", ".ini"},
      {"song.", "", "song", "."},
      {"/track.tmp", "/", "track", ".tmp"},
      {"/a/..", "/a/", "..", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    const SplitPath parts = SplitFilePath(c.path);
    EXPECT_EQ(parts.drive + "|" + parts.dir + "|" + parts.name + "|" + parts.ext,
              std::string("|") + c.dir + "|" + c.name + "|" + c.ext) << c.path;
  }
  EXPECT_EQ(ExtractFileName("/a.b/c.d"), "c.d");
  EXPECT_EQ(ExtractBaseName("/a.b/c.d"), "c");
}

// Catches an extension change that lands in a folder name or drops the name of a hidden
// file, and doubled or missing separators when joining.
TEST(Paths, ChangeFileExtAndJoinKeepTheNameWhole) {
  EXPECT_EQ(ChangeFileExt("/m/track01.tmp", ".mp3"), "/m/track01.mp3");
  EXPECT_EQ(ChangeFileExt("/m.d/track01", ".mp3"), "/m.d/track01.mp3");
  EXPECT_EQ(ChangeFileExt("/m/.hidden", ".wav"), "/m/.hidden.wav");
  EXPECT_EQ(JoinPath("/out", "a.wav"), "/out/a.wav");
  EXPECT_EQ(JoinPath("/out/", "/a.wav"), "/out/a.wav");
  EXPECT_EQ(JoinPath("", "a.wav"), "a.wav");
}

// Catches the wrong order of the per-user folder's sources.
TEST(Paths, UserFolderPrefersZimbarHomeThenXdgThenHome) {
  ScopedEnv zimbar("ZIMBAR_HOME", "/z/home");
  ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
  ScopedEnv home("HOME", "/h");
  EXPECT_EQ(UserFolder(), "/z/home/");
  ScopedEnv noZimbar("ZIMBAR_HOME", "");
  EXPECT_EQ(UserFolder(), "/xdg/zimbar/");
  ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(UserFolder(), "/h/.config/zimbar/");
  ScopedEnv relative("XDG_CONFIG_HOME", "rel");  // invalid by its own rules and ignored
  EXPECT_EQ(UserFolder(), "/h/.config/zimbar/");
}

// Catches a shipped file shadowing the user's own copy, or the shipped folder not found
// relative to the install.
// Catches a music folder that is not the one the desktop names (XDG_MUSIC_DIR with $HOME
// expanded, the last line counting), a trailing '/', and a folder switched off (set to the
// home folder), missing or relative that is used instead of ~/Music.
TEST(Paths, UserMusicFolderIsTheDesktopsElseHomeMusic) {
  TempDir dir;
  ScopedEnv home("HOME", dir.Path().c_str());
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("config").c_str());
  EXPECT_EQ(UserMusicFolder(), dir.File("Music")) << "no user-dirs.dirs";
  ASSERT_TRUE(CreateDirectories(dir.File("config")));
  const std::string dirs = dir.File("config/user-dirs.dirs");
  WriteText(dirs, "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                  "XDG_MUSIC_DIR=\"$HOME/Alt\"\nXDG_MUSIC_DIR=\"$HOME/Musik/\"\n");
  EXPECT_EQ(UserMusicFolder(), dir.File("Musik"));
  WriteText(dirs, "XDG_MUSIC_DIR=\"/srv/audio\"\n");
  EXPECT_EQ(UserMusicFolder(), "/srv/audio");
  for (const char* off : {"XDG_MUSIC_DIR=\"$HOME/\"\n", "XDG_MUSIC_DIR=\"Musik\"\n", "XDG_MUSIC_DIR=\"\"\n"}) {
    WriteText(dirs, off);
    EXPECT_EQ(UserMusicFolder(), dir.File("Music")) << off;
  }
  ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
  ASSERT_TRUE(CreateDirectories(dir.File(".config")));
  WriteText(dir.File(".config/user-dirs.dirs"), "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
  EXPECT_EQ(UserMusicFolder(), dir.File("Tunes")) << "~/.config/user-dirs.dirs";
}

TEST(Paths, DataFilesPreferTheUserCopy) {
  TempDir dir;
  ScopedEnv zimbar("ZIMBAR_HOME", (dir.Path() + "/user").c_str());
  {
    ScopedEnv share("ZIMBAR_SHARE_DIR", nullptr);
    EXPECT_EQ(SharedDataFolder(), ShippedDataFolderBeside(ZIMBAR_BIN_DIR "/"));
  }
  ScopedEnv share("ZIMBAR_SHARE_DIR", (dir.Path() + "/share").c_str());
  EXPECT_EQ(FindDataFile("skins/default/main.bmp"), dir.Path() + "/share/skins/default/main.bmp");
  ASSERT_TRUE(CreateDirectories(dir.Path() + "/user/skins/default"));
  WriteText(dir.Path() + "/user/skins/default/main.bmp", "BM");
  EXPECT_EQ(FindDataFile("skins/default/main.bmp"), dir.Path() + "/user/skins/default/main.bmp");
}

// Catches shipped data looked up only in the build tree's layout or only in the install's:
// an installed program (<prefix>/lib/zimbar/) must find <prefix>/share/zimbar/, a program
// in the build tree's bin/ the share/zimbar/ the build made beside it.
TEST(Paths, ShippedDataIsFoundBesideInstalledAndBuiltPrograms) {
  TempDir dir;
  ASSERT_TRUE(CreateDirectories(dir.File("prefix/lib/zimbar")));
  EXPECT_EQ(ShippedDataFolderBeside(dir.File("prefix/lib/zimbar/")), dir.File("prefix/lib/zimbar/../../share/zimbar/"))
      << "neither folder exists: the install's is named";
  ASSERT_TRUE(CreateDirectories(dir.File("prefix/share/zimbar/skins")));
  EXPECT_EQ(ShippedDataFolderBeside(dir.File("prefix/lib/zimbar")), dir.File("prefix/lib/zimbar/../../share/zimbar/"));
  ASSERT_TRUE(CreateDirectories(dir.File("build/bin")));
  ASSERT_TRUE(CreateDirectories(dir.File("build/share/zimbar/skins")));
  EXPECT_EQ(ShippedDataFolderBeside(dir.File("build/bin/")), dir.File("build/bin/../share/zimbar/"));
}

// Catches a creation that stops after one level, fails on existing folders, or passes
// over a file standing where a folder should be.
TEST(Paths, CreateDirectoriesMakesEveryLevel) {
  TempDir dir;
  const std::string deep = dir.File("a/b/c/d/");
  ASSERT_TRUE(CreateDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(CreateDirectories(deep));
  WriteText(dir.File("file"), "x");
  EXPECT_FALSE(DirectoryExists(dir.File("file")));
  auto blocked = CreateDirectories(dir.File("file/sub"));
  ASSERT_FALSE(blocked);
  EXPECT_EQ(blocked.Error().subject, dir.File("file"));
  EXPECT_NE(blocked.Error().Message().find("Cannot create folder"), std::string::npos);
}

// Catches a file name longer than the file systems take (the create fails with "File name
// too long"), a cut inside a UTF-8 character, or a lost extension.
TEST(Paths, LongNamesAreCutOnACharacterBoundaryKeepingTheExtension) {
  const std::string umlauts = [] {
    std::string s;
    for (int i = 0; i < 200; ++i) s += "\xC3\xBC";  // 400 bytes of "ü"
    return s;
  }();
  const std::string fitted = FitFileName(umlauts + ".mp3");
  EXPECT_EQ(fitted.size(), 254u);  // 125 whole characters and the extension
  EXPECT_EQ(fitted.substr(250), ".mp3");
  EXPECT_EQ(fitted.substr(0, 250), umlauts.substr(0, 250));
  EXPECT_EQ(FitFileName(std::string(300, 'a')), std::string(255, 'a'));
  EXPECT_EQ(FitFileName("short.wav"), "short.wav");
  EXPECT_EQ(FitFileName(std::string(255, 'b')), std::string(255, 'b'));
  // A dot far from the end starts no extension.
  EXPECT_EQ(FitFileName("a." + std::string(300, 'c')).size(), 255u);
  EXPECT_EQ(FitPathComponents("/out/" + std::string(300, 'd') + "/" + umlauts + ".tmp"),
            "/out/" + std::string(255, 'd') + "/" + umlauts.substr(0, 250) + ".tmp");
  EXPECT_EQ(FitPathComponents("rel/a//b/"), "rel/a//b/");
  // Changing to a longer extension keeps the name within the limit.
  EXPECT_EQ(ChangeFileExt("/m/" + std::string(254, 'e'), ".wav"), "/m/" + std::string(251, 'e') + ".wav");
}
