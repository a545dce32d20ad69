// The front cover lookup at the start of a CD run, as a worker of the job pipeline.
#pragma once

#include "common/error.h"
#include "common/tags/audio_file_tags.h"
#include "maker/metadata/cover_art_lookup.h"
#include "maker/worker/job_worker.h"

// What a worker that fetched a release's front cover (and its stand-ins in tests) tells
// the run once it has ended: the image, or why there is none.
class CoverArtLookupSource {
 public:
  virtual ~CoverArtLookupSource() = default;
  virtual Expected<CoverImage> CoverArtResult() const = 0;
};
