// The Kept() outcome of a job worker: the answer to its own overwrite question, apart from
// every other worker's.
#include "maker/worker/job_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/main_loop.h"

namespace {

// Answers the questions in the order given and records the log lines passed on.
class AnswerHost final : public WorkerHost {
 public:
  void AppendLog(MakerLog, const LogEvent& event) override { lines.push_back(event.text); }
  void SetStatusText(MakerPanel, const std::string& text) override { lines.push_back(text); }
  bool AskYesNo(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return answers.at(questions.size() - 1);
  }
  std::vector<bool> answers;
  std::vector<std::string> lines, questions;
};

class AskingWorker : public JobWorker {
 public:
  AskingWorker(MainLoop& loop, WorkerHost& host, std::string question)
      : JobWorker(loop), host_(host), question_(std::move(question)) {}

 protected:
  void Run() override {
    Synchronize([this] { host_.AppendLog(MakerLog::Encoder, LogEvent::Info("asking " + question_)); });
    Synchronize([this] { host_.SetStatusText(MakerPanel::Encoder, "status " + question_); });
    Synchronize([this] { host_.AskYesNo(question_, "zbmaker Confirmation"); });
  }

 private:
  WorkerHost& host_;
  std::string question_;
};

}  // namespace

// Catches a "No" lost, charged to a worker that answered Yes (the CD reader's answer
// charged to the encode that ends next), or lines and status texts not passed on.
TEST(JobWorker, KeptIsTheAnswerToTheWorkersOwnQuestion) {
  QueueMainLoop loop;
  AnswerHost host;
  host.answers = {true, false};
  std::unique_ptr<JobWorker> yes = MakeJobWorker<AskingWorker>(loop, host, std::string("a"));
  std::unique_ptr<JobWorker> no = MakeJobWorker<AskingWorker>(loop, host, std::string("b"));
  int ended = 0;
  for (JobWorker* worker : {yes.get(), no.get()}) worker->SetOnFinished([&ended] { ++ended; });
  yes->Start();
  ASSERT_TRUE(loop.RunUntil([&] { return ended == 1; }, std::chrono::seconds(20)));
  no->Start();
  ASSERT_TRUE(loop.RunUntil([&] { return ended == 2; }, std::chrono::seconds(20)));
  EXPECT_FALSE(yes->Kept());
  EXPECT_TRUE(no->Kept());
  EXPECT_EQ(host.questions, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(host.lines, (std::vector<std::string>{"asking a", "status a", "asking b", "status b"}));
}
