// file:// URIs to paths.
#include "common/file_uri_path.h"

#include <strings.h>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool IsFileUri(const std::string& name) { return strncasecmp(name.c_str(), "file:", 5) == 0; }

std::optional<std::string> FileUriPath(const std::string& name) {
  if (strncasecmp(name.c_str(), "file://", 7) != 0) return std::nullopt;
  // The authority runs to the next slash: empty or "localhost" is this machine.
  const size_t slash = name.find('/', 7);
  if (slash == std::string::npos) return std::nullopt;
  const std::string host = name.substr(7, slash - 7);
  if (!host.empty() && strcasecmp(host.c_str(), "localhost") != 0) return std::nullopt;
  std::string path;
  for (size_t i = slash; i < name.size(); ++i) {
    const char c = name[i];
    if (c != '%') {
      path += c;
      continue;
    }
    const int high = i + 2 < name.size() ? HexValue(name[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(name[i + 2]) : -1;
    if (low < 0 || (high == 0 && low == 0)) return std::nullopt;
    path += char(high * 16 + low);
    i += 2;
  }
  return path;
}

std::string LocalName(const std::string& name) {
  if (!IsFileUri(name)) return name;
  return FileUriPath(name).value_or(name);
}
