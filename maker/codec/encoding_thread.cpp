// TEncodingThread: output naming, description and log lines, then one encoder adapter.
#include "maker/codec/encoding_thread.h"

#include "common/paths.h"
#include "maker/codec/aac_encoder.h"
#include "maker/codec/codec_callbacks.h"
#include "maker/codec/codec_text.h"
#include "maker/codec/external_program.h"
#include "maker/codec/m4a_module.h"
#include "maker/codec/mp3_encoder.h"
#include "maker/codec/opus_encoder.h"
#include "maker/codec/vorbis_encoder.h"
#include "maker/settings/encoder_mode.h"

TEncodingThread::TEncodingThread(MainLoop& loop, WorkerHost& host, const EncoderJob& job)
    : CodecThread(loop, host), job_(job) {
  startTime = job.startTime;
  lastStatusTime = job.startTime;
  formatName = EncoderFormatName(job.mpegMode);
}

std::string TEncodingThread::Description(const EncoderJob& job) {
  switch (job.mpegMode) {
    case kModeM4a: return FormatText("M4A, %i kbps", job.m4a.bitRate);
    case kModeFlac: return FormatText(job.flac.verify ? "FLAC, Level %i, Verify" : "FLAC, Level %i", job.flac.level);
    case kModeVorbis: return FormatText("Ogg Vorbis, Quality %i", job.vorbis.quality);
    case kModeOpus: return FormatText("Opus, %i kbps", job.opus.bitRate);
    default: break;
  }
  const bool aac = job.mpegMode == kModeAac;
  const bool mono = !aac && job.mp3.mono;
  const bool jointStereo = aac ? job.aac.jointStereo : job.mp3.jointStereo;
  const int bitRate = aac ? job.aac.bitRate : job.mp3.bitRate;
  const char* channels = mono ? "Mono" : (jointStereo ? "Joint-Stereo" : "Stereo");
  std::string description = bitRate < 1000 ? FormatText("%s, %i kbps", channels, bitRate)
                                           : FormatText("%s, Quality-%i VBR", channels, bitRate - 1000);
  if (aac) {
    if (job.aac.useTns) description += ", TNS";
    if (job.aac.useLtp) description += ", LTP";
    if (job.aac.adts) description += ", ADTS";
  } else {
    if (job.mp3.mpeg2) description += ", MPEG2";
    if (job.mp3.fastMode) description += ", Fast Mode";
  }
  return description;
}

void TEncodingThread::Run() {
  if (job_.mpegMode == kModeExternal) {
    RunExternalProgram();
    return;
  }
  const std::string inputPath = TrimJobPath(job_.inputPath);
  outputPath = ChangeFileExt(inputPath, std::string(EncoderExtension(job_.mpegMode)));

  Log(LogSeverity::Begin, "");
  Log(LogSeverity::Info, Description(job_));
  // The heading names the input: every later line of the job is about it.
  logSubject = inputPath;
  Log(LogSeverity::Info, "Encoding: " + inputPath);
  Log(LogSeverity::Info, "To: " + outputPath);

  // Refused before the overwrite question: a yes to replacing the input would not be kept.
  if (!OutputDiffersFromInput(inputPath)) return;
  if (!MayWriteOutput(job_.confirmOverwrite)) return;

  // The encoder writes a temporary file beside the output, which replaces an existing
  // output only once the encode has finished.
  std::optional<OutputFile> output = CreateOutput(inputPath);
  if (!output) return;
  Encode(inputPath, output->WritePath());
  if (!Error() && !Terminated()) Complete(inputPath, output->WritePath());
  EndOutput(*output, job_.keepPartialOutput, /*emptyBytes=*/0);
}

void TEncodingThread::Encode(const std::string& inputPath, const std::string& writePath) {
  switch (job_.mpegMode) {
    case kModeAac: return EncodeAacFile(inputPath, writePath, job_.aac, Record(), EncoderStatusCallback);
    case kModeM4a: return RunM4aEncoder(inputPath, writePath, job_.m4a, Record(), EncoderStatusCallback);
    case kModeFlac: return EncodeFlacFile(inputPath, writePath, job_.flac, Record(), EncoderStatusCallback);
    case kModeVorbis: return EncodeVorbisFile(inputPath, writePath, job_.vorbis, Record(), EncoderStatusCallback);
    case kModeOpus: return EncodeOpusFile(inputPath, writePath, job_.opus, Record(), EncoderStatusCallback);
    default: return EncodeMp3File(inputPath, writePath, job_.mp3, Record(), EncoderStatusCallback);
  }
}

void TEncodingThread::Complete(const std::string& inputPath, const std::string& writePath) {
  if (job_.tags && EncoderWritesContainerTags(job_.mpegMode)) {
    const AudioFileFormat format = SniffAudioFileFormat(writePath);
    if (const Outcome written = WriteAudioFileTags(writePath, format, *job_.tags); !written) {
      SetError();
      Log(LogSeverity::Error, "    Error: Cannot write the tags: " + written.Error().Message());
      return;
    }
    Log(LogSeverity::Info, "    Tags written.");
  }
  if (job_.measureLoudness) {
    // A Cancel during the measurement stops it at the next block; the run then writes no
    // ReplayGain values, so there is nothing to warn about.
    Expected<TrackLoudness> measured = MeasureWavLoudness(inputPath, &TerminatedFlag());
    if (measured) {
      loudness_ = std::move(measured).Value();
    } else if (measured.Error().category != ErrorCategory::Cancelled) {
      Log(LogSeverity::Warning, "    Warning: Cannot measure the loudness: " + measured.Error().Message());
    }
  }
}

void TEncodingThread::OutputFailed(CodecEvent kind, const std::string& text) {
  EncoderStatusCallback(Record(), static_cast<uint8_t>(kind), 0, text.c_str());
}

// Runs the selected template on the input path exactly as the pipeline gave it, and waits
// for the program so that the pipeline's delete rules act only after it has finished.
void TEncodingThread::RunExternalProgram() {
  const std::string& inputPath = job_.inputPath;
  Log(LogSeverity::Begin, "");
  Log(LogSeverity::Info, "Executing external program:");
  Log(LogSeverity::Info, ExpandPlaceholders(job_.externalCommand, inputPath));

  const ExternalRunResult result =
      ::RunExternalProgram(ExpandCommandWords(job_.externalCommand, inputPath), [this] { return Terminated(); });
  switch (result.outcome) {
    case ExternalRunOutcome::Succeeded:
      Log(LogSeverity::Done, DoneText(static_cast<long>(Now() - startTime)));
      return;
    case ExternalRunOutcome::StartFailed:
      SetError();
      Log(LogSeverity::Error, StartFailureText(result.startErrno));
      return;
    case ExternalRunOutcome::Failed:
      SetError();
      Log(LogSeverity::Error,
          result.signal != 0 ? FormatText("    Error: External program failed (signal %i).", result.signal)
                             : FormatText("    Error: External program failed (exit code %i).", result.exitCode));
      return;
    case ExternalRunOutcome::Cancelled:
      return;  // the pipeline logs the cancel
  }
}
