// libFuzzer target: disc id replies of an untrusted web service. Checks that reading
// never throws or crashes, that no text taken from a reply holds a control character,
// and that a year is four digits or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "maker/metadata/musicbrainz_reply.h"

namespace {

// A C0 control, DEL, or a C1 control (U+0080..U+009F as UTF-8).
bool HasControl(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) return true;
    if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F &&
        static_cast<unsigned char>(text[i + 1]) >= 0x80)
      return true;
  }
  return false;
}

bool YearShaped(const std::string& year) {
  if (year.empty()) return true;
  if (year.size() != 4) return false;
  for (char c : year)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte is the disc's track count, the rest the reply.
  const int trackCount = 1 + data[0] % 99;
  const std::string_view json(reinterpret_cast<const char*>(data) + 1, size - 1);
  (void)MusicBrainzErrorText(json);
  const auto releases = ParseMusicBrainzReleases(json, "disc-id", trackCount);
  if (!releases) return 0;
  for (const MusicBrainzRelease& release : *releases) {
    if (!YearShaped(release.year)) std::abort();
    for (const std::string* text : {&release.title, &release.artist, &release.country, &release.disambiguation})
      if (HasControl(*text)) std::abort();
    for (const std::string& name : release.trackNames)
      if (HasControl(name)) std::abort();
    if (HasControl(MusicBrainzReleaseLine(release))) std::abort();
  }
  return 0;
}
