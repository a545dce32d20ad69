// Tests of where list entries point: absolute paths and file:// URIs.
#include "player/playlist/entry_location.h"

#include <gtest/gtest.h>

// Catches "." and ".." kept in stored paths, a relative path taken as it is, and file://
// URIs not decoded (or decoded from another host).
TEST(EntryLocation, AbsolutePathsAndFileUris) {
  EXPECT_EQ(AbsolutePath("a/../b/./c.mp3", "/base/"), "/base/b/c.mp3");
  EXPECT_EQ(AbsolutePath("/x//y/../../../z.mp3"), "/z.mp3");
  EXPECT_EQ(AbsolutePath("..", "/"), "/");
  EXPECT_EQ(FileUriPath("file:///m/a%20b%23.mp3"), "/m/a b#.mp3");
  EXPECT_EQ(FileUriPath("FILE://localhost/m/%C3%A9.mp3"), "/m/\xC3\xA9.mp3");
  EXPECT_EQ(FileUriPath("file://otherhost/m/a.mp3"), std::nullopt);
  EXPECT_EQ(FileUriPath("file:///m/a%00.mp3"), std::nullopt);
  EXPECT_EQ(FileUriPath("/m/a.mp3"), std::nullopt);
  EXPECT_EQ(ResolveEntry("http://h/a/../b"), "http://h/a/../b") << "URLs stay as they are";
  EXPECT_EQ(ResolveEntry("mms://h/live", "/music"), "mms://h/live");
  EXPECT_EQ(ResolveEntry("a://b.mp3", "/music"), "a://b.mp3");
  EXPECT_EQ(ResolveEntry("1a://b.mp3", "/music"), "/music/1a:/b.mp3") << "no scheme: a folder named \"1a:\"";
  EXPECT_EQ(ResolveEntry("file:///m/x%2Fy.mp3"), "/m/x/y.mp3");
  EXPECT_EQ(ResolveEntry("sub/../a.mp3", "/music"), "/music/a.mp3");
}

