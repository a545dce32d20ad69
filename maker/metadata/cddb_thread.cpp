// TCDDBThread: the lookup's run logic and its reports to the status window.
#include "maker/metadata/cddb_thread.h"

#include "maker/metadata/musicbrainz_lookup.h"

int CddbStatusHost::ChooseMatch(const std::vector<std::string>&) { return 0; }

int CddbStatusHost::ChooseCddbMatch(const std::vector<CddbMatch>& matches) {
  std::vector<std::string> lines;
  lines.reserve(matches.size());
  for (const CddbMatch& match : matches) lines.push_back(match.line);
  return ChooseMatch(lines);
}

TCDDBThread::TCDDBThread(MainLoop& loop, CddbStatusHost& status, CddbRequest request)
    : WorkerThread(loop), status_(status), request_(std::move(request)) {}


void TCDDBThread::Run() {
  try {
    Synchronize([this] {
      status_.SetCancelEnabled(true);
      status_.AppendLog(UsesMusicBrainz() ? "Getting MusicBrainz info..." : "Getting CDDB info...");
    });
    // The code is what the thread keeps and its windows show.
    const Outcome outcome = UsesMusicBrainz() ? MusicBrainzLookup(request_, *this, outputs_)
                                              : CddbLookup(request_, *this, outputs_);
    result_ = CddbResultCode(outcome);
    if (result_ == kCddbOk) {
      Synchronize([this] { status_.CloseWithOk(); });
      return;
    }
    failureText_ = outcome.Error().Message();
    Synchronize([this] {
      // What happened in plain words, then the server's own line.
      status_.AppendLog(failureText_);
      if (!outputs_.lastReply.empty()) status_.AppendLog(outputs_.lastReply);
      status_.SetOkEnabled(true);
      status_.SetCancelEnabled(false);
    });
  } catch (...) {
    // Nothing may leave the thread; an allocation failure ends the lookup unsuccessfully.
    if (result_ == kCddbOk) result_ = kCddbCannotReadInfo;
  }
}

int TCDDBThread::CddbProgress(CddbStage stage, std::string_view text) {
  std::string line(UsesMusicBrainz() ? MusicBrainzStageText(stage) : CddbStageText(stage));
  Synchronize([this, &line, text] {
    status_.AppendLog(line);
    if (!text.empty()) status_.AppendLog(std::string(text));
  });
  return Terminated() ? 1 : 0;
}

int TCDDBThread::CddbChooseMatch(const std::vector<CddbMatch>& matches) {
  int choice = 0;
  Synchronize([this, &matches, &choice] { choice = status_.ChooseCddbMatch(matches); });
  if (Terminated()) return -1;
  return choice;
}
