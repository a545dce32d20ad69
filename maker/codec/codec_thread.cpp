// CodecThread: window hand-over, overwrite question and path clean-up of the codec threads.
#include "maker/codec/codec_thread.h"

#include <sys/stat.h>

#include "common/paths.h"
#include "maker/codec/codec_text.h"

CodecThread::CodecThread(MainLoop& loop, WorkerHost& host) : JobWorker(loop), host_(host) {}

void CodecThread::ShowStatusMessage() {
  Synchronize([this] { host_.SetStatusText(MakerPanel::Encoder, messageText); });
}

void CodecThread::LogMessage() {
  Synchronize([this] { host_.AppendLog(MakerLog::Encoder, messageText); });
}

bool CodecThread::MayWriteOutput(bool confirmOverwrite) {
  if (!confirmOverwrite || !FileExists(outputPath)) return true;
  bool yes = false;
  const std::string text = FormatText("Overwrite existing file %s ?", outputPath.c_str());
  Synchronize([this, &yes, &text] { yes = host_.AskYesNo(text, "zbmaker Confirmation"); });
  return yes;
}

bool CodecThread::OutputDiffersFromInput(const std::string& inputPath) {
  struct stat in {};
  struct stat out {};
  const bool same = inputPath == outputPath ||
                    (::stat(inputPath.c_str(), &in) == 0 && ::stat(outputPath.c_str(), &out) == 0 &&
                     in.st_dev == out.st_dev && in.st_ino == out.st_ino);
  if (!same) return true;
  SetError();
  Log("    Error: The output file is the input file itself.");
  return false;
}

std::string TrimJobPath(std::string path) {
  while (path.size() > 1) {
    const char last = path.back();
    if (last != '\r' && last != '\n' && last != '\\') break;
    path.pop_back();
  }
  return path;
}
