// What the maker's worker threads need from the program that hosts them.
#pragma once

#include <string>

#include "maker/worker/log_event.h"

enum class MakerLog { Reader, Encoder };      // the CD reader log and the encoder/decoder log
enum class MakerPanel { Reader, Encoder };    // the two status panels

// Every entry runs on the main thread; workers reach it through WorkerThread::Synchronize,
// so a worker's text buffer is shown before the worker goes on. Implemented by the Qt main
// window, the terminal front end and test hosts.
class WorkerHost {
 public:
  virtual ~WorkerHost() = default;
  // Shows the event's text as a line of `log`; a host decides by its severity and subject.
  virtual void AppendLog(MakerLog log, const LogEvent& event) = 0;
  virtual void SetStatusText(MakerPanel panel, const std::string& text) = 0;
  // A Yes/No question box with the given caption; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};
