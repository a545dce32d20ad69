// List files: plain text, one entry a line. Written with CR LF; read with CR LF, CR or LF
// ending a line. The default list "zbplayerdef.pls" and ".pls" files on the command line
// use the same format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

inline constexpr const char* kDefaultPlayListName = "zbplayerdef.pls";

struct PlayListFileError {
  enum class Kind { Read, Write };
  Kind kind = Kind::Read;
  std::string path;
  int errnum = 0;
  std::string Message() const;  // "Cannot read play list /x.pls: No such file or directory"
};

// The entries of a list file's text. Empty lines hold no entry. A text in the usual
// "[playlist]" format of other players (File1=..., File2=...) gives its FileN values in
// the order they appear.
std::vector<std::string> ParsePlayListText(std::string_view text);
// The text of a list file: each entry followed by CR LF.
std::string PlayListText(const std::vector<std::string>& entries);

Result<std::vector<std::string>, PlayListFileError> ReadPlayListFile(const std::string& path);
// Writes the whole file under a temporary name and renames it into place, so a failed
// write leaves the old list as it was.
Status<PlayListFileError> WritePlayListFile(const std::string& path, const std::vector<std::string>& entries);

// "zbplayerdef.pls" in the per-user folder.
std::string DefaultPlayListPath();
