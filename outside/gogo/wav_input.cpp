// Chunk walking and sample reading for WAV input.
#include "outside/gogo/wav_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

namespace {

uint32_t Le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

constexpr int kShortRead = -1;

// Reads exactly n bytes at offset: 0, the errno of a failed read, or kShortRead when the
// file ends first.
int ReadAt(int fd, uint64_t offset, void* buffer, size_t n) {
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t got = pread(fd, out + done, n - done, off_t(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return kShortRead;
    done += size_t(got);
  }
  return 0;
}

// A WAV file that is not what it must be: "PATH: no fmt chunk before the data at byte 36".
Error FormatFailure(WavInputFault fault, const std::string& path, uint64_t offset, const std::string& what) {
  const ErrorPosition position = ErrorPosition::Byte(offset);
  Error error(fault == WavInputFault::Unsupported ? ErrorCategory::Unsupported : ErrorCategory::Format, position,
              path + ": " + what + " at " + PositionText(position), what, path);
  error.WithCase(fault);
  return error;
}

// A read at `offset` that failed (`status` an errno) or found the end of the file early;
// `fault` is the case either way (a header that cannot be read is a format failure).
Error ReadFailure(WavInputFault fault, const std::string& path, uint64_t offset, int status) {
  if (status == kShortRead) return FormatFailure(fault, path, offset, "the file ends early");
  Error error = IoError(status, path, "cannot read " + path);
  error.position = ErrorPosition::Byte(offset);
  error.WithCase(fault);
  return error;
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

}  // namespace

Expected<WavInput> WavInput::Open(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(IoError(errno, path, "cannot open " + path).WithCase(WavInputFault::Open));
  WavInput input(fd, path);

  struct stat st {};
  if (fstat(fd, &st) != 0) return Fail(IoError(errno, path, "cannot read " + path).WithCase(WavInputFault::Read));
  if (!S_ISREG(st.st_mode)) {
    return Fail(Error(ErrorCategory::Usage, {}, path + " is not a regular file", "not a regular file", path)
                    .WithCase(WavInputFault::Open));
  }
  const uint64_t fileBytes = uint64_t(st.st_size);

  unsigned char riff[12];
  if (int status = ReadAt(fd, 0, riff, sizeof riff); status != 0) {
    return Fail(ReadFailure(WavInputFault::Format, path, 0, status));
  }
  // RF64 is the RIFF form of files past 4 GiB: its ds64 chunk holds the 64-bit data size.
  const bool rf64 = std::memcmp(riff, "RF64", 4) == 0;
  if ((!rf64 && std::memcmp(riff, "RIFF", 4) != 0) || std::memcmp(riff + 8, "WAVE", 4) != 0) {
    return Fail(FormatFailure(WavInputFault::Format, path, 0, "not a RIFF/WAVE file"));
  }

  bool haveDs64 = false;
  uint64_t ds64DataBytes = 0;
  bool haveFormat = false;
  uint16_t blockAlign = 0;
  uint64_t offset = 12;
  while (offset + 8 <= fileBytes) {
    unsigned char chunk[8];
    if (int status = ReadAt(fd, offset, chunk, sizeof chunk); status != 0) {
      return Fail(ReadFailure(WavInputFault::Read, path, offset, status));
    }
    const uint32_t size = Le32(chunk + 4);
    const uint64_t body = offset + 8;
    if (rf64 && std::memcmp(chunk, "ds64", 4) == 0 && size >= 16) {
      unsigned char sizes[16];  // RIFF size, data size
      if (int status = ReadAt(fd, body, sizes, sizeof sizes); status != 0) {
        return Fail(ReadFailure(WavInputFault::Format, path, body, status));
      }
      ds64DataBytes = Le32(sizes + 8) | uint64_t(Le32(sizes + 12)) << 32;
      haveDs64 = true;
    } else if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16) return Fail(FormatFailure(WavInputFault::Format, path, offset, "fmt chunk too short"));
      std::array<unsigned char, 40> fmt{};
      const size_t want = size < fmt.size() ? size : fmt.size();
      if (int status = ReadAt(fd, body, fmt.data(), want); status != 0) {
        return Fail(ReadFailure(WavInputFault::Format, path, body, status));
      }
      uint16_t tag = Le16(&fmt[0]);
      if (tag == kFormatExtensible && want >= 26) tag = Le16(&fmt[24]);  // sub-format GUID
      const uint16_t channels = Le16(&fmt[2]);
      const uint32_t rate = Le32(&fmt[4]);
      blockAlign = Le16(&fmt[12]);
      const uint16_t bits = Le16(&fmt[14]);
      if (tag != kFormatPcm || bits != 16 || (channels != 1 && channels != 2) || rate == 0 ||
          blockAlign != channels * 2) {
        return Fail(FormatFailure(WavInputFault::Unsupported, path, offset,
                                  "not 16-bit PCM with one or two channels"));
      }
      input.format_.channels = channels;
      input.format_.sampleRate = rate;
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return Fail(FormatFailure(WavInputFault::Format, path, offset, "data chunk before any fmt chunk"));
      const uint64_t available = fileBytes - body;
      uint64_t bytes = size == 0xFFFFFFFFu && haveDs64 ? ds64DataBytes : size;
      if (bytes == 0 || (size == 0xFFFFFFFFu && !haveDs64) || bytes > available) bytes = available;
      input.format_.dataOffset = body;
      input.format_.frames = bytes / blockAlign;
      return input;
    }
    offset = body + size + (size & 1);  // chunks are padded to an even size
  }
  return Fail(FormatFailure(WavInputFault::Format, path, offset, "no data chunk"));
}

Outcome WavInput::Read(int16_t* pcm, uint64_t frames) {
  const size_t frameBytes = size_t(format_.channels) * 2;
  const uint64_t offset = format_.dataOffset + framesRead_ * frameBytes;
  if (frames > FramesLeft()) {
    return Fail(FormatFailure(WavInputFault::Read, path_, offset, "more frames asked for than the file holds"));
  }
  if (int status = ReadAt(fd_.Get(), offset, pcm, size_t(frames) * frameBytes); status != 0) {
    return Fail(ReadFailure(WavInputFault::Read, path_, offset, status));
  }
  if constexpr (std::endian::native == std::endian::big) {
    auto* bytes = reinterpret_cast<unsigned char*>(pcm);
    for (size_t i = 0; i < frames * format_.channels; ++i) std::swap(bytes[2 * i], bytes[2 * i + 1]);
  }
  framesRead_ += frames;
  return Done{};
}

bool WavInput::SameFileAs(const std::string& path) const {
  struct stat a {}, b {};
  if (fstat(fd_.Get(), &a) != 0 || stat(path.c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
