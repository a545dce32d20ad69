// Tests of loading outside libraries by name.
#include "common/library_loader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/common/temp_dir.h"

namespace {

int Identity(const OutsideLibrary& library) {
  auto identity = library.Entry<int (*)()>("FakeIdentity");
  return identity ? identity() : -1;
}

}  // namespace

// Catches a search order that prefers the program's folder over $ZIMBAR_LIB_DIR, which
// would make every fake in the tests invisible; an empty value or a folder without the
// library falls back to the program's folder.
TEST(LibraryLoader, LibDirComesBeforeProgramFolder) {
  const struct {
    const char* libDir;
    int identity;
  } cases[] = {{ZIMBAR_FAKES_DIR "/common", 1}, {ZIMBAR_FAKES_DIR "/common-alt", 2}, {"", 3}, {"/nonexistent", 3}};
  for (const auto& c : cases) {
    ScopedEnv dir("ZIMBAR_LIB_DIR", c.libDir);
    OutsideLibrary library = OutsideLibrary::Open("zbcommonfake");
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_EQ(Identity(library), c.identity) << c.libDir;
  }
  ScopedEnv dir("ZIMBAR_LIB_DIR", ZIMBAR_FAKES_DIR "/common");
  EXPECT_EQ(OutsideLibrary::Open("zbcommonfake").Path(), ZIMBAR_FAKES_DIR "/common/libzbcommonfake.so");
  EXPECT_EQ(ProgramFolder(), ZIMBAR_BIN_DIR "/");
}

// Catches a missing library, a file that is not a library, or a missing entry that crashes
// or is reported as loaded.
TEST(LibraryLoader, MissingLibraryAndEntryAreOrdinaryFailures) {
  TempDir temp;
  WriteText(temp.File("libzbbroken.so"), "this is not an ELF file");
  ScopedEnv dir("ZIMBAR_LIB_DIR", temp.Path().c_str());
  OutsideLibrary missing = OutsideLibrary::Open("zbnosuchlibrary");
  EXPECT_FALSE(missing.Loaded());
  EXPECT_NE(missing.LoadError().find("libzbnosuchlibrary.so"), std::string::npos);
  EXPECT_EQ(missing.Symbol("FakeAdd"), nullptr);
  OutsideLibrary broken = OutsideLibrary::Open("zbbroken");
  EXPECT_FALSE(broken.Loaded());
  EXPECT_FALSE(broken.LoadError().empty());

  ScopedEnv fakes("ZIMBAR_LIB_DIR", ZIMBAR_FAKES_DIR "/common");
  OutsideLibrary library = OutsideLibrary::Open("zbcommonfake");
  ASSERT_TRUE(library.Loaded());
  EXPECT_EQ(library.Symbol("NoSuchEntry"), nullptr);
  auto add = library.Entry<int (*)(int, int)>("FakeAdd");
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(2, 3), 5);
}

// Catches a missing library reported without its file name or without the folders that
// were searched, so the user cannot tell where to put it.
TEST(LibraryLoader, MissingLibraryNamesTheFileAndEveryFolderSearched) {
  TempDir temp;
  {
    ScopedEnv dir("ZIMBAR_LIB_DIR", temp.Path().c_str());
    EXPECT_EQ(OutsideLibrary::Open("zbnosuchlibrary").LoadError(),
              "libzbnosuchlibrary.so not found in $ZIMBAR_LIB_DIR (" + temp.Path() +
                  ") nor in the program's folder (" ZIMBAR_BIN_DIR "/)");
  }
  ScopedEnv unset("ZIMBAR_LIB_DIR", nullptr);
  EXPECT_EQ(OutsideLibrary::Open("zbnosuchlibrary").LoadError(),
            "libzbnosuchlibrary.so not found in the program's folder (" ZIMBAR_BIN_DIR
            "/); $ZIMBAR_LIB_DIR is not set");
}

// Catches a double close or a lost handle when the object is moved or closed early.
TEST(LibraryLoader, MoveTransfersOwnership) {
  ScopedEnv dir("ZIMBAR_LIB_DIR", ZIMBAR_FAKES_DIR "/common");
  OutsideLibrary first = OutsideLibrary::Open("zbcommonfake");
  OutsideLibrary second(std::move(first)), third;
  third = std::move(second);
  EXPECT_FALSE(first.Loaded() || second.Loaded());
  EXPECT_EQ(Identity(third), 1);
  third.Close();
  EXPECT_FALSE(third.Loaded());
  EXPECT_EQ(third.Symbol("FakeAdd"), nullptr);
}
