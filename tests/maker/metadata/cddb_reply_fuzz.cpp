// libFuzzer target: CDDB reply lines from an untrusted server, and the file names made
// from what they carry. Lines go through CddbReplyText as the client's reads do. Checks
// that names from disc values stay one path component and that no value, name or file
// name holds a control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "maker/metadata/cddb_reply.h"
#include "maker/metadata/file_name_pattern.h"
#include "maker/metadata/metadata_text.h"

namespace {

// A C0 control, DEL, or a C1 control (U+0080..U+009F as UTF-8), all of which
// CddbReplyText removes; `allowLineFeeds` for the list of track names.
bool HasControl(std::string_view text, bool allowLineFeeds = false) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n' && allowLineFeeds) continue;
    if (byte < 0x20 || byte == 0x7F) return true;
    if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F &&
        static_cast<unsigned char>(text[i + 1]) >= 0x80)
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto firstEnd = input.find('\n');
  const std::string first = CddbReplyText(input.substr(0, firstEnd));
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
      entry.AddLine(CddbReplyText(rest.substr(0, end)));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
  if (info.title.empty()) info.title = CutUtf8Chars(entry.AlbumTitle(), kCddbTitleChars);
  const std::string& names = entry.TrackNames();
  const std::string firstName = names.substr(0, names.find('\n'));
  if (HasControl(first) || HasControl(info.artist) || HasControl(info.title) || HasControl(info.genre) ||
      HasControl(names, /*allowLineFeeds=*/true)) {
    std::abort();
  }

  info.useFileNameFormat = true;
  for (const char* pattern : {"$artist$", "$title$", "$genre$", "$trackname$"}) {
    info.fileNamePattern = pattern;
    const std::string name = TrackFileName(info, 1, firstName);
    // Values from a server never add or climb path components, nor carry controls.
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos ||
        name == "." || name == ".." || HasControl(name)) {
      std::abort();
    }
  }
  return 0;
}
