// The drive list, the track table refresh and the settings-derived reader values.
#include "maker/cd/cd_drive_menu.h"

#include <algorithm>
#include <cstdio>

CdDriveMenu BuildCdDriveMenu(CdLayer& cd, bool osInterface) {
  CdDriveMenu menu;
  cd.SelectApi(osInterface);
  for (int index = 0; index < kMaxListedDrives; ++index) {
    uint8_t hostAdapter = 255, target = 255, lun = 255;
    std::string name;
    const int rc = cd.GetDriveName(index, hostAdapter, target, lun, name);
    if (rc == -1) break;
    if (rc != 0) {
      char text[64];
      std::snprintf(text, sizeof text, "Adapter: %i, ID: %i, Lun: %i", hostAdapter, target, lun);
      name = text;
    }
    menu.items.push_back(SqueezeDriveName(name.substr(0, 127)));
  }
  menu.anyDrive = !menu.items.empty();
  if (!menu.anyDrive) menu.items.push_back(kNoDriveFoundItem);
  return menu;
}

std::string SqueezeDriveName(const std::string& name) {
  if (name.empty()) return name;
  std::string squeezed(1, name[0]);
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] == ' ' && squeezed.back() == ' ' && squeezed.size() > 1) continue;
    squeezed += name[i];
  }
  return squeezed;
}

bool RefreshTrackTable(CdLayer& cd, int drive, TrackTable& table) {
  DiscText ignored;
  return RefreshTrackTable(cd, drive, table, ignored);
}

bool RefreshTrackTable(CdLayer& cd, int drive, TrackTable& table, DiscText& text) {
  table = TrackTable{};
  if (cd.ReadToc(drive, table, text) != 0) {
    table = TrackTable{};
    return false;
  }
  for (int i = 1; i <= table.trackCount; ++i)
    table.length[static_cast<size_t>(i)] = table.start[static_cast<size_t>(i + 1)] - table.start[static_cast<size_t>(i)];
  return true;
}

int CdSpeedKBps(int speedIndex) { return (std::clamp(speedIndex, 0, 100) + 1) * 176; }

int CdSectorsPerRead(int readSectorIndex) { return 8 + 4 * std::clamp(readSectorIndex, 0, 33); }

int CdOverlapPercent(int overlapIndex) { return 10 + 10 * std::clamp(overlapIndex, 0, 7); }
