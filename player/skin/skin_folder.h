// Skin folders: the three files of a skin, where the active skin lives, and installing a
// chosen skin as the active one.
#pragma once

#include <string>
#include <vector>

#include "common/error.h"

inline constexpr const char* kMainBitmapName = "main.bmp";
inline constexpr const char* kEqualizerBitmapName = "eq.bmp";

struct SkinFiles {
  std::string displayIni;
  std::string mainBitmap;
  std::string eqBitmap;
  static SkinFiles In(const std::string& folder);
};

// "Specified directory does not contain display information.": a folder without the
// three files (Format; subject the folder).
Error SkinMissingFiles(const std::string& folder);
// "Cannot copy the skin file /x: reason" (Io; subject the file that could not be copied).
Error SkinCopyFailure(const std::string& path, int errnum);

// Whether the folder holds all three files.
bool HoldsSkin(const std::string& folder);

// The per-user copy of the active skin (created by InstallSkin), ending with '/'.
std::string UserSkinFolder();
// The shipped skin with the given name: skins/NAME/ of the shipped data folder (the
// install's share/zimbar/, or the copy the build made for a program run from the tree).
std::string ShippedSkinFolder(const std::string& name);
// Where the active skin is read from: the per-user copy when it holds all three files,
// else the shipped default skin.
std::string ActiveSkinFolder();

// Copies the three files of a chosen folder over the active skin in target (created when
// missing). Nothing changes when a file is missing. Each file is copied to a temporary file
// beside its destination first and the three are renamed into place only when all copies
// succeeded, so a failed copy (full disk, unreadable file) keeps the active skin whole.
// Choosing the target itself succeeds without copying.
Outcome InstallSkin(const std::string& chosenFolder, const std::string& targetFolder);

// A skin to choose from: a folder holding the three files.
struct InstalledSkin {
  std::string name;    // the folder's name
  std::string folder;  // ending with '/'
  bool own = false;    // the user's (under the per-user folder's "skins/"), else shipped
  bool operator==(const InstalledSkin&) const = default;
};
// The folder of the user's own skins: "skins/" of the per-user folder (each skin a
// folder of its own in it).
std::string OwnSkinsFolder();
// The shipped skins, then the user's own, each by name (byte order); folders without the
// three files are left out. An unreadable folder lists nothing.
std::vector<InstalledSkin> InstalledSkins();
