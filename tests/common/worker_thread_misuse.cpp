// Must not compile: a job class made as an object of its own, not as Worker<OwnJob>.
#include "common/worker_thread.h"

class OwnJob : public WorkerThread {
 public:
  explicit OwnJob(MainLoop& loop) : WorkerThread(loop) {}

 protected:
  void Run() override {}
};

void MakeOwnJob(MainLoop& loop) { OwnJob job(loop); }
