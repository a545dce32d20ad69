// The RIFF/WAVE header writer and reader.
#include "common/wav_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "common/fd_io.h"
#include "common/unique_fd.h"

namespace {

void PutU16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t GetU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
         (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

constexpr size_t kScanBytes = 1024;
constexpr uint32_t kScanStart = 36;

// The shared part of both readers, from the first read on. exact: the path form, which
// needs the 8 and 28 bytes whole; the open-file form only fails when a read call fails,
// and a short header then fails the id checks (the missing bytes count as zeros).
int ParseHeader(int fd, WavFormatInfo& info, bool exact) {
  uint8_t head[36] = {};
  const ssize_t first = ReadUpTo(fd, head, 8);
  if (first < 0 || (exact && first != 8)) return kWavReadNoStart;
  if (std::memcmp(head, "RIFF", 4) != 0) return kWavReadNotRiff;
  const ssize_t second = ReadUpTo(fd, head + 8, 28);
  if (second < 0 || (exact && second != 28)) return kWavReadNoFormat;
  if (std::memcmp(head + 8, "WAVE", 4) != 0) return kWavReadNotWave;
  if (std::memcmp(head + 12, "fmt ", 4) != 0) return kWavReadNoFmtChunk;

  // When the second read came up short the file position is not 36; the scan must start
  // at offset 36 all the same.
  if (static_cast<size_t>(first) + static_cast<size_t>(second) != kScanStart &&
      ::lseek(fd, kScanStart, SEEK_SET) < 0)
    return kWavReadNoData;
  uint8_t block[kScanBytes];
  const ssize_t count = ReadUpTo(fd, block, sizeof block);
  if (count < 4) return kWavReadNoData;
  for (ssize_t m = 0; m + 4 <= count; ++m) {
    if (std::memcmp(block + m, "data", 4) != 0) continue;
    info.formatTag = GetU16(head + 20);
    info.channels = GetU16(head + 22);
    info.sampleRate = GetU32(head + 24);
    info.bitsPerSample = GetU16(head + 34);
    info.dataOffset = kScanStart + static_cast<uint32_t>(m) + 8;
    // A data id in the file's last bytes would put the first sample past the end, and a
    // consumer taking "file size - data offset" as the audio length would go negative:
    // such a file has no audio, so its data starts at the end.
    if (struct stat file{}; ::fstat(fd, &file) == 0 && file.st_size >= 0 &&
                            static_cast<uint64_t>(file.st_size) < info.dataOffset)
      info.dataOffset = static_cast<uint32_t>(file.st_size);
    return kWavReadOk;
  }
  return kWavReadNoData;
}

}  // namespace

int WriteWavHeader(int fd, bool mono, uint32_t sampleRate, uint32_t dataBytes) {
  if (::lseek(fd, 0, SEEK_SET) != 0) return kWavWriteSeekFailed;
  const uint16_t channels = mono ? 1 : 2;
  const uint16_t blockAlign = static_cast<uint16_t>(channels * 2);
  const uint32_t riffSize = dataBytes > 0xFFFFFFFFu - 36 ? 0xFFFFFFFFu : dataBytes + 36;

  uint8_t h[kWavHeaderBytes];
  std::memcpy(h, "RIFF", 4);
  PutU32(h + 4, riffSize);
  std::memcpy(h + 8, "WAVE", 4);
  std::memcpy(h + 12, "fmt ", 4);
  PutU32(h + 16, 16);
  PutU16(h + 20, 1);
  PutU16(h + 22, channels);
  PutU32(h + 24, sampleRate);
  PutU32(h + 28, sampleRate * blockAlign);
  PutU16(h + 32, blockAlign);
  PutU16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  PutU32(h + 40, dataBytes);

  if (!WriteAll(fd, h, 8)) return kWavWriteFirstFailed;
  if (!WriteAll(fd, h + 8, kWavHeaderBytes - 8)) return kWavWriteSecondFailed;
  return kWavWriteOk;
}

int ReadWavHeader(int fd, WavFormatInfo& info) {
  if (::lseek(fd, 0, SEEK_SET) != 0) return kWavReadOpenFailed;
  const int result = ParseHeader(fd, info, /*exact=*/false);
  if (result != kWavReadOk) return result;
  if (::lseek(fd, info.dataOffset, SEEK_SET) < 0) return kWavReadNoData;
  return kWavReadOk;
}

int ReadWavHeaderFromPath(const char* path, WavFormatInfo& info) {
  // O_NONBLOCK: a named pipe given as a path must not hang the caller; files ignore it.
  UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return kWavReadOpenFailed;
  return ParseHeader(fd.Get(), info, /*exact=*/true);
}

const char* WavReadResultText(int code) {
  switch (code) {
    case kWavReadOk: return "WAV header accepted.";
    case kWavReadOpenFailed: return "Cannot open the WAV file.";
    case kWavReadNoStart: return "Cannot read the WAV header.";
    case kWavReadNotRiff: return "Not a RIFF file.";
    case kWavReadNoFormat: return "WAV header is truncated.";
    case kWavReadNotWave: return "RIFF file is not of type WAVE.";
    case kWavReadNoFmtChunk: return "WAV format chunk is missing.";
    case kWavReadNoData: return "WAV data chunk is missing.";
    default: return "Unknown WAV header error.";
  }
}
