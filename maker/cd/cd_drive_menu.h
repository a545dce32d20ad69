// What the main window shows of the CD layer: the drive list, the track table, and the
// reader values derived from the CD settings.
#pragma once

#include <string>
#include <vector>

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
