// Real drives through SCSI pass-through: MMC command blocks sent with libcdio's MMC calls.
#include <cdio/cdio.h>
#include <cdio/mmc.h>
#include <fcntl.h>
#include <scsi/scsi.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "maker/cd/cd_source_internal.h"
#include "maker/cd/track_table.h"

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

CdDriveAddress QueryAddress(const std::string& devicePath) {
  CdDriveAddress address{0, 0, 0};
  const int fd = open(devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return address;
  // dev_id: target in bits 0-7, lun in 8-15, channel in 16-23, host in 24-31.
  struct {
    int devId;
    int hostUniqueId;
  } idlun{};
  if (ioctl(fd, SCSI_IOCTL_GET_IDLUN, &idlun) == 0) {
    address.target = static_cast<uint8_t>(idlun.devId & 0xFF);
    address.lun = static_cast<uint8_t>((idlun.devId >> 8) & 0xFF);
    address.hostAdapter = static_cast<uint8_t>((idlun.devId >> 24) & 0xFF);
  }
  close(fd);
  return address;
}

std::string Field(const uint8_t* bytes, size_t count) {
  std::string text(reinterpret_cast<const char*>(bytes), count);
  for (char& c : text)
    if (c == '\0') c = ' ';
  return text;
}

class ScsiPassThroughDrive final : public CdSource {
 public:
  ScsiPassThroughDrive(CdioHandle cdio, std::string path)
      : cdio_(std::move(cdio)), path_(std::move(path)), address_(QueryAddress(path_)) {}

  Result<std::string, CdError> Name() override {
    std::array<uint8_t, 100> inquiry{};
    mmc_cdb_t cdb{};
    cdb.field[0] = 0x12;   // INQUIRY, 100 bytes
    cdb.field[4] = 100;
    const driver_return_code_t rc =
        mmc_run_cmd_len(cdio_.get(), kCommandTimeoutMs, &cdb, 6, SCSI_MMC_DATA_READ,
                        static_cast<unsigned>(inquiry.size()), inquiry.data());
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdError{CdErrorKind::Io, StatusCode(cdio_.get(), rc), -1, "INQUIRY failed"});
    char name[160];
    std::snprintf(name, sizeof name, "%s %s [%i:%i:%i]", Field(&inquiry[8], 8).c_str(),
                  Field(&inquiry[16], 16).c_str(), address_.hostAdapter, address_.target, address_.lun);
    return std::string(name).substr(0, 64);
  }

  CdDriveAddress Address() const override { return address_; }

  Result<CdToc, CdError> ReadToc() override {
    std::array<uint8_t, 2048> toc{};
    mmc_cdb_t cdb{};
    cdb.field[0] = 0x43;   // READ TOC from track 1, allocation 2048
    cdb.field[6] = 1;
    cdb.field[7] = 0x08;
    cdb.field[8] = 0x00;
    const driver_return_code_t rc = mmc_run_cmd_len(cdio_.get(), kCommandTimeoutMs, &cdb, 10,
                                                    SCSI_MMC_DATA_READ, toc.size(), toc.data());
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdError{CdErrorKind::Io, StatusCode(cdio_.get(), rc), -1, "READ TOC failed"});
    const int dataLength = (toc[0] << 8) | toc[1];
    const int descriptors = (dataLength - 2) / 8;
    if (descriptors < 2 || 4 + descriptors * 8 > static_cast<int>(toc.size()))
      return Fail(CdError{CdErrorKind::Format, 1, -1, "table of contents without tracks"});
    CdToc result;
    result.firstTrack = toc[2];
    for (int i = 0; i < descriptors; ++i) {
      const uint8_t* d = &toc[4 + 8 * i + 4];
      result.starts.push_back(static_cast<int32_t>((uint32_t{d[0]} << 24) | (uint32_t{d[1]} << 16) |
                                                   (uint32_t{d[2]} << 8) | d[3]));
    }
    return result;
  }

  Status<CdError> SetSpeed(int kBytesPerSecond) override {
    mmc_cdb_t cdb{};
    cdb.field[0] = 0xBB;   // SET CD SPEED
    cdb.field[2] = static_cast<uint8_t>((kBytesPerSecond >> 8) & 0xFF);
    cdb.field[3] = static_cast<uint8_t>(kBytesPerSecond & 0xFF);
    const driver_return_code_t rc =
        mmc_run_cmd_len(cdio_.get(), kCommandTimeoutMs, &cdb, 12, SCSI_MMC_DATA_NONE, 0, nullptr);
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdError{CdErrorKind::Io, StatusCode(cdio_.get(), rc), -1, "SET CD SPEED failed"});
    return Done{};
  }

  bool PausesAfterFailure() const override { return true; }

  Status<CdError> ReadAudio(int32_t sector, int sectors, int readMode, std::span<uint8_t> out) override {
    const size_t bytes = static_cast<size_t>(sectors) * kCdSectorBytes;
    if (sectors <= 0 || sectors > 255 || out.size() < bytes)
      return Fail(CdError{CdErrorKind::Io, 1, sector, "bad read request"});
    mmc_cdb_t cdb{};
    unsigned length = 12;
    const uint8_t lunBits = static_cast<uint8_t>((address_.lun & 7) * 32);
    const uint8_t count = static_cast<uint8_t>(sectors);
    switch (readMode) {
      case 1:   // READ CD, user data only
        cdb.field[0] = 0xBE;
        cdb.field[8] = count;
        cdb.field[9] = 0x10;
        break;
      case 2:   // READ(10)
        length = 10;
        cdb.field[0] = 0x28;
        cdb.field[1] = lunBits;
        cdb.field[8] = count;
        break;
      case 3:   // vendor read D4
        length = 10;
        cdb.field[0] = 0xD4;
        cdb.field[8] = count;
        break;
      case 4:   // vendor read D8
        cdb.field[0] = 0xD8;
        cdb.field[1] = lunBits;
        cdb.field[9] = count;
        break;
      default:  // READ CD with sync, header, user data and error flags
        cdb.field[0] = 0xBE;
        cdb.field[8] = count;
        cdb.field[9] = 0xF0;
        break;
    }
    cdb.field[3] = static_cast<uint8_t>((sector >> 16) & 0xFF);
    cdb.field[4] = static_cast<uint8_t>((sector >> 8) & 0xFF);
    cdb.field[5] = static_cast<uint8_t>(sector & 0xFF);
    const driver_return_code_t rc = mmc_run_cmd_len(cdio_.get(), kReadTimeoutMs, &cdb, length,
                                                    SCSI_MMC_DATA_READ, static_cast<unsigned>(bytes), out.data());
    if (rc != DRIVER_OP_SUCCESS)
      return Fail(CdError{CdErrorKind::Io, StatusCode(cdio_.get(), rc), sector, "read failed"});
    return Done{};
  }

 private:
  CdioHandle cdio_;
  std::string path_;
  CdDriveAddress address_;
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
  mmc_cdb_t cdb{};
  cdb.field[0] = 0x12;
  cdb.field[4] = static_cast<uint8_t>(inquiry.size());
  const driver_return_code_t rc = mmc_run_cmd_len(cdio.get(), kCommandTimeoutMs, &cdb, 6, SCSI_MMC_DATA_READ,
                                                  static_cast<unsigned>(inquiry.size()), inquiry.data());
  return rc == DRIVER_OP_SUCCESS && (inquiry[0] & 0x1F) == 5;
}
