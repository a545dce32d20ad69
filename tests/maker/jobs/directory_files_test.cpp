// The files Add Directory collects from a folder tree.
#include "maker/jobs/directory_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/cdaccess/disc_image_builder.h"

namespace {

void Touch(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "x";
}

}  // namespace

// Catches the second pass for ".aac" mixed into the first, a sub-folder's files listed
// before the folder's own, an extension compared with its case, and hidden folders or
// other extensions taken in.
TEST(DirectoryFiles, Mp3ToWavTakesMp3FilesFirstThenAac) {
  testcd::TempDir dir;
  const std::string d = dir.Path();
  Touch(d + "/b.aac");
  Touch(d + "/a.MP3");
  Touch(d + "/sub/c.mp3");
  Touch(d + "/sub/d.AAC");
  Touch(d + "/notes.txt");
  Touch(d + "/.hidden/e.mp3");
  Touch(d + "/x.wav");
  EXPECT_EQ(CollectOperationFiles(d, Operation::MP32WAV),
            (std::vector<std::string>{d + "/a.MP3", d + "/sub/c.mp3", d + "/b.aac", d + "/sub/d.AAC"}));
  EXPECT_EQ(CollectOperationFiles(d + "/", Operation::WAV2MP3), (std::vector<std::string>{d + "/x.wav"}));
}

// Catches the FLAC, Ogg, Opus and M4A files passed over by decoding's folder walk, mixed
// into the MP3 or AAC passes, or taken in by encoding's.
TEST(DirectoryFiles, Mp3ToWavTakesTheOtherFormatsInAThirdPass) {
  testcd::TempDir dir;
  const std::string d = dir.Path();
  for (const char* name : {"a.mp3", "b.aac", "c.flac", "d.OGG", "e.oga", "f.opus", "g.m4a", "h.mp4", "sub/i.Flac",
                           "j.wma", "k.wav"})
    Touch(d + "/" + name);
  EXPECT_EQ(CollectOperationFiles(d, Operation::MP32WAV),
            (std::vector<std::string>{d + "/a.mp3", d + "/b.aac", d + "/c.flac", d + "/d.OGG", d + "/e.oga",
                                      d + "/f.opus", d + "/g.m4a", d + "/h.mp4", d + "/sub/i.Flac"}));
  EXPECT_EQ(CollectOperationFiles(d, Operation::WAV2MP3), (std::vector<std::string>{d + "/k.wav"}));
}

// Catches files sorted with their case (Z before a), sub-folders walked in the file
// system's order, and a link back up the tree that makes the walk endless.
TEST(DirectoryFiles, SortedWithoutCaseAndDepthFirstWithoutFollowingFolderLinks) {
  testcd::TempDir dir;
  const std::string d = dir.Path();
  Touch(d + "/Zed.wav");
  Touch(d + "/alpha.wav");
  Touch(d + "/b2/two.wav");
  Touch(d + "/B1/one.wav");
  Touch(d + "/B1/deep/three.wav");
  ASSERT_EQ(symlink(d.c_str(), (d + "/B1/loop").c_str()), 0);
  EXPECT_EQ(CollectFolderFiles(d, ".wav"),
            (std::vector<std::string>{d + "/alpha.wav", d + "/Zed.wav", d + "/B1/one.wav", d + "/B1/deep/three.wav",
                                      d + "/b2/two.wav"}));
}

// Catches a folder that cannot be read turning into a crash or stray rows.
TEST(DirectoryFiles, MissingFolderGivesNothing) {
  EXPECT_TRUE(CollectFolderFiles("/nonexistent/zimbar/folder", ".wav").empty());
}
