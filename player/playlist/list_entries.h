// Where list entries come from: URLs typed in, folders collected, the command line and
// files dropped on the windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A name beginning with "http://" or "ftp://" (any case).
bool IsStreamUrl(std::string_view name);
// The file name's extension equals ext (given with its dot) without regard to case.
bool HasExtension(std::string_view path, std::string_view ext);

// Add URL: the typed line without its leading spaces; empty adds nothing, an HTTP or FTP
// address is taken, anything else is refused with kUrlRefusedMessage.
struct TypedUrl {
  enum class Kind { Empty, Accepted, Refused };
  Kind kind = Kind::Empty;
  std::string url;
};
TypedUrl CheckTypedUrl(std::string_view line);
inline constexpr const char* kUrlRefusedMessage = "URL Must be HTTP or FTP";

// Add Dir: the plain files of folder whose extension is ".mp3" or ".aac" (any case), as
// full paths, sorted without regard to case (duplicates dropped); then each subfolder in
// the order the file system lists them, names beginning with "." skipped, the same way.
// A folder reached twice (through a link) is collected once; unreadable folders add
// nothing.
std::vector<std::string> CollectFolder(const std::string& folder);

// The entries the command line gives, argument by argument: an HTTP or FTP address; an
// existing ".mp3", ".aac" or ".wav" file (any case); the entries of an existing ".pls"
// list; the files of an existing folder, collected as Add Dir does. Anything else
// (missing names, other files) is skipped.
std::vector<std::string> CommandLineEntries(const std::vector<std::string>& arguments);
// Whether any argument names an existing file or folder (a second start then takes over
// from the running player instead of only bringing it to the front).
bool NamesExistingPath(const std::vector<std::string>& arguments);

// Files and folders dropped on a window: ".mp3"/".mp2"/".aac"/".wav" files join, ".pls"
// lists join with their entries, folders as Add Dir collects them; other files are left
// out.
std::vector<std::string> DroppedEntries(const std::vector<std::string>& paths);
