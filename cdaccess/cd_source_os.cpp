// Real drives through the operating system's ordinary CD calls (libcdio's device driver).
#include <cdio/cdio.h>

#include <algorithm>
#include <optional>

#include "cdaccess/cd_source_internal.h"
#include "cdaccess/mmc_commands.h"
#include "cdaccess/track_table.h"

namespace {

class OsInterfaceDrive final : public CdSource {
 public:
  OsInterfaceDrive(CdioHandle cdio, std::string path) : cdio_(std::move(cdio)), path_(std::move(path)) {}

  Expected<std::string> Name() override { return "Drive " + path_; }

  // The OS interface knows no SCSI address.
  CdDriveAddress Address() const override { return {}; }

  // What the system read from the drive's INQUIRY data; asked once while the drive is open.
  CdDriveIdentity Identity() override {
    if (!identity_) {
      cdio_hwinfo_t info{};
      if (!cdio_get_hwinfo(cdio_.get(), &info)) return {};
      identity_ = DriveIdentityOf(info.psz_vendor, info.psz_model);
    }
    return *identity_;
  }

  Expected<CdToc> ReadToc() override { return ReadTocThroughCdio(cdio_.get()); }

  // Speed requests belong to SCSI pass-through; here they do nothing.
  Outcome SetSpeed(int) override { return Done{}; }

  bool PausesAfterFailure() const override { return true; }

  Outcome ReadAudio(int32_t sector, int sectors, int, std::span<uint8_t> out) override {
    if (sectors <= 0 || out.size() < static_cast<size_t>(sectors) * kCdSectorBytes)
      return Fail(CdFailure(ErrorCategory::Usage, 1, sector, "bad read request"));
    // Linux's CD audio read request takes at most 75 sectors (one second) at a time.
    constexpr int kMaxSectorsPerRequest = 75;
    for (int done = 0; done < sectors; done += kMaxSectorsPerRequest) {
      const int count = std::min(kMaxSectorsPerRequest, sectors - done);
      const driver_return_code_t rc = cdio_read_audio_sectors(
          cdio_.get(), out.data() + static_cast<size_t>(done) * kCdSectorBytes, sector + done, static_cast<uint32_t>(count));
      if (rc != DRIVER_OP_SUCCESS) return Fail(CdFailure(ErrorCategory::Io, -rc, sector + done, "read failed"));
    }
    return Done{};
  }

 private:
  CdioHandle cdio_;
  std::string path_;
  std::optional<CdDriveIdentity> identity_;
};

}  // namespace

Expected<CdToc> ReadTocThroughCdio(CdIo_t* cdio) {
  const track_t first = cdio_get_first_track_num(cdio);
  const track_t count = cdio_get_num_tracks(cdio);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0)
    return Fail(CdFailure(ErrorCategory::Io, 1, -1, "no table of contents"));
  CdToc toc;
  toc.firstTrack = first;
  for (int t = first; t < first + count; ++t) {
    const lsn_t start = cdio_get_track_lsn(cdio, static_cast<track_t>(t));
    if (start == CDIO_INVALID_LSN) return Fail(CdFailure(ErrorCategory::Format, 1, -1, "bad track address"));
    toc.starts.push_back(start);
    // What the drive's table of contents says of the track (its control nibble's data bit);
    // a track the library cannot tell counts as audio.
    const track_format_t format = cdio_get_track_format(cdio, static_cast<track_t>(t));
    toc.dataTracks.push_back(format != TRACK_FORMAT_AUDIO && format != TRACK_FORMAT_ERROR ? 1 : 0);
  }
  const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
  if (leadOut == CDIO_INVALID_LSN) return Fail(CdFailure(ErrorCategory::Format, 1, -1, "no lead-out"));
  toc.starts.push_back(leadOut);
  toc.text = ReadCdTextThroughCdio(cdio, first, count);
  return toc;
}

std::unique_ptr<CdSource> OpenOsInterfaceDrive(const std::string& devicePath) {
  CdioHandle cdio(cdio_open(devicePath.c_str(), DRIVER_DEVICE));
  if (!cdio) return nullptr;
  return std::make_unique<OsInterfaceDrive>(std::move(cdio), devicePath);
}
