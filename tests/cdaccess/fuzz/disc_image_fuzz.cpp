// Fuzz target: arbitrary .cue and .toc text with a small data file through the opening of a
// disc image, its table of contents and reads around every track start.
//
// Input: the first byte picks the sheet kind ('t': .toc, anything else: .cue); the bytes up
// to the first NUL are the sheet, the bytes after it the data file "d.bin" (also written as
// "d.wav"). Beside them lie two fixed files a sheet may name: "r.bin" (5 sectors of raw
// audio) and "w.wav" (3 sectors in a WAV file).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cdaccess/cd_source_internal.h"
#include "cdaccess/disc_image_layout.h"
#include "cdaccess/track_table.h"

namespace {

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

void Le32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The private folder of the run with its files, removed when the fuzzer exits.
struct ScratchFolder {
  std::string path;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

std::string MakeFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zb_image_fuzz_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  const std::string folder = pattern + "/";
  std::vector<uint8_t> raw(5 * kCdSectorBytes);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 7 + 3);
  WriteFile(folder + "r.bin", raw.data(), raw.size());
  std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
  Le32(wav, 36 + 3 * kCdSectorBytes);
  for (char c : std::string("WAVEfmt ")) wav.push_back(static_cast<uint8_t>(c));
  Le32(wav, 16);
  for (uint8_t b : {1, 0, 2, 0}) wav.push_back(b);
  Le32(wav, 44100);
  Le32(wav, 44100 * 4);
  for (uint8_t b : {4, 0, 16, 0}) wav.push_back(b);
  for (char c : std::string("data")) wav.push_back(static_cast<uint8_t>(c));
  Le32(wav, 3 * kCdSectorBytes);
  wav.insert(wav.end(), raw.begin(), raw.begin() + 3 * kCdSectorBytes);
  WriteFile(folder + "w.wav", wav.data(), wav.size());
  return folder;
}

// Reads `sectors` at `sector`; a read inside the disc must succeed, one outside must fail.
void Read(CdSource& source, int32_t sector, int sectors, int32_t leadOut) {
  std::vector<uint8_t> out(static_cast<size_t>(sectors) * kCdSectorBytes);
  const bool inside = sector >= 0 && int64_t{sector} + sectors <= leadOut;
  if (static_cast<bool>(source.ReadAudio(sector, sectors, 0, out)) != inside) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFolder scratch{MakeFolder()};
  const std::string& folder = scratch.path;
  if (size == 0) return 0;
  const bool toc = data[0] == 't';
  size_t textEnd = 1;
  while (textEnd < size && data[textEnd] != 0) ++textEnd;
  const std::string sheet = folder + (toc ? "disc.toc" : "disc.cue");
  WriteFile(sheet, data + 1, textEnd - 1);
  const size_t dataStart = textEnd < size ? textEnd + 1 : size;
  WriteFile(folder + "d.bin", data + dataStart, size - dataStart);
  WriteFile(folder + "d.wav", data + dataStart, size - dataStart);

  auto opened = OpenDiscImage(sheet);
  if (!opened) {
    if (opened.Error().text.rfind(sheet + ": ", 0) != 0) std::abort();   // every refusal names the file
    return 0;
  }
  CdSource& source = *opened.Value();
  auto read = source.ReadToc();
  if (!read) std::abort();
  const std::vector<int32_t>& starts = read.Value().starts;
  const size_t tracks = starts.size() - 1;
  if (tracks < 1 || tracks > kCdMaxTracks || starts.front() < 0 || starts.back() > kImageMaxDiscSectors) std::abort();
  for (size_t i = 0; i < tracks; ++i) {
    const int64_t length = int64_t{starts[i + 1]} - starts[i];
    if (length <= 0 || length > kImageMaxTrackSectors) std::abort();
  }
  // One data flag and one pregap a track; a pregap begins before its track and not before
  // the previous track's start.
  const std::vector<uint8_t>& dataTracks = read.Value().dataTracks;
  const std::vector<int32_t>& pregaps = read.Value().pregapStarts;
  if (dataTracks.size() != tracks || pregaps.size() != tracks) std::abort();
  for (size_t i = 0; i < tracks; ++i) {
    if (dataTracks[i] > 1) std::abort();
    if (pregaps[i] != -1 && (pregaps[i] >= starts[i] || pregaps[i] < (i > 0 ? starts[i - 1] : 0))) std::abort();
  }
  const int32_t leadOut = starts.back();
  for (size_t i = 0; i < tracks; ++i) {
    Read(source, starts[i], 1, leadOut);
    if (starts[i] > 0) Read(source, starts[i] - 1, 2, leadOut);   // across the track boundary
  }
  Read(source, leadOut - 1, 1, leadOut);
  Read(source, leadOut - 1, 2, leadOut);   // past the lead-out: refused
  Read(source, 0, static_cast<int>(std::min<int32_t>(leadOut, 30)), leadOut);
  return 0;
}
