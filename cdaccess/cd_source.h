// The seam between the CD layer and the things that answer as a CD drive: real drives
// through one of the two access methods, and disc images.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cdaccess/disc_text.h"
#include "common/error.h"

// How a real drive is driven. The values are those of the reader request's access field.
enum class CdAccessMethod : int32_t {
  ScsiPassThrough = 0,   // MMC commands (INQUIRY, READ TOC, SET CD SPEED, the read CDBs)
  OsInterface = 1,       // the operating system's ordinary CD calls
};

// The status or sense code a drive reported for a failed request (or the layer's own code
// for a failure that is not the drive's): the case of every error of the CD layer, for
// the messages and return values that show it to the user. Never 0.
enum class CdStatus : int {};

// An error of the CD layer: its text, the drive's code and, for a request that reads the
// disc, the first sector of that request as its position (sector < 0: none).
inline Error CdFailure(ErrorCategory category, int code, int32_t sector, std::string text) {
  Error error(category, sector >= 0 ? ErrorPosition::Sector(static_cast<uint64_t>(sector)) : ErrorPosition{},
              std::move(text));
  error.WithCase(static_cast<CdStatus>(code));
  return error;
}

// The drive's code of an error; 0 for an error that carries none.
inline int CdStatusCode(const Error& error) { return static_cast<int>(error.CaseOr(CdStatus{0})); }

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
  // Per track (entry i for track firstTrack + i): 1 for a data track. Empty: all audio.
  std::vector<uint8_t> dataTracks;
  // Per track: the sector of its index 00 (the start of its pregap) where the disc or image
  // gives one before its start, else -1. Empty: none known.
  std::vector<int32_t> pregapStarts;

  bool IsDataTrack(size_t index) const { return index < dataTracks.size() && dataTracks[index] != 0; }
};

// What tells one model of drive from another: the vendor and product of its INQUIRY data
// (or what the operating system reports), blanks squeezed. Disc images give "Zimbar" and
// "Disc image". The per-drive read offset is kept under this pair.
struct CdDriveIdentity {
  std::string vendor;
  std::string model;
  // "VENDOR - MODEL": the key of the drive's settings and the name the rip log shows.
  std::string Key() const { return vendor + " - " + model; }
};

// One open drive or image. Every entry may block for the time of a drive request; a
// source is used by one thread at a time (the main thread for names, tables of contents
// and speed; the reader library's worker for sector reads). Closing is the destructor.
class CdSource {
 public:
  virtual ~CdSource() = default;

  // The name shown in the drive list and the drive's address.
  virtual Expected<std::string> Name() = 0;
  virtual CdDriveAddress Address() const = 0;
  // Vendor and model; empty fields when the drive does not say.
  virtual CdDriveIdentity Identity() { return {}; }
  virtual Expected<CdToc> ReadToc() = 0;
  // Read speed in kB/s. Sources without speed control succeed without doing anything.
  virtual Outcome SetSpeed(int kBytesPerSecond) = 0;
  // Reads `sectors` whole audio sectors from `sector` into out (sectors x 2352 bytes) with
  // the read request of `readMode` (0 ... 4, real drives under SCSI pass-through only).
  virtual Outcome ReadAudio(int32_t sector, int sectors, int readMode, std::span<uint8_t> out) = 0;
  // True for sources where a failed read should be retried only after a pause.
  virtual bool PausesAfterFailure() const = 0;
};
