// The CD side of the terminal front end.
#include "maker/batch/batch_cd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "cdaccess/cd_drive_list.h"
#include "maker/batch/terminal_text.h"
#include "maker/cd/cd_device.h"
#include "maker/jobs/command_line.h"
#include "maker/jobs/job_rows.h"
#include "maker/metadata/disc_text_fill.h"

namespace {

// An option that asks for more than the disc or the names file has.
Error OptionBeyondDisc(std::string text) { return Error(ErrorCategory::Usage, {}, std::move(text)); }

Outcome OpenCdLayer(const BatchOptions& options, const SettingsTable& settings, CdLayer& cd) {
  std::vector<std::string> images;
  for (const auto& image : options.cdImages) images.push_back(FullPath(image));
  cd.UseDiscImages(images, settings.discImages);
  if (cd.Initialize() != 0) return Fail(Error(ErrorCategory::Io, {}, "ERROR: Cannot initialize CD Devices"));
  cd.SelectApi(settings.useWinNtRawRead != 0);
  return Done{};
}

}  // namespace

Outcome ListDrives(const BatchOptions& options, const SettingsTable& settings, CdLayer& cd, std::FILE* out) {
  if (auto opened = OpenCdLayer(options, settings, cd); !opened) return opened;
  int index = 0;
  for (;; ++index) {
    uint8_t hostAdapter = 0, target = 0, lun = 0;
    std::string name;
    const int result = cd.GetDriveName(index, hostAdapter, target, lun, name);
    if (result == -1) break;
    std::fprintf(out, "%d: %s\n", index, result == 0 ? TerminalText(name).c_str() : "(no answer)");
  }
  if (index == 0) std::fprintf(out, "No CD-ROM Drive Found\n");
  cd.Shutdown();
  return Done{};
}

Expected<std::vector<std::string>> ReadTrackNamesFile(const std::string& path) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(IoError(errno != 0 ? errno : ENOENT, path, "cannot read " + path));
  std::vector<std::string> names;
  std::string line;
  while (std::getline(in, line)) {
    if (names.empty() && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    names.push_back(std::move(line));
  }
  if (in.bad()) return Fail(Error(ErrorCategory::Io, {}, "cannot read " + path, {}, path));
  return names;
}

Expected<BatchDisc> OpenBatchDisc(const BatchOptions& options, const SettingsTable& settings, CdLayer& cd) {
  if (auto opened = OpenCdLayer(options, settings, cd); !opened) return Fail(opened.Error());
  const bool osInterface = settings.useWinNtRawRead != 0;

  BatchDisc disc;
  if (options.drive) {
    disc.drive = *options.drive;
  } else if (!options.cdImages.empty()) {
    const std::string first = FullPath(options.cdImages.front());
    const auto drives = cd.Drives(osInterface ? CdAccessMethod::OsInterface : CdAccessMethod::ScsiPassThrough);
    const auto at = std::find_if(drives.begin(), drives.end(),
                                 [&](const CdDriveEntry& e) { return e.image && e.path == first; });
    if (at == drives.end()) return Fail(Error(ErrorCategory::Io, {}, "cannot open disc image " + options.cdImages.front(), {},
                       options.cdImages.front()));
    disc.drive = static_cast<int>(at - drives.begin());
  }

  TrackTable& toc = disc.toc;
  if (cd.ReadToc(disc.drive, toc, disc.text) != 0 || toc.trackCount <= 0) {
    const std::string drive = std::to_string(disc.drive);
    if (std::string problem = cd.DriveProblem(disc.drive); !problem.empty())
      return Fail(Error(ErrorCategory::Io, {}, std::move(problem), {}, drive));
    return Fail(Error(ErrorCategory::Io, {}, "cannot read the table of contents of drive " + drive, {}, drive));
  }
  disc.identity = cd.DriveIdentity(disc.drive);
  for (const auto& [track, name] : options.trackNames)
    if (track > toc.trackCount)
      return Fail(OptionBeyondDisc("the disc has no track " + std::to_string(track) + " to name"));
  for (int track : options.tracks)
    if (track > toc.trackCount)
      return Fail(OptionBeyondDisc("the disc has no track " + std::to_string(track) + " (it has " +
                                   std::to_string(toc.trackCount) + ")"));
  if (!options.trackNamesFile.empty()) {
    auto names = ReadTrackNamesFile(options.trackNamesFile);
    if (!names) return Fail(names.Error());
    disc.fileTrackNames = std::move(names).Value();
    // Blank lines at the end are no names; a name beyond the last track means the file
    // was written for another disc.
    while (!disc.fileTrackNames.empty() && disc.fileTrackNames.back().empty()) disc.fileTrackNames.pop_back();
    if (static_cast<int>(disc.fileTrackNames.size()) > toc.trackCount)
      return Fail(OptionBeyondDisc(options.trackNamesFile + " names " + std::to_string(disc.fileTrackNames.size()) +
                                   " tracks, the disc has " + std::to_string(toc.trackCount)));
  }
  return disc;
}

void FillFromDiscText(const BatchDisc& disc, TerminalHost& host) {
  const DiscTextFill filled = FillCdInfoFromDiscText(disc.text, disc.toc.trackCount, {}, host.MutableCdInfo());
  const auto names = std::count_if(filled.trackNames.begin(), filled.trackNames.end(),
                                   [](const std::string& name) { return !name.empty(); });
  if (filled.title.empty() && filled.artist.empty() && names == 0) return;
  host.AppendLog(MakerLog::Reader, LogEvent::Info("    Disc text: " + filled.artist + " / " + filled.title + ", " +
                                                      std::to_string(names) + " track names"));
}

void FillCdTracks(const BatchOptions& options, const BatchDisc& disc, TerminalHost& host) {
  CdInfo& info = host.MutableCdInfo();
  const TrackTable& toc = disc.toc;
  for (int track = 1; track <= toc.trackCount; ++track) {
    std::string name = info.TrackName(track);
    const size_t line = static_cast<size_t>(track) - 1;
    if (line < disc.fileTrackNames.size() && !disc.fileTrackNames[line].empty()) name = disc.fileTrackNames[line];
    if (const auto given = options.trackNames.find(track); given != options.trackNames.end()) name = given->second;
    info.SetTrackName(track, name);
    const long sectors = toc.start[static_cast<size_t>(track) + 1] - toc.start[static_cast<size_t>(track)];
    host.AppendRow(JobList::Tracks, TrackRowText(status::kPending, track, sectors, name));
    const bool wanted = options.tracks.empty() ||
                        std::find(options.tracks.begin(), options.tracks.end(), track) != options.tracks.end();
    host.SetRowSelected(JobList::Tracks, track - 1, wanted);
  }
  host.SelectDrive(disc.drive);
  host.SetDisc(toc, disc.identity);
  if (options.title) info.title = *options.title;
  if (options.artist) info.artist = *options.artist;
  if (options.year) info.year = *options.year;
  if (options.genre) info.genre = *options.genre;
  if (options.pattern) {
    info.useFileNameFormat = true;
    info.fileNamePattern = *options.pattern;
  }
  if (options.id3) info.applyId3 = true;
}
