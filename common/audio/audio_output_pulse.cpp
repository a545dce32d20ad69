// The "pulse" back end: a playback stream on the desktop's sound server, through libpulse's
// threaded main loop (one loop and connection per open output).
//
// The stream tells the mixer who plays (application.name "zbplayer", its icon and desktop
// id) and what (media.name, the title SetOutputStreamTitle gives, changed while the stream
// stays open; media.role "music"). The server holds about 150 ms: Write blocks while the
// server's buffer is full, so the writer runs at the device's pace, and a pause or a stop
// that throws away what the server holds is heard within that.
//
// libpulse 16 facts this relies on: a flush of a playback stream moves the server's write
// index back to its read index and waits for a full prebuffer again, so writes after it
// play on from what was heard; a corked stream's time is its read index, which the server
// rewinds past what its sink had mixed but not played.
#include <dlfcn.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "common/audio/audio_output_internal.h"
#include "common/library_loader.h"
#include "common/audio/output_stream_title.h"

namespace {

// libpulse, loaded when the first output of this back end opens rather than when the
// program starts: it and the libraries behind it cost more to load than a short
// conversion takes, and a program that plays nothing never needs them.
#define ZB_PULSE_ENTRIES(X) \
  X(pa_context_connect) \
  X(pa_context_disconnect) \
  X(pa_context_errno) \
  X(pa_context_get_state) \
  X(pa_context_new_with_proplist) \
  X(pa_context_set_state_callback) \
  X(pa_context_unref) \
  X(pa_operation_cancel) \
  X(pa_operation_get_state) \
  X(pa_operation_unref) \
  X(pa_proplist_free) \
  X(pa_proplist_new) \
  X(pa_proplist_sets) \
  X(pa_stream_connect_playback) \
  X(pa_stream_cork) \
  X(pa_stream_disconnect) \
  X(pa_stream_drain) \
  X(pa_stream_flush) \
  X(pa_stream_get_state) \
  X(pa_stream_get_time) \
  X(pa_stream_new_with_proplist) \
  X(pa_stream_proplist_update) \
  X(pa_stream_set_state_callback) \
  X(pa_stream_set_write_callback) \
  X(pa_stream_unref) \
  X(pa_stream_update_timing_info) \
  X(pa_stream_writable_size) \
  X(pa_stream_write) \
  X(pa_strerror) \
  X(pa_threaded_mainloop_free) \
  X(pa_threaded_mainloop_get_api) \
  X(pa_threaded_mainloop_lock) \
  X(pa_threaded_mainloop_new) \
  X(pa_threaded_mainloop_signal) \
  X(pa_threaded_mainloop_start) \
  X(pa_threaded_mainloop_stop) \
  X(pa_threaded_mainloop_unlock) \
  X(pa_threaded_mainloop_wait) \
  X(pa_usec_to_bytes)

constexpr const char* kPulseLibrary = "libpulse.so.0";

struct PulseLibrary {
  std::string error;  // why it could not be loaded; empty when it was
#define ZB_PULSE_POINTER(name) decltype(&::name) name = nullptr;
  ZB_PULSE_ENTRIES(ZB_PULSE_POINTER)
#undef ZB_PULSE_POINTER
};

// Loaded once for the life of the process (its threads may outlive any one output).
const PulseLibrary& Pa() {
  static const PulseLibrary library = [] {
    PulseLibrary lib;
    std::string reason;
    void* handle = LoadForGood(kPulseLibrary, reason);
    if (handle == nullptr) {
      lib.error = "the sound server library cannot be loaded: ";
      lib.error += kPulseLibrary;
      lib.error += ": ";
      lib.error += reason;
      return lib;
    }
#define ZB_PULSE_FIND(name)                                                \
  lib.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name)); \
  if (lib.name == nullptr && lib.error.empty()) lib.error = std::string(kPulseLibrary) + " lacks " #name;
    ZB_PULSE_ENTRIES(ZB_PULSE_FIND)
#undef ZB_PULSE_FIND
    return lib;
  }();
  return library;
}


constexpr const char* kProgram = "zbplayer";
constexpr pa_usec_t kServerBufferUsec = 150 * 1000;

class PulseSink;

// The title of what plays, and the open streams it names.
struct TitleRegistry {
  std::mutex mutex;
  std::string title;
  std::set<PulseSink*> sinks;
};

// Never destroyed: an output's writer thread may close its stream while the program exits.
TitleRegistry& Titles() {
  static auto* registry = new TitleRegistry;
  return *registry;
}

std::string StreamName(const std::string& title) { return title.empty() ? kProgram : title; }

pa_sample_format_t SampleFormatOf(uint16_t bitsPerSample) {
  switch (bitsPerSample) {
    case 8: return PA_SAMPLE_U8;
    case 24: return PA_SAMPLE_S24LE;
    case 32: return PA_SAMPLE_S32LE;
    default: return PA_SAMPLE_S16LE;
  }
}

struct ProplistDeleter {
  void operator()(pa_proplist* p) const { Pa().pa_proplist_free(p); }
};
using Proplist = std::unique_ptr<pa_proplist, ProplistDeleter>;

class PulseSink final : public AudioSink {
 public:
  explicit PulseSink(const AudioFormat& format) : format_(format) {
    const uint32_t frame = format.BytesPerFrame();
    chunkBytes_ = std::max<size_t>(frame, 4096 - 4096 % frame);
  }

  ~PulseSink() override {
    {
      std::lock_guard lock(Titles().mutex);
      Titles().sinks.erase(this);
    }
    if (loop_ == nullptr) return;
    Pa().pa_threaded_mainloop_lock(loop_);
    if (stream_ != nullptr) {
      Pa().pa_stream_set_state_callback(stream_, nullptr, nullptr);
      Pa().pa_stream_set_write_callback(stream_, nullptr, nullptr);
      Pa().pa_stream_disconnect(stream_);
      Pa().pa_stream_unref(stream_);
    }
    if (context_ != nullptr) {
      Pa().pa_context_set_state_callback(context_, nullptr, nullptr);
      Pa().pa_context_disconnect(context_);
      Pa().pa_context_unref(context_);
    }
    Pa().pa_threaded_mainloop_unlock(loop_);
    Pa().pa_threaded_mainloop_stop(loop_);
    Pa().pa_threaded_mainloop_free(loop_);
  }

  // Connects to the server and opens the stream; the text says why it could not.
  std::optional<std::string> Open() {
    if (!Pa().error.empty()) return Pa().error;
    loop_ = Pa().pa_threaded_mainloop_new();
    if (loop_ == nullptr) return "out of memory";
    Proplist app(Pa().pa_proplist_new());
    Pa().pa_proplist_sets(app.get(), PA_PROP_APPLICATION_NAME, kProgram);
    Pa().pa_proplist_sets(app.get(), PA_PROP_APPLICATION_ID, "org.zimbar.zbplayer");
    Pa().pa_proplist_sets(app.get(), PA_PROP_APPLICATION_ICON_NAME, kProgram);
    context_ = Pa().pa_context_new_with_proplist(Pa().pa_threaded_mainloop_get_api(loop_), kProgram, app.get());
    if (context_ == nullptr) return "out of memory";
    Pa().pa_context_set_state_callback(context_, &PulseSink::Signal, this);
    if (Pa().pa_threaded_mainloop_start(loop_) < 0) return "cannot start the sound server connection's thread";
    openedWith_ = OutputStreamTitle();

    Pa().pa_threaded_mainloop_lock(loop_);
    const std::optional<std::string> failure = Connect();
    Pa().pa_threaded_mainloop_unlock(loop_);
    if (failure) return failure;

    std::lock_guard lock(Titles().mutex);
    Titles().sinks.insert(this);
    // The title may have changed while the stream opened.
    if (Titles().title != openedWith_) Retitle(Titles().title);
    return std::nullopt;
  }

  Outcome Write(const uint8_t* data, size_t bytes) override {
    Locked lock(loop_);
    while (bytes > 0) {
      if (!Good()) return Failed();
      const size_t writable = Pa().pa_stream_writable_size(stream_);
      if (writable == size_t(-1)) return Failed();
      if (writable == 0) {
        Pa().pa_threaded_mainloop_wait(loop_);
        continue;
      }
      size_t n = std::min(writable, bytes);
      n -= n % format_.BytesPerFrame();
      if (n == 0) n = std::min(bytes, size_t(format_.BytesPerFrame()));
      if (Pa().pa_stream_write(stream_, data, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) return Failed();
      data += n;
      bytes -= n;
    }
    return Done{};
  }

  // Stops the stream where it is, reads how far it got, throws away the rest the server
  // holds and lets it play on from there.
  std::optional<uint64_t> Drop() override {
    Locked lock(loop_);
    if (!Good()) return std::nullopt;
    Await(Pa().pa_stream_cork(stream_, 1, &PulseSink::Succeeded, this));
    Await(Pa().pa_stream_update_timing_info(stream_, &PulseSink::Succeeded, this));
    pa_usec_t heardUsec = 0;
    std::optional<uint64_t> heard;
    if (Pa().pa_stream_get_time(stream_, &heardUsec) == 0) {
      const uint64_t total = Pa().pa_usec_to_bytes(heardUsec, &spec_);
      heard = total > heardBytesAtDrop_ ? total - heardBytesAtDrop_ : 0;
      heardBytesAtDrop_ = std::max(heardBytesAtDrop_, total);
    }
    Await(Pa().pa_stream_flush(stream_, &PulseSink::Succeeded, this));
    Await(Pa().pa_stream_cork(stream_, 0, &PulseSink::Succeeded, this));
    return heard;
  }

  void Drain() override {
    Locked lock(loop_);
    if (Good()) Await(Pa().pa_stream_drain(stream_, &PulseSink::Succeeded, this));
  }

  size_t ChunkBytes() const override { return chunkBytes_; }

  // Renames the stream in the mixer. The registry's lock is held, so the sink stays.
  void Retitle(const std::string& title) {
    Locked lock(loop_);
    if (!Good()) return;
    Proplist props(Pa().pa_proplist_new());
    Pa().pa_proplist_sets(props.get(), PA_PROP_MEDIA_NAME, StreamName(title).c_str());
    if (pa_operation* op = Pa().pa_stream_proplist_update(stream_, PA_UPDATE_REPLACE, props.get(), nullptr, nullptr))
      Pa().pa_operation_unref(op);
  }

 private:
  // Holds the main loop's lock (the callbacks run under it on the loop's thread).
  class [[nodiscard]] Locked {
   public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { Pa().pa_threaded_mainloop_lock(loop_); }
    ~Locked() { Pa().pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  static void Signal(pa_context*, void* self) { Pa().pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->loop_, 0); }
  static void StreamSignal(pa_stream*, void* self) {
    Pa().pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->loop_, 0);
  }
  static void WriteSignal(pa_stream*, size_t, void* self) {
    Pa().pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->loop_, 0);
  }
  static void Succeeded(pa_stream*, int, void* self) {
    Pa().pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->loop_, 0);
  }

  // With the loop locked.
  std::optional<std::string> Connect() {
    if (Pa().pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return ContextError();
    for (;;) {
      const pa_context_state_t state = Pa().pa_context_get_state(context_);
      if (state == PA_CONTEXT_READY) break;
      if (!PA_CONTEXT_IS_GOOD(state)) return ContextError();
      Pa().pa_threaded_mainloop_wait(loop_);
    }

    spec_.format = SampleFormatOf(format_.bitsPerSample);
    spec_.rate = format_.sampleRate;
    spec_.channels = uint8_t(format_.channels);
    Proplist props(Pa().pa_proplist_new());
    Pa().pa_proplist_sets(props.get(), PA_PROP_MEDIA_NAME, StreamName(openedWith_).c_str());
    Pa().pa_proplist_sets(props.get(), PA_PROP_MEDIA_ROLE, "music");
    stream_ = Pa().pa_stream_new_with_proplist(context_, StreamName(openedWith_).c_str(), &spec_, nullptr, props.get());
    if (stream_ == nullptr) return ContextError();
    Pa().pa_stream_set_state_callback(stream_, &PulseSink::StreamSignal, this);
    Pa().pa_stream_set_write_callback(stream_, &PulseSink::WriteSignal, this);

    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(Pa().pa_usec_to_bytes(kServerBufferUsec, &spec_));
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                         PA_STREAM_ADJUST_LATENCY);
    if (Pa().pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) return ContextError();
    for (;;) {
      const pa_stream_state_t state = Pa().pa_stream_get_state(stream_);
      if (state == PA_STREAM_READY) break;
      if (!PA_STREAM_IS_GOOD(state)) return ContextError();
      Pa().pa_threaded_mainloop_wait(loop_);
    }
    return std::nullopt;
  }

  std::string ContextError() const { return Pa().pa_strerror(Pa().pa_context_errno(context_)); }

  // With the loop locked: the server is there and the stream open.
  bool Good() const {
    return stream_ != nullptr && Pa().pa_context_get_state(context_) == PA_CONTEXT_READY &&
           Pa().pa_stream_get_state(stream_) == PA_STREAM_READY;
  }

  Outcome Failed() const {
    std::string reason = ContextError();
    if (Pa().pa_context_get_state(context_) != PA_CONTEXT_READY || Pa().pa_stream_get_state(stream_) != PA_STREAM_READY)
      reason = "the sound server closed the stream (" + reason + ")";
    return Fail(Error(ErrorCategory::Io, {}, "The audio output pulse failed: " + reason, reason, "pulse"));
  }

  // With the loop locked: waits until the operation has run, or the server has gone.
  void Await(pa_operation* op) {
    if (op == nullptr) return;
    while (Pa().pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
      if (!Good()) {
        Pa().pa_operation_cancel(op);
        break;
      }
      Pa().pa_threaded_mainloop_wait(loop_);
    }
    Pa().pa_operation_unref(op);
  }

  const AudioFormat format_;
  pa_sample_spec spec_{};
  size_t chunkBytes_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::string openedWith_;    // the title the stream was opened with
  uint64_t heardBytesAtDrop_ = 0;  // the stream's bytes heard by the previous Drop
};

}  // namespace

void SetOutputStreamTitle(const std::string& title) {
  TitleRegistry& registry = Titles();
  std::lock_guard lock(registry.mutex);
  if (title == registry.title) return;
  registry.title = title;
  for (PulseSink* sink : registry.sinks) sink->Retitle(title);
}

std::string OutputStreamTitle() {
  std::lock_guard lock(Titles().mutex);
  return Titles().title;
}

Expected<std::unique_ptr<AudioSink>> OpenPulseSink(const SinkRequest& request, const AudioFormat& format) {
  auto sink = std::make_unique<PulseSink>(format);
  if (std::optional<std::string> reason = sink->Open()) {
    return Fail(Error(ErrorCategory::Io, {}, "Cannot open the audio output " + request.backend + ": " + *reason,
                      *reason, request.backend));
  }
  return std::unique_ptr<AudioSink>(std::move(sink));
}
