// TListLoadThread: gathers list entries on a worker thread (a list file of 100,000 lines,
// a folder tree, the command line's lists), so that the window that asked keeps answering
// meanwhile. The result is taken on the main thread in the completion function.
#pragma once

#include <functional>
#include <utility>

#include "common/worker_thread.h"

template <class Gathered>
class TListLoadThread : public WorkerThread {
 public:
  // gather runs on the worker thread; it is given a function that turns true when the
  // owner no longer wants the result (it then ends early).
  using Gather = std::function<Gathered(const std::function<bool()>& cancelled)>;
  TListLoadThread(MainLoop& loop, Gather gather) : WorkerThread(loop), gather_(std::move(gather)) {}

  // Main thread, in or after the completion function.
  Gathered& Result() { return result_; }

 protected:
  void Run() override { result_ = gather_([this] { return Terminated(); }); }

 private:
  Gather gather_;
  Gathered result_{};
};
