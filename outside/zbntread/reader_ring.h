// The library's side of the request block: posting messages and reading the cancel field.
#pragma once

#include <cstdint>

#include "outside/zbntread/zbntread.h"

class ReaderRing {
 public:
  explicit ReaderRing(ReaderRequest& request) : request_(request) {}

  // Fills the entry at the write index, then publishes it by advancing the index. While
  // the ring is full it waits for the caller to consume, giving up (dropping the message)
  // after 10 s of no progress so that a caller that stopped polling cannot hang the work.
  void Post(uint8_t type, int32_t value, int32_t extra = 0);

  bool Cancelled() const;

 private:
  ReaderRequest& request_;
};
