// The shared drive numbering: real drives found by libcdio, then the named disc images.
#include "cdaccess/cd_drive_list.h"

#include <cdio/cdio.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "cdaccess/cd_source_internal.h"

namespace {

std::vector<std::string> RealDrivePaths() {
  std::vector<std::string> paths;
  char** devices = cdio_get_devices(DRIVER_DEVICE);
  if (devices == nullptr) return paths;
  for (char** d = devices; *d != nullptr; ++d) {
    // /dev/cdrom and /dev/sr0 are often one drive: list it once, under its real name.
    char* real = realpath(*d, nullptr);
    paths.emplace_back(real != nullptr ? real : *d);
    free(real);
  }
  cdio_free_device_list(devices);
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::vector<CdDriveEntry> ListCdDrives(CdAccessMethod method, const std::vector<std::string>& images) {
  std::vector<CdDriveEntry> drives;
  for (const std::string& path : RealDrivePaths()) {
    bool usable = false;
    switch (method) {
      case CdAccessMethod::OsInterface: {
        CdioHandle probe(cdio_open(path.c_str(), DRIVER_DEVICE));
        usable = probe != nullptr;
        break;
      }
      case CdAccessMethod::ScsiPassThrough:
        usable = IsScsiCdRom(path);
        break;
    }
    if (usable) drives.push_back({/*image=*/false, path});
  }
  for (const std::string& path : images) drives.push_back({/*image=*/true, path});
  return drives;
}

Expected<std::unique_ptr<CdSource>> OpenCdDrive(const CdDriveEntry& entry, CdAccessMethod method) {
  if (entry.image) return OpenDiscImage(entry.path);
  std::unique_ptr<CdSource> drive;
  switch (method) {
    case CdAccessMethod::OsInterface: drive = OpenOsInterfaceDrive(entry.path); break;
    case CdAccessMethod::ScsiPassThrough: drive = OpenScsiPassThroughDrive(entry.path); break;
  }
  if (!drive) return Fail(CdFailure(ErrorCategory::Io, 1, -1, entry.path + ": cannot open the drive"));
  return drive;
}

Expected<std::unique_ptr<CdSource>> OpenCdDrive(int index, CdAccessMethod method,
                                                       const std::vector<std::string>& images) {
  const std::vector<CdDriveEntry> drives = ListCdDrives(method, images);
  if (index < 0 || index >= static_cast<int>(drives.size()))
    return Fail(CdFailure(ErrorCategory::Usage, 1, -1, "there is no drive " + std::to_string(index)));
  return OpenCdDrive(drives[static_cast<size_t>(index)], method);
}

std::string DiscImagesVariableValue(const std::vector<std::string>& paths) {
  std::string joined;
  for (const std::string& path : paths) {
    if (path.empty() || path.find('\n') != std::string::npos) continue;
    joined += path;
    joined += '\n';
  }
  return joined;
}

std::vector<std::string> DiscImagesFromEnvironment() {
  std::vector<std::string> paths;
  const char* value = std::getenv(kDiscImagesVariable);
  if (value == nullptr) return paths;
  std::string rest(value);
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find('\n', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) paths.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return paths;
}

std::vector<std::string> MergeDiscImages(const std::vector<std::string>& commandLine, const std::string& setting) {
  std::vector<std::string> all;
  for (const auto& list : {commandLine, SplitDiscImageSetting(setting)})
    for (const std::string& path : list)
      if (!path.empty() && std::find(all.begin(), all.end(), path) == all.end()) all.push_back(path);
  return all;
}

std::vector<std::string> SplitDiscImageSetting(const std::string& value) {
  std::vector<std::string> paths;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find('|', start);
    if (end == std::string::npos) end = value.size();
    std::string path = Trim(value.substr(start, end - start));
    if (!path.empty()) paths.push_back(std::move(path));
    start = end + 1;
  }
  return paths;
}
