// List files: the bare list (one entry a line, written with CR LF), extended M3U and M3U8
// ("#EXTM3U", "#EXTINF:seconds,title" before an entry) and PLS ("[playlist]", FileN,
// TitleN, LengthN, NumberOfEntries, Version=2). Read with CR LF, CR or LF ending a line,
// whatever the name; written in the format the name's extension gives. The default list
// "zbplayerdef.pls" is one of them.
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

// An entry of a list file with what the file tells of it: the title and the length a
// player showed when it wrote the list ("" and -1 when the file does not say).
struct ListEntry {
  std::string location;  // a path or a URL
  std::string title;
  int durationSeconds = -1;
  bool operator==(const ListEntry&) const = default;
};

// The format a list file is written in: ".m3u" and ".m3u8" extended M3U (".m3u8" UTF-8
// by name, ".m3u" UTF-8 too, as the desktop's locale), ".pls" PLS, any other name the
// bare list.
enum class PlayListFormat { Bare, M3u, Pls };
PlayListFormat PlayListFormatOfName(std::string_view path);

// The entries of a list file's text: "[playlist]" as its first line gives the FileN
// values in the order they appear with the TitleN and LengthN of the same N; "#EXTM3U"
// (or m3uComments, for a file named ".m3u"/".m3u8") makes "#" lines comments, an
// "#EXTINF" the next entry's length and title; else each line is an entry. A title that
// is not UTF-8 is read as ISO-8859-1 (an old ".m3u"); locations are kept as the bytes
// written. Lines longer than kMaxEntryBytes are left out and, when refused is given,
// listed there.
std::vector<ListEntry> ParsePlayListEntries(std::string_view text, bool m3uComments = false,
                                            std::vector<RefusedLine>* refused = nullptr);
// The text of a list file in format; entries inside listFolder (given ending in '/') are
// written relative to it, so that the list moves with its files.
std::string PlayListFileText(const std::vector<ListEntry>& entries, PlayListFormat format,
                             std::string_view listFolder = {});

// The locations of a list file's text (ParsePlayListEntries). Empty lines hold no entry. A text in the usual
// "[playlist]" format of other players (File1=..., File2=...) gives its FileN values in
// the order they appear. Lines longer than kMaxEntryBytes are left out and, when refused
// is given, listed there.
std::vector<std::string> ParsePlayListText(std::string_view text, std::vector<RefusedLine>* refused = nullptr);
// The text of a list file: each entry followed by CR LF.
std::string PlayListText(const std::vector<std::string>& entries);

// Reads a list file; relative entries and file:// URIs become absolute paths, relative
// ones against the list file's folder. Only a regular file is read: it is opened without
// waiting (a FIFO would block the open until a writer comes) and anything else is refused
// (NotAFile).
Expected<std::vector<ListEntry>> ReadPlayListEntries(const std::string& path,
                                                     std::vector<RefusedLine>* refused = nullptr);
// The locations of ReadPlayListEntries.
Expected<std::vector<std::string>> ReadPlayListFile(const std::string& path,
                                                    std::vector<RefusedLine>* refused = nullptr);
// Writes the whole file under a temporary name, flushes it to the disk and renames it
// into place, so a failed write (a full disk) leaves the old list whole and no part of
// the new one behind. A path naming anything but a regular file (a FIFO, whose open would
// wait for a reader) is refused (NotAFile).
// The format is the one the name gives (PlayListFormatOfName).
Outcome WritePlayListRecords(const std::string& path, const std::vector<ListEntry>& entries);
Outcome WritePlayListFile(const std::string& path, const std::vector<std::string>& entries);

// "zbplayerdef.pls" in the per-user folder.
std::string DefaultPlayListPath();
