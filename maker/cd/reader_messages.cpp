// The reader library's messages: their words, their ring, the wait for a read.
#include "maker/cd/reader_messages.h"

#include <atomic>
#include <thread>

#include "outside/zbntread/zbntread.h"

const char* ReaderMessageText(uint8_t type) {
  switch (type) {
    case READER_MSG_INIT_ERROR: return "Cannot initialize CD Devices.";
    case READER_MSG_READ_ERROR: return "CD-ROM read error.";
    case READER_MSG_WRITE_ERROR: return "Cannot write to file.";
    case READER_MSG_MEMORY_ERROR: return "Not enough memory.";
    case READER_MSG_SUSPICIOUS_END: return "Suspicious position at track end.";
    case READER_MSG_CORRECTIONS: return "Made %i corrections.";
    case READER_MSG_DRIVE_ERROR: return "CD Drive Error %i.";
    case READER_MSG_SUSPICIOUS_START: return "Suspicious start of track.";
    case READER_MSG_SYNC_ERROR: return "Sync Error.";
    default: return nullptr;
  }
}

bool IsReaderError(uint8_t type) { return type >= READER_MSG_INIT_ERROR && type <= READER_MSG_MEMORY_ERROR; }

void ConsumeReaderMessages(ReaderRequest& request, const ReaderMessageHandler& handle) {
  std::atomic_ref<int32_t> writeIndex(request.writeIndex);
  std::atomic_ref<int32_t> readIndex(request.readIndex);
  int32_t index = readIndex.load() % READER_RING_ENTRIES;
  while (index != writeIndex.load(std::memory_order_acquire) % READER_RING_ENTRIES) {
    const ReaderMessage entry = request.ring[index];
    index = (index + 1) % READER_RING_ENTRIES;
    readIndex.store(index, std::memory_order_release);
    handle(entry);
  }
}

void WaitForReader(ReaderRequest& request, std::chrono::milliseconds interval, const ReaderMessageHandler& handle,
                   const std::function<bool()>& stopped) {
  std::atomic_ref<int32_t> done(request.done);
  while (done.load(std::memory_order_acquire) == 0) {
    std::this_thread::sleep_for(interval);
    ConsumeReaderMessages(request, handle);
    std::atomic_ref<int32_t>(request.cancel).store(stopped() ? 1 : 0);
  }
  // Messages posted between the last poll and the end would be lost otherwise.
  ConsumeReaderMessages(request, handle);
}
