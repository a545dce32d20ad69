// Shared helpers of the codec tests: scratch folders, WAV synthesis, event recording.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "maker/codec/codec_event.h"
#include "maker/codec/codec_record.h"
#include "maker/worker/worker_host.h"

// A fresh folder under /tmp, removed with its content when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir() { std::filesystem::remove_all(path_, ignored_); }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::error_code ignored_;
};

// Sets an environment variable for the lifetime of the object (restores the old value).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Limits the size of files this process writes (writes beyond it fail with EFBIG instead of
// raising SIGXFSZ) for the lifetime of the object: a disk that fills up part way.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(unsigned long bytes);
  ~ScopedFileSizeLimit();

 private:
  unsigned long oldSoft_ = 0;
  void (*oldHandler_)(int) = nullptr;
};

// The folder of a fake library set built by tests/fakes/codec.cmake.
std::string FakeSet(const std::string& set);

// Writes a WAV file: a header with the given fields, then `frames` periods of a 440 Hz tone
// (16-bit) or of zero bytes (other sizes).
void WriteTestWav(const std::string& path, uint16_t channels, uint32_t sampleRate, uint32_t frames,
                  uint16_t bitsPerSample = 16);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
std::vector<std::string> ReadLines(const std::string& path);
// The data size a WAV file's header declares (the field behind its first "data" id), 0 when
// there is none.
uint32_t WavDeclaredBytes(const std::string& path);

// One event as the adapter reported it.
struct SeenEvent {
  int kind;
  int32_t value;
  std::string text;
};

// A record for direct adapter calls: collects the events; stopAfterProgress > 0 answers
// "stop" to that many-th progress event.
struct EventLog {
  std::vector<SeenEvent> events;
  int progressCount = 0;
  int stopAtProgress = 0;
  std::vector<int> Kinds() const;
  std::vector<int32_t> ProgressValues() const;
};
int32_t CollectEvent(void* record, uint8_t kind, int32_t value, const char* text);

// A CodecRecord without threads: lines and status texts land in vectors, the clock is a
// settable value.
class FakeCodecRecord : public CodecRecord {
 public:
  std::vector<std::string> log;
  std::vector<LogEvent> events;  // the log lines with their severity and subject
  std::vector<std::string> status;
  bool error = false;
  bool stop = false;
  std::time_t now = 1000;

  bool StopRequested() const override { return stop; }
  void ShowStatusMessage() override { status.push_back(messageText); }
  void LogMessage() override {
    log.push_back(logEvent.text);
    events.push_back(logEvent);
  }
  void MarkError() override { error = true; }
  std::time_t Now() const override { return now; }
};

// A WorkerHost that records everything and answers questions with a preset answer.
class RecordingHost : public WorkerHost {
 public:
  std::vector<std::string> log;
  std::vector<LogEvent> events;  // the log lines with their severity and subject
  std::vector<std::string> status;
  std::vector<std::string> questions;
  std::vector<std::string> captions;
  bool answer = true;

  void AppendLog(MakerLog which, const LogEvent& event) override;
  void SetStatusText(MakerPanel panel, const std::string& text) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
};
