// TDecodingThread: output naming and log lines, then the AAC adapter or the MP3 path.
#include "maker/codec/decoding_thread.h"

#include <strings.h>

#include <cctype>

#include "common/paths.h"
#include "common/tags/audio_file_format.h"
#include "common/wav_header.h"
#include "maker/codec/aac_file_decoder.h"
#include "maker/codec/codec_callbacks.h"
#include "maker/codec/flac_file_decoder.h"
#include "maker/codec/m4a_module.h"
#include "maker/codec/mp3_file_decoder.h"
#include "maker/codec/opus_file_decoder.h"
#include "maker/codec/vorbis_file_decoder.h"

namespace {

using CallbackDecoder = void (*)(const std::string&, const std::string&, void*, CodecStatusCallback);

// The adapter for an input and the format the status texts name.
struct DecoderChoice {
  CallbackDecoder decode = nullptr;  // null: the MP3 path
  AudioFileFormat format = AudioFileFormat::Mp3;
};

// The adapter for the input: ".aac" goes to the AAC decoder whatever it holds; the other
// formats are told by their content, so a FLAC named ".mp3" still decodes; the rest is the
// MP3 path's.
DecoderChoice DecoderFor(const std::string& inputPath) {
  if (strcasecmp(ExtractFileExt(inputPath).c_str(), ".aac") == 0) return {DecodeAacFile, AudioFileFormat::Aac};
  switch (const AudioFileFormat format = SniffAudioFileFormat(inputPath)) {
    case AudioFileFormat::Flac: return {DecodeFlacFile, format};
    case AudioFileFormat::OggVorbis: return {DecodeVorbisFile, format};
    case AudioFileFormat::Opus: return {DecodeOpusFile, format};
    case AudioFileFormat::M4a: return {RunM4aDecoder, format};
    default: return {};
  }
}

}  // namespace

TDecodingThread::TDecodingThread(MainLoop& loop, WorkerHost& host, const DecoderJob& job)
    : CodecThread(loop, host), job_(job) {
  startTime = job.startTime;
  lastStatusTime = job.startTime;
}

void TDecodingThread::Run() {
  const std::string inputPath = TrimJobPath(job_.inputPath);
  outputPath = ChangeFileExt(inputPath, ".wav");

  Log(LogSeverity::Begin, "");
  // The heading names the input: every later line of the job is about it.
  logSubject = inputPath;
  Log(LogSeverity::Info, "Decoding: " + inputPath);
  Log(LogSeverity::Info, "To: " + outputPath);

  // Refused before the overwrite question: a yes to replacing the input would not be kept.
  if (!OutputDiffersFromInput(inputPath)) return;
  if (!MayWriteOutput(job_.confirmOverwrite)) return;

  const DecoderChoice choice = DecoderFor(inputPath);
  const CallbackDecoder decoder = choice.decode;
  callbackPath_ = decoder != nullptr;
  formatName = AudioFormatName(choice.format);
  // The decoder writes a temporary file beside the output, which replaces an existing WAV
  // only once the decode has finished.
  std::optional<OutputFile> output = CreateOutput(inputPath);
  if (!output) return;
  // The first progress report shows at once.
  lastStatusTime = 0;
  if (decoder != nullptr) {
    decoder(inputPath, output->WritePath(), Record(), DecoderStatusCallback);
  } else {
    errorCode_ = Mp3DecoderErrorFlag(DecodeMp3File(inputPath, output->WritePath(), *this));
  }
  EndOutput(*output, job_.keepPartialOutput, kWavHeader64Bytes);
}

void TDecodingThread::OutputFailed(CodecEvent kind, const std::string& text) {
  if (callbackPath_) {
    DecoderStatusCallback(Record(), static_cast<uint8_t>(kind), 0, text.c_str());
    return;
  }
  // The MP3 path logs its own lines, without indent, and keeps a code of its own.
  MarkError();
  if (errorCode_ == kMp3DecodeOk)
    errorCode_ = kind == CodecEvent::CannotCreateOutput ? kMp3DecodeOutput : kMp3DecodeWrite;
  std::string line = "Error: " + text;
  line[7] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[7])));
  Log(LogSeverity::Error, line);
}
