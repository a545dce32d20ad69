// MP3 playing time through TagLib's MPEG audio properties.
#include "common/tags/mp3_duration.h"

#include <sys/stat.h>

#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>

std::optional<int64_t> Mp3DurationMs(const std::string& path) {
  // A FIFO or device named as an entry is never opened: TagLib would block on it.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  TagLib::MPEG::File file(path.c_str(), /*readProperties=*/true, TagLib::AudioProperties::Average);
  if (!file.isValid() || file.audioProperties() == nullptr) return std::nullopt;
  const int ms = file.audioProperties()->lengthInMilliseconds();
  if (ms <= 0) return std::nullopt;
  return ms;
}
