// AccurateRip checksums, disc ids, records and verdicts.
#include "maker/accuracy/accuraterip.h"

#include <algorithm>
#include <cstdio>

#include "maker/metadata/disc_id.h"

namespace {

// The audio session of a disc whose last track is data ends this many sectors before it
// (the lead-out, lead-in and pregap between the two sessions).
constexpr int32_t kSessionGapSectors = 11400;

uint32_t ReadLe32(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

void WriteLe32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// The ids of a disc given as track starts, data flags and the lead-out.
AccurateRipDiscIds IdsOf(const std::vector<int32_t>& starts, const std::vector<bool>& data) {
  AccurateRipDiscIds ids;
  if (starts.size() < 2) return ids;
  const size_t tracks = starts.size() - 1;
  int32_t leadOut = starts.back();
  if (tracks > 1 && data[tracks - 1]) leadOut = starts[tracks - 1] - kSessionGapSectors;
  for (size_t i = 0; i < tracks; ++i) {
    if (data[i]) continue;
    ++ids.audioTracks;
    ids.id1 += static_cast<uint32_t>(starts[i]);
    ids.id2 += static_cast<uint32_t>(std::max(starts[i], 1)) * static_cast<uint32_t>(i + 1);
  }
  ids.id1 += static_cast<uint32_t>(leadOut);
  ids.id2 += static_cast<uint32_t>(leadOut) * static_cast<uint32_t>(ids.audioTracks + 1);
  DiscLayout layout;
  layout.trackCount = static_cast<int>(tracks);
  layout.startSectors = starts;
  ids.cddb = DiscId(layout);
  return ids;
}

}  // namespace

AccurateRipAccumulator::AccurateRipAccumulator(int64_t trackFrames, bool firstTrack, bool lastTrack)
    : first_(firstTrack ? kAccurateRipFirstSkip + 1 : 1),
      last_(lastTrack ? trackFrames - kAccurateRipLastSkip : trackFrames) {}

void AccurateRipAccumulator::Add(std::span<const uint32_t> frames) {
  uint32_t v1 = sums_.v1;
  uint32_t v2 = sums_.v2;
  // Frame i of the span has the 1-based position position_ + 1 + i; only those within
  // [first_, last_] are weighted. The loop runs over that part alone, without a test per
  // frame, which lets the compiler keep it in vector registers.
  const int64_t count = static_cast<int64_t>(frames.size());
  const int64_t begin = std::clamp<int64_t>(first_ - position_ - 1, 0, count);
  const int64_t end = std::clamp<int64_t>(last_ - position_, begin, count);
  for (int64_t i = begin; i < end; ++i) {
    const uint64_t k = static_cast<uint64_t>(position_ + 1 + i);
    const uint64_t product = static_cast<uint64_t>(frames[static_cast<size_t>(i)]) * k;
    v1 += static_cast<uint32_t>(product);
    v2 += static_cast<uint32_t>(product) + static_cast<uint32_t>(product >> 32);
  }
  position_ += count;
  sums_ = {v1, v2};
}

AccurateRipSums AccurateRipChecksums(std::span<const uint32_t> frames, bool firstTrack, bool lastTrack) {
  AccurateRipAccumulator sums(static_cast<int64_t>(frames.size()), firstTrack, lastTrack);
  sums.Add(frames);
  return sums.Sums();
}

std::string AccurateRipDiscIds::FileName() const {
  char name[64];
  std::snprintf(name, sizeof name, "dBAR-%03d-%08x-%08x-%08x.bin", audioTracks, id1, id2, cddb);
  return name;
}

std::string AccurateRipDiscIds::RecordPath() const {
  char folders[32];
  std::snprintf(folders, sizeof folders, "/accuraterip/%x/%x/%x/", id1 & 0xF, (id1 >> 4) & 0xF, (id1 >> 8) & 0xF);
  return folders + FileName();
}

AccurateRipDiscIds ComputeAccurateRipDiscIds(const CdToc& toc) {
  std::vector<bool> data;
  for (size_t i = 0; i + 1 < toc.starts.size(); ++i) data.push_back(toc.IsDataTrack(i));
  return IdsOf(toc.starts, data);
}

AccurateRipDiscIds ComputeAccurateRipDiscIds(const TrackTable& table) {
  std::vector<int32_t> starts;
  std::vector<bool> data;
  if (table.trackCount < 1 || table.trackCount > kCdMaxTracks) return {};
  for (int i = 1; i <= table.trackCount + 1; ++i) starts.push_back(table.start[static_cast<size_t>(i)]);
  for (int i = 1; i <= table.trackCount; ++i) data.push_back(table.data[static_cast<size_t>(i)] != 0);
  return IdsOf(starts, data);
}

Expected<AccurateRipRecord> ParseAccurateRipRecord(std::string_view bytes) {
  AccurateRipRecord record;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t tracks = static_cast<uint8_t>(bytes[at]);
    const size_t size = 13 + 9 * tracks;
    if (bytes.size() - at < size)
      return Fail(Error(ErrorCategory::Format, ErrorPosition::Byte(at),
                        "the AccurateRip record ends inside a pressing"));
    AccurateRipPressing pressing;
    pressing.id1 = ReadLe32(bytes, at + 1);
    pressing.id2 = ReadLe32(bytes, at + 5);
    pressing.cddb = ReadLe32(bytes, at + 9);
    for (size_t t = 0; t < tracks; ++t) {
      const size_t entry = at + 13 + 9 * t;
      pressing.tracks.push_back(
          {static_cast<uint8_t>(bytes[entry]), ReadLe32(bytes, entry + 1), ReadLe32(bytes, entry + 5)});
    }
    record.pressings.push_back(std::move(pressing));
    at += size;
  }
  return record;
}

std::string EncodeAccurateRipRecord(const AccurateRipRecord& record) {
  std::string out;
  for (const AccurateRipPressing& pressing : record.pressings) {
    out.push_back(static_cast<char>(pressing.tracks.size()));
    WriteLe32(out, pressing.id1);
    WriteLe32(out, pressing.id2);
    WriteLe32(out, pressing.cddb);
    for (const AccurateRipTrackEntry& entry : pressing.tracks) {
      out.push_back(static_cast<char>(entry.confidence));
      WriteLe32(out, entry.crc);
      WriteLe32(out, entry.frame450Crc);
    }
  }
  return out;
}

AccurateRipVerdict VerifyAccurateRip(const AccurateRipRecord& record, const AccurateRipDiscIds& ids, int track,
                                     const AccurateRipSums& sums) {
  AccurateRipVerdict verdict;
  verdict.kind = AccurateRipVerdict::Kind::NotInDatabase;
  bool known = false;
  for (const AccurateRipPressing& pressing : record.pressings) {
    if (pressing.id1 != ids.id1 || pressing.id2 != ids.id2 || pressing.cddb != ids.cddb) continue;
    if (static_cast<int>(pressing.tracks.size()) != ids.audioTracks) continue;
    if (track < 0 || track >= ids.audioTracks) continue;
    known = true;
    const AccurateRipTrackEntry& entry = pressing.tracks[static_cast<size_t>(track)];
    verdict.totalConfidence += entry.confidence;
    // A pressing's entry holds whichever checksum its submitter computed; v2 is tried first
    // so that a track both versions match reports the newer one.
    if (entry.crc == sums.v2 || entry.crc == sums.v1) {
      verdict.confidence += entry.confidence;
      verdict.version = std::max(verdict.version, entry.crc == sums.v2 ? 2 : 1);
    }
  }
  if (!known) return verdict;
  verdict.kind = verdict.confidence > 0 || verdict.version > 0 ? AccurateRipVerdict::Kind::Accurate
                                                               : AccurateRipVerdict::Kind::NotAccurate;
  return verdict;
}

std::string AccurateRipVerdictText(const AccurateRipVerdict& verdict) {
  switch (verdict.kind) {
    case AccurateRipVerdict::Kind::Accurate:
      return "accurately ripped (confidence " + std::to_string(verdict.confidence) + ", v" +
             std::to_string(verdict.version) + ")";
    case AccurateRipVerdict::Kind::NotAccurate:
      return "not accurate (confidence of the disc " + std::to_string(verdict.totalConfidence) + ")";
    case AccurateRipVerdict::Kind::NotInDatabase:
      return "not in the database";
    case AccurateRipVerdict::Kind::NotChecked:
      break;
  }
  return "not verified";
}
