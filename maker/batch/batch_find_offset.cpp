// Find read offset in the terminal.
#include "maker/batch/batch_find_offset.h"

#include <unistd.h>

#include <optional>

#include "common/main_loop.h"
#include "common/paths.h"
#include "maker/batch/batch_cd.h"
#include "maker/batch/signal_canceller.h"
#include "maker/batch/terminal_host.h"
#include "maker/batch/terminal_text.h"
#include "maker/cd/cd_device.h"
#include "maker/cd/read_offset_finder.h"
#include "maker/jobs/accuraterip_lookup_worker.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "maker/jobs/rip_accuracy.h"
#include "maker/metadata/cd_info_settings.h"
#include "maker/settings/settings_table.h"

namespace {

// Starts `worker`, turns the loop until it has ended; Ctrl-C and SIGTERM cancel it.
void RunToEnd(QueueMainLoop& loop, JobWorker& worker, SignalCanceller* canceller) {
  bool finished = false;
  worker.SetOnFinished([&finished] { finished = true; });
  {
    std::optional<SignalCanceller::Watch> signals;
    if (canceller) signals.emplace(*canceller, loop, [&worker] { worker.Cancel(); });
    worker.Start();
    loop.RunUntil([&finished] { return finished; });
  }
  // A cancel posted just before the watch ended still refers to the worker.
  loop.RunPending();
  worker.Join();
}

std::string Signed(int offset) {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "x" + std::string.
  std::string text;
  if (offset > 0) text += '+';
  text += std::to_string(offset);
  return text;
}

}  // namespace

int RunFindReadOffset(const BatchOptions& options, const SettingsTable& settings, const std::string& settingsPath,
                      CdLayer& cd, std::FILE* out, std::FILE* err, SignalCanceller* canceller) {
  const auto problem = [err](const std::string& text) {
    std::fprintf(err, "zbmaker: %s\n", TerminalText(text).c_str());
    return 1;
  };
  auto opened = OpenBatchDisc(options, settings, cd);
  if (!opened) {
    cd.Shutdown();
    return problem(opened.Error().Message());
  }
  const BatchDisc& disc = opened.Value();

  QueueMainLoop loop;
  TerminalChoices choices;
  choices.quiet = options.quiet;
  choices.progressLine = isatty(fileno(err)) != 0;
  TerminalHost host(out, err, choices);
  LoadCdInfoChoices(settings, host.MutableCdInfo());

  // The disc's record, fetched as a rip fetches it.
  const AccurateRipDiscIds ids = ComputeAccurateRipDiscIds(disc.toc);
  const AccurateRipRequest request =
      MakeAccurateRipRequest(settings, host.MutableCdInfo(), ids, options.accurateRipServer.value_or(""));
  host.AppendLog(MakerLog::Reader, LogEvent::Info("AccurateRip: looking up " + AccurateRipRecordUrl(request)));
  RealJobWorkerFactory factory(loop, host);
  const std::unique_ptr<JobWorker> lookup = factory.MakeAccurateRipLookup(request);
  RunToEnd(loop, *lookup, canceller);
  const auto* source = dynamic_cast<const AccurateRipLookupSource*>(lookup.get());
  const AccurateRipLookupResult found = source ? source->LookupResult() : AccurateRipLookupResult{};
  if (canceller && canceller->CancelSignal() != 0) {
    cd.Shutdown();
    return 1;
  }
  switch (found.kind) {
    case AccurateRipLookupResult::Kind::Found:
      break;
    case AccurateRipLookupResult::Kind::NotInDatabase:
      cd.Shutdown();
      return problem("the disc is not in the AccurateRip database; find the offset with a disc it knows");
    case AccurateRipLookupResult::Kind::Failed:
    case AccurateRipLookupResult::Kind::Cancelled:
      cd.Shutdown();
      return problem("AccurateRip: " + (found.problem.empty() ? std::string("the lookup failed") : found.problem));
  }

  ReadOffsetFinderJob job = MakeReadOffsetFinderJob(settings, disc.drive, cd.DiscImages(), disc.toc);
  job.record = std::make_shared<const AccurateRipRecord>(found.record);
  job.discIds = ids;
  const std::unique_ptr<JobWorker> finder = MakeJobWorker<ReadOffsetFinder>(loop, host, job);
  RunToEnd(loop, *finder, canceller);
  host.FinishStatusLine();
  cd.Shutdown();
  const ReadOffsetFinding finding = static_cast<const ReadOffsetFinder&>(*finder).Finding();
  if (canceller && canceller->CancelSignal() != 0) return 1;
  if (finding.kind == ReadOffsetFinding::Kind::NoMatch) return problem("no offset matched: " + ReadOffsetFindingText(finding));
  if (finding.kind != ReadOffsetFinding::Kind::Found) return problem(ReadOffsetFindingText(finding));

  std::fprintf(out, "%s\n", TerminalText(ReadOffsetFindingText(finding)).c_str());
  // Only the offset is written; this run's other choices stay this run's.
  SettingsTable saved;
  if (FileExists(settingsPath)) {
    if (auto loaded = saved.Load(settingsPath); !loaded)
      return problem("cannot read " + settingsPath + " to save the offset: " + loaded.Error().Message());
  }
  const std::string key = disc.identity.Key();
  saved.SetReadOffset(key, finding.best.offset);
  if (auto written = saved.Save(settingsPath); !written)
    return problem("cannot save the read offset in " + settingsPath + ": " + written.Error().Message());
  std::fprintf(out, "Saved the read offset %s for the drive %s in %s\n", Signed(finding.best.offset).c_str(),
               TerminalText(key).c_str(), TerminalText(settingsPath).c_str());
  std::fflush(out);
  return 0;
}
