// The CD side of the terminal front end.
#include "maker/batch/batch_cd.h"

#include <algorithm>

#include "maker/cd/cd_device.h"
#include "maker/cd/cd_drive_list.h"
#include "maker/jobs/job_rows.h"
#include "maker/jobs/command_line.h"

namespace {

Status<BatchCdError> OpenCdLayer(const BatchOptions& options, const SettingsTable& settings) {
  std::vector<std::string> images;
  for (const auto& image : options.cdImages) images.push_back(FullPath(image));
  SetDiscImages(images);
  if (CdInitialize() != 0) return Fail(BatchCdError{"ERROR: Cannot initialize CD Devices"});
  CdSelectApi(settings.Flag("UseWinNTRawRead"));
  return Done{};
}

}  // namespace

Status<BatchCdError> ListDrives(const BatchOptions& options, const SettingsTable& settings, std::FILE* out) {
  if (auto opened = OpenCdLayer(options, settings); !opened) return opened;
  int index = 0;
  for (;; ++index) {
    uint8_t hostAdapter = 0, target = 0, lun = 0;
    std::string name;
    const int result = CdGetDriveName(index, hostAdapter, target, lun, name);
    if (result == -1) break;
    std::fprintf(out, "%d: %s\n", index, result == 0 ? name.c_str() : "(no answer)");
  }
  if (index == 0) std::fprintf(out, "No CD-ROM Drive Found\n");
  CdShutdown();
  return Done{};
}

Status<BatchCdError> LoadCdTracks(const BatchOptions& options, const SettingsTable& settings, TerminalHost& host) {
  if (auto opened = OpenCdLayer(options, settings); !opened) return opened;
  const bool osInterface = settings.Flag("UseWinNTRawRead");
  std::vector<std::string> images = DiscImages();

  int drive = 0;
  if (options.drive) {
    drive = *options.drive;
  } else if (!images.empty()) {
    const auto drives = ListCdDrives(osInterface ? CdAccessMethod::OsInterface : CdAccessMethod::ScsiPassThrough);
    const auto at = std::find_if(drives.begin(), drives.end(),
                                 [&](const CdDriveEntry& e) { return e.image && e.path == images.front(); });
    if (at == drives.end()) return Fail(BatchCdError{"cannot open disc image " + options.cdImages.front()});
    drive = static_cast<int>(at - drives.begin());
  }

  TrackTable toc;
  if (CdReadToc(drive, toc) != 0 || toc.trackCount <= 0)
    return Fail(BatchCdError{"cannot read the table of contents of drive " + std::to_string(drive)});
  for (const auto& [track, name] : options.trackNames)
    if (track > toc.trackCount)
      return Fail(BatchCdError{"the disc has no track " + std::to_string(track) + " to name"});
  for (int track : options.tracks)
    if (track > toc.trackCount)
      return Fail(BatchCdError{"the disc has no track " + std::to_string(track) + " (it has " +
                               std::to_string(toc.trackCount) + ")"});

  for (int track = 1; track <= toc.trackCount; ++track) {
    const long sectors = toc.start[static_cast<size_t>(track) + 1] - toc.start[static_cast<size_t>(track)];
    const auto name = options.trackNames.find(track);
    host.AppendRow(JobList::Tracks, TrackRowText(status::kPending, track, sectors,
                                                 name == options.trackNames.end() ? "" : name->second));
    const bool wanted = options.tracks.empty() ||
                        std::find(options.tracks.begin(), options.tracks.end(), track) != options.tracks.end();
    host.SetRowSelected(JobList::Tracks, track - 1, wanted);
  }
  host.SelectDrive(drive);
  CdInfo& info = host.MutableCdInfo();
  if (options.title) info.title = *options.title;
  if (options.artist) info.artist = *options.artist;
  if (options.year) info.year = *options.year;
  if (options.genre) info.genre = *options.genre;
  if (options.pattern) {
    info.useFileNameFormat = true;
    info.fileNamePattern = *options.pattern;
  }
  if (options.id3) info.applyId3 = true;
  return Done{};
}
