// Disc images (.cue and .toc sheets with their data files), with simulated drive faults.
//
// The sheets are read by the project's own parsers and the data files directly: libcdio
// 2.1's image drivers corrupt the heap on a .toc with more than 99 tracks, read
// "<name>.bin" whatever the FILE line of a .cue says, read the header of a WAVE file as
// audio, place the tracks of a multi-file sheet on top of each other and accept indexes
// beyond the end of the data. Reproduce: cdio_open(path, DRIVER_CDRDAO) of a .toc with 150
// "TRACK AUDIO" entries and a read of its tracks (an ASan allocator CHECK; 255 entries: a
// crash), or DRIVER_BINCUE of a .cue whose FILE names another file.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "cdaccess/cd_drive_list.h"
#include "cdaccess/cd_fault_plan.h"
#include "cdaccess/cd_source_internal.h"
#include "cdaccess/cue_sheet_parser.h"
#include "cdaccess/disc_image_layout.h"
#include "cdaccess/image_data_file.h"
#include "cdaccess/toc_file_parser.h"
#include "cdaccess/track_table.h"
#include "common/unique_fd.h"

namespace {

// A read error of a simulated drive: "unrecovered read error" (additional sense code 0x11).
constexpr int kSimulatedReadErrorCode = 0x11;

// A cue sheet of 99 tracks with every text field filled stays far below this.
constexpr off_t kMaxSheetBytes = 1 << 20;
// One data file a track, and a few more for pregaps kept in files of their own.
constexpr size_t kMaxDataFiles = 128;

class DiscImageSource final : public CdSource {
 public:
  DiscImageSource(std::string path, std::vector<ImageDataFile> files, DiscImageLayout layout, DiscText text)
      : path_(std::move(path)), files_(std::move(files)), layout_(std::move(layout)), text_(std::move(text)),
        leadOut_(layout_.starts.back()), faults_(CdFaultPlanFromEnvironment()) {}

  Expected<std::string> Name() override { return DiscImageName(path_); }

  CdDriveAddress Address() const override { return {}; }

  Expected<CdToc> ReadToc() override {
    CdToc toc;
    toc.firstTrack = layout_.firstTrack;
    toc.starts = layout_.starts;
    toc.dataTracks = layout_.dataTracks;
    toc.pregapStarts = layout_.pregapStarts;
    toc.text = text_;
    return toc;
  }

  CdDriveIdentity Identity() override { return {"Zimbar", "Disc image"}; }

  Outcome SetSpeed(int) override { return Done{}; }

  bool PausesAfterFailure() const override { return false; }

  Outcome ReadAudio(int32_t sector, int sectors, int, std::span<uint8_t> out) override {
    const size_t bytes = static_cast<size_t>(std::max(sectors, 0)) * kCdSectorBytes;
    if (sectors <= 0 || out.size() < bytes || sector < 0 || int64_t{sector} + sectors > leadOut_)
      return Fail(CdFailure(ErrorCategory::Usage, kSimulatedReadErrorCode, sector, "read outside the disc"));
    const CdFaultInjector::Decision fault = faults_.NextRead(sector, sectors);
    if (fault.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));
    if (fault.fail)
      return Fail(CdFailure(ErrorCategory::Io, kSimulatedReadErrorCode, sector,
                            fault.permanent ? "unreadable sector" : "transient read error"));
    // A jittered read delivers the audio that starts jitterFrames frames from the asked
    // place, a drive with a read offset the audio readOffsetFrames before it; what lies
    // outside the disc reads as silence.
    const int64_t firstByte =
        int64_t{sector} * kCdSectorBytes + (int64_t{fault.jitterFrames} - fault.readOffsetFrames) * 4;
    return ReadDisc(firstByte, out.first(bytes), sector);
  }

 private:
  // Fills out with the disc's bytes from `firstByte` on: file audio where a segment lies,
  // silence elsewhere.
  Outcome ReadDisc(int64_t firstByte, std::span<uint8_t> out, int32_t sector) {
    std::memset(out.data(), 0, out.size());
    const int64_t endByte = firstByte + static_cast<int64_t>(out.size());
    const auto& segments = layout_.segments;
    auto it = std::upper_bound(segments.begin(), segments.end(), firstByte,
                               [](int64_t at, const DiscImageSegment& s) { return at < s.discByte + s.bytes; });
    for (; it != segments.end() && it->discByte < endByte; ++it) {
      const int64_t from = std::max(firstByte, it->discByte);
      const int64_t to = std::min(endByte, it->discByte + it->bytes);
      const ImageDataFile& file = files_[it->file];
      if (!ReadImageAudio(file, it->fileByte + (from - it->discByte),
                          out.subspan(static_cast<size_t>(from - firstByte), static_cast<size_t>(to - from))))
        return Fail(CdFailure(ErrorCategory::Io, EIO, sector, "cannot read the data file \"" + file.name + "\""));
    }
    return Done{};
  }

  std::string path_;
  std::vector<ImageDataFile> files_;
  DiscImageLayout layout_;
  DiscText text_;   // the sheet's titles and performers, in place of CD-Text
  int32_t leadOut_ = 0;
  CdFaultInjector faults_;
};

bool EndsWith(const std::string& text, const char* lowerTail) {
  const size_t n = std::strlen(lowerTail);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = text[text.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerTail[i]) return false;
  }
  return true;
}

// What this code does not take for a disc image.
Error Unreadable(std::string text) { return Error(ErrorCategory::Unsupported, {}, std::move(text)); }

// The whole text of a sheet: a regular file of modest size that holds no NUL byte.
Expected<std::string> ReadSheet(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd) return Fail(IoError(errno, path, "cannot open"));
  struct stat info {};
  if (fstat(fd.Get(), &info) != 0) return Fail(IoError(errno, path, "cannot open"));
  if (!S_ISREG(info.st_mode)) return Fail(Unreadable("is not a regular file"));
  if (info.st_size > kMaxSheetBytes)
    return Fail(Unreadable("is too large for a disc image sheet (" + std::to_string(info.st_size) + " bytes)"));
  std::string text(static_cast<size_t>(info.st_size), '\0');
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t got = read(fd.Get(), text.data() + done, text.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail(IoError(errno, path, "cannot read"));
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  text.resize(done);
  if (text.find('\0') != std::string::npos) return Fail(SheetError("is not a text file"));
  return text;
}

Expected<std::unique_ptr<CdSource>> OpenImage(const std::string& imagePath) {
  // A .bin stands for the .cue of the same name beside it, as it always has.
  std::string sheetPath = imagePath;
  if (EndsWith(imagePath, ".bin")) {
    sheetPath = imagePath.substr(0, imagePath.size() - 4) + ".cue";
    struct stat info {};
    if (stat(sheetPath.c_str(), &info) != 0)
      return Fail(Unreadable("is not a .cue or .toc disc image, and no .cue of the same name lies beside it"));
  }
  const bool cue = EndsWith(sheetPath, ".cue");
  if (!cue && !EndsWith(sheetPath, ".toc")) return Fail(Unreadable("is not a .cue or .toc disc image"));
  auto text = ReadSheet(sheetPath);
  if (!text) return Fail(text.Error());
  auto sheet = cue ? ParseCueSheet(text.Value()) : ParseTocFile(text.Value());
  if (!sheet) return Fail(sheet.Error());
  if (sheet.Value().files.size() > kMaxDataFiles)
    return Fail(Unreadable("names more than " + std::to_string(kMaxDataFiles) + " data files"));

  const size_t slash = sheetPath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : sheetPath.substr(0, slash + 1);
  std::vector<ImageDataFile> files;
  std::vector<int64_t> fileBytes;
  for (const ImageFileRef& ref : sheet.Value().files) {
    auto file = OpenImageDataFile(folder, ref);
    if (!file) return Fail(file.Error());
    fileBytes.push_back(file.Value().audioBytes);
    files.push_back(std::move(file).Value());
  }
  auto layout = LayOutDiscImage(sheet.Value(), fileBytes);
  if (!layout) return Fail(layout.Error());
  return std::unique_ptr<CdSource>(
      std::make_unique<DiscImageSource>(imagePath, std::move(files), std::move(layout).Value(),
                                        std::move(sheet).Value().text));
}

}  // namespace

std::string DiscImageName(const std::string& imagePath) {
  const size_t slash = imagePath.find_last_of('/');
  return "Image " + (slash == std::string::npos ? imagePath : imagePath.substr(slash + 1));
}

Expected<std::unique_ptr<CdSource>> OpenDiscImage(const std::string& imagePath) {
  auto source = OpenImage(imagePath);
  if (!source) {
    // The image's path before what is wrong with it; the position (a line of the sheet, a
    // byte of a data file) stays.
    const Error& why = source.Error();
    Error error = CdFailure(why.category, 1, -1, imagePath + ": " + why.text);
    error.position = why.position;
    error.reason = why.text;
    error.subject = imagePath;
    error.errnum = why.errnum;
    return Fail(std::move(error));
  }
  return std::move(source).Value();
}
