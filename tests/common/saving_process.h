// A save in another process, stopped half-way: a child writes a file through OutputFile
// and waits; Kill() ends it with SIGKILL, as `kill -9` ends a program in the middle of a
// save, which leaves the hidden temporary file behind. While the child lives, its
// temporary file is a save in progress. Fork only from a test program without threads.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "common/fd_io.h"
#include "common/output_file.h"

class SavingProcess {
 public:
  explicit SavingProcess(const std::string& path, size_t bytes = 4096) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(pipeFds[0]);
      auto out = OutputFile::Create(path);
      if (!out) ::_exit(1);
      const std::string data(bytes, 'x');
      if (!WriteAll(out.Value().Fd(), data.data(), data.size())) ::_exit(1);
      const std::string name = out.Value().WritePath();
      if (!WriteAll(pipeFds[1], name.data(), name.size())) ::_exit(1);
      ::close(pipeFds[1]);
      for (;;) ::pause();
    }
    ::close(pipeFds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
      if (n > 0) temp_.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
  }
  ~SavingProcess() { Kill(); }
  SavingProcess(const SavingProcess&) = delete;
  SavingProcess& operator=(const SavingProcess&) = delete;

  // The hidden temporary file the child writes; empty when it could not make one.
  const std::string& TemporaryPath() const { return temp_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string temp_;
};
