// The rip log: a text beside the ripped files that says how each track was read and what
// proves it, ending with the SHA-256 of everything above its last line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cdaccess/track_table.h"
#include "common/error.h"
#include "maker/accuracy/accuraterip.h"
#include "maker/accuracy/track_digest.h"

// How one track was read and checked.
struct RipLogTrack {
  int track = 0;                     // 1-based
  std::string fileName;              // the file written (name only)
  std::string readMode;              // "burst", "secure", "burst, then secure"
  int peak = 0;                      // 0 ... 32768
  std::optional<uint32_t> testCrc;   // the first read of a secure read
  std::optional<uint32_t> copyCrc;   // the read kept in the file
  std::optional<AccurateRipSums> accurateRip;
  AccurateRipVerdict verdict;
  int retries = 0;                   // reads beyond the first (burst) or the first two (secure)
  bool suspicious = false;           // secure reads that never agreed
  std::vector<FrameRange> suspiciousRanges;
  int64_t silenceBefore = 0;         // frames outside the disc written as silence
  int64_t silenceAfter = 0;
  std::string replayGain;            // "track -3.21 dB, album -4.02 dB" when its file got them
  bool failed = false;               // the read failed (error text in `errors`)
  // The reader's error and warning lines of the track ("    Warning: Sync Error. (At 4.20%)");
  // a line without "Error:" or "Warning:" in front is shown as an error.
  std::vector<std::string> errors;
};

struct RipLog {
  std::string program;               // "zbmaker 1.2.3"
  std::string date;                  // of the rip, local time "2026-12-09 20:15:03"
  std::string driveVendor;
  std::string driveModel;
  int readOffset = 0;
  std::string readMode;              // "burst, then verify", "secure (5 retries)", "burst"
  std::string format;                // "WAV" or the encoder's name and settings
  std::string artist;
  std::string album;
  TrackTable toc;
  std::optional<AccurateRipDiscIds> discIds;
  std::string accurateRipStatus;     // what the lookup said: "found, 3 pressings", a warning
  std::vector<RipLogTrack> tracks;
  std::vector<std::string> errors;   // errors of the run beyond single tracks
};

// The log's text, the SHA-256 line last ("SHA-256 " and 64 lower-case hex digits of every
// byte above that line), lines ending in a line feed. Each track's block holds indented
// lines that begin with a fixed word, for scripts: "File: ", "Peak level: ", "Test CRC
// XXXXXXXX", "Copy CRC XXXXXXXX", "AccurateRip v1 XXXXXXXX v2 XXXXXXXX" (upper-case hex),
// "Result: ", "Retries: ", "Suspicious: ", and the reader's "Error: " and "Warning: "
// lines. Control characters inside names (a line feed in a title) become blanks, so no
// name can make a line of its own.
std::string FormatRipLog(const RipLog& log);
// The summary's lines, each ending in a line feed: "All tracks accurately ripped", or any
// of "N tracks not accurate", "N tracks could not be verified", "N tracks suspicious",
// "N tracks with errors" (one track: "1 track ..."); "No tracks ripped" for an empty log.
std::string RipLogSummary(const RipLog& log);

// Whether a log's last line is the SHA-256 of everything above it. Ok: intact; a Format
// error whose reason is "the log was changed after it was written" (a byte of the text or
// of its SHA-256 line differs) or "the log has no SHA-256 line". The file form adds the
// Io errors of reading it (the path is the errors' subject).
enum class RipLogFault {
  Changed,      // the SHA-256 line does not match the text above it
  NoHashLine,   // the last line is not a SHA-256 line (or the text is empty)
  TooLarge,     // the file is far larger than any rip log (Unsupported)
};
Outcome VerifyRipLogText(const std::string& text);
Outcome VerifyRipLogFile(const std::string& path);

// Writes `text` to `path` through a temporary name, so a full disk never leaves half a log.
Outcome WriteTextFileAtomically(const std::string& path, const std::string& text);
