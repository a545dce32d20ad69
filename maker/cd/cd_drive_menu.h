// What the main window shows of the CD layer: the drive list, the track table, and the
// reader values derived from the CD settings.
#pragma once

#include <string>
#include <vector>

#include "cdaccess/cd_eject.h"
#include "cdaccess/disc_text.h"
#include "cdaccess/track_table.h"
#include "maker/cd/cd_device.h"

inline constexpr const char* kNoDriveFoundItem = "No CD-ROM Drive Found";
inline constexpr const char* kNoCdDevicesMessage = "ERROR: No CD Devices Available";
inline constexpr int kMaxListedDrives = 8;

struct CdDriveMenu {
  std::vector<std::string> items;   // what InputCDComboBox lists
  bool anyDrive = false;            // false: one item "No CD-ROM Drive Found", box disabled
};

// Selects the access method of `cd` and names its drives 0 ... 7: a drive that does not answer is
// shown as "Adapter: %i, ID: %i, Lun: %i"; names are cut to 127 characters and squeezed.
CdDriveMenu BuildCdDriveMenu(CdLayer& cd, bool osInterface);

// The disc images of `paths` whose files exist, each once, in order, and those whose files
// do not: a missing image is no drive, so it is not listed (the drives after it move up,
// alike for the window and its reader, which get the same list).
struct DiscImageList {
  std::vector<std::string> listed;
  std::vector<std::string> missing;
};
DiscImageList ExistingDiscImages(const std::vector<std::string>& paths);

// The index of disc image `path` in the drive list of `cd`'s selected method, -1 when it
// is not listed.
int DriveIndexOfImage(const CdLayer& cd, bool osInterface, const std::string& path);

// Whether drive `index` is a real drive (one with a tray to open), not a disc image.
bool IsRealDrive(const CdLayer& cd, bool osInterface, int index);

// Opens the tray of real drive `index`. The layer's own handles of the drives are closed
// first (the kernel does not eject a drive that is open twice) and opened again after.
// Fails for a disc image or an index beyond the list.
Outcome EjectDrive(CdLayer& cd, bool osInterface, int index, const CdDeviceRequest& request = RealCdDeviceRequest);

// Every run of blanks after the first character becomes one blank.
std::string SqueezeDriveName(const std::string& name);

// Reads the table of contents of a drive of `cd` (its selected method) and fills the track lengths. False (table
// cleared) when the read fails.
bool RefreshTrackTable(CdLayer& cd, int drive, TrackTable& table);
// The same, with the disc's own titles and performers (CdLayer::ReadToc); empty after a failure.
bool RefreshTrackTable(CdLayer& cd, int drive, TrackTable& table, DiscText& text);

// The kB/s of entry k of the speed list ("1X" ... "100X", "Maximum"): (k + 1) x 176.
int CdSpeedKBps(int speedIndex);
// Sectors per read of entry k of the sectors-per-read list: 8 + 4 x k for every entry,
// so no count passes 255, the limit of a read request's one-byte count.
int CdSectorsPerRead(int readSectorIndex);
// Overlap of entry k of the overlap list: 10 + 10 x k percent.
int CdOverlapPercent(int overlapIndex);
