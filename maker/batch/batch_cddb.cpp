// The CDDB lookup of a CD run in the terminal.
#include "maker/batch/batch_cddb.h"

#include <algorithm>
#include <optional>

#include "maker/batch/signal_canceller.h"
#include "maker/metadata/cddb_thread.h"

namespace {

// The CDDB status window's part, played by the terminal: its log lines become log lines
// of the run; its buttons have nothing to stand for.
class TerminalCddbStatus final : public CddbStatusHost {
 public:
  explicit TerminalCddbStatus(TerminalHost& host) : host_(host) {}

  void AppendLog(const std::string& line) override { host_.AppendLog(MakerLog::Reader, LogEvent::Info(line)); }
  void SetOkEnabled(bool) override {}
  void SetCancelEnabled(bool) override {}
  void CloseWithOk() override {}
  // Nobody is there to choose: the first exact match is read (the first of all when the
  // server found only inexact ones), and the others are shown so the user can see what
  // was passed over.
  int ChooseCddbMatch(const std::vector<CddbMatch>& matches) override {
    const auto exact = std::find_if(matches.begin(), matches.end(), [](const CddbMatch& m) { return m.exact; });
    const int chosen = exact == matches.end() ? 0 : static_cast<int>(exact - matches.begin());
    AppendLog(exact == matches.end() ? "Several discs match, reading the first:"
                                     : "Several discs match exactly, reading the first exact one:");
    for (size_t i = 0; i < matches.size(); ++i) {
      AppendLog((static_cast<int>(i) == chosen ? "* " : "  ") + std::to_string(i + 1) + ") " + matches[i].line);
    }
    return chosen;
  }

 private:
  TerminalHost& host_;
};

}  // namespace

int LookUpDisc(QueueMainLoop& loop, const CddbRequest& request, TerminalHost& host, SignalCanceller* canceller) {
  TerminalCddbStatus status(host);
  Worker<TCDDBThread> thread(loop, status, request);
  bool finished = false;
  thread.SetOnFinished([&finished] { finished = true; });
  {
    // Ctrl-C and SIGTERM end the lookup (and the run) from the loop.
    std::optional<SignalCanceller::Watch> signals;
    if (canceller) signals.emplace(*canceller, loop, [&thread] { thread.Terminate(); });
    thread.Start();
    loop.RunUntil([&finished] { return finished; });
  }
  // A cancel posted just before the canceller stopped still refers to the thread.
  loop.RunPending();

  const int result = thread.ResultCode();
  if (result != kCddbOk) {
    // The failure in plain words, naming the server (the status lines above hold the
    // server's own reply line).
    if (result != kCddbCancelled)
      host.AppendLog(MakerLog::Reader, LogEvent::Warning("    Warning: " + thread.FailureText() +
                                                         "; going on with the CD information given"));
    return result;
  }
  const CddbOutputs& found = thread.Outputs();
  ApplyCddbOutputs(found, host.MutableCdInfo());
  const auto names = std::count(found.trackNames.begin(), found.trackNames.end(), '\n');
  // CDDB names a category, MusicBrainz a year; either may be missing.
  const std::string detail = found.category.empty() ? found.year : found.category;
  host.AppendLog(MakerLog::Reader, LogEvent::Info("    Found: " + found.artist + " / " + found.title +
                                                  (detail.empty() ? std::string() : " (" + detail + ")") + ", " +
                                                  std::to_string(names) + " track names"));
  return result;
}
