// Helpers of the codec tests.
#include "tests/maker/codec/codec_test_support.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/zb-codec-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = ::getenv(name)) old_ = old;
  ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
  else ::unsetenv(name_.c_str());
}

ScopedFileSizeLimit::ScopedFileSizeLimit(unsigned long bytes) : oldHandler_(::signal(SIGXFSZ, SIG_IGN)) {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  oldSoft_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = oldSoft_;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  ::signal(SIGXFSZ, oldHandler_);
}

std::string FakeSet(const std::string& set) { return std::string(ZIMBAR_FAKES_DIR) + "/" + set; }

namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

void WriteTestWav(const std::string& path, uint16_t channels, uint32_t sampleRate, uint32_t frames,
                  uint16_t bitsPerSample) {
  const uint32_t blockAlign = channels * ((bitsPerSample + 7) / 8);
  const uint32_t dataBytes = frames * blockAlign;
  std::string out = "RIFF";
  PutLe(out, dataBytes + 36, 4);
  out += "WAVEfmt ";
  for (auto [value, bytes] : {std::pair<uint32_t, int>{16, 4}, {1, 2}, {channels, 2}, {sampleRate, 4},
                              {sampleRate * blockAlign, 4}, {blockAlign, 2}, {bitsPerSample, 2}}) {
    PutLe(out, value, bytes);
  }
  out += "data";
  PutLe(out, dataBytes, 4);
  for (uint32_t i = 0; i < frames; ++i) {
    const auto sample = static_cast<int16_t>(std::lround(12000.0 * std::sin(2.0 * M_PI * 440.0 * i / sampleRate)));
    for (uint16_t c = 0; c < channels; ++c) {
      if (bitsPerSample == 16) PutLe(out, static_cast<uint16_t>(sample), 2);
      else out.append(blockAlign / channels, '\0');
    }
  }
  WriteFile(path, out);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

uint32_t WavDeclaredBytes(const std::string& path) {
  const std::string bytes = ReadFile(path);
  const size_t at = bytes.find("data", 12);
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && at != std::string::npos && at + 8 <= bytes.size(); ++i) {
    value |= uint32_t(uint8_t(bytes[at + 4 + i])) << (8 * i);
  }
  return value;
}

std::vector<int> EventLog::Kinds() const {
  std::vector<int> kinds;
  for (const SeenEvent& event : events) kinds.push_back(event.kind);
  return kinds;
}

std::vector<int32_t> EventLog::ProgressValues() const {
  std::vector<int32_t> values;
  for (const SeenEvent& event : events) {
    if (event.kind == static_cast<int>(CodecEvent::Progress)) values.push_back(event.value);
  }
  return values;
}

int32_t CollectEvent(void* record, uint8_t kind, int32_t value, const char* text) {
  auto& log = *static_cast<EventLog*>(record);
  log.events.push_back({kind, value, text != nullptr ? text : ""});
  if (kind == static_cast<uint8_t>(CodecEvent::Progress) && ++log.progressCount == log.stopAtProgress) return 1;
  return 0;
}

void RecordingHost::AppendLog(MakerLog which, const LogEvent& event) {
  log.push_back(which == MakerLog::Encoder ? event.text : "[reader] " + event.text);
  events.push_back(event);
}

void RecordingHost::SetStatusText(MakerPanel panel, const std::string& text) {
  status.push_back(panel == MakerPanel::Encoder ? text : "[reader] " + text);
}

bool RecordingHost::AskYesNo(const std::string& text, const std::string& caption) {
  questions.push_back(text);
  captions.push_back(caption);
  return answer;
}
