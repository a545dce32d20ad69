// Opening the data files of disc images; the RIFF chunks of WAVE files.
#include "cdaccess/image_data_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// A RIFF file has few chunks before its audio; a walk over more is not worth making.
constexpr int kMaxChunksBeforeData = 256;

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool ReadAt(int fd, int64_t offset, void* data, size_t bytes) {
  auto* at = static_cast<uint8_t*>(data);
  while (bytes > 0) {
    const ssize_t got = pread(fd, at, bytes, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    offset += got;
    bytes -= static_cast<size_t>(got);
  }
  return true;
}

struct WaveAudio {
  int64_t offset = 0;
  int64_t bytes = 0;
};

// Walks the chunks of a RIFF WAVE file to its "fmt " and "data" chunks. An error's text
// is `shown` and what is wrong, its position the chunk to blame.
Expected<WaveAudio> FindWaveAudio(int fd, int64_t fileBytes, const std::string& shown, const std::string& path) {
  const auto fail = [&](ErrorCategory category, const std::string& what, int64_t at) {
    return Fail(Error(category, ErrorPosition::Byte(static_cast<uint64_t>(at)), shown + " " + what, what, path));
  };
  uint8_t head[12];
  if (fileBytes < 12 || !ReadAt(fd, 0, head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return fail(ErrorCategory::Format, "is not a RIFF WAVE file", 0);
  bool sawFormat = false;
  int64_t at = 12;
  for (int chunk = 0; chunk < kMaxChunksBeforeData && at + 8 <= fileBytes; ++chunk) {
    uint8_t header[8];
    if (!ReadAt(fd, at, header, sizeof header)) break;
    const int64_t size = Le32(header + 4);
    const int64_t body = at + 8;
    if (std::memcmp(header, "fmt ", 4) == 0) {
      uint8_t format[40] = {};
      const size_t wanted = static_cast<size_t>(std::min<int64_t>(size, sizeof format));
      if (size < 16 || body + static_cast<int64_t>(wanted) > fileBytes || !ReadAt(fd, body, format, wanted))
        return fail(ErrorCategory::Format, "has a damaged format chunk", at);
      uint16_t tag = Le16(format);
      // WAVE_FORMAT_EXTENSIBLE names the real format in the first two bytes of its sub-format.
      if (tag == 0xFFFE && size >= 40) tag = Le16(format + 24);
      const uint16_t channels = Le16(format + 2);
      const uint32_t rate = Le32(format + 4);
      const uint16_t bits = Le16(format + 14);
      if (tag != 1 || channels != 2 || rate != 44100 || bits != 16)
        return fail(ErrorCategory::Unsupported,
                    "is not 16-bit stereo 44 100 Hz PCM (format " + std::to_string(tag) + ", " +
                        std::to_string(channels) + " channels, " + std::to_string(rate) + " Hz, " +
                        std::to_string(bits) + " bits)",
                    at);
      sawFormat = true;
    } else if (std::memcmp(header, "data", 4) == 0) {
      if (!sawFormat) return fail(ErrorCategory::Format, "has its data chunk before its format chunk", at);
      return WaveAudio{body, std::min(size, fileBytes - body)};
    }
    at = body + size + (size & 1);
  }
  return fail(ErrorCategory::Format, sawFormat ? "has no data chunk" : "has no format chunk", at);
}

}  // namespace

Expected<ImageDataFile> OpenImageDataFile(const std::string& folder, const ImageFileRef& ref) {
  const std::string shown = "the data file \"" + ref.name + "\"";
  const std::string path = ref.name.starts_with('/') ? ref.name : folder + ref.name;
  // Not blocking in open keeps a FIFO named by the sheet from hanging the program.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd) return Fail(IoError(errno, path, "cannot open " + shown));
  struct stat info {};
  if (fstat(fd.Get(), &info) != 0) return Fail(IoError(errno, path, "cannot open " + shown));
  if (!S_ISREG(info.st_mode))
    return Fail(Error(ErrorCategory::Unsupported, {}, shown + " is not a regular file", "is not a regular file", path));
  const int flags = fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);

  ImageDataFile file;
  file.name = ref.name;
  file.audioBytes = info.st_size;
  file.bigEndian = ref.format == ImageFileFormat::RawBigEndian;
  if (ref.format == ImageFileFormat::Wave) {
    auto audio = FindWaveAudio(fd.Get(), info.st_size, shown, path);
    if (!audio) return Fail(audio.Error());
    file.audioOffset = audio.Value().offset;
    file.audioBytes = audio.Value().bytes;
  }
  file.fd = std::move(fd);
  return file;
}

bool ReadImageAudio(const ImageDataFile& file, int64_t at, std::span<uint8_t> out) {
  if (at < 0 || static_cast<int64_t>(out.size()) > file.audioBytes - at) return false;
  if (!ReadAt(file.fd.Get(), file.audioOffset + at, out.data(), out.size())) return false;
  if (file.bigEndian) {
    // Samples are whole byte pairs counted from the first audio byte.
    for (size_t i = static_cast<size_t>(at & 1); i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  }
  return true;
}
