// The rip log, cue sheet and play list of a CD run.
#include "maker/jobs/rip_files.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "common/paths.h"
#include "common/version.h"
#include "maker/accuracy/cue_sheet_writer.h"
#include "maker/accuracy/rip_log.h"
#include "maker/jobs/pipeline_host.h"
#include "maker/metadata/file_name_pattern.h"
#include "maker/settings/settings_table.h"

namespace {

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// How the run read its tracks, for the log's heading.
std::string RunReadMode(const SettingsTable& settings) {
  if (settings.burstThenVerify != 0) return "burst, then verify";
  if (settings.secureMode != 0) return "secure (" + std::to_string(settings.secureRetries) + " retries)";
  return "burst";
}

// How one track was read.
std::string TrackReadMode(const TrackAccuracy& accuracy) {
  if (accuracy.secureReread) return "burst, then secure";
  return accuracy.test ? "secure" : "burst";
}

// The reads beyond the ones the track's mode makes in any case.
int Retries(const TrackAccuracy& accuracy) {
  const int usual = accuracy.secureReread ? 3 : accuracy.test ? 2 : 1;
  return accuracy.reads > usual ? accuracy.reads - usual : 0;
}

std::string FormatText(Operation operation, const SettingsTable& settings) {
  if (operation == Operation::CD2WAV) return "WAV";
  switch (settings.EncoderMode()) {
    case kModeAac:
      return "AAC " + std::to_string(settings.SelectedBitRateKbps()) + " kbit/s";
    case kModeExternal:
      return "external program: " + settings.SelectedExternalProgram();
    case kModeM4a:
      return "M4A " + std::to_string(settings.M4aBitRateKbps()) + " kbit/s";
    case kModeFlac:
      return "FLAC level " + std::to_string(settings.FlacLevelValue()) + (settings.flacVerify != 0 ? ", verify" : "");
    case kModeVorbis:
      return "Ogg Vorbis quality " + std::to_string(settings.VorbisQualityValue());
    case kModeOpus:
      return "Opus " + std::to_string(settings.OpusBitRateKbps()) + " kbit/s";
    default:
      break;
  }
  const int rate = settings.SelectedBitRateKbps();
  return rate > 1000 ? "MP3 variable bit rate, quality " + std::to_string(1011 - rate)
                     : "MP3 " + std::to_string(rate) + " kbit/s";
}

// The FILE type of a track's file: cue readers know MP3, AIFF and WAVE, and take WAVE for
// any other audio file (FLAC, Ogg, Opus, M4A, ...) and decode it by its content.
std::string CueFileType(const std::string& path) {
  const std::string extension = ExtractFileExt(path);
  if (extension == ".mp3" || extension == ".MP3") return "MP3";
  if (extension == ".aif" || extension == ".aiff") return "AIFF";
  return "WAVE";
}

void WriteOne(const std::string& what, const std::string& path, const std::string& text,
              std::vector<LogEvent>& lines) {
  if (const Outcome written = WriteTextFileAtomically(path, text); !written)
    lines.push_back(LogEvent::Error("    Error: Cannot write the " + what + " " + path + ": " +
                                    written.Error().Message()));
  else
    lines.push_back(LogEvent::Info("    " + std::string(1, static_cast<char>(what[0] - 'a' + 'A')) +
                                   what.substr(1) + " written to " + path + "."));
}

}  // namespace

std::string RipFilesStem(const CdInfo& info) {
  if (info.title.find_first_not_of(' ') == std::string::npos) return "rip";
  return NeutralizeDotComponents(CleanTrackName(info.title, 0));
}

std::vector<LogEvent> WriteRipFiles(const RipFilesInput& input) {
  std::vector<LogEvent> lines;
  if (input.tracks.empty() || input.settings == nullptr) return lines;
  const SettingsTable& settings = *input.settings;

  RipLog log;
  log.program = std::string("zbmaker ") + kZimbarVersion;
  log.date = LocalTimeText();
  log.driveVendor = input.drive.vendor;
  log.driveModel = input.drive.model;
  log.readOffset = input.readOffset;
  log.readMode = RunReadMode(settings);
  log.format = FormatText(input.operation, settings);
  log.artist = input.info.artist;
  log.album = input.info.title;
  log.toc = input.toc;
  log.discIds = input.discIds;
  log.accurateRipStatus = input.accurateRipStatus;

  CueSheet cue;
  cue.performer = input.info.artist;
  cue.title = input.info.title;
  if (input.discIds) {
    char id[16];
    std::snprintf(id, sizeof id, "%08" PRIx32, input.discIds->cddb);
    cue.discId = id;
  }
  std::vector<std::string> playList;

  for (const RippedTrack& ripped : input.tracks) {
    const TrackAccuracy& accuracy = ripped.accuracy;
    RipLogTrack track;
    track.track = ripped.track;
    track.fileName = ExtractFileName(ripped.path);
    track.readMode = TrackReadMode(accuracy);
    if (accuracy.copy) {
      track.peak = accuracy.copy->peak;
      track.copyCrc = accuracy.copy->crc32;
      track.accurateRip = accuracy.copy->accurateRip;
    }
    if (accuracy.test) track.testCrc = accuracy.test->crc32;
    track.verdict = accuracy.verdict;
    track.retries = Retries(accuracy);
    track.suspicious = accuracy.suspicious;
    track.suspiciousRanges = accuracy.suspiciousRanges;
    track.silenceBefore = accuracy.silenceBefore;
    track.silenceAfter = accuracy.silenceAfter;
    track.failed = ripped.failed;
    track.errors = ripped.errors;
    if (ripped.replayGain) {
      char gains[64];
      std::snprintf(gains, sizeof gains, "track %.2f dB, album %.2f dB", ripped.replayGain->trackGain,
                    ripped.replayGain->albumGain);
      track.replayGain = gains;
    }
    log.tracks.push_back(std::move(track));

    if (!ripped.written) continue;
    CueSheetTrack sheetTrack;
    sheetTrack.track = ripped.track;
    sheetTrack.fileName = ExtractFileName(ripped.path);
    sheetTrack.fileType = CueFileType(ripped.path);
    sheetTrack.title = ripped.name;
    sheetTrack.performer = input.info.artist;
    const auto at = static_cast<size_t>(ripped.track);
    if (ripped.track >= 1 && ripped.track <= input.toc.trackCount) {
      sheetTrack.sectors = input.toc.length[at];
      const int32_t pregap = input.toc.pregap[at];
      if (pregap >= 0 && pregap < input.toc.start[at]) sheetTrack.pregapSectors = input.toc.start[at] - pregap;
    }
    cue.tracks.push_back(std::move(sheetTrack));
    playList.push_back(ExtractFileName(ripped.path));
  }

  // Everything goes beside the first track's file; the log wherever it was asked to go.
  const std::string folder = ExtractFileDir(input.tracks.front().path);
  const std::string stem = RipFilesStem(input.info);
  const std::string logPath = input.logPath.empty() ? JoinPath(folder, stem + ".log") : input.logPath;
  lines.push_back(LogEvent::Begin());
  std::string summary = RipLogSummary(log);
  while (!summary.empty() && (summary.back() == '\n' || summary.back() == '\r')) summary.pop_back();
  lines.push_back(LogEvent::Info("Rip log: " + summary));
  WriteOne("rip log", logPath, FormatRipLog(log), lines);
  if (!cue.tracks.empty()) {
    WriteOne("cue sheet", JoinPath(folder, stem + ".cue"), FormatCueSheet(cue), lines);
    WriteOne("play list", JoinPath(folder, stem + ".m3u"), FormatM3uPlayList(playList), lines);
  }
  return lines;
}
