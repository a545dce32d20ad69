// Playback benchmark, driven through TSoundPlayer on the player program's own Qt main loop,
// the way the main window drives it. The output is whatever $ZIMBAR_AUDIO_OUT names (the
// paced null output when it is unset).
//   playback_bench play FILE
//     Opens and plays FILE to its end and prints the CPU time (user + system, every thread
//     of the process) and the voluntary context switches from Open to the end of
//     playback, and the wall time it took.
//   playback_bench run PROGRAM [ARGUMENTS...]
//     Runs the reference program and prints the same figures for its whole process.
//   playback_bench first-sample FILE RUNS
//     Opens and plays FILE RUNS times, each with a new player that is stopped and
//     released once audio has reached the output, and prints the median and the largest
//     time from Play (and from Open) to the first buffer handed to the output, and the
//     time the Stop and release took.
// Where the first buffer is taken: the WAV and AAC engines' outputs are wrapped at
// AudioOutput::Open (the link option -Wl,--wrap, see CMakeLists.txt), so the first Queue
// is seen; the MP3 engine's decoder library plays through its own copy of the output, so
// an output filter of the library, which sees each block just before the library queues
// it on its device, sees it there. A capture output cannot show this moment: the wav:
// back end writes audio to its file only once its clock has played it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/audio/audio_output.h"
#include "common/ui/qt_main_loop.h"
#include "player/engines/sound_player.h"

namespace {

using Clock = std::chrono::steady_clock;

// When the first buffer of the current run reached the output (0: not yet).
std::atomic<Clock::rep> g_firstBuffer{0};

void NoteFirstBuffer() {
  Clock::rep none = 0;
  g_firstBuffer.compare_exchange_strong(none, Clock::now().time_since_epoch().count());
}

// ---- the WAV and AAC engines: a wrapped audio output ----

class TimedOutput final : public AudioOutput {
 public:
  explicit TimedOutput(std::unique_ptr<AudioOutput> inner) : inner_(std::move(inner)) {}
  Outcome Queue(uint32_t tag, const void* data, size_t bytes) override {
    if (bytes > 0) NoteFirstBuffer();
    return inner_->Queue(tag, data, bytes);
  }
  void Discard() override { inner_->Discard(); }
  Outcome Drain() override { return inner_->Drain(); }
  void Pause() override { inner_->Pause(); }
  void Resume() override { inner_->Resume(); }
  bool Paused() const override { return inner_->Paused(); }

  void SetFilter(std::shared_ptr<PcmFilter> filter) override { inner_->SetFilter(std::move(filter)); }
  const AudioFormat& Format() const override { return inner_->Format(); }
  std::string BackendName() const override { return inner_->BackendName(); }
  uint64_t QueuedBytes() const override { return inner_->QueuedBytes(); }
  uint64_t PlayedBytes() const override { return inner_->PlayedBytes(); }
  uint64_t Underruns() const override { return inner_->Underruns(); }
  std::optional<Error> Failure() const override { return inner_->Failure(); }

 private:
  std::unique_ptr<AudioOutput> inner_;
};

}  // namespace

// AudioOutput::Open itself, and the wrapper that the engines' calls of it are linked to
// (external names: the linker matches them to the real and the wrapped symbol).
using OpenResult = Expected<std::unique_ptr<AudioOutput>>;
#define ZB_OPEN_SYMBOL "_ZN11AudioOutput4OpenE11AudioDeviceRK11AudioFormatSt8functionIFvjEERK12OutputVolume"
OpenResult RealOpen(AudioDevice device, const AudioFormat& format, BufferDone onDone, const OutputVolume& volume)
    __asm__("__real_" ZB_OPEN_SYMBOL);
OpenResult WrappedOpen(AudioDevice device, const AudioFormat& format, BufferDone onDone,
                       const OutputVolume& volume) __asm__("__wrap_" ZB_OPEN_SYMBOL);

OpenResult WrappedOpen(AudioDevice device, const AudioFormat& format, BufferDone onDone, const OutputVolume& volume) {
  auto opened = RealOpen(device, format, std::move(onDone), volume);
  if (!opened) return opened;
  return std::unique_ptr<AudioOutput>(std::make_unique<TimedOutput>(std::move(opened).Value()));
}

namespace {

// ---- the MP3 engine: an output filter of the decoder library ----

const char* FilterName() { return "first-buffer-timer"; }
int32_t FilterNewInstance(void** instance, uint32_t) {
  *instance = nullptr;
  return 0;
}
int32_t FilterDeleteInstance(void*) { return 0; }
int32_t FilterWrite(ZbdOutputFilterStage* stage, const void* pcm, uint32_t bytes, uint32_t bytesPerSample,
                    uint32_t channels, uint32_t sampleRate) {
  if (bytes > 0) NoteFirstBuffer();
  return stage->next->write(stage->next, pcm, bytes, bytesPerSample, channels, sampleRate);
}
int32_t DescribeFilter(ZbdFilterEntry* table) {
  table[0] = reinterpret_cast<ZbdFilterEntry>(&FilterName);
  table[1] = reinterpret_cast<ZbdFilterEntry>(&FilterNewInstance);
  table[2] = reinterpret_cast<ZbdFilterEntry>(&FilterDeleteInstance);
  table[5] = reinterpret_cast<ZbdFilterEntry>(&FilterWrite);
  return 0;
}

void AddTimingFilter(TSoundPlayer& player) {
  if (player.Mp3() == nullptr || player.Mp3()->Xaudio() == nullptr) return;
  char name[64];
  std::snprintf(name, sizeof name, "function@%p", reinterpret_cast<void*>(&DescribeFilter));
  player.Mp3()->Xaudio()->OutputAddFilter(name, 1);
}

// ---- measurements ----

struct Usage {
  double cpuSeconds;
  long voluntarySwitches;
};

Usage UsageNow() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return {double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
          usage.ru_nvcsw};
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string Output() { return std::getenv("ZIMBAR_AUDIO_OUT"); }

// What the main window keeps of the notifications it shows: the position, the timecode,
// the stream's description and the visualization's audio.
struct WindowState {
  std::atomic<uint32_t> offset{0}, range{0}, seconds{0}, bitRate{0};
  std::atomic<uint64_t> visualizedBytes{0};
  uint8_t lastSample = 0;  // output data thread only
};
WindowState g_window;

// Sets the handlers the main window sets, so that the engines do all the work they do for
// it (the WAV engine hands each position to the main thread and waits for it).
void ConnectWindowHandlers(TSoundPlayer& player) {
  player.SetOnNotifyInputPosition([](void*, uint32_t offset, uint32_t range) {
    g_window.offset = offset;
    g_window.range = range;
  });
  player.SetOnNotifyInputTimecode([](void*, uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t) {
    g_window.seconds = (uint32_t(hours) * 60 + minutes) * 60 + seconds;
  });
  player.SetOnNotifyInputStreamInfo([](void*, uint8_t, uint8_t, uint16_t bitRate, uint16_t, uint8_t) {
    g_window.bitRate = bitRate;
  });
  player.SetOnNotifyOutputData([](void*, const void* data, uint32_t size) {
    g_window.visualizedBytes += size;
    if (size > 0) g_window.lastSample = static_cast<const uint8_t*>(data)[size - 1];
  });
}

int Play(QtMainLoop& loop, const std::string& file) {
  TSoundPlayer player(loop);
  bool ended = false;
  std::string error;
  player.SetOnNotifyPlayerState([&](void*, int state) {
    if (state == 3) loop.Post([&] { ended = true; QCoreApplication::quit(); });
  });
  player.SetOnNotifyPlayerError([&](void*, const std::string& message) {
    loop.Post([&, message] { error = message; QCoreApplication::quit(); });
  });
  ConnectWindowHandlers(player);
  // Ten minutes is far beyond any file this is meant for.
  loop.StartTimer(std::chrono::minutes(10), false, [] { QCoreApplication::quit(); });

  const Usage before = UsageNow();
  const auto start = Clock::now();
  player.Open(file);
  player.Play();
  QCoreApplication::exec();  // the window's own event loop: it wakes only for events
  player.Stop();
  const Usage after = UsageNow();
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  if (!ended) {
    std::fprintf(stderr, "playback_bench: %s did not play to its end%s%s\n", file.c_str(),
                 error.empty() ? "" : ": ", error.c_str());
    return 1;
  }
  std::printf("cpu %.4f s, voluntary switches %ld, wall %.3f s\n", after.cpuSeconds - before.cpuSeconds,
              after.voluntarySwitches - before.voluntarySwitches, wall);
  return 0;
}

int FirstSample(QtMainLoop& loop, const std::string& file, int runs) {
  std::string error;
  std::vector<double> fromPlay, fromOpen, release;
  for (int run = 0; run < runs; ++run) {
    // A player of its own for each run, so that no earlier playback is still winding down
    // when this one starts.
    auto player = std::make_unique<TSoundPlayer>(loop);
    player->SetOnNotifyPlayerError([&](void*, const std::string& message) { loop.Post([&, message] { error = message; }); });
    ConnectWindowHandlers(*player);
    g_firstBuffer = 0;
    const auto open = Clock::now();
    player->Open(file);
    AddTimingFilter(*player);
    const auto play = Clock::now();
    player->Play();
    loop.RunUntil([&] { return g_firstBuffer != 0 || !error.empty(); }, std::chrono::seconds(10));
    // What the window waits for when it moves on to another file at this point.
    const auto stop = Clock::now();
    player->Stop();
    player.reset();
    release.push_back(Ms(Clock::now() - stop));
    if (g_firstBuffer == 0) {
      std::fprintf(stderr, "playback_bench: no audio of %s reached the %s output%s%s\n", file.c_str(),
                   Output().c_str(), error.empty() ? "" : ": ", error.c_str());
      return 1;
    }
    const Clock::time_point first{Clock::duration(g_firstBuffer.load())};
    fromPlay.push_back(Ms(first - play));
    fromOpen.push_back(Ms(first - open));
  }
  for (auto* list : {&fromPlay, &fromOpen, &release}) std::sort(list->begin(), list->end());
  auto median = [](const std::vector<double>& list) { return list[list.size() / 2]; };
  std::printf("first buffer %.1f ms (max %.1f) after Play, %.1f ms (max %.1f) after Open; "
              "Stop and release %.1f ms (max %.1f); %d runs, medians\n",
              median(fromPlay), fromPlay.back(), median(fromOpen), fromOpen.back(), median(release), release.back(),
              runs);
  return 0;
}

int RunReference(char** command) {
  const auto start = Clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("playback_bench: fork");
    return 1;
  }
  if (child == 0) {
    execvp(command[0], command);
    std::perror(command[0]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "playback_bench: %s failed\n", command[0]);
    return 1;
  }
  const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf("cpu %.4f s, voluntary switches %ld, wall %.3f s\n", cpu, usage.ru_nvcsw,
              std::chrono::duration<double>(Clock::now() - start).count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "run" && argc > 2) return RunReference(argv + 2);
  if (!((mode == "play" && argc == 3) || (mode == "first-sample" && argc == 4))) {
    std::fprintf(stderr,
                 "usage: playback_bench play FILE\n       playback_bench run PROGRAM [ARGUMENTS...]\n"
                 "       playback_bench first-sample FILE RUNS\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  if (const char* out = std::getenv("ZIMBAR_AUDIO_OUT"); out == nullptr || *out == '\0') {
    setenv("ZIMBAR_AUDIO_OUT", "null", 1);
  }
  QtMainLoop loop;
  if (mode == "play") return Play(loop, argv[2]);
  return FirstSample(loop, argv[2], std::max(1, std::atoi(argv[3])));
}
