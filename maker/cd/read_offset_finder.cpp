// Find read offset: widened reads of a few tracks through the reader library, then the
// search over every shift.
#include "maker/cd/read_offset_finder.h"

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/fault_guard.h"
#include "common/library_loader.h"
#include "common/unique_fd.h"
#include "maker/cd/reader_messages.h"
#include "outside/zbntread/zbntread.h"

namespace {

using XwiWithOptionsEntry = int32_t (*)(ReaderRequest*, const ReaderOptions*);

// Tracks longer than ten minutes are read only when shorter ones are too few.
constexpr int32_t kLongTrackSectors = 10 * 60 * 75;

// How often the reader's block is looked at: Cancel reaches the library within this.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

std::string Format(const char* format, auto... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

std::string TrackList(const std::vector<int>& tracks) {
  std::string list;
  for (const int track : tracks) list += (list.empty() ? "" : ", ") + std::to_string(track);
  return list;
}


// The pressings of the record that are of this disc.
std::vector<const AccurateRipPressing*> PressingsOf(const AccurateRipRecord& record, const AccurateRipDiscIds& ids) {
  std::vector<const AccurateRipPressing*> pressings;
  for (const AccurateRipPressing& pressing : record.pressings) {
    if (pressing.id1 != ids.id1 || pressing.id2 != ids.id2 || pressing.cddb != ids.cddb) continue;
    if (static_cast<int>(pressing.tracks.size()) != ids.audioTracks) continue;
    pressings.push_back(&pressing);
  }
  return pressings;
}

// Collects what the library hands to its audio hook, up to the frames of the widened read.
struct WideSink {
  std::vector<uint32_t>* frames = nullptr;
  size_t wanted = 0;
  static void Take(void* user, const uint32_t* frames, int32_t count) {
    auto& sink = *static_cast<WideSink*>(user);
    const size_t room = sink.wanted - std::min(sink.wanted, sink.frames->size());
    const size_t take = std::min(room, static_cast<size_t>(std::max(count, 0)));
    sink.frames->insert(sink.frames->end(), frames, frames + take);
  }
};

}  // namespace

std::string ReadOffsetFindingText(const ReadOffsetFinding& finding) {
  switch (finding.kind) {
    case ReadOffsetFinding::Kind::Found:
      return Format("Read offset %+d (tracks %s matched, confidence %d)", finding.best.offset,
                    TrackList(finding.tracksMatched).c_str(), finding.best.confidence);
    case ReadOffsetFinding::Kind::NoMatch:
      return "No read offset matched (tracks " + TrackList(finding.tracksRead) + " read)";
    case ReadOffsetFinding::Kind::NotInDatabase:
      return "The disc is not in the AccurateRip database";
    case ReadOffsetFinding::Kind::Failed:
      return finding.error;
    case ReadOffsetFinding::Kind::Cancelled:
      break;
  }
  return "Cancelled";
}

std::vector<int> ChooseOffsetTracks(const TrackTable& table, const AccurateRipRecord& record,
                                    const AccurateRipDiscIds& ids, int maxTracks) {
  const std::vector<const AccurateRipPressing*> pressings = PressingsOf(record, ids);
  if (pressings.empty() || table.trackCount < 1 || table.trackCount > kCdMaxTracks) return {};
  struct Candidate {
    int track = 0;       // 1-based on the disc
    int confidence = 0;  // of every pressing's entry of it
    bool edge = false;   // the first or the last audio track
    bool lengthy = false;  // longer than kLongTrackSectors
  };
  std::vector<Candidate> candidates;
  int audioIndex = 0;
  for (int t = 1; t <= table.trackCount; ++t) {
    if (table.data[static_cast<size_t>(t)] != 0) continue;
    const int32_t sectors = table.start[static_cast<size_t>(t) + 1] - table.start[static_cast<size_t>(t)];
    Candidate candidate{t, 0, audioIndex == 0 || audioIndex == ids.audioTracks - 1, sectors > kLongTrackSectors};
    for (const AccurateRipPressing* pressing : pressings)
      if (audioIndex < static_cast<int>(pressing->tracks.size()))
        candidate.confidence += pressing->tracks[static_cast<size_t>(audioIndex)].confidence;
    ++audioIndex;
    if (candidate.confidence > 0) candidates.push_back(candidate);
  }
  // The first and last tracks lose their skip regions to the checksums and read into the
  // silence outside the disc: the middle tracks tell more. A long track is held in memory
  // whole (4 bytes a sample) and searched at length, for no better proof than a short one.
  std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    if (a.edge != b.edge) return !a.edge;
    if (a.lengthy != b.lengthy) return !a.lengthy;
    return a.confidence > b.confidence;
  });
  std::vector<int> chosen;
  for (const Candidate& candidate : candidates) {
    if (static_cast<int>(chosen.size()) >= maxTracks) break;
    chosen.push_back(candidate.track);
  }
  std::sort(chosen.begin(), chosen.end());
  return chosen;
}

ReadOffsetFinder::ReadOffsetFinder(MainLoop& loop, WorkerHost& host, const ReadOffsetFinderJob& job)
    : JobWorker(loop), host_(host), job_(job) {}

void ReadOffsetFinder::Cancel() {
  cancel_ = true;
  Terminate();
}

void ReadOffsetFinder::Log(LogSeverity severity, const std::string& line) {
  Synchronize([this, event = LogEvent{severity, {}, line}] { host_.AppendLog(MakerLog::Reader, event); });
}

void ReadOffsetFinder::Status(const std::string& text) {
  Synchronize([this, text] { host_.SetStatusText(MakerPanel::Reader, text); });
}

void ReadOffsetFinder::HandleMessage(const ReaderMessage& entry, int track) {
  const char* text = ReaderMessageText(entry.type);
  if (text != nullptr && IsReaderError(entry.type)) {
    if (finding_.error.empty()) finding_.error = Format("Track %02i: %s", track, text);
  } else if (text != nullptr) {
    // The read may still be exact (corrected jitter); a failed match is explained here.
    SetWarning();
    Log(LogSeverity::Warning, Format("    Warning: Track %02i: %s", track, Format(text, entry.value).c_str()));
  } else if (entry.type == READER_MSG_PROGRESS && std::min(entry.value, 10000) / 100 != lastPercent_) {
    // Whole percents only: each status waits for the main thread.
    lastPercent_ = std::min(entry.value, 10000) / 100;
    Status(Format(" Find read offset: Track %02i - %i%%", track, lastPercent_));
  }
}

bool ReadOffsetFinder::ReadWide(int track, int index, int count, WideTrackRead& read) {
  const TrackTable& table = job_.table;
  const int32_t first = table.start[static_cast<size_t>(track)];
  const int32_t end = table.start[static_cast<size_t>(track) + 1];
  read.trackFrames = int64_t{end - first} * kCdFramesPerSector;
  read.margin = job_.marginFrames;
  read.frames.clear();
  lastPercent_ = -1;
  read.frames.reserve(static_cast<size_t>(read.trackFrames + 2 * int64_t{read.margin}));
  // Read from `margin` frames before the track (a read offset of -margin) to `margin`
  // frames after it: the track's sectors and whole sectors for the two margins.
  const int32_t extraSectors = (2 * read.margin + kCdFramesPerSector - 1) / kCdFramesPerSector;

  Log(LogSeverity::Info, Format("Reading track %02i (%i of %i), %i samples either side", track, index, count,
                                read.margin));
  OutsideLibrary library = OutsideLibrary::Open("zbntread");
  const auto xwi = library.Loaded() ? library.Entry<XwiWithOptionsEntry>("XWIWithOptions") : nullptr;
  if (!library.Loaded()) {
    finding_.error = "Cannot load NT reader.";
    return false;
  }
  if (xwi == nullptr) {
    finding_.error = "Cannot load NT reader function.";
    return false;
  }
  // The library writes the track as well as handing it to the hook; nothing needs it.
  UniqueFd sinkFile(open("/dev/null", O_WRONLY | O_CLOEXEC));
  if (!sinkFile) {
    finding_.error = "Cannot open /dev/null";
    return false;
  }
  WideSink sink{&read.frames, static_cast<size_t>(read.trackFrames + 2 * int64_t{read.margin})};

  ReaderRequest request{};
  request.file = sinkFile.Get();
  request.osInterface = job_.osInterface ? 1 : 0;
  request.readMode = job_.readMode;
  request.drive = job_.drive;
  request.firstSector = first;
  request.endSector = end + extraSectors;
  request.sectorsPerRead = job_.sectorsPerRead;
  request.jitterOff = job_.jitterCorrection ? 0 : 1;
  request.overlapPercent = job_.overlapPercent;
  request.syncNoMatchRetries = job_.maxSyncNoMatchRetry;
  request.syncMisalignRetries = job_.maxSyncMisalignRetry;
  std::atomic_ref<int32_t>(request.cancel).store(0);
  std::atomic_ref<int32_t>(request.done).store(0);

  std::vector<const char*> images;
  for (const std::string& path : job_.discImages) images.push_back(path.c_str());
  ReaderOptions options{};
  options.imagePaths = images.data();
  options.imageCount = static_cast<int32_t>(images.size());
  options.readOffset = -read.margin;
  options.audio = &WideSink::Take;
  options.audioUser = &sink;

  const uint32_t fault = RunGuarded([&] { xwi(&request, &options); });
  if (fault != 0) {
    library.Close();
    finding_.error = "CD Reader failed.";
    return false;
  }
  WaitForReader(
      request, kPollInterval, [&](const ReaderMessage& message) { HandleMessage(message, track); },
      [this] { return Stopped(); });
  library.Close();
  if (Stopped()) return false;
  if (!finding_.error.empty()) return false;
  if (read.frames.size() != sink.wanted) {
    finding_.error = Format("Track %02i: the reader gave %lld of %lld samples", track,
                            static_cast<long long>(read.frames.size()), static_cast<long long>(sink.wanted));
    return false;
  }
  return true;
}

void ReadOffsetFinder::Run() {
  Log(LogSeverity::Begin, "");
  Log(LogSeverity::Info, Format("Finding the read offset of drive %i", job_.drive));
  const AccurateRipRecord none;
  const AccurateRipRecord& record = job_.record ? *job_.record : none;
  const std::vector<int> tracks = ChooseOffsetTracks(job_.table, record, job_.discIds, job_.maxTracks);
  if (tracks.empty()) {
    finding_.kind = ReadOffsetFinding::Kind::NotInDatabase;
    Log(LogSeverity::Warning, ReadOffsetFindingText(finding_));
    return;
  }

  // The track's index among the audio tracks, for the record's entries.
  const auto audioIndexOf = [&](int track) {
    int index = 0;
    for (int t = 1; t < track; ++t) index += job_.table.data[static_cast<size_t>(t)] == 0 ? 1 : 0;
    return index;
  };
  std::vector<WideTrackRead> reads;
  for (size_t i = 0; i < tracks.size(); ++i) {
    WideTrackRead read;
    read.track = audioIndexOf(tracks[i]);
    read.firstTrack = read.track == 0;
    read.lastTrack = read.track == job_.discIds.audioTracks - 1;
    if (!ReadWide(tracks[i], static_cast<int>(i) + 1, static_cast<int>(tracks.size()), read)) {
      if (Stopped()) {
        finding_.kind = ReadOffsetFinding::Kind::Cancelled;
        Log(LogSeverity::Warning, ReadOffsetFindingText(finding_));
      } else {
        finding_.kind = ReadOffsetFinding::Kind::Failed;
        SetError();
        Log(LogSeverity::Error, "    Error: " + finding_.error);
      }
      return;
    }
    finding_.tracksRead.push_back(tracks[i]);
    reads.push_back(std::move(read));
  }

  Status(" Find read offset: searching");
  finding_.matches = SearchReadOffsets(reads, record, job_.discIds, [this] { return Stopped(); });
  if (Stopped()) {
    finding_.kind = ReadOffsetFinding::Kind::Cancelled;
    Log(LogSeverity::Warning, ReadOffsetFindingText(finding_));
    return;
  }
  if (finding_.matches.empty()) {
    finding_.kind = ReadOffsetFinding::Kind::NoMatch;
    Log(LogSeverity::Warning, ReadOffsetFindingText(finding_));
    return;
  }
  finding_.kind = ReadOffsetFinding::Kind::Found;
  finding_.best = finding_.matches.front();
  // Which tracks back the offset: their sums at that shift, checked against the record.
  for (size_t i = 0; i < reads.size(); ++i) {
    const WideTrackRead& read = reads[i];
    const auto at = std::span(read.frames).subspan(static_cast<size_t>(read.margin + finding_.best.offset),
                                                   static_cast<size_t>(read.trackFrames));
    const AccurateRipSums sums = AccurateRipChecksums(at, read.firstTrack, read.lastTrack);
    const AccurateRipVerdict verdict = VerifyAccurateRip(record, job_.discIds, read.track, sums);
    if (verdict.kind != AccurateRipVerdict::Kind::Accurate) continue;
    finding_.tracksMatched.push_back(tracks[i]);
    Log(LogSeverity::Info, Format("Track %02i: %s at %+d", tracks[i], AccurateRipVerdictText(verdict).c_str(),
                                  finding_.best.offset));
  }
  Log(LogSeverity::Info, ReadOffsetFindingText(finding_));
}
