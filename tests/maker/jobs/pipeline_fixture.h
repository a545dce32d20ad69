// Shared set-up of the pipeline tests: a recording host, scripted workers, a temp folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "common/main_loop.h"
#include "maker/jobs/job_pipeline.h"
#include "maker/settings/settings_table.h"
#include "recording_host.h"
#include "scripted_workers.h"

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zb_jobs_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    settings.SetText("OutputPath", dir);
  }
  void TearDown() override {
    // Leave no worker behind, whatever the test did.
    pipeline.CancelButtonClick();
    RunUntilIdle();
    std::filesystem::remove_all(dir);
  }

  // Turns the main loop until pred() holds (workers report by posting; some states are
  // only visible on the workers, so this polls). False after the time limit.
  bool PumpUntil(const std::function<bool()>& pred, std::chrono::seconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      if (loop.RunPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  void RunUntilIdle() {
    ASSERT_TRUE(PumpUntil([this] { return !pipeline.Busy() && !pipeline.HasLiveWorkers(); }));
  }

  std::string PathIn(const std::string& name) const { return dir + "/" + name; }
  static void WriteFile(const std::string& path, size_t bytes = 100) {
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'w');
  }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  // Readers write their output; encoders write the MP3 beside their input.
  void ReadersWriteOutput() {
    factory.reader = [](const ReaderJob& job) {
      WorkerScript s;
      s.writeFile = job.outputPath;
      return s;
    };
  }
  void AddFiles(std::initializer_list<std::string> names) {
    for (const auto& name : names) {
      WriteFile(PathIn(name));
      host.files.push_back({"+\t" + PathIn(name), false, {}});
    }
  }

  std::string dir;
  QueueMainLoop loop;
  RecordingHost host;
  ScriptedFactory factory{loop, host};
  SettingsTable settings;
  JobPipeline pipeline{loop, host, factory, settings, [](const std::string&, const char*) { return true; }};
};
