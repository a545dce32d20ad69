// Entries made absolute paths, file:// URIs decoded.
#include "player/playlist/entry_location.h"

#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include "player/playlist/list_entries.h"

namespace {

// "scheme://...": a letter, then letters, digits, "+", "-" or ".", then "://".
bool HasScheme(std::string_view entry) {
  const size_t colon = entry.find("://");
  if (colon == std::string_view::npos || colon == 0) return false;
  if (!std::isalpha(static_cast<unsigned char>(entry[0]))) return false;
  for (size_t i = 1; i < colon; ++i) {
    const char c = entry[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

std::string WorkingFolder() {
  std::string folder(4096, '\0');
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    folder.resize(folder.size() * 2);
  }
  folder.resize(folder.find('\0'));
  return folder;
}

}  // namespace

std::string AbsolutePath(std::string_view path, std::string_view base) {
  std::string whole;
  if (!path.empty() && path.front() == '/') {
    whole = std::string(path);
  } else {
    whole = base.empty() ? WorkingFolder() : std::string(base);
    if (!whole.empty() && whole.front() != '/') whole = WorkingFolder() + "/" + whole;
    whole += "/";
    whole += path;
  }
  std::vector<std::string_view> parts;
  const std::string_view text = whole;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('/', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view part = text.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string_view part : parts) {
    out += '/';
    out += part;
  }
  return out.empty() ? "/" : out;
}

std::string ResolveEntry(std::string_view entry, std::string_view base) {
  if (IsStreamUrl(entry)) return std::string(entry);
  if (entry.size() >= 7 && strncasecmp(entry.data(), "file://", 7) == 0) {
    if (const auto path = FileUriPath(std::string(entry))) return *path;
    return std::string(entry);
  }
  // Another scheme ("mms://", "rtsp://") is no path either: it stays, and fails to play
  // with a reason.
  if (HasScheme(entry)) return std::string(entry);
  return AbsolutePath(entry, base);
}
