// file:// URIs read as paths.
#include "common/file_uri_path.h"

#include <gtest/gtest.h>

// Catches escapes left encoded (a space as %20: "no such file"), UTF-8 escapes decoded
// byte by byte wrongly, the host part taken into the path, a URI of another computer
// taken for a local file, and broken escapes (or an escaped NUL that would cut the path)
// accepted.
TEST(FileUriPath, DecodesLocalUrisAndRefusesOthers) {
  struct Case {
    const char* uri;
    const char* path;  // nullptr: refused
  };
  const Case cases[] = {
      {"file:///music/a%20b/c.mp3", "/music/a b/c.mp3"},
      {"FILE:///x.wav", "/x.wav"},
      {"file://localhost/m%C3%BCsik/%23%25.aac", "/m\xC3\xBCsik/#%.aac"},
      {"file://LocalHost/plain", "/plain"},
      {"file:///with%2fslash", "/with/slash"},
      {"file:///unescaped space#and?marks", "/unescaped space#and?marks"},
      {"file://otherhost/music/a.mp3", nullptr},
      {"file://", nullptr},
      {"file:relative.mp3", nullptr},
      {"file:///bad%2", nullptr},
      {"file:///bad%zz", nullptr},
      {"file:///nul%00cut", nullptr},
      {"/music/a.mp3", nullptr},
      {"http://host/a.mp3", nullptr},
  };
  for (const Case& c : cases) {
    const auto path = FileUriPath(c.uri);
    if (c.path == nullptr) {
      EXPECT_FALSE(path) << c.uri << " gave " << *path;
    } else {
      ASSERT_TRUE(path) << c.uri;
      EXPECT_EQ(*path, c.path) << c.uri;
    }
  }
  EXPECT_EQ(LocalName("file:///a%20b"), "/a b");
  EXPECT_EQ(LocalName("/a%20b"), "/a%20b");  // a path stays as written
  EXPECT_EQ(LocalName("file://elsewhere/x"), "file://elsewhere/x");
  EXPECT_TRUE(IsFileUri("File:/x"));
  EXPECT_FALSE(IsFileUri("/file:x"));
}
