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

uint64_t GetU64(const uint8_t* at) { return GetU32(at) | (static_cast<uint64_t>(GetU32(at + 4)) << 32); }

void PutU64(uint8_t* at, uint64_t v) {
  PutU32(at, static_cast<uint32_t>(v));
  PutU32(at + 4, static_cast<uint32_t>(v >> 32));
}

constexpr size_t kScanBytes = 1024;
// The first 24 bytes of a fmt chunk: id, size and the 16-byte PCM body.
constexpr size_t kFmtHeadBytes = 24;
// A chunk before "fmt " larger than this is no reservation for 64-bit sizes or alignment,
// and it keeps every offset the reader reports within 32 bits.
constexpr uint32_t kLongestLeadingChunk = 65536;

// Bytes 12-15 name a chunk that may stand between "WAVE" and "fmt ": the reservation
// for 64-bit sizes (JUNK) or the 64-bit sizes themselves (ds64, in RF64 files).
bool IsLeadingChunk(const uint8_t* id) { return std::memcmp(id, "JUNK", 4) == 0 || std::memcmp(id, "ds64", 4) == 0; }

// The audio bytes behind dataOffset; `declared` is the data chunk's size field, widened by
// the ds64 chunk of an RF64 file. Only a regular file has a size to check it against.
uint64_t AudioBytes(int fd, uint32_t& dataOffset, uint64_t declared, bool open32) {
  struct stat file {};
  if (::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode) || file.st_size < 0) return open32 ? 0 : declared;
  const auto size = static_cast<uint64_t>(file.st_size);
  // A data id in the file's last bytes would put the first sample past the end, and a
  // consumer taking "file size - data offset" as the audio length would go negative: such
  // a file has no audio, so its data starts at the end.
  if (size < dataOffset) dataOffset = static_cast<uint32_t>(size);
  const uint64_t rest = size - dataOffset;
  if (declared == 0 || open32 || declared > rest) return rest;
  return declared;
}

// The shared part of both readers, from the first read on. exact: the path form, which
// needs the 8 and 28 bytes whole; the open-file form only fails when a read call fails,
// and a short header then fails the id checks (the missing bytes count as zeros).
int ParseHeader(int fd, WavFormatInfo& info, bool exact) {
  uint8_t head[36] = {};
  const ssize_t first = ReadUpTo(fd, head, 8);
  if (first < 0 || (exact && first != 8)) return kWavReadNoStart;
  if (std::memcmp(head, "RIFF", 4) != 0 && std::memcmp(head, "RF64", 4) != 0) return kWavReadNotRiff;
  const ssize_t second = ReadUpTo(fd, head + 8, 28);
  if (second < 0 || (exact && second != 28)) return kWavReadNoFormat;
  if (std::memcmp(head + 8, "WAVE", 4) != 0) return kWavReadNotWave;

  // fmtAt: the file offset of the fmt chunk; position: where the file is now.
  uint64_t fmtAt = 12;
  uint64_t position = static_cast<uint64_t>(first) + static_cast<uint64_t>(second);
  const uint8_t* fmt = head + 12;
  uint8_t movedFmt[kFmtHeadBytes] = {};
  bool haveDs64 = false;
  uint64_t ds64DataBytes = 0;
  if (IsLeadingChunk(head + 12)) {
    const uint32_t size = GetU32(head + 16);
    if (size > kLongestLeadingChunk) return kWavReadNoFmtChunk;
    // ds64 body: RIFF size, data size, sample count (8 bytes each), table length, table.
    if (std::memcmp(head + 12, "ds64", 4) == 0 && size >= 16) {
      haveDs64 = true;
      ds64DataBytes = GetU64(head + 28);
    }
    fmtAt = 20 + static_cast<uint64_t>(size) + (size & 1);
    if (::lseek(fd, static_cast<off_t>(fmtAt), SEEK_SET) < 0) return kWavReadNoFormat;
    const ssize_t got = ReadUpTo(fd, movedFmt, sizeof movedFmt);
    if (got < 0 || (exact && got != static_cast<ssize_t>(sizeof movedFmt))) return kWavReadNoFormat;
    position = fmtAt + static_cast<uint64_t>(got);
    fmt = movedFmt;
  }
  if (std::memcmp(fmt, "fmt ", 4) != 0) return kWavReadNoFmtChunk;

  // The scan for the data id starts behind the fmt chunk's first 24 bytes: offset 36 in a
  // canonical file. After a short read the file position is elsewhere, so it is set.
  const uint64_t scanStart = fmtAt + kFmtHeadBytes;
  if (position != scanStart && ::lseek(fd, static_cast<off_t>(scanStart), SEEK_SET) < 0) return kWavReadNoData;
  uint8_t block[kScanBytes];
  const ssize_t count = ReadUpTo(fd, block, sizeof block);
  if (count < 4) return kWavReadNoData;
  for (ssize_t m = 0; m + 4 <= count; ++m) {
    if (std::memcmp(block + m, "data", 4) != 0) continue;
    info.formatTag = GetU16(fmt + 8);
    info.channels = GetU16(fmt + 10);
    info.sampleRate = GetU32(fmt + 12);
    info.bitsPerSample = GetU16(fmt + 22);
    // An extensible chunk (40 bytes and more) names the coding in its SubFormat GUID,
    // which starts 24 bytes into the chunk's body: block + 8 here.
    info.sampleFormat = info.formatTag;
    if (info.formatTag == kWavFormatExtensible) {
      const bool holdsGuid = GetU32(fmt + 4) >= 40 && m >= 10 && count >= 10;
      info.sampleFormat = holdsGuid ? GetU16(block + 8) : 0;
    }
    info.dataOffset = static_cast<uint32_t>(scanStart + static_cast<uint64_t>(m) + 8);
    const uint32_t declared = m + 8 <= count ? GetU32(block + m + 4) : 0;
    // 0xFFFFFFFF is the size of a data chunk that outgrew 32 bits: the ds64 chunk has it,
    // or nothing does (a header written before the size was known).
    const bool open32 = declared == 0xFFFFFFFFu && !haveDs64;
    const uint64_t declared64 = declared == 0xFFFFFFFFu && haveDs64 ? ds64DataBytes : declared;
    info.dataBytes = AudioBytes(fd, info.dataOffset, declared64, open32);
    return kWavReadOk;
  }
  return kWavReadNoData;
}

// The 44 bytes from "fmt " on would be the same in both writers; this fills them at `at`.
void PutFmtAndData(uint8_t* at, bool mono, uint32_t sampleRate, uint32_t dataField) {
  const uint16_t channels = mono ? 1 : 2;
  const uint16_t blockAlign = static_cast<uint16_t>(channels * 2);
  std::memcpy(at, "fmt ", 4);
  PutU32(at + 4, 16);
  PutU16(at + 8, 1);
  PutU16(at + 10, channels);
  PutU32(at + 12, sampleRate);
  PutU32(at + 16, sampleRate * blockAlign);
  PutU16(at + 20, blockAlign);
  PutU16(at + 22, 16);
  std::memcpy(at + 24, "data", 4);
  PutU32(at + 28, dataField);
}

int WriteHeaderBytes(int fd, const uint8_t* header, size_t bytes) {
  if (::lseek(fd, 0, SEEK_SET) != 0) return kWavWriteSeekFailed;
  if (!WriteAll(fd, header, 8)) return kWavWriteFirstFailed;
  if (!WriteAll(fd, header + 8, bytes - 8)) return kWavWriteSecondFailed;
  return kWavWriteOk;
}

}  // namespace

int WriteWavHeader(int fd, bool mono, uint32_t sampleRate, uint32_t dataBytes) {
  const uint32_t riffSize = dataBytes > 0xFFFFFFFFu - 36 ? 0xFFFFFFFFu : dataBytes + 36;
  uint8_t h[kWavHeaderBytes];
  std::memcpy(h, "RIFF", 4);
  PutU32(h + 4, riffSize);
  std::memcpy(h + 8, "WAVE", 4);
  PutFmtAndData(h + 12, mono, sampleRate, dataBytes);
  return WriteHeaderBytes(fd, h, sizeof h);
}

int WriteWavHeader64(int fd, bool mono, uint32_t sampleRate, uint64_t dataBytes) {
  constexpr uint64_t kRiffSizeBeyondData = kWavHeader64Bytes - 8;
  const bool rf64 = dataBytes > 0xFFFFFFFFull - kRiffSizeBeyondData;
  uint8_t h[kWavHeader64Bytes] = {};
  std::memcpy(h, rf64 ? "RF64" : "RIFF", 4);
  PutU32(h + 4, rf64 ? 0xFFFFFFFFu : static_cast<uint32_t>(dataBytes + kRiffSizeBeyondData));
  std::memcpy(h + 8, "WAVE", 4);
  std::memcpy(h + 12, rf64 ? "ds64" : "JUNK", 4);
  PutU32(h + 16, 28);
  if (rf64) {
    const uint64_t frameBytes = mono ? 2 : 4;
    PutU64(h + 20, dataBytes + kRiffSizeBeyondData);
    PutU64(h + 28, dataBytes);
    PutU64(h + 36, dataBytes / frameBytes);
    // h + 44: no table of other 64-bit chunk sizes.
  }
  PutFmtAndData(h + 48, mono, sampleRate, rf64 ? 0xFFFFFFFFu : static_cast<uint32_t>(dataBytes));
  return WriteHeaderBytes(fd, h, sizeof h);
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
