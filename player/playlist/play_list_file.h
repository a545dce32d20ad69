// List files: plain text, one entry a line. Written with CR LF; read with CR LF, CR or LF
// ending a line. The default list "zbplayerdef.pls" and ".pls" files on the command line
// use the same format.
#pragma once

#include <limits.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

inline constexpr const char* kDefaultPlayListName = "zbplayerdef.pls";

// The longest entry a list takes: the longest path the system accepts (PATH_MAX counts
// the terminating NUL). Longer lines are no file anyone can open, and a text that long
// costs the windows dearly to lay out.
inline constexpr size_t kMaxEntryBytes = PATH_MAX - 1;
inline bool EntryTooLong(std::string_view entry) { return entry.size() > kMaxEntryBytes; }

// Whether a list file was being read or written when it failed.
enum class PlayListAccess { Read, Write };
// A FIFO, a device or a folder named as a list: never read or written as one (its open
// could block, its end never come).
enum class PlayListFileFault { NotAFile };

// "Cannot read play list /x.pls: No such file or directory" (Io, errnum); errnum 0 gives
// "Cannot write play list /x.pls: it is not a regular file" (Unsupported, NotAFile).
Error PlayListFileFailure(PlayListAccess access, const std::string& path, int errnum);

// A line of a list file left out because it is longer than kMaxEntryBytes.
struct RefusedLine {
  size_t line = 0;   // counted from 1
  size_t bytes = 0;  // its length
  bool operator==(const RefusedLine&) const = default;
};
// "/x/l.pls, line 3: an entry of 102400 bytes is longer than a path can be (at most 4095
// bytes); it was left out".
std::string RefusedLineMessage(const std::string& path, const RefusedLine& refused);

// The entries of a list file's text. Empty lines hold no entry. A text in the usual
// "[playlist]" format of other players (File1=..., File2=...) gives its FileN values in
// the order they appear. Lines longer than kMaxEntryBytes are left out and, when refused
// is given, listed there.
std::vector<std::string> ParsePlayListText(std::string_view text, std::vector<RefusedLine>* refused = nullptr);
// The text of a list file: each entry followed by CR LF.
std::string PlayListText(const std::vector<std::string>& entries);

// Reads a list file. Only a regular file is read: it is opened without waiting (a FIFO
// would block the open until a writer comes) and anything else is refused (NotAFile).
Expected<std::vector<std::string>> ReadPlayListFile(const std::string& path,
                                                    std::vector<RefusedLine>* refused = nullptr);
// Writes the whole file under a temporary name, flushes it to the disk and renames it
// into place, so a failed write (a full disk) leaves the old list whole and no part of
// the new one behind. A path naming anything but a regular file (a FIFO, whose open would
// wait for a reader) is refused (NotAFile).
Outcome WritePlayListFile(const std::string& path, const std::vector<std::string>& entries);

// "zbplayerdef.pls" in the per-user folder.
std::string DefaultPlayListPath();
