// The AccurateRip request, the accuracy job of a track's read and the words of its proof.
#include "maker/jobs/rip_accuracy.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "maker/cd/cd_drive_menu.h"

namespace {

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08" PRIX32, value);
  return text;
}

}  // namespace

AccurateRipRequest MakeAccurateRipRequest(const SettingsTable& settings, const CdInfo& info,
                                          const AccurateRipDiscIds& ids, const std::string& serverOverride) {
  AccurateRipRequest request;
  request.server =
      serverOverride.empty() ? AccurateRipServerFromEnvironment(settings.accurateRipServer.str()) : serverOverride;
  while (request.server.size() > 1 && request.server.back() == '/') request.server.pop_back();
  if (info.useHttpProxy) request.httpProxy = info.httpProxy;
  request.ids = ids;
  return request;
}

std::string AccurateRipRecordUrl(const AccurateRipRequest& request) { return request.server + request.ids.RecordPath(); }

ReadOffsetFinderJob MakeReadOffsetFinderJob(const SettingsTable& settings, int drive,
                                            std::vector<std::string> images, const TrackTable& table) {
  ReadOffsetFinderJob job;
  job.drive = drive;
  job.discImages = std::move(images);
  job.osInterface = settings.useWinNtRawRead != 0;
  job.readMode = settings.aspiReadMode;
  job.sectorsPerRead = CdSectorsPerRead(settings.readSector);
  job.jitterCorrection = settings.jitterCorrection != 0;
  job.overlapPercent = CdOverlapPercent(settings.overlapPercent);
  job.maxSyncNoMatchRetry = settings.maxSyncNoMatchRetry;
  job.maxSyncMisalignRetry = settings.maxSyncMisalignRetry;
  job.table = table;
  return job;
}

ReadAccuracyJob MakeReadAccuracyJob(const SettingsTable& settings, int readOffset,
                                    std::shared_ptr<const AccurateRipRecord> record, const AccurateRipDiscIds& ids,
                                    const TrackTable* table, int track) {
  ReadAccuracyJob job;
  job.readOffset = readOffset;
  job.secure = settings.secureMode != 0;
  job.secureRetries = std::max(0, settings.secureRetries);
  job.burstThenVerify = settings.burstThenVerify != 0;
  job.record = std::move(record);
  job.discIds = ids;
  if (table == nullptr || track < 1 || track > table->trackCount) {
    job.firstAudioTrack = job.lastAudioTrack = true;
    return job;
  }
  int index = -1;
  int firstAudio = 0;
  int lastAudio = 0;
  for (int t = 1; t <= table->trackCount; ++t) {
    if (table->data[static_cast<size_t>(t)] != 0) continue;
    if (firstAudio == 0) firstAudio = t;
    lastAudio = t;
    if (t <= track) ++index;
  }
  job.audioTrackIndex = std::max(0, index);
  job.firstAudioTrack = track == firstAudio;
  job.lastAudioTrack = track == lastAudio;
  return job;
}

std::string RowVerificationText(const TrackAccuracy& accuracy) {
  if (accuracy.suspicious) return "Suspicious";
  switch (accuracy.verdict.kind) {
    case AccurateRipVerdict::Kind::Accurate:
      return "Accurate (" + std::to_string(accuracy.verdict.confidence) + ")";
    case AccurateRipVerdict::Kind::NotAccurate:
      return "Not accurate";
    case AccurateRipVerdict::Kind::NotInDatabase:
      return "Not in database";
    case AccurateRipVerdict::Kind::NotChecked:
      return "";
  }
  return "";
}

bool TrackResultWarns(const TrackAccuracy& accuracy) {
  return accuracy.suspicious || accuracy.verdict.kind == AccurateRipVerdict::Kind::NotAccurate;
}

std::string TrackResultText(int track, const TrackAccuracy& accuracy) {
  if (!accuracy.copy) return "";
  char heading[32];
  std::snprintf(heading, sizeof heading, "Track %02i: ", track);
  std::string line = heading + AccurateRipVerdictText(accuracy.verdict);
  if (accuracy.suspicious) line += ", suspicious";
  line += "  AccurateRip v1 " + Hex8(accuracy.copy->accurateRip.v1) + " v2 " + Hex8(accuracy.copy->accurateRip.v2);
  if (accuracy.test) line += "  Test CRC " + Hex8(accuracy.test->crc32);
  line += "  Copy CRC " + Hex8(accuracy.copy->crc32);
  if (accuracy.secureReread) line += "  (re-read securely)";
  if (accuracy.suspicious && !accuracy.suspiciousRanges.empty()) {
    line += "  differing frames";
    for (const FrameRange& range : accuracy.suspiciousRanges) {
      // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on the chained form here.
      line += ' ';
      line += std::to_string(range.first);
      line += '-';
      line += std::to_string(range.end - 1);
    }
  }
  if (accuracy.silenceBefore > 0 || accuracy.silenceAfter > 0)
    line += "  silence outside the disc: " + std::to_string(accuracy.silenceBefore) + " frames before, " +
            std::to_string(accuracy.silenceAfter) + " after";
  return line;
}
