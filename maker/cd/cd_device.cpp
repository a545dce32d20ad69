// The six device operations over the shared drive list.
#include "maker/cd/cd_device.h"

#include <memory>
#include <vector>

#include "maker/cd/cd_drive_list.h"

namespace {

struct CdLayerState {
  bool osInterface = true;
  std::vector<std::unique_ptr<CdSource>> osDrives;     // nullptr where a drive went away
  std::vector<std::unique_ptr<CdSource>> scsiDrives;
};

CdLayerState& State() {
  static CdLayerState state;
  return state;
}

std::vector<std::unique_ptr<CdSource>> OpenAll(CdAccessMethod method) {
  std::vector<std::unique_ptr<CdSource>> sources;
  for (const CdDriveEntry& entry : ListCdDrives(method)) sources.push_back(OpenCdDrive(entry, method));
  return sources;
}

std::vector<std::unique_ptr<CdSource>>& Selected() {
  CdLayerState& state = State();
  return state.osInterface ? state.osDrives : state.scsiDrives;
}

// Drive `index` of the selected method; nullptr beyond the list or where the drive went away.
CdSource* SelectedDrive(int index) {
  auto& drives = Selected();
  if (index < 0 || index >= static_cast<int>(drives.size())) return nullptr;
  return drives[static_cast<size_t>(index)].get();
}

}  // namespace

int CdInitialize() {
  CdLayerState& state = State();
  state.osDrives = OpenAll(CdAccessMethod::OsInterface);
  state.scsiDrives = OpenAll(CdAccessMethod::ScsiPassThrough);
  return 0;
}

int CdShutdown() {
  CdLayerState& state = State();
  state.osDrives.clear();
  state.scsiDrives.clear();
  return 0;
}

void CdSelectApi(bool osInterface) { State().osInterface = osInterface; }

int CdGetDriveName(int index, uint8_t& hostAdapter, uint8_t& target, uint8_t& lun, std::string& name) {
  auto& drives = Selected();
  if (index < 0 || index >= static_cast<int>(drives.size())) return -1;
  CdSource* source = drives[static_cast<size_t>(index)].get();
  if (source == nullptr) return 1;
  const CdDriveAddress address = source->Address();
  hostAdapter = address.hostAdapter;
  target = address.target;
  lun = address.lun;
  auto result = source->Name();
  if (!result) return result.Error().code != 0 ? result.Error().code : 1;
  name = result.Value().substr(0, 64);
  return 0;
}

int CdReadToc(int index, TrackTable& table) {
  const bool osInterface = State().osInterface;
  CdSource* source = SelectedDrive(index);
  if (source == nullptr) return osInterface ? -1 : 1;
  auto toc = source->ReadToc();
  if (!toc) {
    if (osInterface) return -1;
    return toc.Error().code != 0 ? toc.Error().code : -1;
  }
  const std::vector<int32_t>& starts = toc.Value().starts;
  int count = static_cast<int>(starts.size()) - 1;
  if (count > kCdMaxTracks) count = kCdMaxTracks;   // the table holds 99 tracks
  table.trackCount = count;
  for (int i = 1; i <= count; ++i) table.start[static_cast<size_t>(i)] = starts[static_cast<size_t>(i - 1)];
  // With more than 99 tracks the 100th start serves as the end of track 99.
  table.start[static_cast<size_t>(count + 1)] = starts[static_cast<size_t>(count)];
  table.audio = 1;
  return 0;
}

int CdSetSpeed(int index, int kBytesPerSecond) {
  if (State().osInterface) return 0;
  CdSource* source = SelectedDrive(index);
  if (source == nullptr) return 1;
  auto result = source->SetSpeed(kBytesPerSecond);
  if (!result) return result.Error().code != 0 ? result.Error().code : -1;
  return 0;
}
