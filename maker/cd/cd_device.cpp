// The CD layer of one front end: the six device operations over its drive list.
#include "maker/cd/cd_device.h"

CdLayer::CdLayer() = default;
CdLayer::~CdLayer() = default;

void CdLayer::SetDiscImages(const std::vector<std::string>& paths) {
  images_.clear();
  for (const std::string& path : paths)
    if (!path.empty() && path.find('\n') == std::string::npos) images_.push_back(path);
}

void CdLayer::UseDiscImages(const std::vector<std::string>& commandLine, const std::string& setting) {
  SetDiscImages(MergeDiscImages(commandLine, setting));
}

std::vector<CdLayer::OpenedDrive> CdLayer::OpenAll(CdAccessMethod method) const {
  std::vector<OpenedDrive> drives;
  for (const CdDriveEntry& entry : Drives(method)) {
    auto source = OpenCdDrive(entry, method);
    if (source) {
      drives.push_back({entry, std::move(source).Value(), {}});
    } else {
      drives.push_back({entry, nullptr, source.Error().text});
    }
  }
  return drives;
}

// Drive `index` of the selected method; nullptr beyond the list or where the drive went away.
CdSource* CdLayer::SelectedDrive(int index) const {
  const auto& drives = Selected();
  if (index < 0 || index >= static_cast<int>(drives.size())) return nullptr;
  return drives[static_cast<size_t>(index)].source.get();
}

std::string CdLayer::DrivePath(int index) const {
  const auto& drives = Selected();
  if (index < 0 || index >= static_cast<int>(drives.size())) return {};
  return drives[static_cast<size_t>(index)].entry.path;
}

int CdLayer::Initialize() {
  osDrives_ = OpenAll(CdAccessMethod::OsInterface);
  scsiDrives_ = OpenAll(CdAccessMethod::ScsiPassThrough);
  return 0;
}

int CdLayer::Shutdown() {
  osDrives_.clear();
  scsiDrives_.clear();
  return 0;
}

int CdLayer::GetDriveName(int index, uint8_t& hostAdapter, uint8_t& target, uint8_t& lun, std::string& name) {
  const auto& drives = Selected();
  if (index < 0 || index >= static_cast<int>(drives.size())) return -1;
  const OpenedDrive& drive = drives[static_cast<size_t>(index)];
  CdSource* source = drive.source.get();
  if (source == nullptr && drive.entry.image) {
    // A refused image keeps its name in the list; reading its table says why it was refused.
    hostAdapter = target = lun = 255;
    name = DiscImageName(drive.entry.path).substr(0, 64);
    return 0;
  }
  if (source == nullptr) return 1;
  const CdDriveAddress address = source->Address();
  hostAdapter = address.hostAdapter;
  target = address.target;
  lun = address.lun;
  auto result = source->Name();
  if (!result) return CdStatusCode(result.Error()) != 0 ? CdStatusCode(result.Error()) : 1;
  name = result.Value().substr(0, 64);
  return 0;
}

int CdLayer::ReadToc(int index, TrackTable& table) {
  DiscText ignored;
  return ReadToc(index, table, ignored);
}

int CdLayer::ReadToc(int index, TrackTable& table, DiscText& text) {
  text = DiscText{};
  const bool osInterface = osInterface_;
  CdSource* source = SelectedDrive(index);
  if (source == nullptr) return osInterface ? -1 : 1;
  auto toc = source->ReadToc();
  if (!toc) {
    if (osInterface) return -1;
    return CdStatusCode(toc.Error()) != 0 ? CdStatusCode(toc.Error()) : -1;
  }
  const CdToc& disc = toc.Value();
  const std::vector<int32_t>& starts = disc.starts;
  int count = static_cast<int>(starts.size()) - 1;
  if (count > kCdMaxTracks) count = kCdMaxTracks;   // the table holds 99 tracks
  table.trackCount = count;
  table.data.fill(0);
  table.pregap.fill(-1);
  for (int i = 1; i <= count; ++i) {
    const auto track = static_cast<size_t>(i - 1);
    table.start[static_cast<size_t>(i)] = starts[track];
    table.data[static_cast<size_t>(i)] = disc.IsDataTrack(track) ? 1 : 0;
    if (track < disc.pregapStarts.size()) table.pregap[static_cast<size_t>(i)] = disc.pregapStarts[track];
  }
  // With more than 99 tracks the 100th start serves as the end of track 99.
  table.start[static_cast<size_t>(count + 1)] = starts[static_cast<size_t>(count)];
  table.audio = 1;
  text = std::move(toc.Value().text);
  if (text.tracks.size() > static_cast<size_t>(count)) text.tracks.resize(static_cast<size_t>(count));
  return 0;
}

std::string CdLayer::DriveProblem(int index) const {
  const auto& drives = Selected();
  if (index < 0 || index >= static_cast<int>(drives.size())) return {};
  return drives[static_cast<size_t>(index)].problem;
}

int CdLayer::SetSpeed(int index, int kBytesPerSecond) {
  if (osInterface_) return 0;
  CdSource* source = SelectedDrive(index);
  if (source == nullptr) return 1;
  auto result = source->SetSpeed(kBytesPerSecond);
  if (!result) return CdStatusCode(result.Error()) != 0 ? CdStatusCode(result.Error()) : -1;
  return 0;
}

CdDriveIdentity CdLayer::DriveIdentity(int index) const {
  CdSource* source = SelectedDrive(index);
  return source != nullptr ? source->Identity() : CdDriveIdentity{};
}
