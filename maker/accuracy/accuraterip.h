// AccurateRip: the checksums of a ripped track, the disc's identifiers, the database's
// record of a disc and what it says about a rip.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cdaccess/cd_source.h"
#include "cdaccess/track_table.h"
#include "common/error.h"

// Frames (stereo samples) that the checksums leave out: the first track's first five
// sectors less one sample, the last track's last five sectors.
inline constexpr int64_t kAccurateRipFirstSkip = 5 * 588 - 1;
inline constexpr int64_t kAccurateRipLastSkip = 5 * 588;

struct AccurateRipSums {
  uint32_t v1 = 0;
  uint32_t v2 = 0;
  bool operator==(const AccurateRipSums&) const = default;
};

// The version 1 and 2 checksums of one track, fed the track's frames in order (each frame a
// 32-bit word: left sample in the low half, as the disc holds them). Frame k (1-based)
// weighs k; v1 sums the low 32 bits of frame x k, v2 the low and the high 32 bits of the
// 64-bit product. The track's length must be known up front for the last track's skip.
class AccurateRipAccumulator {
 public:
  AccurateRipAccumulator(int64_t trackFrames, bool firstTrack, bool lastTrack);
  void Add(std::span<const uint32_t> frames);
  AccurateRipSums Sums() const { return sums_; }
  int64_t FramesSeen() const { return position_; }

 private:
  int64_t first_ = 1;   // first weighted position counted
  int64_t last_ = 0;    // last weighted position counted
  int64_t position_ = 0;
  AccurateRipSums sums_;
};

// One-shot form of the accumulator.
AccurateRipSums AccurateRipChecksums(std::span<const uint32_t> frames, bool firstTrack, bool lastTrack);

// The disc's identifiers, from its table of contents. Data tracks count for the CDDB id;
// for the AccurateRip ids only audio tracks count, but a data track after the audio moves
// the lead-out (the audio session ends 11 400 sectors before the data track).
struct AccurateRipDiscIds {
  int audioTracks = 0;
  uint32_t id1 = 0;
  uint32_t id2 = 0;
  uint32_t cddb = 0;
  // "dBAR-NNN-id1-id2-cddb.bin" in lower-case hex, and the path under the server:
  // "/accuraterip/a/b/c/<file>" with a, b, c the lowest three hex digits of id1.
  std::string FileName() const;
  std::string RecordPath() const;
};
AccurateRipDiscIds ComputeAccurateRipDiscIds(const CdToc& toc);
AccurateRipDiscIds ComputeAccurateRipDiscIds(const TrackTable& table);

// One pressing of a disc as the database lists it: per audio track a confidence (how many
// rips agreed), the checksum (v1 or v2, whichever the submitting ripper computed) and the
// checksum of the track's 450th sector (used to find offsets).
struct AccurateRipTrackEntry {
  uint8_t confidence = 0;
  uint32_t crc = 0;
  uint32_t frame450Crc = 0;
  bool operator==(const AccurateRipTrackEntry&) const = default;
};
struct AccurateRipPressing {
  uint32_t id1 = 0;
  uint32_t id2 = 0;
  uint32_t cddb = 0;
  std::vector<AccurateRipTrackEntry> tracks;
  bool operator==(const AccurateRipPressing&) const = default;
};
struct AccurateRipRecord {
  std::vector<AccurateRipPressing> pressings;
};

// The database's binary record: chunks of a track count (1 byte), id1, id2, cddb (32 bits
// each, little-endian) and per track confidence (1 byte), crc and frame-450 crc (32 bits,
// little-endian). A record that ends inside a chunk is a Format error.
Expected<AccurateRipRecord> ParseAccurateRipRecord(std::string_view bytes);
std::string EncodeAccurateRipRecord(const AccurateRipRecord& record);

// What the database says about one ripped track.
struct AccurateRipVerdict {
  enum class Kind {
    NotChecked,     // no record to compare with (AccurateRip off, lookup failed, mono rip)
    NotInDatabase,  // the record has no pressing of this disc's layout
    Accurate,
    NotAccurate,
  };
  Kind kind = Kind::NotChecked;
  int confidence = 0;       // Accurate: sum of the confidences of the matching entries
  int version = 0;          // Accurate: 2 when a v2 checksum matched, else 1
  int totalConfidence = 0;  // the confidences of all pressings' entries of this track
};
// `track` is the 0-based index among the disc's audio tracks. Only pressings whose ids and
// track count are the disc's count.
AccurateRipVerdict VerifyAccurateRip(const AccurateRipRecord& record, const AccurateRipDiscIds& ids, int track,
                                     const AccurateRipSums& sums);
// "accurately ripped (confidence 12, v2)", "not accurate (confidence of the disc 15)",
// "not in the database", "not verified".
std::string AccurateRipVerdictText(const AccurateRipVerdict& verdict);
