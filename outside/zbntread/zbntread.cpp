// The reader library's entry: starts the reading of one track on a thread of its own.
#include "outside/zbntread/zbntread.h"

#include <errno.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "cdaccess/cd_drive_list.h"
#include "outside/zbntread/pcm_converter.h"
#include "outside/zbntread/reader_ring.h"
#include "outside/zbntread/track_reader.h"

namespace {

// Writes all bytes, retrying short writes; false when the disk is full or the write fails.
bool WriteAll(int fd, const uint8_t* data, size_t bytes) {
  while (bytes > 0) {
    const ssize_t written = write(fd, data, bytes);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    bytes -= static_cast<size_t>(written);
  }
  return true;
}

// Converts and writes the accepted audio, keeping the byte count and the sample peaks.
class TrackWriter {
 public:
  TrackWriter(int fd, bool mono, bool halfRate) : fd_(fd), converter_(mono, halfRate) {}

  bool Write(std::span<const uint32_t> frames) {
    samples_.clear();
    converter_.Push(reinterpret_cast<const int16_t*>(frames.data()), frames.size(), samples_);
    return Flush();
  }
  bool Finish() {
    samples_.clear();
    converter_.Finish(samples_);
    return Flush();
  }
  int64_t Bytes() const { return bytes_; }
  int16_t Lowest() const { return lowest_; }
  int16_t Highest() const { return highest_; }

 private:
  bool Flush() {
    for (int16_t s : samples_) {
      if (s < lowest_) lowest_ = s;
      if (s > highest_) highest_ = s;
    }
    const size_t bytes = samples_.size() * sizeof(int16_t);
    if (bytes == 0) return true;
    if (bytes_ + static_cast<int64_t>(bytes) > std::numeric_limits<int32_t>::max()) return false;
    if (!WriteAll(fd_, reinterpret_cast<const uint8_t*>(samples_.data()), bytes)) return false;
    bytes_ += static_cast<int64_t>(bytes);
    return true;
  }

  int fd_;
  PcmConverter converter_;
  std::vector<int16_t> samples_;
  int64_t bytes_ = 0;
  int16_t lowest_ = 0;
  int16_t highest_ = 0;
};

void Publish(ReaderRequest& request, const TrackWriter* writer) {
  if (writer != nullptr) {
    std::atomic_ref<int32_t>(request.audioBytes).store(static_cast<int32_t>(writer->Bytes()));
    if (request.normalize != 0) {
      request.lowest = writer->Lowest();
      request.highest = writer->Highest();
    }
  }
  std::atomic_ref<int32_t>(request.done).store(1, std::memory_order_release);
}

void ReadTrack(ReaderRequest& request, const std::vector<std::string>& images) {
  ReaderRing ring(request);
  try {
    const CdAccessMethod method =
        request.osInterface != 0 ? CdAccessMethod::OsInterface : CdAccessMethod::ScsiPassThrough;
    auto opened = OpenCdDrive(request.drive, method, images);
    if (!opened || request.endSector < request.firstSector || request.firstSector < 0) {
      ring.Post(READER_MSG_INIT_ERROR, request.drive);
      Publish(request, nullptr);
      return;
    }
    TrackWriter writer(request.file, request.mono != 0, request.halfRate != 0);
    TrackReadParams params;
    params.firstSector = request.firstSector;
    params.endSector = request.endSector;
    params.sectorsPerRead = request.sectorsPerRead;
    params.jitterCorrection = request.jitterOff == 0;
    params.overlapPercent = request.overlapPercent;
    params.syncNoMatchRetries = request.syncNoMatchRetries;
    params.syncMisalignRetries = request.syncMisalignRetries;
    params.readMode = request.readMode;
    TrackReadEvents events;
    events.message = [&](uint8_t type, int32_t value, int32_t extra) { ring.Post(type, value, extra); };
    events.cancelled = [&] { return ring.Cancelled(); };
    events.emit = [&](std::span<const uint32_t> frames) { return writer.Write(frames); };
    TrackReader reader(*opened.Value(), params, events);
    const TrackReadOutcome outcome = reader.Run();
    const bool finished = writer.Finish();
    if (outcome == TrackReadOutcome::OutputFailed || !finished) ring.Post(READER_MSG_WRITE_ERROR, 0);
    Publish(request, &writer);
  } catch (const std::bad_alloc&) {
    ring.Post(READER_MSG_MEMORY_ERROR, 0);
    Publish(request, nullptr);
  } catch (...) {
    ring.Post(READER_MSG_INIT_ERROR, 0);
    Publish(request, nullptr);
  }
}

// The one reading thread. It is joined before the next track starts and when the library
// is unloaded, so no code of the library runs after dlclose. Calls from several threads
// take turns: each waits for the track before it.
struct ReaderThread {
  std::mutex starting;
  std::thread thread;
  ~ReaderThread() {
    if (thread.joinable()) thread.join();
  }
};
ReaderThread& Worker() {
  static ReaderThread worker;
  return worker;
}

// Reports a start that could not be made through the block, as a finished failure.
int32_t Refuse(ReaderRequest* request, uint8_t type, int32_t value) {
  ReaderRing(*request).Post(type, value);
  std::atomic_ref<int32_t>(request->done).store(1);
  return -1;
}

int32_t Start(ReaderRequest* request, std::vector<std::string> images) {
  try {
    ReaderThread& worker = Worker();
    const std::lock_guard lock(worker.starting);
    if (worker.thread.joinable()) worker.thread.join();
    std::atomic_ref<int32_t>(request->done).store(0);
    std::atomic_ref<int32_t>(request->audioBytes).store(0);
    request->lowest = 0;
    request->highest = 0;
    worker.thread = std::thread([request, images = std::move(images)] { ReadTrack(*request, images); });
    return 0;
  } catch (...) {
    return Refuse(request, READER_MSG_MEMORY_ERROR, 0);   // no thread could be started
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t XWI(ReaderRequest* request) {
  if (request == nullptr) return -1;
  std::vector<std::string> images;
  try {
    images = DiscImagesFromEnvironment();
  } catch (...) {
    return Refuse(request, READER_MSG_MEMORY_ERROR, 0);
  }
  return Start(request, std::move(images));
}

extern "C" __attribute__((visibility("default"))) int32_t XWIWithImages(ReaderRequest* request,
                                                                        const char* const* imagePaths,
                                                                        int32_t imageCount) {
  if (request == nullptr) return -1;
  if (imageCount < 0 || (imageCount > 0 && imagePaths == nullptr))
    return Refuse(request, READER_MSG_INIT_ERROR, request->drive);
  std::vector<std::string> images;
  try {
    for (int32_t i = 0; i < imageCount; ++i) {
      if (imagePaths[i] == nullptr) return Refuse(request, READER_MSG_INIT_ERROR, request->drive);
      images.emplace_back(imagePaths[i]);
    }
  } catch (...) {
    return Refuse(request, READER_MSG_MEMORY_ERROR, 0);
  }
  return Start(request, std::move(images));
}
