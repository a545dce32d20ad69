// Where the maker finds itself and the data it ships (the manual, the language files).
#pragma once

#include <string>

// The running program's path (/proc/self/exe), empty when unknown.
std::string MakerProgramPath();

// A shipped file by its path below share/zimbar/ ("help/index.html"): the install's copy;
// for a program run from the build tree (bin/) without $ZIMBAR_SHARE_DIR, the copy the
// build made beside it when the install has none.
std::string ShippedMakerFile(const std::string& relativePath);
