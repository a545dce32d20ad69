// The rip log's text, its SHA-256 line, and the check of a log against that line.
#include "maker/accuracy/rip_log.h"

#include <nettle/sha2.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/regular_file.h"
#include "common/version.h"

namespace {

constexpr const char kHashPrefix[] = "SHA-256 ";
constexpr size_t kHashHexDigits = 2 * SHA256_DIGEST_SIZE;
// A rip log of 99 tracks with many suspicious ranges stays far below this; a larger file
// is refused before it is read whole.
constexpr off_t kMaxRipLogBytes = 16 * 1024 * 1024;

// A name or message on one line: control characters (a line feed in a title) become blanks.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return line;
}

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

// A disc position in sectors as "mm:ss.ff" (75 sectors a second).
std::string SectorTime(int64_t sectors) {
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld.%02lld", static_cast<long long>(sectors / (60 * kCdSectorsPerSecond)),
                static_cast<long long>(sectors / kCdSectorsPerSecond % 60),
                static_cast<long long>(sectors % kCdSectorsPerSecond));
  return text;
}

// A position within a track in frames as "m:ss.fff" (minutes, seconds, milliseconds).
std::string FrameTime(int64_t frames) {
  const int64_t ms = frames * 1000 / 44100;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

// The peak of 0 ... 32768 as a percentage of full scale with one decimal: "98.3 %".
std::string PeakText(int peak) {
  const int64_t tenths = (static_cast<int64_t>(peak) * 1000 + 16384) / 32768;
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%lld %%", static_cast<long long>(tenths / 10),
                static_cast<long long>(tenths % 10));
  return text;
}

// A reader's error or warning line as one line of a track: "Error: ..." or "Warning: ...",
// without the indent of the reader log; a text without either word is an error.
std::string ProblemLine(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  std::string line = OneLine(first == std::string_view::npos ? std::string_view() : text.substr(first));
  if (line.starts_with("Error: ") || line.starts_with("Warning: ")) return line;
  return "Error: " + line;
}

std::string SignedText(int value) { return value > 0 ? "+" + std::to_string(value) : std::to_string(value); }

// "1 track" / "3 tracks" and the rest of the sentence.
std::string Count(int tracks, const std::string& rest) {
  return std::to_string(tracks) + (tracks == 1 ? " track " : " tracks ") + rest + "\n";
}

void AppendTableOfContents(std::string& out, const TrackTable& toc) {
  out += "Table of contents\n";
  out += "  Track  Start     Length    Start sector  End sector\n";
  for (int t = 1; t <= toc.trackCount && t <= kCdMaxTracks; ++t) {
    const int32_t start = toc.start[static_cast<size_t>(t)];
    const int32_t end = toc.start[static_cast<size_t>(t) + 1];
    char line[128];
    std::snprintf(line, sizeof line, "  %5d  %s  %s  %12d  %10d%s\n", t, SectorTime(start).c_str(),
                  SectorTime(int64_t{end} - start).c_str(), start, end - 1,
                  toc.data[static_cast<size_t>(t)] != 0 ? "  data track" : "");
    out += line;
  }
  out += "\n";
}

void AppendTrack(std::string& out, const RipLogTrack& track) {
  out += "Track " + std::to_string(track.track) + "\n";
  out += "  File: " + OneLine(track.fileName) + "\n";
  if (!track.readMode.empty()) out += "  Read mode: " + OneLine(track.readMode) + "\n";
  out += "  Peak level: " + PeakText(track.peak) + "\n";
  if (track.testCrc) out += "  Test CRC " + Hex8(*track.testCrc) + "\n";
  if (track.copyCrc) out += "  Copy CRC " + Hex8(*track.copyCrc) + "\n";
  if (!track.replayGain.empty()) out += "  ReplayGain: " + track.replayGain + "\n";
  if (track.accurateRip)
    out += "  AccurateRip v1 " + Hex8(track.accurateRip->v1) + " v2 " + Hex8(track.accurateRip->v2) + "\n";
  out += "  Result: " + (track.failed ? std::string("read failed") : AccurateRipVerdictText(track.verdict)) + "\n";
  out += "  Retries: " + std::to_string(track.retries) + "\n";
  if (track.suspicious || !track.suspiciousRanges.empty()) {
    std::string ranges;
    for (const FrameRange& range : track.suspiciousRanges)
      ranges += (ranges.empty() ? " " : ", ") + FrameTime(range.first) + " - " + FrameTime(range.end);
    out += "  Suspicious:" + (ranges.empty() ? std::string(" the reads never agreed") : ranges) + "\n";
  }
  if (track.silenceBefore > 0 || track.silenceAfter > 0)
    out += "  Silence outside the disc: " + std::to_string(track.silenceBefore) + " samples before, " +
           std::to_string(track.silenceAfter) + " samples after\n";
  for (const std::string& error : track.errors) out += "  " + ProblemLine(error) + "\n";
  out += "\n";
}

std::string Sha256Hex(std::string_view bytes) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  std::string hex;
  hex.reserve(kHashHexDigits);
  constexpr char kDigits[] = "0123456789abcdef";
  for (const uint8_t byte : digest) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0xF]);
  }
  return hex;
}

Error RipLogError(RipLogFault fault, uint64_t line, const std::string& reason) {
  Error error(ErrorCategory::Format, line > 0 ? ErrorPosition::Line(line) : ErrorPosition{},
              "The rip log cannot be trusted: " + reason, reason);
  error.WithCase(fault);
  return error;
}

}  // namespace

std::string RipLogSummary(const RipLog& log) {
  if (log.tracks.empty()) return "No tracks ripped\n";
  int notAccurate = 0;
  int unverified = 0;
  int suspicious = 0;
  int failed = 0;
  for (const RipLogTrack& track : log.tracks) {
    if (track.suspicious) ++suspicious;
    if (track.failed) {
      ++failed;
      continue;
    }
    switch (track.verdict.kind) {
      case AccurateRipVerdict::Kind::Accurate:
        break;
      case AccurateRipVerdict::Kind::NotAccurate:
        ++notAccurate;
        break;
      case AccurateRipVerdict::Kind::NotInDatabase:
      case AccurateRipVerdict::Kind::NotChecked:
        ++unverified;
        break;
    }
  }
  if (notAccurate + unverified + suspicious + failed == 0) return "All tracks accurately ripped\n";
  std::string summary;
  if (notAccurate > 0) summary += Count(notAccurate, "not accurate");
  if (unverified > 0) summary += Count(unverified, "could not be verified");
  if (suspicious > 0) summary += Count(suspicious, "suspicious");
  if (failed > 0) summary += Count(failed, "with errors");
  return summary;
}

std::string FormatRipLog(const RipLog& log) {
  std::string out;
  const std::string program = log.program.empty() ? std::string("zbmaker ") + kZimbarVersion : log.program;
  out += OneLine(program) + " rip log\n";
  if (!log.date.empty()) out += "Date: " + OneLine(log.date) + "\n";
  out += "\n";

  out += "Drive: " + OneLine(CdDriveIdentity{log.driveVendor, log.driveModel}.Key()) + "\n";
  out += "Read offset: " + SignedText(log.readOffset) + " samples\n";
  out += "Read mode: " + OneLine(log.readMode) + "\n";
  bool silence = false;
  for (const RipLogTrack& track : log.tracks) silence = silence || track.silenceBefore > 0 || track.silenceAfter > 0;
  if (silence) out += "Samples outside the disc are written as silence\n";
  out += "Format: " + OneLine(log.format) + "\n";
  out += "\n";

  out += "Artist: " + OneLine(log.artist) + "\n";
  out += "Album: " + OneLine(log.album) + "\n";
  out += "\n";

  AppendTableOfContents(out, log.toc);

  if (log.discIds) {
    char ids[96];
    std::snprintf(ids, sizeof ids, " (id1 %08x, id2 %08x, CDDB id %08x)", log.discIds->id1, log.discIds->id2,
                  log.discIds->cddb);
    out += "AccurateRip disc: " + log.discIds->FileName() + ids + "\n";
  }
  out += "AccurateRip: " + (log.accurateRipStatus.empty() ? std::string("not looked up") : OneLine(log.accurateRipStatus)) +
         "\n\n";

  for (const RipLogTrack& track : log.tracks) AppendTrack(out, track);

  if (!log.errors.empty()) {
    out += "Errors\n";
    for (const std::string& error : log.errors) out += "  " + OneLine(error) + "\n";
    out += "\n";
  }

  out += "Summary\n";
  out += RipLogSummary(log);
  out += "\n";
  out += kHashPrefix + Sha256Hex(out) + "\n";
  return out;
}

Outcome VerifyRipLogText(const std::string& text) {
  if (text.empty()) return Fail(RipLogError(RipLogFault::NoHashLine, 0, "the log has no SHA-256 line"));
  // The last line, with its line feed; the hashed text is everything before it.
  const size_t contentEnd = text.back() == '\n' ? text.size() - 1 : text.size();
  const size_t feed = contentEnd == 0 ? std::string::npos : text.rfind('\n', contentEnd - 1);
  const size_t lineStart = feed == std::string::npos ? 0 : feed + 1;
  uint64_t lineNumber = 1;
  for (size_t i = 0; i < lineStart; ++i) lineNumber += text[i] == '\n' ? 1 : 0;
  const std::string_view line = std::string_view(text).substr(lineStart);
  if (!line.starts_with(kHashPrefix))
    return Fail(RipLogError(RipLogFault::NoHashLine, lineNumber, "the log has no SHA-256 line"));
  const std::string expected = kHashPrefix + Sha256Hex(std::string_view(text).substr(0, lineStart)) + "\n";
  if (line != expected)
    return Fail(RipLogError(RipLogFault::Changed, lineNumber, "the log was changed after it was written"));
  return Done{};
}

Outcome VerifyRipLogFile(const std::string& path) {
  auto file = OpenRegularFile(path);
  if (!file) return Fail(file.Error());
  struct stat info {};
  if (fstat(file.Value().Get(), &info) != 0) return Fail(IoError(errno, path, "Cannot read " + path));
  if (info.st_size > kMaxRipLogBytes) {
    Error error(ErrorCategory::Unsupported, {}, path + " is too large to be a rip log", "it is too large to be a rip log",
                path);
    error.WithCase(RipLogFault::TooLarge);
    return Fail(error);
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ReadUpTo(file.Value().Get(), buffer, sizeof buffer);
    if (got < 0) return Fail(IoError(errno, path, "Cannot read " + path));
    text.append(buffer, static_cast<size_t>(got));
    if (static_cast<size_t>(got) < sizeof buffer) break;
    if (static_cast<off_t>(text.size()) > kMaxRipLogBytes) break;
  }
  auto verdict = VerifyRipLogText(text);
  if (!verdict) {
    Error error = verdict.Error();
    error.subject = path;
    error.text = path + ": " + error.reason;
    return Fail(error);
  }
  return Done{};
}

Outcome WriteTextFileAtomically(const std::string& path, const std::string& text) {
  auto file = OutputFile::Create(path);
  if (!file) return Fail(file.Error());
  if (!WriteAll(file.Value().Fd(), text.data(), text.size()))
    return Fail(OutputFileFailure(OutputFileFault::Write, file.Value().WritePath(), errno));
  return file.Value().Commit();
}
