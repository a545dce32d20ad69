// Tests of worker threads: start, completion on the main loop, terminate, priority, pause gate.
#include "common/worker_thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A job whose Run is given as a function; made as Worker<TestWorker>.
class TestWorker : public WorkerThread {
 public:
  TestWorker(MainLoop& loop, std::function<void(TestWorker&)> body) : WorkerThread(loop), body_(std::move(body)) {}
  using WorkerThread::Synchronize;
  using WorkerThread::WaitWhileSuspended;

 protected:
  void Run() override { body_(*this); }

 private:
  std::function<void(TestWorker&)> body_;
};

// A job that works on its own members until it is stopped, handing a count to the main
// thread after every unit.
class CountingWorker : public WorkerThread {
 public:
  CountingWorker(MainLoop& loop, std::atomic<int>& handedOver) : WorkerThread(loop), handedOver_(handedOver) {}
  std::atomic<bool> started{false};

 protected:
  void Run() override {
    started = true;
    while (!Terminated()) {
      samples_.push_back(label_ + std::to_string(samples_.size()));
      Synchronize([this] { handedOver_ = static_cast<int>(samples_.size()); });
    }
  }

 private:
  std::atomic<int>& handedOver_;
  std::string label_ = "a label longer than the short string buffer ";
  std::vector<std::string> samples_;
};

int OwnNice() { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); }

}  // namespace

// Catches a worker that runs before Start, a completion that runs on the worker thread or
// before Run ended, an owner that cannot delete the worker from its completion, and
// Synchronize not reaching the main thread in order (log lines and questions of a job).
TEST(WorkerThread, CompletionRunsOnTheMainThreadAfterRun) {
  QueueMainLoop loop;
  const auto mainId = std::this_thread::get_id();
  std::atomic<bool> ran{false};
  std::vector<int> synced;
  bool allOnMain = true, completed = false, ranBeforeCompletion = false;
  auto* worker = new Worker<TestWorker>(loop, [&](TestWorker& self) {
    for (int i = 0; i < 5; ++i)
      self.Synchronize([&, i] {
        synced.push_back(i);
        allOnMain = allOnMain && std::this_thread::get_id() == mainId;
      });
    ran = true;
  });
  worker->SetOnFinished([&] {
    completed = true;
    allOnMain = allOnMain && std::this_thread::get_id() == mainId;
    ranBeforeCompletion = ran && worker->Finished();
    delete worker;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(ran) << "ran before Start";
  worker->Start();
  EXPECT_TRUE(loop.RunUntil([&] { return completed; }, std::chrono::seconds(10)));
  EXPECT_TRUE(allOnMain);
  EXPECT_TRUE(ranBeforeCompletion);
  EXPECT_EQ(synced, (std::vector<int>{0, 1, 2, 3, 4}));
}

// Catches a terminate request that the job cannot see, or a job that never ends.
TEST(WorkerThread, TerminateEndsAPollingJob) {
  QueueMainLoop loop;
  std::atomic<bool> started{false};
  bool completed = false;
  Worker<TestWorker> worker(loop, [&](TestWorker& self) {
    started = true;
    while (!self.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  worker.SetOnFinished([&] { completed = true; });
  worker.Start();
  while (!started) std::this_thread::yield();
  EXPECT_TRUE(worker.Running());
  worker.Terminate();
  EXPECT_TRUE(loop.RunUntil([&] { return completed; }, std::chrono::seconds(10)));
  EXPECT_FALSE(worker.Running());
}

// Catches an exception escaping the thread entry (which would end the program) and a
// completion that is skipped after one.
TEST(WorkerThread, ExceptionInRunStillCompletes) {
  QueueMainLoop loop;
  bool completed = false;
  Worker<TestWorker> worker(loop, [](TestWorker&) { throw std::runtime_error("job failed"); });
  worker.SetOnFinished([&] { completed = true; });
  worker.Start();
  EXPECT_TRUE(loop.RunUntil([&] { return completed; }, std::chrono::seconds(10)));
}

// Catches a priority set before Start being lost, a change while running not reaching the
// worker's own thread, and a refused raise or a call after the end failing loudly.
TEST(WorkerThread, PriorityReachesTheWorkerAndRefusalsAreHarmless) {
  QueueMainLoop loop;
  std::atomic<int> niceAtStart{-100}, niceLater{-100};
  std::atomic<bool> lowered{false};
  bool completed = false;
  Worker<TestWorker> worker(loop, [&](TestWorker&) {
    niceAtStart = OwnNice();
    while (!lowered) std::this_thread::yield();
    niceLater = OwnNice();
  });
  worker.SetOnFinished([&] { completed = true; });
  const int mainNice = OwnNice();
  worker.SetPriority(ThreadPriority::Lower);
  worker.Start();
  while (niceAtStart == -100) std::this_thread::yield();
  EXPECT_EQ(niceAtStart.load(), 5);
  worker.SetPriority(ThreadPriority::Highest);  // refused without privileges; no harm
  worker.SetPriority(ThreadPriority::Idle);
  lowered = true;
  EXPECT_TRUE(loop.RunUntil([&] { return completed; }, std::chrono::seconds(10)));
  worker.SetPriority(ThreadPriority::Normal);  // after the end: nothing to change
  EXPECT_EQ(niceLater.load(), 19);
  EXPECT_EQ(OwnNice(), mainNice) << "the main thread's level was changed";
}

// Catches a pause gate that lets a suspended worker go on, a resume that does not wake it,
// a worker that suspends itself (idle, waiting for work) and is never woken by Resume, and
// a stop during a pause that leaves the worker parked for ever (the owner's wait for its
// end would hang).
TEST(WorkerThread, SuspendParksTheWorkerUntilResumeOrTerminate) {
  QueueMainLoop loop;
  std::atomic<int> units{0}, handedOver{0}, processed{0};
  bool completed = false;
  Worker<TestWorker> worker(loop, [&](TestWorker& self) {
    while (self.WaitWhileSuspended()) {
      if (handedOver > processed) {
        processed = handedOver.load();
        self.Suspend();  // idle again until the next item
      }
      ++units;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  worker.SetOnFinished([&] { completed = true; });
  auto grows = [&] {
    const int before = units;
    return loop.RunUntil([&] { return units > before + 2; }, std::chrono::seconds(10));
  };
  worker.Start();
  ASSERT_TRUE(grows());

  worker.Suspend();
  const int atSuspend = units;  // a worker just past the gate may count one more unit
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_LE(units.load(), atSuspend + 1) << "a suspended worker went on";
  worker.Resume();
  EXPECT_TRUE(grows()) << "Resume did not wake the worker";

  handedOver = 1;  // the worker takes it and suspends itself
  ASSERT_TRUE(loop.RunUntil([&] { return worker.Suspended(); }, std::chrono::seconds(10)));
  EXPECT_EQ(processed.load(), 1);
  worker.Resume();
  EXPECT_TRUE(grows()) << "a self-suspended worker was not woken";

  worker.Suspend();
  worker.Terminate();
  EXPECT_TRUE(loop.RunUntil([&] { return completed; }, std::chrono::seconds(10))) << "stopped while paused";
  EXPECT_TRUE(worker.Suspended());
}

// Closing a window during a run destroys its running workers. Catches a thread that still
// runs on the job's members while they are destroyed (a use after free under ASan), a
// destructor that waits for a worker stuck in Synchronize without serving the main loop
// (a hang), and a completion that runs after its worker is gone.
TEST(WorkerThread, DestroyingARunningWorkerEndsItBeforeItsMembersGo) {
  QueueMainLoop loop;
  std::atomic<int> handedOver{0};
  bool completed = false;
  auto worker = std::make_unique<Worker<CountingWorker>>(loop, handedOver);
  worker->SetOnFinished([&] { completed = true; });
  worker->Start();
  ASSERT_TRUE(loop.RunUntil([&] { return handedOver > 20; }, std::chrono::seconds(10)));
  // The worker is now between two hand-overs, or waiting in one: the main loop is not
  // turning while the destructor runs.
  worker.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  loop.RunPending();
  EXPECT_FALSE(completed) << "the completion of a destroyed worker ran";
}
