// Tests of the image file the desktop is given for the entry playing: an embedded cover
// written privately once per image, old ones cleaned up, else a cover beside the file.
#include "player/control/now_playing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "common/paths.h"
#include "tests/common/temp_dir.h"

namespace {

CoverImage Image(int n, const char* mimeType = "image/jpeg") {
  std::vector<uint8_t> data(100 + n);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + n);
  return CoverImage{mimeType, data};
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) names.insert(item.path().filename().string());
  return names;
}

mode_t Mode(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

}  // namespace

// Catches a cover readable by other users, written again for every entry of an album,
// covers piling up without end (or the one in use removed), a temporary file left behind,
// and a failure that leaves a half-written file.
TEST(CoverArtFile, WrittenPrivatelyOncePerImageAndOldOnesRemoved) {
  TempDir dir;
  const std::string folder = dir.File("run/zbplayer-covers");
  const std::string first = WriteCoverArtFile(folder, Image(1));
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(ExtractFileDir(first), folder + "/");
  EXPECT_TRUE(first.ends_with(".jpg"));
  EXPECT_TRUE(ReadBytes(first) == Image(1).data);
  EXPECT_EQ(Mode(first), 0600u);
  EXPECT_EQ(Mode(folder), 0700u);
  EXPECT_EQ(WriteCoverArtFile(folder, Image(1)), first) << "one image, one file";
  EXPECT_EQ(Names(folder).size(), 1u);
  const std::string png = WriteCoverArtFile(folder, Image(2, "image/png"));
  EXPECT_TRUE(png.ends_with(".png"));
  EXPECT_NE(png, first);

  std::string last;
  for (int n = 3; n < 3 + int(kKeptCoverFiles) + 4; ++n) last = WriteCoverArtFile(folder, Image(n));
  const std::set<std::string> left = Names(folder);
  EXPECT_EQ(left.size(), kKeptCoverFiles);
  EXPECT_TRUE(left.contains(ExtractFileName(last))) << "the cover in use stays";
  for (const std::string& name : left) EXPECT_TRUE(name.starts_with("cover-")) << name << ": a temporary file left";

  // A folder that cannot be made: nothing written, nothing left.
  const std::string blocked = dir.File("file");
  WriteText(blocked, "x");
  EXPECT_EQ(WriteCoverArtFile(blocked + "/covers", Image(1)), "");
  EXPECT_EQ(WriteCoverArtFile(folder, CoverImage{"image/jpeg", {}}), "") << "no image, no file";
}

// Catches names matched in one case only, the order of preference ignored, a folder named
// like a cover taken, a stream's "folder" searched, and the embedded cover not preferred.
TEST(CoverArtFile, ACoverBesideTheFileServesWhenNoneIsEmbedded) {
  TempDir dir;
  ASSERT_TRUE(CreateDirectories(dir.File("album")));
  const std::string entry = dir.File("album/01.flac");
  WriteText(entry, "x");
  EXPECT_EQ(CoverImageBeside(entry), "");
  WriteText(dir.File("album/Front.JPG"), "front");
  EXPECT_EQ(CoverImageBeside(entry), dir.File("album/Front.JPG"));
  WriteText(dir.File("album/FOLDER.jpg"), "folder");
  EXPECT_EQ(CoverImageBeside(entry), dir.File("album/FOLDER.jpg"));
  ASSERT_TRUE(CreateDirectories(dir.File("album/Cover.jpg")));
  EXPECT_EQ(CoverImageBeside(entry), dir.File("album/FOLDER.jpg")) << "a folder is no image";
  WriteText(dir.File("album/cover.PNG"), "png");
  EXPECT_EQ(CoverImageBeside(entry), dir.File("album/cover.PNG"));
  EXPECT_EQ(CoverImageBeside("http://radio.example/live/cover.jpg"), "");
  EXPECT_EQ(CoverArtPath("http://radio.example/live", Image(1)), "");

  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.File("run").c_str());
  ASSERT_TRUE(CreateDirectories(dir.File("run")));
  EXPECT_EQ(CoverArtFolder(), dir.File("run/zbplayer-covers/"));
  const std::string embedded = CoverArtPath(entry, Image(5));
  EXPECT_EQ(ExtractFileDir(embedded), dir.File("run/zbplayer-covers/"));
  EXPECT_EQ(CoverArtPath(entry, std::nullopt), dir.File("album/cover.PNG"));

  // Without a runtime folder the user's cache folder holds them.
  ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
  ScopedEnv cache("XDG_CACHE_HOME", dir.File("cache").c_str());
  EXPECT_EQ(CoverArtFolder(), dir.File("cache/zbplayer/covers/"));
}
