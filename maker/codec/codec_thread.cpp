// CodecThread: window hand-over, overwrite question and path clean-up of the codec threads.
#include "maker/codec/codec_thread.h"

#include "common/paths.h"
#include "maker/codec/codec_text.h"
#include "maker/worker/job_output.h"

CodecThread::CodecThread(MainLoop& loop, WorkerHost& host) : JobWorker(loop), host_(host) {}

void CodecThread::ShowStatusMessage() {
  Synchronize([this] { host_.SetStatusText(MakerPanel::Encoder, messageText); });
}

void CodecThread::LogMessage() {
  Synchronize([this] { host_.AppendLog(MakerLog::Encoder, logEvent); });
}

bool CodecThread::MayWriteOutput(bool confirmOverwrite) {
  if (!confirmOverwrite || !FileExists(outputPath)) return true;
  bool yes = false;
  const std::string text = FormatText("Overwrite existing file %s ?", outputPath.c_str());
  Synchronize([this, &yes, &text] { yes = host_.AskYesNo(text, "zbmaker Confirmation"); });
  return yes;
}

bool CodecThread::OutputDiffersFromInput(const std::string& inputPath) {
  if (inputPath != outputPath && !IsSameFile(inputPath, outputPath)) return true;
  SetError();
  Log(LogSeverity::Error, "    Error: The output file is the input file itself.");
  return false;
}

std::optional<OutputFile> CodecThread::CreateOutput(const std::string& inputPath) {
  auto created = OutputFile::Create(outputPath, {.input = inputPath});
  if (!created) {
    OutputFailed(CodecEvent::CannotCreateOutput, "Cannot create output file: " + created.Error().reason);
    return std::nullopt;
  }
  return std::move(created).Value();
}

void CodecThread::EndOutput(OutputFile& output, bool keepPartial, int64_t emptyBytes) {
  const JobEnd end = Terminated() ? JobEnd::Cancelled : Error() ? JobEnd::Failed : JobEnd::Finished;
  const JobOutputOutcome outcome = EndJobOutput(output, end, keepPartial, emptyBytes, ExtractFileExt(outputPath));
  if (outcome.failed) OutputFailed(CodecEvent::CannotWriteOutput, outcome.error);
  if (!outcome.kept.text.empty()) Log(outcome.kept.severity, outcome.kept.text);
}

std::string TrimJobPath(std::string path) {
  while (path.size() > 1) {
    const char last = path.back();
    if (last != '\r' && last != '\n' && last != '\\') break;
    path.pop_back();
  }
  return path;
}
