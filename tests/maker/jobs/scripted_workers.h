// Fake pipeline workers whose behaviour each test scripts: succeed, fail, warn, write a
// file, post log lines, or block until cancelled (or until the test opens a gate).
#pragma once

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "maker/jobs/job_worker_factory.h"
#include "maker/jobs/worker_host.h"

struct WorkerScript {
  bool error = false;
  bool warning = false;
  std::vector<std::string> logLines;
  std::string writeFile;               // created with some bytes before the worker ends
  bool blockUntilCancelled = false;
  std::string question;                // asked through the host; No ends the job at once
  std::atomic<bool>* gate = nullptr;   // when set, the worker waits until it is true
};

class ScriptedWorker final : public JobWorker {
 public:
  ScriptedWorker(MainLoop& loop, WorkerHost& host, MakerLog log, WorkerScript script)
      : JobWorker(loop), host_(host), log_(log), script_(std::move(script)) {}

  std::atomic<bool> running{false};

 protected:
  void Run() override {
    running = true;
    for (const auto& line : script_.logLines) Synchronize([this, &line] { host_.AppendLog(log_, line); });
    if (!script_.question.empty()) {
      bool yes = false;
      Synchronize([this, &yes] { yes = host_.AskYesNo(script_.question, "zbmaker Confirmation"); });
      if (!yes) {
        running = false;
        return;
      }
    }
    if (!script_.writeFile.empty()) std::ofstream(script_.writeFile, std::ios::binary) << std::string(1000, 'x');
    while (script_.blockUntilCancelled && !Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    while (script_.gate && !*script_.gate) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (script_.error) SetError();
    if (script_.warning) SetWarning();
    running = false;
  }

 private:
  WorkerHost& host_;
  MakerLog log_;
  WorkerScript script_;
};

// Makes scripted workers from per-kind script functions and records every job it was given
// and the order of the calls ("read 2", "encode /x/Track01.tmp", "decode /a/b.mp3").
class ScriptedFactory final : public JobWorkerFactory {
 public:
  ScriptedFactory(MainLoop& loop, WorkerHost& host) : loop_(loop), host_(host) {}

  std::unique_ptr<JobWorker> MakeReader(const ReaderJob& job) override {
    readerJobs.push_back(job);
    calls.push_back("read " + std::to_string(job.track));
    return Make(MakerLog::Reader, reader ? reader(job) : WorkerScript{});
  }
  std::unique_ptr<JobWorker> MakeEncoder(const EncoderJob& job) override {
    encoderJobs.push_back(job);
    calls.push_back("encode " + job.inputPath);
    return Make(MakerLog::Encoder, encoder ? encoder(job) : WorkerScript{});
  }
  std::unique_ptr<JobWorker> MakeDecoder(const DecoderJob& job) override {
    decoderJobs.push_back(job);
    calls.push_back("decode " + job.inputPath);
    return Make(MakerLog::Encoder, decoder ? decoder(job) : WorkerScript{});
  }

  std::function<WorkerScript(const ReaderJob&)> reader;
  std::function<WorkerScript(const EncoderJob&)> encoder;
  std::function<WorkerScript(const DecoderJob&)> decoder;
  std::vector<ReaderJob> readerJobs;
  std::vector<EncoderJob> encoderJobs;
  std::vector<DecoderJob> decoderJobs;
  std::vector<std::string> calls;
  ScriptedWorker* lastWorker = nullptr;

 private:
  std::unique_ptr<JobWorker> Make(MakerLog log, WorkerScript script) {
    auto worker = std::make_unique<ScriptedWorker>(loop_, host_, log, std::move(script));
    lastWorker = worker.get();
    return worker;
  }
  MainLoop& loop_;
  WorkerHost& host_;
};
