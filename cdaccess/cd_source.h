// The seam between the CD layer and the things that answer as a CD drive: real drives
// through one of the two access methods, and disc images.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cdaccess/disc_text.h"
#include "common/result.h"

// How a real drive is driven. The values are those of the reader request's access field.
enum class CdAccessMethod : int32_t {
  ScsiPassThrough = 0,   // MMC commands (INQUIRY, READ TOC, SET CD SPEED, the read CDBs)
  OsInterface = 1,       // the operating system's ordinary CD calls
};

enum class CdErrorKind { NoDevice, Io, Unsupported, Format };

struct CdError {
  CdErrorKind kind = CdErrorKind::Io;
  int code = 0;            // drive status or sense code reported to the user; never 0
  int32_t sector = -1;     // first sector of the failing request, or -1
  std::string what;
};

// Host adapter, target and logical unit of a drive; 255 each where there is none.
struct CdDriveAddress {
  uint8_t hostAdapter = 255;
  uint8_t target = 255;
  uint8_t lun = 255;
};

// Start sectors of tracks first ... last and the lead-out, in one list.
struct CdToc {
  int firstTrack = 1;
  std::vector<int32_t> starts;   // starts.size() - 1 tracks, the last entry is the lead-out
  // What the disc says about itself (a disc image's sheet, a real disc's CD-Text); empty
  // when it says nothing.
  DiscText text;
};

// One open drive or image. Every entry may block for the time of a drive request; a
// source is used by one thread at a time (the main thread for names, tables of contents
// and speed; the reader library's worker for sector reads). Closing is the destructor.
class CdSource {
 public:
  virtual ~CdSource() = default;

  // The name shown in the drive list and the drive's address.
  virtual Result<std::string, CdError> Name() = 0;
  virtual CdDriveAddress Address() const = 0;
  virtual Result<CdToc, CdError> ReadToc() = 0;
  // Read speed in kB/s. Sources without speed control succeed without doing anything.
  virtual Status<CdError> SetSpeed(int kBytesPerSecond) = 0;
  // Reads `sectors` whole audio sectors from `sector` into out (sectors x 2352 bytes) with
  // the read request of `readMode` (0 ... 4, real drives under SCSI pass-through only).
  virtual Status<CdError> ReadAudio(int32_t sector, int sectors, int readMode,
                                   std::span<uint8_t> out) = 0;
  // True for sources where a failed read should be retried only after a pause.
  virtual bool PausesAfterFailure() const = 0;
};
