// TCDDBThread: runs one CDDB or MusicBrainz lookup (CddbRequest::source) on a worker
// thread behind the CDDB status window.
#pragma once

#include <string>
#include <vector>

#include "common/worker_thread.h"
#include "maker/metadata/cddb_lookup.h"

// What the status window offers the thread. Every entry runs on the main thread.
class CddbStatusHost {
 public:
  virtual ~CddbStatusHost() = default;
  virtual void AppendLog(const std::string& line) = 0;
  virtual void SetOkEnabled(bool enabled) = 0;
  virtual void SetCancelEnabled(bool enabled) = 0;
  // The lookup succeeded: close the status window with the OK result.
  virtual void CloseWithOk() = 0;
  // Several discs matched (exact ones of a 210 list or inexact ones of a 211 list; each
  // CddbMatch has its category, disc ID, artist, title and the line to show): the index of
  // the one to read, or -1 to cancel. By default the choice among the matches' lines.
  virtual int ChooseCddbMatch(const std::vector<CddbMatch>& matches);
  // The same choice from the lines "<category> <discid> <artist> / <title>" alone.
  // Default: the first.
  virtual int ChooseMatch(const std::vector<std::string>& matches);
};

// Life cycle as WorkerThread. Terminate() (the status window's Cancel) stops the lookup
// at its next stage or within about 100 ms of a network wait. The outputs describe the
// disc only when Succeeded(); read them after the thread has finished, and apply them to
// the CD information only then.
class TCDDBThread : public WorkerThread, private CddbLookupHost {
 public:
  TCDDBThread(MainLoop& loop, CddbStatusHost& status, CddbRequest request);

  int ResultCode() const { return result_; }
  // What a failed lookup says to a person (it names the server); empty until the lookup
  // has failed. Read it after the thread has finished.
  const std::string& FailureText() const { return failureText_; }
  bool Succeeded() const { return Finished() && result_ == kCddbOk; }
  const CddbOutputs& Outputs() const { return outputs_; }

 protected:
  void Run() override;

 private:
  int CddbProgress(CddbStage stage, std::string_view text) override;
  int CddbChooseMatch(const std::vector<CddbMatch>& matches) override;
  bool CddbCancelRequested() override { return Terminated(); }
  bool UsesMusicBrainz() const { return request_.source == MetadataSource::MusicBrainz; }

  CddbStatusHost& status_;
  CddbRequest request_;
  CddbOutputs outputs_;
  int result_ = kCddbCancelled;
  std::string failureText_;
};
