// Real drives through SCSI pass-through: MMC command blocks sent with libcdio's MMC calls.
#include <cdio/cdio.h>
#include <cdio/mmc.h>
#include <fcntl.h>
#include <scsi/scsi.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cdaccess/cd_source_internal.h"
#include "cdaccess/mmc_commands.h"
#include "cdaccess/track_table.h"
#include "common/unique_fd.h"

namespace {

constexpr unsigned kCommandTimeoutMs = 60'000;   // names, tables of contents, speed
constexpr unsigned kReadTimeoutMs = 5'000;       // one sector read request

// A drive status for the user: the sense key and additional sense code when the drive
// gave them (key x 256 + code), else the library's status as a positive number.
int StatusCode(const CdIo_t* cdio, driver_return_code_t rc) {
  cdio_mmc_request_sense_t* sense = nullptr;
  const int got = mmc_last_cmd_sense(cdio, &sense);
  int code = 0;
  if (got >= 14 && sense != nullptr) code = (sense->sense_key & 15) * 256 + sense->asc;
  free(sense);
  if (code == 0) code = rc < 0 ? -rc : (rc == 0 ? 1 : rc);
  return code;
}

// Sends one command block; `buffer` receives (or, for no data, is empty).
driver_return_code_t RunMmc(CdIo_t* cdio, const MmcCommand& command, unsigned timeoutMs,
                            cdio_mmc_direction_t direction, std::span<uint8_t> buffer) {
  mmc_cdb_t cdb{};
  std::copy(command.cdb.begin(), command.cdb.begin() + command.length, cdb.field);
  return mmc_run_cmd_len(cdio, timeoutMs, &cdb, command.length, direction, static_cast<unsigned>(buffer.size()),
                         buffer.empty() ? nullptr : buffer.data());
}

CdDriveAddress QueryAddress(const std::string& devicePath) {
  CdDriveAddress address{0, 0, 0};
  UniqueFd fd(open(devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return address;
  // dev_id: target in bits 0-7, lun in 8-15, channel in 16-23, host in 24-31.
  struct {
    int devId;
    int hostUniqueId;
  } idlun{};
  if (ioctl(fd.Get(), SCSI_IOCTL_GET_IDLUN, &idlun) == 0) {
    address.target = static_cast<uint8_t>(idlun.devId & 0xFF);
    address.lun = static_cast<uint8_t>((idlun.devId >> 8) & 0xFF);
    address.hostAdapter = static_cast<uint8_t>((idlun.devId >> 24) & 0xFF);
  }
  return address;
}

class ScsiPassThroughDrive final : public CdSource {
 public:
  ScsiPassThroughDrive(CdioHandle cdio, std::string path)
      : cdio_(std::move(cdio)), path_(std::move(path)), address_(QueryAddress(path_)) {}

  Expected<std::string> Name() override {
    std::array<uint8_t, 100> inquiry{};
    const driver_return_code_t rc = Run(InquiryCommand(100), kCommandTimeoutMs, SCSI_MMC_DATA_READ, inquiry);
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdFailure(ErrorCategory::Io, StatusCode(cdio_.get(), rc), -1, "INQUIRY failed"));
    return InquiryDriveName(inquiry, address_);
  }

  CdDriveAddress Address() const override { return address_; }

  // Asked once: the answer does not change while the drive is open.
  CdDriveIdentity Identity() override {
    if (!identity_) {
      std::array<uint8_t, 100> inquiry{};
      const driver_return_code_t rc = Run(InquiryCommand(100), kCommandTimeoutMs, SCSI_MMC_DATA_READ, inquiry);
      if (rc != DRIVER_OP_SUCCESS) return {};   // asked again next time: the drive may have been busy
      identity_ = InquiryDriveIdentity(inquiry);
    }
    return *identity_;
  }

  Expected<CdToc> ReadToc() override {
    std::array<uint8_t, 2048> answer{};
    const driver_return_code_t rc = Run(ReadTocCommand(), kCommandTimeoutMs, SCSI_MMC_DATA_READ, answer);
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdFailure(ErrorCategory::Io, StatusCode(cdio_.get(), rc), -1, "READ TOC failed"));
    auto toc = ParseReadTocAnswer(answer);
    if (!toc) return Fail(CdFailure(ErrorCategory::Format, 1, -1, "table of contents without tracks"));
    toc->text = ReadCdTextThroughCdio(cdio_.get(), toc->firstTrack, static_cast<int>(toc->starts.size()) - 1);
    return *toc;
  }

  Outcome SetSpeed(int kBytesPerSecond) override {
    const driver_return_code_t rc = Run(SetSpeedCommand(kBytesPerSecond), kCommandTimeoutMs, SCSI_MMC_DATA_NONE, {});
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdFailure(ErrorCategory::Io, StatusCode(cdio_.get(), rc), -1, "SET CD SPEED failed"));
    return Done{};
  }

  bool PausesAfterFailure() const override { return true; }

  Outcome ReadAudio(int32_t sector, int sectors, int readMode, std::span<uint8_t> out) override {
    const size_t bytes = static_cast<size_t>(sectors) * kCdSectorBytes;
    if (sectors <= 0 || sectors > 255 || out.size() < bytes)
      return Fail(CdFailure(ErrorCategory::Usage, 1, sector, "bad read request"));
    const driver_return_code_t rc = Run(ReadAudioCommand(readMode, sector, sectors, address_.lun), kReadTimeoutMs,
                                        SCSI_MMC_DATA_READ, out.first(bytes));
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdFailure(ErrorCategory::Io, StatusCode(cdio_.get(), rc), sector, "read failed"));
    return Done{};
  }

 private:
  driver_return_code_t Run(const MmcCommand& command, unsigned timeoutMs, cdio_mmc_direction_t direction,
                           std::span<uint8_t> buffer) {
    return RunMmc(cdio_.get(), command, timeoutMs, direction, buffer);
  }

  CdioHandle cdio_;
  std::string path_;
  CdDriveAddress address_;
  std::optional<CdDriveIdentity> identity_;
};

}  // namespace

std::unique_ptr<CdSource> OpenScsiPassThroughDrive(const std::string& devicePath) {
  CdioHandle cdio(cdio_open(devicePath.c_str(), DRIVER_DEVICE));
  if (!cdio) return nullptr;
  return std::make_unique<ScsiPassThroughDrive>(std::move(cdio), devicePath);
}

bool IsScsiCdRom(const std::string& devicePath) {
  CdioHandle cdio(cdio_open(devicePath.c_str(), DRIVER_DEVICE));
  if (!cdio) return false;
  std::array<uint8_t, 36> inquiry{};
  const driver_return_code_t rc = RunMmc(cdio.get(), InquiryCommand(static_cast<uint8_t>(inquiry.size())),
                                         kCommandTimeoutMs, SCSI_MMC_DATA_READ, inquiry);
  return rc == DRIVER_OP_SUCCESS && (inquiry[0] & 0x1F) == 5;
}
