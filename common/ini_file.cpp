// IniFile: private-profile style INI documents, read whole and written atomically.
#include "common/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "common/unique_fd.h"

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The value part of a key line, as a read returns it.
std::string ValueOf(std::string_view line) {
  std::string_view value = Trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return std::string(value);
}

// The value as it must be stored so that ValueOf gives it back.
std::string StoredValue(std::string_view value) {
  std::string clean(value);
  for (char& c : clean)
    if (c == '\n' || c == '\r') c = ' ';
  const bool needsQuotes =
      !clean.empty() && (clean.front() == ' ' || clean.front() == '\t' || clean.back() == ' ' ||
                         clean.back() == '\t' || (clean.size() >= 2 && clean.front() == '"' && clean.back() == '"'));
  return needsQuotes ? "\"" + clean + "\"" : clean;
}

// The UTF-8 byte order mark some editors put at the start of a text file.
constexpr std::string_view kBom = "\xEF\xBB\xBF";

Failure<Error> Refused(const std::string& path, const std::string& detail, ErrorPosition position = {}) {
  return Fail(IniFailure(IniFault::Refused, path, 0, detail, position));
}

// Checks the line limits in one pass over the text: the number of lines and the length
// of each, so that no per-line structure is built for a text that is refused.
std::optional<Failure<Error>> LineLimitProblem(const std::string& path, std::string_view text) {
  size_t lines = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    if (++lines > kMaxIniLines)
      return Refused(path, "it has more than " + std::to_string(kMaxIniLines) + " lines", ErrorPosition::Line(lines));
    const size_t bytes = end - at - (end > at && text[end - 1] == '\r' ? 1 : 0);  // without its line ending
    if (bytes > kMaxIniLineBytes)
      return Refused(path,
                     "line " + std::to_string(lines) + " is longer than " + std::to_string(kMaxIniLineBytes) + " bytes",
                     ErrorPosition::Line(lines));
    at = end + 1;
  }
  return std::nullopt;
}

}  // namespace

Error IniFailure(IniFault fault, const std::string& path, int errnum, const std::string& detail, ErrorPosition position,
                 const std::string& keptAs) {
  Error error;
  if (fault == IniFault::Refused) {
    std::string text = "Not a settings file: " + path + ": " + detail;
    if (!keptAs.empty()) text += "; it was renamed to " + keptAs;
    error = Error(ErrorCategory::Format, position, std::move(text), detail, path);
  } else {
    const char* what = fault == IniFault::Read ? "Cannot read settings file " : "Cannot write settings file ";
    error = IoError(errnum, path, what + path);
  }
  error.WithCase(fault);
  return error;
}

Expected<std::string> ReadIniText(const std::string& path) {
  // Without blocking: a FIFO in the file's place would otherwise wait for a writer.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return Fail(IniFailure(IniFault::Read, path, errno));
  struct stat info{};
  if (::fstat(fd.Get(), &info) != 0) return Fail(IniFailure(IniFault::Read, path, errno));
  if (S_ISDIR(info.st_mode)) return Fail(IniFailure(IniFault::Read, path, EISDIR));
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return Refused(path, "it is not a regular file");
  const std::string tooLarge = "it is larger than " + std::to_string(kMaxIniFileBytes) + " bytes";
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > kMaxIniFileBytes) return Refused(path, tooLarge);
  // A device, or a file that grows while it is read, is read up to one byte past the limit.
  std::string text;
  char buffer[65536];
  while (text.size() <= kMaxIniFileBytes) {
    const ssize_t n = ::read(fd.Get(), buffer, std::min(sizeof buffer, kMaxIniFileBytes + 1 - text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(IniFailure(IniFault::Read, path, errno));
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  if (text.size() > kMaxIniFileBytes) return Refused(path, tooLarge);
  if (auto problem = LineLimitProblem(path, text)) return std::move(*problem);
  return text;
}

IniFile IniFile::FromText(std::string_view text) {
  IniFile ini;
  // A byte order mark would hide the first section; it is kept aside and written back.
  if (text.substr(0, kBom.size()) == kBom) {
    ini.bom_ = true;
    text.remove_prefix(kBom.size());
  }
  ini.crlf_ = text.find("\r\n") != std::string_view::npos;
  ini.finalNewline_ = text.empty() || text.back() == '\n';
  std::string current;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(at, end - at);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    at = end + 1;

    Line line;
    line.text = std::string(raw);
    const std::string_view body = Trim(raw);
    if (!body.empty() && body.front() == '[') {
      const size_t close = body.find(']');
      line.isSection = true;
      line.section = std::string(Trim(body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
    } else if (!body.empty() && body.front() != ';' && body.find('=') != std::string_view::npos) {
      line.isKey = true;
      line.key = std::string(Trim(body.substr(0, body.find('='))));
    }
    ini.lines_.push_back(std::move(line));
  }
  return ini;
}

Expected<IniFile> IniFile::Load(const std::string& path) {
  auto text = ReadIniText(path);
  if (!text) {
    if (text.Error().Is(IniFault::Read) && text.Error().errnum == ENOENT) {
      IniFile empty;
      empty.path_ = path;
      return empty;
    }
    return Fail(text.Error());
  }
  IniFile ini = FromText(text.Value());
  ini.path_ = path;
  return ini;
}

Expected<IniFile> IniFile::LoadSettings(const std::string& path) {
  auto ini = Load(path);
  if (ini || !ini.Error().Is(IniFault::Refused)) return ini;
  // The link itself when the path is one: the file it leads to is not touched.
  auto kept = RenameToFreeName(path, path + ".refused");
  if (!kept) return ini;
  const Error& error = ini.Error();
  return Fail(IniFailure(IniFault::Refused, path, 0, error.reason, error.position, kept.Value()));
}

std::string IniFile::Text() const {
  const char* newline = crlf_ ? "\r\n" : "\n";
  std::string text(bom_ ? kBom : std::string_view());
  for (size_t i = 0; i < lines_.size(); ++i) {
    text += lines_[i].text;
    if (i + 1 < lines_.size() || finalNewline_) text += newline;
  }
  return text;
}

Outcome IniFile::Save() const { return SaveAs(path_); }

Outcome IniFile::SaveAs(const std::string& givenPath) const {
  // A settings file that is a symbolic link (dotfiles kept elsewhere) is replaced at the
  // link's target, so the link stays; the old file stays whole until the new one is.
  auto created = OutputFile::Create(givenPath);
  if (!created) return Fail(IniFailure(IniFault::Write, created.Error().subject, created.Error().errnum));
  OutputFile out = std::move(created).Value();
  const std::string text = Text();
  if (!WriteAll(out.Fd(), text.data(), text.size()))
    return Fail(IniFailure(IniFault::Write, out.Path(), errno != 0 ? errno : EIO));
  if (auto committed = out.Commit(); !committed) {
    const bool renaming = committed.Error().Is(OutputFileFault::Replace);
    return Fail(IniFailure(renaming ? IniFault::Rename : IniFault::Write, out.Path(), committed.Error().errnum));
  }
  return Done{};
}

std::optional<size_t> IniFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].isSection && SameName(lines_[i].section, section)) return i;
  return std::nullopt;
}

size_t IniFile::SectionEnd(size_t sectionLine) const {
  size_t end = sectionLine + 1;
  while (end < lines_.size() && !lines_[end].isSection) ++end;
  return end;
}

std::optional<size_t> IniFile::FindKey(size_t sectionLine, std::string_view key) const {
  const size_t end = SectionEnd(sectionLine);
  for (size_t i = sectionLine + 1; i < end; ++i)
    if (lines_[i].isKey && SameName(lines_[i].key, key)) return i;
  return std::nullopt;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  const auto s = FindSection(section);
  if (!s) return std::nullopt;
  const auto k = FindKey(*s, key);
  if (!k) return std::nullopt;
  return ValueOf(lines_[*k].text);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  auto value = Get(section, key);
  return value ? std::move(*value) : std::string(fallback);
}

int IniFile::ReadInt(std::string_view section, std::string_view key, int fallback) const {
  const auto value = Get(section, key);
  return value ? ProfileInt(*value) : fallback;
}

bool IniFile::ReadFlag(std::string_view section, std::string_view key, bool fallback) const {
  const auto value = Get(section, key);
  if (!value) return fallback;
  if (SameName(*value, "true") || SameName(*value, "yes") || SameName(*value, "on")) return true;
  return std::strtoll(value->c_str(), nullptr, 10) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string keyName(Trim(key));
  const std::string line = keyName + "=" + StoredValue(value);
  auto s = FindSection(section);
  if (!s) {
    // A new section goes at the end, after a blank line when the document has content.
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Line{});
    Line header;
    // Built by appending: GCC 12 warns falsely (-Wrestrict) about "[" + std::string.
    header.text.append("[").append(section).append("]");
    header.section = std::string(section);
    header.isSection = true;
    lines_.push_back(std::move(header));
    s = lines_.size() - 1;
  }
  if (const auto k = FindKey(*s, keyName)) {
    lines_[*k].text = line;
    return;
  }
  // After the section's last non-blank line, so the blank line before the next section stays.
  size_t at = SectionEnd(*s);
  while (at > *s + 1 && Trim(lines_[at - 1].text).empty()) --at;
  Line entry;
  entry.text = line;
  entry.key = keyName;
  entry.isKey = true;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

void IniFile::WriteInt(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteFlag(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
  const auto s = FindSection(section);
  if (!s) return false;
  const auto k = FindKey(*s, key);
  if (!k) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*k));
  return true;
}

bool IniFile::DeleteSection(std::string_view section) {
  const auto s = FindSection(section);
  if (!s) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*s),
               lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(*s)));
  return true;
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section).has_value(); }

std::vector<std::string> IniFile::Sections() const {
  std::vector<std::string> names;
  for (const Line& line : lines_)
    if (line.isSection) names.push_back(line.section);
  return names;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
  std::vector<std::string> names;
  const auto s = FindSection(section);
  if (!s) return names;
  const size_t end = SectionEnd(*s);
  for (size_t i = *s + 1; i < end; ++i)
    if (lines_[i].isKey) names.push_back(lines_[i].key);
  return names;
}

int ProfileInt(std::string_view text) {
  const long long n = std::strtoll(std::string(text).c_str(), nullptr, 10);
  if (n > 2147483647LL) return 2147483647;
  if (n < -2147483647LL - 1) return -2147483647 - 1;
  return static_cast<int>(n);
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view fallback) {
  auto ini = IniFile::Load(path);
  return ini ? ini.Value().ReadString(section, key, fallback) : std::string(fallback);
}

int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key, int fallback) {
  auto ini = IniFile::Load(path);
  return ini ? ini.Value().ReadInt(section, key, fallback) : fallback;
}

Outcome WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value) {
  auto ini = IniFile::Load(path);
  if (!ini) return Fail(ini.Error());
  ini.Value().WriteString(section, key, value);
  return ini.Value().Save();
}
