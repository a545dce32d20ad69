// The AccurateRip lookup at the start of a CD run, as a worker of the job pipeline.
#pragma once

#include "maker/accuracy/accuraterip_lookup.h"
#include "maker/worker/job_worker.h"

// What a worker that looked up a disc's record (and its stand-ins in tests) tells the run
// once it has ended.
class AccurateRipLookupSource {
 public:
  virtual ~AccurateRipLookupSource() = default;
  virtual AccurateRipLookupResult LookupResult() const = 0;
};
