// The read loop of one track: plain sequential reads, or overlapping reads aligned by
// matching their audio against what was already accepted.
#include "outside/zbntread/track_reader.h"

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <thread>

#include "cdaccess/track_table.h"
#include "outside/zbntread/zbntread.h"

namespace {

constexpr int kMaxSearchFrames = kCdFramesPerSector;   // at most one sector early or late

bool Constant(const std::vector<uint32_t>& frames) {
  return std::all_of(frames.begin(), frames.end(), [&](uint32_t f) { return f == frames.front(); });
}

// The candidate closest to the asked place; 0 when there is none.
int Nearest(const std::vector<int>& found) {
  if (found.empty()) return 0;
  return *std::min_element(found.begin(), found.end(), [](int a, int b) { return std::abs(a) < std::abs(b); });
}

}  // namespace

TrackReader::TrackReader(CdSource& source, const TrackReadParams& params, const TrackReadEvents& events)
    : source_(source), params_(params), events_(events) {
  params_.sectorsPerRead = std::clamp(params_.sectorsPerRead, 1, 255);
  params_.overlapPercent = std::clamp(params_.overlapPercent, 10, 80);
  params_.syncNoMatchRetries = std::max(params_.syncNoMatchRetries, 0);
  params_.syncMisalignRetries = std::max(params_.syncMisalignRetries, 0);
  // The overlap and search ranges below guarantee progress only from 8 sectors a read.
  if (params_.jitterCorrection) params_.sectorsPerRead = std::max(params_.sectorsPerRead, 8);
  totalFrames_ = int64_t{std::max(params_.endSector - params_.firstSector, 0)} * kCdFramesPerSector;
  tailCapacity_ = static_cast<size_t>(params_.sectorsPerRead + 3) * kCdFramesPerSector;
}

TrackReadOutcome TrackReader::Run() {
  if (totalFrames_ == 0) {
    ReportProgress(/*force=*/true);
    return TrackReadOutcome::Finished;
  }
  const TrackReadOutcome outcome = params_.jitterCorrection ? RunCorrected() : RunPlain();
  if (outcome == TrackReadOutcome::Finished) {
    ReportProgress(/*force=*/true);
    if (corrections_ > 0) events_.message(READER_MSG_CORRECTIONS, corrections_, 0);
  }
  return outcome;
}

void TrackReader::ReportProgress(bool force) {
  const int32_t progress = totalFrames_ == 0 ? 10000 : static_cast<int32_t>(accepted_ * 10000 / totalFrames_);
  // About every half percent, so the ring never holds more than the caller drains.
  if (!force && lastProgress_ >= 0 && progress < lastProgress_ + 50) return;
  if (force && progress == lastProgress_) return;
  lastProgress_ = progress;
  events_.message(READER_MSG_PROGRESS, progress, 0);
}

bool TrackReader::Accept(std::span<const uint32_t> frames) {
  if (frames.empty()) return true;
  if (!events_.emit(frames)) {
    outputFailed_ = true;
    return false;
  }
  accepted_ += static_cast<int64_t>(frames.size());
  tail_.insert(tail_.end(), frames.begin(), frames.end());
  if (tail_.size() > tailCapacity_) tail_.erase(tail_.begin(), tail_.end() - static_cast<ptrdiff_t>(tailCapacity_));
  ReportProgress(/*force=*/false);
  return true;
}

void TrackReader::PauseAfterFailure() {
  if (!source_.PausesAfterFailure()) return;
  // A drive that failed a read gets a moment to settle; cancel still ends the wait.
  for (int i = 0; i < 10 && !events_.cancelled(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

bool TrackReader::ReadOnce(int32_t sector, int sectors, std::vector<uint32_t>& frames, bool pause) {
  frames.resize(static_cast<size_t>(sectors) * kCdFramesPerSector);
  std::span<uint8_t> bytes(reinterpret_cast<uint8_t*>(frames.data()), frames.size() * 4);
  int failures = 0;
  int lastCode = 0;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    if (attempt > 0 && events_.cancelled()) return false;
    auto result = source_.ReadAudio(sector, sectors, params_.readMode, bytes);
    if (result) {
      // Every failure a repeat cured is worth a warning: the drive is struggling here.
      for (int i = 0; i < failures; ++i) events_.message(READER_MSG_DRIVE_ERROR, lastCode, sector);
      return true;
    }
    ++failures;
    lastCode = CdStatusCode(result.Error());
    if (pause) PauseAfterFailure();
  }
  return false;
}

TrackReader::BlockRead TrackReader::ReadBlock(int32_t sector, int sectors, std::vector<uint32_t>& frames) {
  BlockRead block;
  if (ReadOnce(sector, sectors, frames, /*pause=*/true)) {
    block.ok = true;
    return block;
  }
  if (events_.cancelled()) return block;
  // The request keeps failing: read sector by sector so only what is unreadable is lost.
  frames.assign(static_cast<size_t>(sectors) * kCdFramesPerSector, 0);
  std::vector<uint32_t> one;
  for (int i = 0; i < sectors; ++i) {
    if (events_.cancelled()) return block;
    const int32_t s = sector + i;
    // No pauses here: a damaged stretch on a real drive would otherwise take minutes.
    if (ReadOnce(s, 1, one, /*pause=*/false)) {
      std::copy(one.begin(), one.end(), frames.begin() + static_cast<ptrdiff_t>(i) * kCdFramesPerSector);
      continue;
    }
    block.hadBadSectors = true;
    // One error per new run of unreadable sectors, even when overlapping reads meet it again.
    if (s > lastBadReported_) {
      if (s != lastBadReported_ + 1 || lastBadReported_ < 0) events_.message(READER_MSG_READ_ERROR, s, s);
      lastBadReported_ = s;
    }
  }
  block.ok = true;
  return block;
}

TrackReadOutcome TrackReader::RunPlain() {
  std::vector<uint32_t> frames;
  while (accepted_ < totalFrames_) {
    if (events_.cancelled()) return TrackReadOutcome::Cancelled;
    const int32_t sector = params_.firstSector + static_cast<int32_t>(accepted_ / kCdFramesPerSector);
    const int sectors = std::min(params_.sectorsPerRead, params_.endSector - sector);
    if (!ReadBlock(sector, sectors, frames).ok) return TrackReadOutcome::Cancelled;
    if (!Accept(frames)) return TrackReadOutcome::OutputFailed;
  }
  return TrackReadOutcome::Finished;
}

std::vector<int> TrackReader::Candidates(const std::vector<uint32_t>& read, int64_t readStart, int range) const {
  // readStart: track frame the read was asked to begin at. A read that came d frames late
  // holds track frame readStart + d + k at index k.
  std::vector<int> found;
  const int64_t tailStart = accepted_ - static_cast<int64_t>(tail_.size());
  const int64_t readFrames = static_cast<int64_t>(read.size());
  for (int d = -range; d <= range; ++d) {
    const int64_t from = std::max(readStart + d, tailStart);
    const int64_t to = std::min(accepted_, readStart + d + readFrames);
    if (to - from < range) continue;   // too little overlap to decide
    if (std::memcmp(&tail_[static_cast<size_t>(from - tailStart)], &read[static_cast<size_t>(from - readStart - d)],
                    static_cast<size_t>(to - from) * 4) == 0)
      found.push_back(d);
  }
  return found;
}

TrackReader::Vote TrackReader::VoteRead(int32_t sector, int sectors, std::vector<uint32_t>& read) {
  // Reads that came from the same place are byte-identical, and a misplaced read rarely
  // repeats the same misplacement three times: wait for three that agree (two for the
  // last resort), and take silence or a bad stretch as it comes.
  std::vector<std::vector<uint32_t>> reads;
  std::vector<int> agreeing;
  for (int i = 0; i < kVoteReads; ++i) {
    const BlockRead block = ReadBlock(sector, sectors, read);
    if (!block.ok) return Vote::Cancelled;
    if (block.hadBadSectors || Constant(read)) return Vote::Agreed;
    int same = 1;
    for (size_t k = 0; k < reads.size(); ++k)
      if (reads[k] == read) same = ++agreeing[k];
    if (same >= kVotesNeeded) return Vote::Agreed;
    if (same == 1) {
      reads.push_back(read);
      agreeing.push_back(1);
    }
  }
  const auto best = std::max_element(agreeing.begin(), agreeing.end());
  read = reads[static_cast<size_t>(best - agreeing.begin())];
  return *best >= 2 ? Vote::Agreed : Vote::Undecided;
}

TrackReadOutcome TrackReader::RunCorrected() {
  events_.message(READER_MSG_FINDING_START, 0, params_.firstSector);
  std::vector<uint32_t> read;

  // The first read has nothing to be matched against: read it until enough reads agree.
  {
    const int sectors = std::min(params_.sectorsPerRead, params_.endSector - params_.firstSector);
    const Vote vote = VoteRead(params_.firstSector, sectors, read);
    if (vote == Vote::Cancelled) return TrackReadOutcome::Cancelled;
    if (vote == Vote::Undecided) events_.message(READER_MSG_SUSPICIOUS_START, 0, params_.firstSector);
    if (!Accept(read)) return TrackReadOutcome::OutputFailed;
  }

  const int64_t readFramesMax = int64_t{params_.sectorsPerRead} * kCdFramesPerSector;
  const int64_t overlap = std::max<int64_t>(readFramesMax * params_.overlapPercent / 100, 1);
  const int range = static_cast<int>(std::min<int64_t>({overlap / 2, (readFramesMax - overlap) / 4, kMaxSearchFrames}));
  int stalled = 0;
  while (accepted_ < totalFrames_) {
    if (events_.cancelled()) return TrackReadOutcome::Cancelled;
    const int64_t startSector = std::max<int64_t>(accepted_ - overlap, 0) / kCdFramesPerSector;
    const int32_t sector = params_.firstSector + static_cast<int32_t>(startSector);
    const int sectors = std::min(params_.sectorsPerRead, params_.endSector - sector);
    const int64_t readStart = startSector * kCdFramesPerSector;

    int noMatchLeft = params_.syncNoMatchRetries;
    int misalignLeft = params_.syncMisalignRetries;
    int shift = 0;
    for (;;) {
      const BlockRead block = ReadBlock(sector, sectors, read);
      if (!block.ok) return TrackReadOutcome::Cancelled;
      if (block.hadBadSectors) break;   // nothing reliable to match: take it where asked
      std::vector<int> found = Candidates(read, readStart, range);
      if (found.empty()) {
        if (noMatchLeft-- > 0) continue;
        // Out of retries: settle what this place holds by agreeing reads, so that at worst
        // the join to the audio before it is off, never the audio that follows.
        const Vote vote = VoteRead(sector, sectors, read);
        if (vote == Vote::Cancelled) return TrackReadOutcome::Cancelled;
        found = Candidates(read, readStart, range);
        if (found.empty() || vote == Vote::Undecided) events_.message(READER_MSG_SYNC_ERROR, 0, sector);
        shift = Nearest(found);
        if (shift != 0) ++corrections_;
        break;
      }
      if (found.size() == 1) {
        shift = found.front();
        if (shift != 0 && misalignLeft-- > 0) continue;
        if (shift != 0) ++corrections_;
        break;
      }
      // Several places fit. Where the whole read is one value they all give the same audio;
      // otherwise reads that agree byte for byte came from the same place.
      if (Constant(read)) {
        shift = Nearest(found);
        break;
      }
      const Vote vote = VoteRead(sector, sectors, read);
      if (vote == Vote::Cancelled) return TrackReadOutcome::Cancelled;
      if (vote == Vote::Undecided) events_.message(READER_MSG_SYNC_ERROR, 0, sector);
      // The agreed read is taken for one from the asked place; it still has to fit.
      found = Candidates(read, readStart, range);
      shift = Nearest(found);
      if (shift != 0) ++corrections_;
      break;
    }

    const int64_t coveredFrom = readStart + shift;
    const int64_t coveredTo = std::min(coveredFrom + static_cast<int64_t>(read.size()), totalFrames_);
    if (coveredTo > accepted_) {
      stalled = 0;
      const auto first = read.begin() + static_cast<ptrdiff_t>(accepted_ - coveredFrom);
      if (!Accept(std::span<const uint32_t>(&*first, static_cast<size_t>(coveredTo - accepted_))))
        return TrackReadOutcome::OutputFailed;
      continue;
    }
    // Reads near the end keep coming early, so they stop short of the track's end: take the
    // rest as read, where it was asked for, and say the end is doubtful.
    if (++stalled < 3) continue;
    events_.message(READER_MSG_SUSPICIOUS_END, 0, sector);
    const int64_t to = std::min(readStart + static_cast<int64_t>(read.size()), totalFrames_);
    const auto first = read.begin() + static_cast<ptrdiff_t>(accepted_ - readStart);
    if (to > accepted_ && !Accept(std::span<const uint32_t>(&*first, static_cast<size_t>(to - accepted_))))
      return TrackReadOutcome::OutputFailed;
    if (to <= accepted_) return TrackReadOutcome::Finished;   // cannot happen: reads reach the lead-out
  }
  return TrackReadOutcome::Finished;
}
