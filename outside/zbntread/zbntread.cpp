// The reader library's entry: starts the reading of one track on a thread of its own.
#include "outside/zbntread/zbntread.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
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
#include "cdaccess/track_table.h"
#include "outside/zbntread/offset_window.h"
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

// Converts and writes the accepted audio, keeping the byte count and, when the caller
// normalizes, the sample peaks. CD audio that needs no conversion is written as it came.
class TrackWriter {
 public:
  TrackWriter(int fd, bool mono, bool halfRate, bool peaks)
      : fd_(fd), converter_(mono, halfRate), converts_(mono || halfRate), peaks_(peaks) {}

  bool Write(std::span<const uint32_t> frames) {
    const auto* stereo = reinterpret_cast<const int16_t*>(frames.data());
    if (!converts_) return Flush(std::span<const int16_t>(stereo, frames.size() * 2));
    samples_.clear();
    converter_.Push(stereo, frames.size(), samples_);
    return Flush(samples_);
  }
  bool Finish() {
    samples_.clear();
    converter_.Finish(samples_);
    return Flush(samples_);
  }
  int64_t Bytes() const { return bytes_; }
  int16_t Lowest() const { return lowest_; }
  int16_t Highest() const { return highest_; }

 private:
  bool Flush(std::span<const int16_t> samples) {
    if (peaks_) {
      int16_t lowest = lowest_, highest = highest_;
      for (const int16_t s : samples) {
        lowest = std::min(lowest, s);
        highest = std::max(highest, s);
      }
      lowest_ = lowest;
      highest_ = highest;
    }
    const size_t bytes = samples.size() * sizeof(int16_t);
    if (bytes == 0) return true;
    if (bytes_ + static_cast<int64_t>(bytes) > std::numeric_limits<int32_t>::max()) return false;
    if (!WriteAll(fd_, reinterpret_cast<const uint8_t*>(samples.data()), bytes)) return false;
    bytes_ += static_cast<int64_t>(bytes);
    return true;
  }

  int fd_;
  PcmConverter converter_;
  bool converts_;
  bool peaks_;
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

// What a caller's options add to a track's read: the read offset and the audio hook.
struct ReadOptions {
  std::vector<std::string> images;
  int32_t readOffset = 0;
  void (*audio)(void* user, const uint32_t* frames, int32_t count) = nullptr;
  void* audioUser = nullptr;
};

// The end of the disc's audio: its lead-out, or, on a disc whose last track is data, the
// end of the audio session before it.
int32_t AudioLeadOut(CdSource& source) {
  auto toc = source.ReadToc();
  if (!toc || toc.Value().starts.size() < 2) return INT32_MAX / kCdFramesPerSector;
  const CdToc& read = toc.Value();
  const size_t tracks = read.starts.size() - 1;
  // The audio session ends 11 400 sectors (lead-out, lead-in, pregap) before a data session.
  if (tracks > 1 && read.IsDataTrack(tracks - 1)) return read.starts[tracks - 1] - 11400;
  return read.starts.back();
}

// Hands the frames of the track to the hook and the writer, dropping the frames the offset
// window leaves out, and adds the silence that stands for what lies outside the disc.
class TrackOutput {
 public:
  TrackOutput(const ReadOptions& options, const OffsetWindow& window, TrackWriter& writer)
      : options_(options), window_(window), writer_(writer) {}

  bool Frames(std::span<const uint32_t> frames) {
    const int64_t skip = std::clamp<int64_t>(window_.skipFrames - seen_, 0, static_cast<int64_t>(frames.size()));
    seen_ += static_cast<int64_t>(frames.size());
    frames = frames.subspan(static_cast<size_t>(skip));
    const int64_t left = window_.readFrames - passed_;
    if (static_cast<int64_t>(frames.size()) > left) frames = frames.first(static_cast<size_t>(std::max<int64_t>(left, 0)));
    passed_ += static_cast<int64_t>(frames.size());
    return Pass(frames);
  }
  bool Silence(int64_t count) {
    const std::vector<uint32_t> zeros(static_cast<size_t>(std::min<int64_t>(count, 588 * 75)), 0);
    while (count > 0) {
      const size_t now = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(zeros.size())));
      if (!Pass(std::span<const uint32_t>(zeros.data(), now))) return false;
      count -= static_cast<int64_t>(now);
    }
    return true;
  }

 private:
  bool Pass(std::span<const uint32_t> frames) {
    if (frames.empty()) return true;
    if (options_.audio != nullptr)
      options_.audio(options_.audioUser, frames.data(), static_cast<int32_t>(frames.size()));
    return writer_.Write(frames);
  }

  const ReadOptions& options_;
  OffsetWindow window_;
  TrackWriter& writer_;
  int64_t seen_ = 0;
  int64_t passed_ = 0;
};

void ReadTrack(ReaderRequest& request, const ReadOptions& options) {
  ReaderRing ring(request);
  try {
    const CdAccessMethod method =
        request.osInterface != 0 ? CdAccessMethod::OsInterface : CdAccessMethod::ScsiPassThrough;
    auto opened = OpenCdDrive(request.drive, method, options.images);
    if (!opened || request.endSector < request.firstSector || request.firstSector < 0) {
      ring.Post(READER_MSG_INIT_ERROR, request.drive);
      Publish(request, nullptr);
      return;
    }
    CdSource& source = *opened.Value();
    const OffsetWindow window = options.readOffset == 0
                                    ? PlanOffsetRead(request.firstSector, request.endSector, 0, INT32_MAX / 588)
                                    : PlanOffsetRead(request.firstSector, request.endSector, options.readOffset,
                                                     AudioLeadOut(source));
    TrackWriter writer(request.file, request.mono != 0, request.halfRate != 0, request.normalize != 0);
    TrackOutput output(options, window, writer);
    TrackReadParams params;
    params.firstSector = window.firstSector;
    params.endSector = window.endSector;
    params.sectorsPerRead = request.sectorsPerRead;
    params.jitterCorrection = request.jitterOff == 0;
    params.overlapPercent = request.overlapPercent;
    params.syncNoMatchRetries = request.syncNoMatchRetries;
    params.syncMisalignRetries = request.syncMisalignRetries;
    params.readMode = request.readMode;
    TrackReadEvents events;
    events.message = [&](uint8_t type, int32_t value, int32_t extra) { ring.Post(type, value, extra); };
    events.cancelled = [&] { return ring.Cancelled(); };
    events.emit = [&](std::span<const uint32_t> frames) { return output.Frames(frames); };
    bool written = true;
    if (window.silenceBefore > 0) {
      ring.Post(READER_MSG_OUTSIDE_DISC, static_cast<int32_t>(window.silenceBefore), 0);
      written = output.Silence(window.silenceBefore);
    }
    TrackReadOutcome outcome = TrackReadOutcome::OutputFailed;
    if (written) {
      TrackReader reader(source, params, events);
      outcome = reader.Run();
    }
    if (outcome == TrackReadOutcome::Finished && window.silenceAfter > 0) {
      ring.Post(READER_MSG_OUTSIDE_DISC, static_cast<int32_t>(window.silenceAfter), 1);
      if (!output.Silence(window.silenceAfter)) outcome = TrackReadOutcome::OutputFailed;
    }
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

int32_t Start(ReaderRequest* request, ReadOptions options) {
  try {
    ReaderThread& worker = Worker();
    const std::lock_guard lock(worker.starting);
    if (worker.thread.joinable()) worker.thread.join();
    std::atomic_ref<int32_t>(request->done).store(0);
    std::atomic_ref<int32_t>(request->audioBytes).store(0);
    request->lowest = 0;
    request->highest = 0;
    worker.thread = std::thread([request, options = std::move(options)] { ReadTrack(*request, options); });
    return 0;
  } catch (...) {
    return Refuse(request, READER_MSG_MEMORY_ERROR, 0);   // no thread could be started
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t XWI(ReaderRequest* request) {
  if (request == nullptr) return -1;
  ReadOptions options;
  try {
    options.images = DiscImagesFromEnvironment();
  } catch (...) {
    return Refuse(request, READER_MSG_MEMORY_ERROR, 0);
  }
  return Start(request, std::move(options));
}

extern "C" __attribute__((visibility("default"))) int32_t XWIWithImages(ReaderRequest* request,
                                                                        const char* const* imagePaths,
                                                                        int32_t imageCount) {
  ReaderOptions options{};
  options.imagePaths = imagePaths;
  options.imageCount = imageCount;
  return XWIWithOptions(request, &options);
}

extern "C" __attribute__((visibility("default"))) int32_t XWIWithOptions(ReaderRequest* request,
                                                                         const ReaderOptions* options) {
  if (request == nullptr) return -1;
  const ReaderOptions none{};
  const ReaderOptions& given = options != nullptr ? *options : none;
  if (given.imageCount < 0 || (given.imageCount > 0 && given.imagePaths == nullptr))
    return Refuse(request, READER_MSG_INIT_ERROR, request->drive);
  ReadOptions read;
  try {
    for (int32_t i = 0; i < given.imageCount; ++i) {
      if (given.imagePaths[i] == nullptr) return Refuse(request, READER_MSG_INIT_ERROR, request->drive);
      read.images.emplace_back(given.imagePaths[i]);
    }
  } catch (...) {
    return Refuse(request, READER_MSG_MEMORY_ERROR, 0);
  }
  read.readOffset = given.readOffset;
  read.audio = given.audio;
  read.audioUser = given.audioUser;
  return Start(request, std::move(read));
}
