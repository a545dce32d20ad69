// Where list entries come from: URLs typed in, folders collected, the command line, list
// files and files dropped on the windows. Nothing here opens anything that could block:
// names are looked at with stat, and list files are read only when they are regular files.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "player/playlist/play_list_file.h"

// A name beginning with "http://", "https://" or "ftp://" (any case).
bool IsStreamUrl(std::string_view name);
// The file name's extension equals ext (given with its dot) without regard to case.
bool HasExtension(std::string_view path, std::string_view ext);

// Add URL: the typed line without its leading spaces; empty adds nothing, an HTTP or FTP
// address is taken, anything else is refused with kUrlRefusedMessage, and an address
// longer than a list entry can be with kUrlTooLongMessage.
struct TypedUrl {
  enum class Kind { Empty, Accepted, Refused, TooLong };
  Kind kind = Kind::Empty;
  std::string url;
};
TypedUrl CheckTypedUrl(std::string_view line);
inline constexpr const char* kUrlRefusedMessage = "URL Must be HTTP or FTP";
inline constexpr const char* kUrlTooLongMessage = "URL too long: a play list entry has at most 4095 characters";

// Asked between folders and files by the collecting functions below: true ends the work
// early (what was gathered so far is returned).
using Cancelled = std::function<bool()>;

// Entries gathered for the list, and what was refused on the way, as lines a person
// reads (each names the file, and the line of a list file, that was left out).
struct GatheredEntries {
  GatheredEntries() = default;
  explicit GatheredEntries(std::vector<std::string> e, std::vector<std::string> n = {}, std::vector<ListEntry> d = {})
      : entries(std::move(e)), notices(std::move(n)), described(std::move(d)) {}
  std::vector<std::string> entries;
  std::vector<std::string> notices;
  // What list files told of some of the entries (titles, lengths).
  std::vector<ListEntry> described;
};

// The extensions of the audio files the list takes (any case): ".mp3", ".mp2", ".aac", ".wav",
// ".flac", ".ogg", ".oga", ".opus", ".m4a" and ".mp4". The engines choose by content; a name
// with another extension is not collected, given or dropped.

// Add Dir: the plain files of folder with one of those extensions, as full paths, sorted
// without regard to case (duplicates dropped); then each subfolder, sorted without regard
// to case, names beginning with "." skipped, the same way.
// A folder reached twice (through a link) is collected once; unreadable folders add
// nothing.
std::vector<std::string> CollectFolder(const std::string& folder, const Cancelled& cancelled = {});
// The entries of a list file (Load, a ".pls", ".m3u" or ".m3u8" given or dropped, the
// default list), relative ones resolved against the list's folder: lines
// too long to be an entry and a file that cannot be read are told in the notices; with
// missingIsQuiet a file that does not exist is no notice (the default list of a first run).
GatheredEntries ListFileEntries(const std::string& path, bool missingIsQuiet = false);
// The entries the command line gives, argument by argument: an HTTP(S) or FTP address; an
// existing audio file with one of the extensions above; the entries of an existing
// ".pls", ".m3u" or ".m3u8" list; the files of an existing folder, collected as Add Dir
// does. Paths and file:// URIs become absolute paths (against the working folder).
// Anything else (missing names, other files, an address too long for a list) is left
// out with a notice that names the argument.
GatheredEntries CommandLineEntries(const std::vector<std::string>& arguments, const Cancelled& cancelled = {});
// Whether any argument names an existing file or folder (a second start then takes over
// from the running player instead of only bringing it to the front).
bool NamesExistingPath(const std::vector<std::string>& arguments);
// Files and folders dropped on a window (paths or file:// URIs): audio files with one of
// the extensions above join, ".pls"/".m3u"/".m3u8" lists join with their entries, folders as
// Add Dir collects them; other files and names too long for a list are left out with a
// notice.
GatheredEntries DroppedEntries(const std::vector<std::string>& paths, const Cancelled& cancelled = {});
// Whether a dropped or handed-over name can give entries at all (an audio file, a list or
// a folder that exists): looked at without reading anything.
bool IsDroppable(const std::string& path);

// The list the player starts with: the command line's entries, or, without arguments,
// those of the default list (fromDefaultList then tells that the stored index applies).
// Arguments that give nothing leave the list empty (argumentsGiven), their notices say
// why.
struct StartupEntries {
  GatheredEntries gathered;
  bool fromDefaultList = false;
  bool argumentsGiven = false;
};
StartupEntries GatherStartupEntries(const std::vector<std::string>& arguments, const std::string& defaultListPath,
                                    const Cancelled& cancelled = {});
