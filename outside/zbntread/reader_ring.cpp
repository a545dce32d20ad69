// Posting into the message ring of the request block without locks: one writer per index.
#include "outside/zbntread/reader_ring.h"

#include <atomic>
#include <chrono>
#include <thread>

void ReaderRing::Post(uint8_t type, int32_t value, int32_t extra) {
  std::atomic_ref<int32_t> writeIndex(request_.writeIndex);
  std::atomic_ref<int32_t> readIndex(request_.readIndex);
  const int32_t index = writeIndex.load(std::memory_order_relaxed) % READER_RING_ENTRIES;
  const int32_t next = (index + 1) % READER_RING_ENTRIES;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (readIndex.load(std::memory_order_acquire) % READER_RING_ENTRIES == next) {
    if (std::chrono::steady_clock::now() > giveUp) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ReaderMessage& entry = request_.ring[index];
  entry.type = type;
  entry.value = value;
  entry.extra = extra;
  writeIndex.store(next, std::memory_order_release);
}

bool ReaderRing::Cancelled() const {
  return std::atomic_ref<int32_t>(request_.cancel).load(std::memory_order_acquire) != 0;
}
