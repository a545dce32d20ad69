// One run of the terminal front end.
#include "maker/batch/batch_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include "common/main_loop.h"
#include "common/paths.h"
#include "common/regular_file.h"
#include "maker/batch/batch_cd.h"
#include "maker/batch/batch_cddb.h"
#include "maker/batch/batch_find_offset.h"
#include "maker/batch/parallel_file_run.h"
#include "maker/batch/signal_canceller.h"
#include "maker/batch/terminal_host.h"
#include "maker/batch/terminal_text.h"
#include "maker/cd/cd_device.h"
#include "maker/jobs/job_pipeline.h"
#include "maker/jobs/job_rows.h"
#include "maker/jobs/maker_temporaries.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "maker/metadata/cd_info_settings.h"
#include "maker/settings/settings_table.h"

namespace {

// Why a file argument was not put on the list (it names no regular file), as a terminal
// user needs to hear it: what the name is, or what stands in the way.
std::string MissingFileText(const std::string& arg) {
  const std::string full = FullPath(arg);
  struct stat link{};
  if (::lstat(full.c_str(), &link) != 0) {
    if (errno == EACCES) return "no permission to reach " + arg + " (a folder on its way cannot be opened)";
    if (errno == ENOTDIR) return "no such file (a part of its path is not a folder): " + arg;
    // The maker takes every unknown word for a file name; a dash usually means a mistyped option.
    if (arg.size() > 1 && arg[0] == '-') return "unknown option or no such file: " + arg;
    if (errno == ENOENT) return "no such file: " + arg;
    return "cannot look at " + arg + ": " + std::strerror(errno);
  }
  const bool isLink = S_ISLNK(link.st_mode);
  std::string target;
  if (isLink) {
    std::string buffer(PATH_MAX, '\0');
    const ssize_t n = ::readlink(full.c_str(), buffer.data(), buffer.size());
    if (n > 0) target = buffer.substr(0, static_cast<size_t>(n));
  }
  const std::string linkTo = isLink ? " (a link to " + target + ")" : "";
  struct stat info{};
  if (::stat(full.c_str(), &info) != 0) {
    if (errno == ENOENT) return "a link to nothing (" + target + " does not exist): " + arg;
    if (errno == ELOOP) return "a link that leads round in a circle: " + arg;
    if (errno == EACCES) return "no permission to reach what " + arg + " links to" + linkTo;
    return "cannot look at " + arg + linkTo + ": " + std::strerror(errno);
  }
  if (S_ISDIR(info.st_mode)) return "not a file but a folder: " + arg + linkTo;
  return "not a regular file but " + FileTypeText(info.st_mode) + ": " + arg + linkTo;
}

// The first option given that only a CD run uses, or nullptr. In a file run it would be
// passed over in silence, and the outputs would not land where the user asked.
const char* CdOnlyOption(const BatchOptions& o) {
  if (!o.outputDir.empty()) return "--output";
  if (!o.tracks.empty()) return "--tracks";
  if (o.drive) return "--drive";
  if (!o.cdImages.empty()) return "--cd-image";
  if (o.cddb) return "--cddb";
  if (o.musicBrainz) return "--musicbrainz";
  if (!o.trackNamesFile.empty()) return "--track-names";
  if (!o.trackNames.empty()) return "--name";
  if (o.pattern) return "--pattern";
  if (o.id3) return "--id3";
  if (o.title) return "--title";
  if (o.accurateRip) return o.accurateRip.value() ? "--accuraterip" : "--no-accuraterip";
  if (o.accurateRipServer) return "--accuraterip-server";
  if (o.readOffset) return "--read-offset";
  if (o.secure) return "--secure";
  if (o.burst) return "--burst";
  if (!o.ripLogFile.empty()) return "--log";
  if (o.artist) return "--artist";
  if (o.year) return "--year";
  if (o.genre) return "--genre";
  return nullptr;
}

// The first option given that chooses or tunes the encoder, or nullptr.
const char* EncoderOption(const BatchOptions& o) {
  if (o.aac) return "--aac";
  if (o.m4a) return "--m4a";
  if (o.flac) return "--flac";
  if (o.vorbis) return "--vorbis";
  if (o.opus) return "--opus";
  if (o.external) return "--external";
  if (o.flacLevel) return "--flac-level";
  if (o.vorbisQuality) return "--vorbis-quality";
  if (o.opusBitRate) return "--opus-bitrate";
  return nullptr;
}

// Why a format's setting option does not fit the encoder of the run (`mode`, after the
// options), or nullptr: an encode to another format would pass over it in silence.
const char* FormatSettingProblem(const BatchOptions& o, int mode) {
  if (o.flacLevel && mode != kModeFlac) return "--flac-level is for FLAC encodes: add --flac, or choose FLAC in the settings";
  if (o.vorbisQuality && mode != kModeVorbis)
    return "--vorbis-quality is for Ogg Vorbis encodes: add --vorbis, or choose Ogg Vorbis in the settings";
  if (o.opusBitRate && mode != kModeOpus)
    return "--opus-bitrate is for Opus encodes: add --opus, or choose Opus in the settings";
  return nullptr;
}

// True when both streams reach one file (a terminal, or 2>&1), so a line on either shows once.
bool SameFile(std::FILE* a, std::FILE* b) {
  struct stat first {}, second {};
  return fstat(fileno(a), &first) == 0 && fstat(fileno(b), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// A problem found before the run, with what it names escaped for the terminal.
void PrintProblem(std::FILE* err, const std::string& text) {
  std::fprintf(err, "zbmaker: %s\n", TerminalText(text).c_str());
}

void PrintUsageError(std::FILE* err, const std::string& text) {
  std::fprintf(err, "%s\n", UsageErrorLine(TerminalText(text)).c_str());
}

}  // namespace

int RunBatch(const BatchOptions& options, std::FILE* out, std::FILE* err, SignalCanceller* canceller) {
  // What a maker killed while it saved left behind (a window saving now keeps its own).
  RemoveStaleMakerTemporaries();
  SettingsTable settings;
  const std::string settingsPath = SettingsTable::DefaultPath();
  if (!FileExists(settingsPath)) {
    if (auto saved = settings.Save(settingsPath); !saved)
      PrintProblem(err, "cannot create " + settingsPath + ": " + saved.Error().Message());
  } else if (auto loaded = settings.Load(settingsPath); !loaded) {
    PrintProblem(err, "cannot read " + settingsPath + ", using the defaults: " + loaded.Error().Message());
  }
  // Existing outputs are only replaced with --yes: every overwrite is asked, and the
  // terminal answers No unless --yes was given.
  settings.confirmOverwrite = 1;
  if (options.aac) settings.mpegMode = kModeAac;
  if (options.m4a) settings.mpegMode = kModeM4a;
  if (options.flac) settings.mpegMode = kModeFlac;
  if (options.vorbis) settings.mpegMode = kModeVorbis;
  if (options.opus) settings.mpegMode = kModeOpus;
  if (options.adts) settings.aacUseAdts = 1;
  if (options.flacLevel) settings.flacLevel = *options.flacLevel;
  if (options.vorbisQuality) settings.vorbisQuality = *options.vorbisQuality;
  if (options.opusBitRate) settings.opusBitRate = *options.opusBitRate;
  if (options.replayGain) {
    settings.replayGain = *options.replayGain ? 1 : 0;
    settings.replayGainFiles = *options.replayGain ? 1 : 0;
  }
  if (options.external) {
    settings.mpegMode = kModeExternal;
    settings.extPgm = *options.external;
  }
  if (options.accurateRip) settings.accurateRip = *options.accurateRip ? 1 : 0;
  if (options.secure) {
    settings.secureMode = 1;
    settings.burstThenVerify = 0;
  }
  if (options.burst) {
    settings.burstThenVerify = 1;
    settings.accurateRip = 1;
  }

  CdLayer cdLayer;   // this run's drives and disc images
  if (options.listDrives) {
    if (auto listed = ListDrives(options, settings, cdLayer, out); !listed) {
      PrintProblem(err, listed.Error().Message());
      return kBatchFailed;
    }
    return kBatchAllOk;
  }
  if (options.findOffset) {
    if (!options.jobArgs.empty()) {
      PrintUsageError(err, "--find-offset reads the disc; it takes no files");
      return kBatchUsage;
    }
    return RunFindReadOffset(options, settings, settingsPath, cdLayer, out, err, canceller);
  }

  QueueMainLoop loop;
  TerminalChoices choices;
  choices.answerYes = options.yes;
  choices.quiet = options.quiet;
  choices.progressLine = isatty(fileno(err)) != 0;
  choices.sharedStream = SameFile(out, err);
  TerminalHost host(out, err, choices);
  // The CD to MP3 reader writes ".tmp" files only, which it always replaces.
  RealJobWorkerFactory factory(loop, host, options.cd2mp3 ? &host.TemporaryFileHost() : nullptr);
  factory.UseCdLayer(cdLayer);
  JobPipeline pipeline(loop, host, factory, settings, ProbeOutsideLibrary);
  if (options.accurateRipServer) pipeline.SetAccurateRipServer(*options.accurateRipServer);
  pipeline.SetReadOffset(options.readOffset);
  // A CD to MP3 run encodes --jobs tracks at once, one per processor by default.
  pipeline.SetEncoderLanes(options.jobs.value_or(ProcessorCount()));
  if (!options.ripLogFile.empty()) pipeline.SetRipLogPath(FullPath(options.ripLogFile));
  // Naming pattern and ID3 choice, as the CD information window would hold them.
  LoadCdInfoChoices(settings, host.MutableCdInfo());

  const CommandLineFiles files = pipeline.ApplyCommandLine(options.jobArgs);
  for (const auto& missing : files.missing) PrintProblem(err, MissingFileText(missing));
  // A file that cannot be read stays on the list (its job fails), but the job's own line,
  // "Cannot open input file.", does not say why.
  for (const auto& file : files.files)
    if (auto opened = OpenRegularFile(file); !opened) PrintProblem(err, "cannot read " + file + ": " + opened.Error().reason);

  const bool cd = options.cd2mp3 || options.cd2wav;
  if (const char* option = CdOnlyOption(options); !cd && option != nullptr) {
    PrintUsageError(err, std::string(option) + " is for CD runs (--cd2mp3, --cd2wav); files are converted beside themselves");
    return kBatchUsage;
  }
  // Runs that encode nothing would pass over these in silence.
  const bool encodes = !options.cd2wav && !options.mp32wav;
  if (const char* option = EncoderOption(options); !encodes && option != nullptr) {
    PrintUsageError(err, std::string(option) + " chooses the encoder; --cd2wav and --mp32wav do not encode");
    return kBatchUsage;
  }
  if (const char* problem = FormatSettingProblem(options, settings.EncoderMode()); encodes && problem != nullptr) {
    PrintUsageError(err, problem);
    return kBatchUsage;
  }
  if (options.replayGain && !encodes) {
    PrintUsageError(err, std::string(*options.replayGain ? "--replaygain" : "--no-replaygain") +
                             " is for runs that encode; --cd2wav and --mp32wav write WAV files, which carry no tags");
    return kBatchUsage;
  }
  if (options.replayGain == true && (settings.EncoderMode() == kModeAac || settings.EncoderMode() == kModeExternal)) {
    PrintUsageError(err, "--replaygain is for MP3, M4A, FLAC, Ogg Vorbis and Opus encodes; AAC files and external "
                         "programs get no ReplayGain tags");
    return kBatchUsage;
  }
  // An MP3 or external-program encode would pass over the container choice in silence.
  if (options.adts && (!encodes || settings.EncoderMode() != kModeAac)) {
    PrintUsageError(err, "--adts is for AAC encodes: add --aac, or choose AAC in the settings");
    return kBatchUsage;
  }
  if (files.deleteInputs && (cd || options.mp32wav)) {
    PrintUsageError(err, "-delete deletes the WAV files of an encode (no --cd2mp3, --cd2wav, --mp32wav)");
    return kBatchUsage;
  }
  if (cd) {
    if (!files.files.empty() || !files.missing.empty()) {
      PrintUsageError(err, "files are not read in a CD run (--cd2mp3, --cd2wav)");
      return kBatchUsage;
    }
    if (!options.outputDir.empty()) settings.outputPath = FullPath(options.outputDir);
    // Ripped tracks go to the current folder when no output folder is set or it is gone.
    if (settings.outputPath.empty() || !DirectoryExists(settings.outputPath.str())) {
      if (!options.outputDir.empty() && !CreateDirectories(settings.outputPath.str())) {
        PrintProblem(err, "cannot create " + settings.outputPath.str());
        return kBatchFailed;
      }
      if (options.outputDir.empty()) settings.outputPath = FullPath(".");
    }
    host.SelectOperation(options.cd2wav ? Operation::CD2WAV : Operation::CD2MP3);
    auto disc = OpenBatchDisc(options, settings, cdLayer);
    if (!disc) {
      PrintProblem(err, disc.Error().Message());
      cdLayer.Shutdown();
      return kBatchFailed;
    }
    FillFromDiscText(disc.Value(), host);
    if (options.cddb || options.musicBrainz) {
      // The server of this run, and the proxies and hello identity of the settings.
      if (options.cddbServer) host.MutableCdInfo().cddbServer = *options.cddbServer;
      if (options.musicBrainzServer) settings.musicBrainzServer = *options.musicBrainzServer;
      host.MutableCdInfo().lookupSource = options.musicBrainz ? MetadataSource::MusicBrainz : MetadataSource::Cddb;
      const CddbRequest request =
          MakeCddbRequest(host.MutableCdInfo(), DiscLayoutFromTrackTable(disc.Value().toc), settings);
      if (LookUpDisc(loop, request, host, canceller) == kCddbCancelled) {
        cdLayer.Shutdown();
        return kBatchFailed;
      }
    }
    FillCdTracks(options, disc.Value(), host);
  } else if (options.mp32wav) {
    host.SelectOperation(Operation::MP32WAV);
  }
  if (!cd && files.files.empty() && files.missing.empty()) {
    PrintUsageError(err, "no files given");
    return kBatchUsage;
  }
  const JobList list = cd ? JobList::Tracks : JobList::Files;
  // The rows the run is asked to do: every file, or the selected tracks (a track's row is
  // deselected when it ends, so the choice is taken now).
  std::vector<bool> wanted;
  for (int row = 0; row < host.RowCount(list); ++row) wanted.push_back(!cd || host.RowSelected(list, row));
  host.ShowProgressOf(list, wanted);
  if (host.RowCount(list) == 0) {
    PrintProblem(err, "nothing to convert");
    return kBatchFailed;
  }

  // Files are converted several at once, each job on a pipeline of its own; a single job
  // runs on the one pipeline, exactly as a run one file at a time.
  std::vector<int> fileRows;
  for (int row = 0; !cd && row < host.RowCount(list); ++row) fileRows.push_back(row);
  const int lanes = std::min(options.jobs.value_or(ProcessorCount()), static_cast<int>(fileRows.size()));
  if (lanes > 1) {
    ParallelFileRun run(loop, host, settings, ProbeOutsideLibrary, fileRows, lanes, files.deleteInputs);
    std::optional<SignalCanceller::Watch> signals;
    if (canceller) signals.emplace(*canceller, loop, [&run] { run.Cancel(); });
    run.Start();
    loop.RunUntil([&run] { return run.Finished(); });
  } else {
    std::optional<SignalCanceller::Watch> signals;
    if (canceller) signals.emplace(*canceller, loop, [&pipeline] { pipeline.CancelButtonClick(); });
    if (cd)
      pipeline.StartButtonClick();
    else
      pipeline.FormShow();
    loop.RunUntil([&pipeline] { return !pipeline.Busy() && !pipeline.HasLiveWorkers(); });
  }
  host.FinishStatusLine();
  if (cd) cdLayer.Shutdown();

  int rows = 0;
  int ok = 0;
  int kept = 0;
  for (int row = 0; row < host.RowCount(list); ++row) {
    const std::string text = host.RowText(list, row);
    if (!wanted[static_cast<size_t>(row)]) continue;
    ++rows;
    const std::optional<JobOutcome> outcome = OutcomeOf(host.StatusOfRow(list, row));
    if (outcome == JobOutcome::Finished) ++ok;
    // The job left an existing output as it was (no --yes).
    if (outcome == JobOutcome::Kept) ++kept;
    // The tabs between the columns of a row are its own; any other is data.
    std::string shown = TerminalText(text, cd ? 3 : 1);
    // What proves a ripped track follows its row: "  [Accurate (12)]".
    if (const std::string verification = cd ? host.RowVerification(row) : std::string(); !verification.empty())
      shown += "  [" + verification + "]";
    std::fprintf(out, "%s\n", shown.c_str());
  }
  // Files named on the command line that do not exist count among those asked for.
  const int missing = static_cast<int>(files.missing.size());
  const int asked = rows + missing;
  std::fprintf(out, "%d of %d %s%s converted", ok, asked, cd ? "track" : "file", asked == 1 ? "" : "s");
  // A job that kept an existing output ended without error but converted nothing.
  if (kept > 0) std::fprintf(out, ", %d kept an existing output (use --yes to overwrite)", kept);
  if (missing > 0) std::fprintf(out, ", %d missing", missing);
  std::fputs(".\n", out);
  std::fflush(out);
  return ok == rows && rows > 0 && missing == 0 ? kBatchAllOk : kBatchFailed;
}
