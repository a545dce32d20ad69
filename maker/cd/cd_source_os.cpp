// Real drives through the operating system's ordinary CD calls (libcdio's device driver).
#include <cdio/cdio.h>

#include <algorithm>

#include "maker/cd/cd_source_internal.h"
#include "maker/cd/track_table.h"

namespace {

class OsInterfaceDrive final : public CdSource {
 public:
  OsInterfaceDrive(CdioHandle cdio, std::string path) : cdio_(std::move(cdio)), path_(std::move(path)) {}

  Result<std::string, CdError> Name() override { return "Drive " + path_; }

  // The OS interface knows no SCSI address.
  CdDriveAddress Address() const override { return {}; }

  Result<CdToc, CdError> ReadToc() override { return ReadTocThroughCdio(cdio_.get()); }

  // Speed requests belong to SCSI pass-through; here they do nothing.
  Status<CdError> SetSpeed(int) override { return Done{}; }

  bool PausesAfterFailure() const override { return true; }

  Status<CdError> ReadAudio(int32_t sector, int sectors, int, std::span<uint8_t> out) override {
    if (sectors <= 0 || out.size() < static_cast<size_t>(sectors) * kCdSectorBytes)
      return Fail(CdError{CdErrorKind::Io, 1, sector, "bad read request"});
    // Linux's CD audio read request takes at most 75 sectors (one second) at a time.
    constexpr int kMaxSectorsPerRequest = 75;
    for (int done = 0; done < sectors; done += kMaxSectorsPerRequest) {
      const int count = std::min(kMaxSectorsPerRequest, sectors - done);
      const driver_return_code_t rc = cdio_read_audio_sectors(
          cdio_.get(), out.data() + static_cast<size_t>(done) * kCdSectorBytes, sector + done, static_cast<uint32_t>(count));
      if (rc != DRIVER_OP_SUCCESS) return Fail(CdError{CdErrorKind::Io, -rc, sector + done, "read failed"});
    }
    return Done{};
  }

 private:
  CdioHandle cdio_;
  std::string path_;
};

}  // namespace

std::unique_ptr<CdSource> OpenOsInterfaceDrive(const std::string& devicePath) {
  CdioHandle cdio(cdio_open(devicePath.c_str(), DRIVER_DEVICE));
  if (!cdio) return nullptr;
  return std::make_unique<OsInterfaceDrive>(std::move(cdio), devicePath);
}
