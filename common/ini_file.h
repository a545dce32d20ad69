// INI files with private-profile semantics: sections and keys matched without regard to
// case, ';' comments, everything else in the file kept when one key is written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/error.h"

// What a settings file may hold. The programs' own files are a few kilobytes and a few
// hundred lines; a file beyond these is no settings file (a mistake, or damage) and is
// refused whole rather than cut, so that nothing of it is lost by a later save.
inline constexpr size_t kMaxIniFileBytes = 1024 * 1024;
inline constexpr size_t kMaxIniLines = 16384;
inline constexpr size_t kMaxIniLineBytes = 65536;

// The cases of an INI file's errors. The subject is the file; the text is "Cannot read
// settings file /x/y.ini: Permission denied", "Not a settings file: /x/y.ini: it has more
// than 16384 lines" and so on; the reason is the system's text, or what is wrong with a
// refused file.
enum class IniFault {
  Read,     // the file exists but cannot be read (Io)
  Write,    // the new file cannot be written (Io)
  Rename,   // the new file cannot replace the old one (Io)
  Refused,  // the file is read but is no settings file: beyond the limits above (Format)
};

// The error of a case for `path`: errnum for Read, Write and Rename; for Refused what is
// wrong (`detail`), where (a line, when one is to blame) and the name the file was moved to
// (`keptAs`, empty when it was not moved).
Error IniFailure(IniFault fault, const std::string& path, int errnum, const std::string& detail = {},
                 ErrorPosition position = {}, const std::string& keptAs = {});

// An INI document in memory. Lines are kept as they were read (comments, blank lines,
// unknown lines, line ending style); a write changes only the line of its key, or adds
// the key at the end of its section, or adds the section at the end of the document.
// Names are compared ASCII-case-insensitively; the first of duplicate sections or keys
// wins, as with the platform's private-profile calls. Values are read with surrounding
// blanks removed and one pair of enclosing double quotes dropped; a value that would
// not survive that (leading or trailing blanks, enclosing quotes) is written in quotes.
// Line breaks inside a written value become blanks. A UTF-8 byte order mark at the start
// is skipped when reading and kept when writing.
class IniFile {
 public:
  IniFile() = default;
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  // Parses text (replaces the current content).
  static IniFile FromText(std::string_view text);
  // Reads the file at path. A missing file gives an empty document (defaults for every
  // read); any other failure to read is an error. A file beyond the limits above is
  // refused (IniFault::Refused) after reading at most kMaxIniFileBytes + 1 bytes of it, so a
  // huge file, or a link to an endless device, costs neither time nor memory; a FIFO in
  // the file's place is refused without waiting for a writer.
  static Expected<IniFile> Load(const std::string& path);
  // Load() for a program's own settings file, which the program saves over at the end:
  // a refused file is first renamed beside itself to "NAME.refused" (or a free variant,
  // see RenameToFreeName; the error's text names it), so that the new file the save writes from
  // the defaults replaces nothing of the user's. When the rename fails the file stays,
  // and a later Load() before the save refuses it again: the save then fails instead of
  // writing over it.
  static Expected<IniFile> LoadSettings(const std::string& path);
  // Writes the document to its path atomically: a temporary file in the same folder,
  // flushed to disk, then renamed over the old one. On failure the old file is untouched.
  // A path that is a symbolic link is written at the link's target (followed link by link,
  // so a link whose target does not exist yet stays a link too).
  Outcome Save() const;
  Outcome SaveAs(const std::string& path) const;

  const std::string& Path() const { return path_; }
  void SetPath(std::string path) { path_ = std::move(path); }
  std::string Text() const;

  // The raw value of a key, or nothing when the section or key is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The leading decimal number of the value (C library conversion: "12abc" is 12,
  // "abc" is 0); fallback when the key is missing.
  int ReadInt(std::string_view section, std::string_view key, int fallback) const;
  // True for a nonzero number, "true", "yes" or "on"; fallback when the key is missing.
  bool ReadFlag(std::string_view section, std::string_view key, bool fallback) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInt(std::string_view section, std::string_view key, int value);
  void WriteFlag(std::string_view section, std::string_view key, bool value);  // "1" or "0"
  // Returns whether the key existed.
  bool DeleteKey(std::string_view section, std::string_view key);
  bool DeleteSection(std::string_view section);

  bool HasSection(std::string_view section) const;
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(std::string_view section) const;

 private:
  struct Line {
    std::string text;     // the line as stored, without its line ending
    std::string section;  // for a section line: its name; else empty
    std::string key;      // for a key line: its name; else empty
    bool isSection = false;
    bool isKey = false;
  };
  std::optional<size_t> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(size_t sectionLine, std::string_view key) const;
  size_t SectionEnd(size_t sectionLine) const;

  std::string path_;
  std::vector<Line> lines_;
  bool bom_ = false;  // the file started with a UTF-8 byte order mark
  bool crlf_ = false;
  bool finalNewline_ = true;
};

// The text of an INI file, read as Load() reads it (missing: ENOENT as a Read error),
// refused beyond the limits above.
Expected<std::string> ReadIniText(const std::string& path);

// The leading decimal number of a stored value, clamped to int (C library conversion:
// "12abc" is 12, "abc" is 0), as integer settings read it.
int ProfileInt(std::string_view text);

// One-shot forms of the private-profile calls, each reading (and writing) the whole file.
std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view fallback);
int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key, int fallback);
Outcome WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value);
