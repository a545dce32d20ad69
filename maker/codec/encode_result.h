// What an encoding worker tells the run once it has ended, beyond its error flags.
#pragma once

#include <optional>

#include "maker/codec/loudness.h"

class EncodeResultSource {
 public:
  virtual ~EncodeResultSource() = default;
  // The input's loudness when the job asked for it and the encode finished; nothing
  // otherwise (or when the measurement failed: the encode stands).
  virtual std::optional<TrackLoudness> Loudness() const = 0;
};
