// What a CD run asks of each track's read to prove it, and the words it shows for the
// proof: the AccurateRip lookup's request, the per-track accuracy job, the row text and
// the track's result line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cdaccess/track_table.h"
#include "maker/accuracy/accuraterip.h"
#include "maker/accuracy/accuraterip_lookup.h"
#include "maker/cd/read_offset_finder.h"
#include "maker/cd/track_accuracy.h"
#include "maker/metadata/cd_info.h"
#include "maker/settings/settings_table.h"

// The lookup of the disc `ids`: the server is `serverOverride` when not empty (--accuraterip-
// server), else ZIMBAR_ACCURATERIP_SERVER when set (a mirror, or a test's server), else the
// AccurateRipServer setting; the HTTP proxy of the CD information when its box is checked,
// and the CDDB lookup's time limits.
AccurateRipRequest MakeAccurateRipRequest(const SettingsTable& settings, const CdInfo& info,
                                          const AccurateRipDiscIds& ids, const std::string& serverOverride = {});
// The address the request asks for: the server, then the record's path.
std::string AccurateRipRecordUrl(const AccurateRipRequest& request);

// What the read of 1-based `track` of `table` is to prove: the drive's `readOffset`,
// secure mode, its retries and burst-then-verify from the settings, the disc's record (null
// when there is none to compare with) and the track's place among the disc's audio tracks.
// Without a table the track counts as the only audio track of its disc.
ReadAccuracyJob MakeReadAccuracyJob(const SettingsTable& settings, int readOffset,
                                    std::shared_ptr<const AccurateRipRecord> record, const AccurateRipDiscIds& ids,
                                    const TrackTable* table, int track);

// Find read offset on drive `drive` of the list with the disc `images`, reading the tracks of
// `table` as a rip reads them (the access method, read mode and jitter correction of the
// settings); the record and ids are the caller's to add.
ReadOffsetFinderJob MakeReadOffsetFinderJob(const SettingsTable& settings, int drive,
                                            std::vector<std::string> images, const TrackTable& table);

// The short words of a track row: "Accurate (12)", "Not accurate", "Not in database",
// "Suspicious" (secure reads that never agreed win over the verdict); empty when nothing
// was checked.
std::string RowVerificationText(const TrackAccuracy& accuracy);

// The track's one result line, for people and for scripts: "Track 03: accurately ripped
// (confidence 12, v2)  AccurateRip v1 0A1B2C3D v2 11223344  Test CRC 89ABCDEF  Copy CRC
// 89ABCDEF", with the ranges of a suspicious track and the silence written outside the
// disc. Empty when the read left no digest.
std::string TrackResultText(int track, const TrackAccuracy& accuracy);
// Whether the result is one a person should look at (not accurate, suspicious).
bool TrackResultWarns(const TrackAccuracy& accuracy);
