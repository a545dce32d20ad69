// Test helpers of the track reading thread: a host that records the reader log, and the
// WAV files the thread writes.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/wav_header.h"
#include "maker/worker/worker_host.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace testcd {

// Keeps the reader log's lines, the status texts and the questions asked.
class RecordingHost : public WorkerHost {
 public:
  void AppendLog(MakerLog log, const LogEvent& event) override {
    if (log != MakerLog::Reader) return;
    lines.push_back(event.text);
    events.push_back(event);
  }
  void SetStatusText(MakerPanel, const std::string& text) override { statuses.push_back(text); }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    questions.push_back(text + "|" + caption);
    return answer;
  }
  std::vector<std::string> lines;
  std::vector<LogEvent> events;  // the lines with their severity and subject
  std::vector<std::string> statuses;
  std::vector<std::string> questions;
  bool answer = false;

  bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  int CountStartingWith(const std::string& prefix) const {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return l.rfind(prefix, 0) == 0; }));
  }
};

// A WAV file the thread wrote: its format, the size its header gives, and its audio.
struct WavFile {
  WavFormatInfo format;
  uint32_t dataSize = 0;
  std::vector<uint8_t> audio;
};

inline WavFile ReadWav(const std::string& path) {
  WavFile wav;
  const auto bytes = testcd::ReadFile(path);
  if (bytes.size() < 44) return wav;
  EXPECT_EQ(ReadWavHeaderFromPath(path.c_str(), wav.format), kWavReadOk);
  std::memcpy(&wav.dataSize, &bytes[40], 4);
  wav.audio.assign(bytes.begin() + 44, bytes.end());
  return wav;
}

}  // namespace testcd
