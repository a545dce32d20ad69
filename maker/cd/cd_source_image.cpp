// Disc images (.cue/.bin, .toc) through libcdio's image drivers, with simulated faults.
#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <chrono>
#include <thread>
#include <cstring>
#include <mutex>
#include <vector>

#include "common/unique_fd.h"
#include "maker/cd/cd_fault_plan.h"
#include "maker/cd/cd_source_internal.h"
#include "maker/cd/track_table.h"

namespace {

// A read error of a simulated drive: "unrecovered read error" (additional sense code 0x11).
constexpr int kSimulatedReadErrorCode = 0x11;

class DiscImageSource final : public CdSource {
 public:
  DiscImageSource(CdioHandle cdio, std::string path)
      : cdio_(std::move(cdio)), path_(std::move(path)), faults_(CdFaultPlanFromEnvironment()) {
    leadOut_ = cdio_get_track_lsn(cdio_.get(), CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut_ < 0) leadOut_ = 0;
  }

  Result<std::string, CdError> Name() override {
    const size_t slash = path_.find_last_of('/');
    return "Image " + (slash == std::string::npos ? path_ : path_.substr(slash + 1));
  }

  CdDriveAddress Address() const override { return {}; }

  Result<CdToc, CdError> ReadToc() override { return ReadTocThroughCdio(cdio_.get()); }

  Status<CdError> SetSpeed(int) override { return Done{}; }

  bool PausesAfterFailure() const override { return false; }

  Status<CdError> ReadAudio(int32_t sector, int sectors, int, std::span<uint8_t> out) override {
    const size_t bytes = static_cast<size_t>(sectors) * kCdSectorBytes;
    if (sectors <= 0 || out.size() < bytes || sector < 0 || sector + sectors > leadOut_)
      return Fail(CdError{CdErrorKind::Io, kSimulatedReadErrorCode, sector, "read outside the disc"});
    const CdFaultInjector::Decision fault = faults_.NextRead(sector, sectors);
    if (fault.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));
    if (fault.fail)
      return Fail(CdError{CdErrorKind::Io, kSimulatedReadErrorCode, sector,
                          fault.permanent ? "unreadable sector" : "transient read error"});
    // A jittered read delivers the audio that starts jitterFrames frames from the asked
    // place; what lies outside the disc reads as silence.
    const int64_t firstByte = int64_t{sector} * kCdSectorBytes + int64_t{fault.jitterFrames} * 4;
    const int64_t endByte = firstByte + static_cast<int64_t>(bytes);
    const int64_t discBytes = int64_t{leadOut_} * kCdSectorBytes;
    std::memset(out.data(), 0, bytes);
    const int64_t from = std::max<int64_t>(firstByte, 0);
    const int64_t to = std::min(endByte, discBytes);
    if (from >= to) return Done{};
    const int32_t firstSector = static_cast<int32_t>(from / kCdSectorBytes);
    const int32_t endSector = static_cast<int32_t>((to + kCdSectorBytes - 1) / kCdSectorBytes);
    scratch_.resize(static_cast<size_t>(endSector - firstSector) * kCdSectorBytes);
    const driver_return_code_t rc = cdio_read_audio_sectors(
        cdio_.get(), scratch_.data(), firstSector, static_cast<uint32_t>(endSector - firstSector));
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdError{CdErrorKind::Io, -rc, sector, "cannot read the image file"});
    std::memcpy(out.data() + (from - firstByte),
                scratch_.data() + (from - int64_t{firstSector} * kCdSectorBytes),
                static_cast<size_t>(to - from));
    return Done{};
  }

 private:
  CdioHandle cdio_;
  std::string path_;
  CdFaultInjector faults_;
  int32_t leadOut_ = 0;
  std::vector<uint8_t> scratch_;
};

// libcdio 2.1.0 resolves the data files named in a .toc image against the current folder,
// not the folder of the .toc (.cue files are fine). Reproduce: make a.toc naming "a.bin"
// next to it and open it with cdio_open("/that/folder/a.toc", DRIVER_UNKNOWN) from another
// folder: it fails. So a .toc naming relative files is opened through a temporary copy
// that names them with absolute paths.
CdioHandle OpenTocImage(const std::string& tocPath) {
  std::ifstream in(tocPath);
  if (!in) return nullptr;
  const size_t slash = tocPath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : tocPath.substr(0, slash + 1);
  std::string text, line;
  bool changed = false;
  while (std::getline(in, line)) {
    const size_t open = line.find('"');
    const size_t close = open == std::string::npos ? std::string::npos : line.find('"', open + 1);
    const size_t first = line.find_first_not_of(" \t");
    const std::string keyword = first == std::string::npos ? std::string() : line.substr(first, line.find_first_of(" \t", first) - first);
    const bool namesFile = keyword == "FILE" || keyword == "AUDIOFILE" || keyword == "DATAFILE";
    if (namesFile && close != std::string::npos && close > open + 1 && line[open + 1] != '/' && !folder.empty()) {
      line.insert(open + 1, folder);
      changed = true;
    }
    text += line + '\n';
  }
  if (!changed) return CdioHandle(cdio_open(tocPath.c_str(), DRIVER_CDRDAO));
  char temp[] = "/tmp/zimbar-toc-XXXXXX.toc";
  UniqueFd fd(mkstemps(temp, 4));
  if (!fd) return nullptr;
  const bool written = write(fd.Get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
  fd.Reset();
  CdioHandle cdio(written ? cdio_open(temp, DRIVER_CDRDAO) : nullptr);
  unlink(temp);
  return cdio;
}

}  // namespace

Result<CdToc, CdError> ReadTocThroughCdio(CdIo_t* cdio) {
  const track_t first = cdio_get_first_track_num(cdio);
  const track_t count = cdio_get_num_tracks(cdio);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0)
    return Fail(CdError{CdErrorKind::Io, 1, -1, "no table of contents"});
  CdToc toc;
  toc.firstTrack = first;
  for (int t = first; t < first + count; ++t) {
    const lsn_t start = cdio_get_track_lsn(cdio, static_cast<track_t>(t));
    if (start == CDIO_INVALID_LSN) return Fail(CdError{CdErrorKind::Format, 1, -1, "bad track address"});
    toc.starts.push_back(start);
  }
  const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
  if (leadOut == CDIO_INVALID_LSN) return Fail(CdError{CdErrorKind::Format, 1, -1, "no lead-out"});
  toc.starts.push_back(leadOut);
  return toc;
}

std::unique_ptr<CdSource> OpenDiscImage(const std::string& imagePath) {
  // libcdio's image parser prints warnings for images without pregaps to stderr; a
  // failure to open is reported by the result, so only its errors are kept.
  static std::once_flag quiet;
  std::call_once(quiet, [] {
    if (cdio_loglevel_default < CDIO_LOG_ERROR) cdio_loglevel_default = CDIO_LOG_ERROR;
  });
  const bool toc = imagePath.size() > 4 && imagePath.compare(imagePath.size() - 4, 4, ".toc") == 0;
  CdioHandle cdio(toc ? OpenTocImage(imagePath) : CdioHandle(cdio_open(imagePath.c_str(), DRIVER_UNKNOWN)));
  if (!cdio) return nullptr;
  return std::make_unique<DiscImageSource>(std::move(cdio), imagePath);
}
