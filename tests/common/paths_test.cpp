// Tests of path splitting, joining, extension changes, the per-user folder and folder creation.
#include "common/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "tests/common/temp_dir.h"

namespace {

// Sets an environment variable for the life of the object, restoring the old state after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace

// Catches wrong splits at the edges: no extension, dots in folder names, trailing slash,
// hidden files, several dots, root files and bare names. The parts must rebuild the path.
TEST(Paths, SplitHandlesEdgeCases) {
  struct Case {
    const char* path;
    const char* dir;
    const char* name;
    const char* ext;
  };
  const Case cases[] = {
      {"/music/song.wav", "/music/", "song", ".wav"},
      {"/music/song", "/music/", "song", ""},
      {"/my.music/song", "/my.music/", "song", ""},
      {"/my.music/song.tar.gz", "/my.music/", "song.tar", ".gz"},
      {"/music/album/", "/music/album/", "", ""},
      {"/home/u/.x", "/home/u/", ".x", ""},
      {"/home/u/.x.ini", "/home/u/", ".x", ".ini"},
      {"song.", "", "song", "."},
      {"song.mp3", "", "song", ".mp3"},
      {"/track.tmp", "/", "track", ".tmp"},
      {"/a/..", "/a/", "..", ""},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    const SplitPath parts = SplitFilePath(c.path);
    EXPECT_EQ(parts.drive, "") << c.path;
    EXPECT_EQ(parts.dir, c.dir) << c.path;
    EXPECT_EQ(parts.name, c.name) << c.path;
    EXPECT_EQ(parts.ext, c.ext) << c.path;
    EXPECT_EQ(parts.drive + parts.dir + parts.name + parts.ext, c.path);
  }
  EXPECT_EQ(ExtractFileName("/a.b/c.d"), "c.d");
  EXPECT_EQ(ExtractBaseName("/a.b/c.d"), "c");
  EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
  EXPECT_EQ(ExtractFileDir("c.d"), "");
}

// Catches an extension change that lands in a folder name or drops the name of a hidden file.
TEST(Paths, ChangeFileExtReplacesOrAdds) {
  EXPECT_EQ(ChangeFileExt("/m/track01.tmp", ".mp3"), "/m/track01.mp3");
  EXPECT_EQ(ChangeFileExt("/m.d/track01", ".mp3"), "/m.d/track01.mp3");
  EXPECT_EQ(ChangeFileExt("/m/.hidden", ".wav"), "/m/.hidden.wav");
  EXPECT_EQ(ChangeFileExt("/m/a.b.c", ""), "/m/a.b");
}

// Catches doubled or missing separators when joining.
TEST(Paths, JoinPutsExactlyOneSlash) {
  EXPECT_EQ(JoinPath("/out", "a.wav"), "/out/a.wav");
  EXPECT_EQ(JoinPath("/out/", "a.wav"), "/out/a.wav");
  EXPECT_EQ(JoinPath("/out/", "/a.wav"), "/out/a.wav");
  EXPECT_EQ(JoinPath("", "a.wav"), "a.wav");
  EXPECT_EQ(WithTrailingSlash("/x"), "/x/");
  EXPECT_EQ(WithTrailingSlash(""), "");
}

// Catches the wrong order of the per-user folder's sources.
TEST(Paths, UserFolderPrefersZimbarHomeThenXdgThenHome) {
  ScopedEnv zimbar("ZIMBAR_HOME", "/z/home");
  ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
  ScopedEnv home("HOME", "/h");
  EXPECT_EQ(UserFolder(), "/z/home/");
  {
    ScopedEnv noZimbar("ZIMBAR_HOME", "");
    EXPECT_EQ(UserFolder(), "/xdg/zimbar/");
    ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(UserFolder(), "/h/.config/zimbar/");
    // A relative XDG value is invalid by its own rules and ignored.
    ScopedEnv relative("XDG_CONFIG_HOME", "rel");
    EXPECT_EQ(UserFolder(), "/h/.config/zimbar/");
  }
}

// Catches a shipped file shadowing the user's own copy, or the shipped folder not found
// relative to the install.
TEST(Paths, DataFilesPreferTheUserCopy) {
  TempDir dir;
  ScopedEnv zimbar("ZIMBAR_HOME", (dir.Path() + "/user").c_str());
  {
    ScopedEnv share("ZIMBAR_SHARE_DIR", nullptr);
    EXPECT_EQ(SharedDataFolder(), ZIMBAR_BIN_DIR "/../../share/zimbar/");
  }
  ScopedEnv share("ZIMBAR_SHARE_DIR", (dir.Path() + "/share").c_str());
  EXPECT_EQ(SharedDataFolder(), dir.Path() + "/share/");
  EXPECT_EQ(FindDataFile("skins/default/main.bmp"), dir.Path() + "/share/skins/default/main.bmp");
  ASSERT_TRUE(CreateDirectories(dir.Path() + "/user/skins/default"));
  WriteText(dir.Path() + "/user/skins/default/main.bmp", "BM");
  EXPECT_EQ(FindDataFile("skins/default/main.bmp"), dir.Path() + "/user/skins/default/main.bmp");
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
  EXPECT_TRUE(FileExists(dir.File("file")));
  EXPECT_FALSE(DirectoryExists(dir.File("file")));
  auto blocked = CreateDirectories(dir.File("file/sub"));
  ASSERT_FALSE(blocked);
  EXPECT_EQ(blocked.Error().path, dir.File("file"));
  EXPECT_NE(blocked.Error().Message().find("Cannot create folder"), std::string::npos);
}
