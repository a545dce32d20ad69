// libFuzzer target: CDDB reply lines from an untrusted server, and the file names made
// from what they carry. Checks that names from disc values stay one path component.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "maker/metadata/cddb_reply.h"
#include "maker/metadata/file_name_pattern.h"
#include "maker/metadata/metadata_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto firstEnd = input.find('\n');
  const auto first = input.substr(0, firstEnd);
  CddbEntryParser entry;
  CdInfo info;
  if (auto match = ParseCddbMatch(first)) {
    info.artist = match->artist;
    info.title = match->title;
    info.genre = match->category;
  }
  if (firstEnd != std::string_view::npos) {
    std::string_view rest = input.substr(firstEnd + 1);
    while (!rest.empty()) {
      const auto end = rest.find('\n');
      entry.AddLine(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
  if (info.title.empty()) info.title = CutUtf8Chars(entry.AlbumTitle(), kCddbTitleChars);
  const std::string& names = entry.TrackNames();
  const std::string firstName = names.substr(0, names.find('\n'));

  info.useFileNameFormat = true;
  for (const char* pattern : {"$artist$", "$title$", "$genre$", "$trackname$"}) {
    info.fileNamePattern = pattern;
    const std::string name = TrackFileName(info, 1, firstName);
    // Values from a server never add or climb path components.
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos ||
        name == "." || name == "..") {
      std::abort();
    }
  }
  return 0;
}
