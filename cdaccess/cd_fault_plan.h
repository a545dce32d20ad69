// Simulated drive faults for disc images: jitter, transient and permanent read errors, a
// slow drive and a drive's read offset.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>

// Parsed from the text of $ZIMBAR_CD_SIMULATE, a comma-separated list of
//   jitter=N      a jittered read starts up to N frames (4-byte samples) early or late
//   share=X       the share of reads that are jittered, 0 ... 1 (default 1 when jitter is set)
//   transient=N   every third read fails until N have failed; the retry of a failed read
//                 always succeeds
//   bad=A-B       sectors A ... B (disc addresses) can never be read
//   seed=N        seed of the random choices (default 1)
//   delay=MS      every read request takes this many milliseconds (a slow drive)
//   offset=N      the drive reads every request N frames early (N may carry a sign; negative:
//                 late), as real drives do by a fixed amount: a read at sector s delivers the
//                 disc's audio from frame s x 588 - N on, so that a read offset correction of
//                 +N gives the disc's true audio. What lies before the disc's first frame or
//                 after its last reads as silence. Jitter shifts a read further; bad sectors
//                 are the addresses of the requests that touch them, as without an offset.
//   vary=1        each opening of a disc image draws other faults (the seed plus the number
//                 of such openings before it in this process), as a drive's jitter differs
//                 from one pass over a track to the next
struct CdFaultPlan {
  int jitterFrames = 0;
  double jitterShare = 1.0;
  int transientErrors = 0;
  int32_t badFirst = -1;
  int32_t badLast = -1;
  uint32_t seed = 1;
  int delayMs = 0;
  int32_t readOffsetFrames = 0;
  bool vary = false;

  bool Empty() const {
    return jitterFrames == 0 && transientErrors == 0 && badFirst < 0 && delayMs == 0 && readOffsetFrames == 0;
  }
};

// nullopt when the text has an unknown key or a malformed value.
std::optional<CdFaultPlan> ParseCdFaultPlan(const std::string& text);

// The plan of $ZIMBAR_CD_SIMULATE; an empty plan when unset. A malformed value is
// reported once on stderr and ignored, so a typo never passes for a clean run silently.
CdFaultPlan CdFaultPlanFromEnvironment();

// Draws the fault of each read request in order; deterministic for a plan.
class CdFaultInjector {
 public:
  explicit CdFaultInjector(const CdFaultPlan& plan);

  struct Decision {
    bool fail = false;       // the read reports an error
    bool permanent = false;  // ... because it touches an unreadable sector
    int delayMs = 0;         // how long the request takes
    int jitterFrames = 0;    // the data starts this many frames late (negative: early)
    int32_t readOffsetFrames = 0;   // ... and, besides, this many frames early (offset=N)
  };
  // Decides the outcome of a read of `sectors` sectors at `sector`.
  Decision NextRead(int32_t sector, int sectors);

 private:
  CdFaultPlan plan_;
  std::mt19937 random_;
  int transientLeft_ = 0;
  bool lastFailedTransient_ = false;
  int64_t reads_ = 0;
};
