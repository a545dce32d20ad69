// The drive list, the track table refresh and the settings-derived reader values.
#include "maker/cd/cd_drive_menu.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace {

CdAccessMethod Method(bool osInterface) {
  return osInterface ? CdAccessMethod::OsInterface : CdAccessMethod::ScsiPassThrough;
}

}  // namespace

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

DiscImageList ExistingDiscImages(const std::vector<std::string>& paths) {
  DiscImageList list;
  for (const std::string& path : paths) {
    if (std::find(list.listed.begin(), list.listed.end(), path) != list.listed.end()) continue;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
      list.listed.push_back(path);
    else if (std::find(list.missing.begin(), list.missing.end(), path) == list.missing.end())
      list.missing.push_back(path);
  }
  return list;
}

int DriveIndexOfImage(const CdLayer& cd, bool osInterface, const std::string& path) {
  const std::vector<CdDriveEntry> drives = cd.Drives(Method(osInterface));
  for (size_t i = 0; i < drives.size(); ++i)
    if (drives[i].image && drives[i].path == path) return static_cast<int>(i);
  return -1;
}

bool IsRealDrive(const CdLayer& cd, bool osInterface, int index) {
  const std::vector<CdDriveEntry> drives = cd.Drives(Method(osInterface));
  return index >= 0 && index < static_cast<int>(drives.size()) && !drives[static_cast<size_t>(index)].image;
}

Outcome EjectDrive(CdLayer& cd, bool osInterface, int index, const CdDeviceRequest& request) {
  const std::vector<CdDriveEntry> drives = cd.Drives(Method(osInterface));
  if (index < 0 || index >= static_cast<int>(drives.size()))
    return Fail(Error(ErrorCategory::Usage, {}, "There is no drive " + std::to_string(index) + " to eject"));
  const CdDriveEntry& drive = drives[static_cast<size_t>(index)];
  if (drive.image)
    return Fail(Error(ErrorCategory::Usage, {}, DiscImageName(drive.path) + " is a disc image: it has no tray to open",
                      {}, drive.path));
  cd.Shutdown();
  Outcome ejected = EjectCdDrive(drive.path, request);
  cd.Initialize();
  return ejected;
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
