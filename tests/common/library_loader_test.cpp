// Tests of loading outside libraries by name.
#include "common/library_loader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "tests/common/temp_dir.h"

namespace {

class ScopedLibDir {
 public:
  explicit ScopedLibDir(const char* value) {
    if (value) setenv("ZIMBAR_LIB_DIR", value, 1);
    else unsetenv("ZIMBAR_LIB_DIR");
  }
  ~ScopedLibDir() { unsetenv("ZIMBAR_LIB_DIR"); }
};

int Identity(const OutsideLibrary& library) {
  auto identity = library.Entry<int (*)()>("FakeIdentity");
  return identity ? identity() : -1;
}

}  // namespace

// Catches a search order that prefers the program's folder over $ZIMBAR_LIB_DIR, which
// would make every fake in the tests invisible.
TEST(LibraryLoader, LibDirComesBeforeProgramFolder) {
  {
    ScopedLibDir dir(ZIMBAR_FAKES_DIR "/common");
    OutsideLibrary library = OutsideLibrary::Open("zbcommonfake");
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_EQ(Identity(library), 1);
    EXPECT_EQ(library.Path(), ZIMBAR_FAKES_DIR "/common/libzbcommonfake.so");
  }
  {
    ScopedLibDir dir(ZIMBAR_FAKES_DIR "/common-alt");
    OutsideLibrary library = OutsideLibrary::Open("zbcommonfake");
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_EQ(Identity(library), 2);
  }
  {
    // Empty or a folder without the library: the program's folder is next.
    ScopedLibDir dir("");
    OutsideLibrary library = OutsideLibrary::Open("zbcommonfake");
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_EQ(Identity(library), 3);
  }
  {
    ScopedLibDir dir("/nonexistent");
    OutsideLibrary library = OutsideLibrary::Open("zbcommonfake");
    EXPECT_EQ(Identity(library), 3);
  }
  EXPECT_EQ(ProgramFolder(), ZIMBAR_BIN_DIR "/");
}

// Catches a missing library or entry that crashes or is reported as loaded.
TEST(LibraryLoader, MissingLibraryAndEntryAreOrdinaryFailures) {
  ScopedLibDir dir(ZIMBAR_FAKES_DIR "/common");
  OutsideLibrary missing = OutsideLibrary::Open("zbnosuchlibrary");
  EXPECT_FALSE(missing.Loaded());
  EXPECT_NE(missing.LoadError().find("libzbnosuchlibrary.so"), std::string::npos);
  EXPECT_EQ(missing.Symbol("FakeAdd"), nullptr);

  OutsideLibrary library = OutsideLibrary::Open("zbcommonfake");
  ASSERT_TRUE(library.Loaded());
  EXPECT_EQ(library.Symbol("NoSuchEntry"), nullptr);
  auto add = library.Entry<int (*)(int, int)>("FakeAdd");
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(2, 3), 5);
}

// Catches a file that is not a library being passed over silently or crashing the load.
TEST(LibraryLoader, BrokenLibraryReportsWhy) {
  TempDir temp;
  WriteText(temp.File("libzbbroken.so"), "this is not an ELF file");
  ScopedLibDir dir(temp.Path().c_str());
  OutsideLibrary broken = OutsideLibrary::Open("zbbroken");
  EXPECT_FALSE(broken.Loaded());
  EXPECT_FALSE(broken.LoadError().empty());
}

// Catches a double close or a lost handle when the object is moved or closed early.
TEST(LibraryLoader, MoveTransfersOwnership) {
  ScopedLibDir dir(ZIMBAR_FAKES_DIR "/common");
  OutsideLibrary first = OutsideLibrary::Open("zbcommonfake");
  ASSERT_TRUE(first.Loaded());
  OutsideLibrary second(std::move(first));
  EXPECT_FALSE(first.Loaded());
  EXPECT_TRUE(second.Loaded());
  OutsideLibrary third;
  third = std::move(second);
  EXPECT_EQ(Identity(third), 1);
  third.Close();
  EXPECT_FALSE(third.Loaded());
  EXPECT_EQ(third.Symbol("FakeAdd"), nullptr);
}
