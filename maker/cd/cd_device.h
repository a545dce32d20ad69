// The maker's CD device layer: drive names, tables of contents and read speed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cdaccess/cd_drive_list.h"
#include "cdaccess/disc_text.h"
#include "cdaccess/track_table.h"

// The CD layer of one front end (the window, a terminal run): its disc images, the drives
// of both access methods opened from them, and the access method the next calls use. Each
// front end owns its own; two layers share nothing. The six device operations run on the
// main thread and return 0 for success.
class CdLayer {
 public:
  CdLayer();
  ~CdLayer();
  CdLayer(const CdLayer&) = delete;
  CdLayer& operator=(const CdLayer&) = delete;

  // The disc images listed after the real drives (--cd-image FILE, setting DiscImages), in
  // order; empty paths and paths holding a line end are left out. They take effect at the
  // next Initialize; the reader threads get them with their job (ReaderJob::discImages).
  void SetDiscImages(const std::vector<std::string>& paths);
  // The images of the --cd-image arguments, then those of the DiscImages setting, each once.
  void UseDiscImages(const std::vector<std::string>& commandLine, const std::string& setting);
  const std::vector<std::string>& DiscImages() const { return images_; }
  // ListCdDrives with this layer's images: the numbering every drive index refers to.
  std::vector<CdDriveEntry> Drives(CdAccessMethod method) const { return ListCdDrives(method, images_); }

  // Opens the drives of both access methods (the OS interface and SCSI pass-through), with
  // the disc images at the end of both lists. It fails only when neither method could be
  // set up, which the OS interface never does.
  int Initialize();
  // Closes every drive and image. Nothing to restore on Linux (no disc auto-play to suspend).
  int Shutdown();
  // Selects the access method of the next GetDriveName, ReadToc and SetSpeed calls.
  void SelectApi(bool osInterface) { osInterface_ = osInterface; }

  // 0: named (name at most 64 characters); -1: index beyond the last drive (ends the
  // enumeration); another value: the drive exists but did not answer the name request
  // (SCSI pass-through only). The address bytes are filled before the name is asked for.
  int GetDriveName(int index, uint8_t& hostAdapter, uint8_t& target, uint8_t& lun, std::string& name);

  // Fills audio flag, track count (at most 99), start[1 ... count + 1], and per track the
  // data flag and the pregap's start (-1 where the disc gives none; real drives give none).
  // OS interface: -1 when the index is beyond the list or the request failed. SCSI pass-
  // through: 1 when the index is beyond the list, else the drive's nonzero status code.
  int ReadToc(int index, TrackTable& table);
  // The same, with what the disc says about itself read along: a disc image's titles and
  // performers, a real disc's CD-Text (entry i of text.tracks for row i + 1 of the table).
  // The text is emptied first and stays empty when the read fails.
  int ReadToc(int index, TrackTable& table, DiscText& text);

  // Why drive `index` of the selected method could not be opened: for a refused disc image
  // the image file and the reason ("/music/a.cue: track 3 has no audio ..."). Empty when
  // the drive is open or the index is beyond the list.
  std::string DriveProblem(int index) const;

  // The device or image path of drive `index` of the selected method: what tells two
  // drives apart. Empty when the index is beyond the list.
  std::string DrivePath(int index) const;

  // Vendor and model of drive `index` of the selected method (disc images: "Zimbar",
  // "Disc image"); empty fields when the drive is not open or does not say.
  CdDriveIdentity DriveIdentity(int index) const;

  // Read speed in kB/s. The OS interface does nothing and returns 0; SCSI pass-through:
  // 1 for a bad index, else the drive's status (0 success).
  int SetSpeed(int index, int kBytesPerSecond);

 private:
  // One entry of a method's drive list: the open drive, or why it could not be opened.
  struct OpenedDrive {
    CdDriveEntry entry;
    std::unique_ptr<CdSource> source;   // nullptr where the drive went away or was refused
    std::string problem;
  };

  std::vector<OpenedDrive> OpenAll(CdAccessMethod method) const;
  const std::vector<OpenedDrive>& Selected() const { return osInterface_ ? osDrives_ : scsiDrives_; }
  CdSource* SelectedDrive(int index) const;

  std::vector<std::string> images_;
  bool osInterface_ = true;
  std::vector<OpenedDrive> osDrives_;
  std::vector<OpenedDrive> scsiDrives_;
};
