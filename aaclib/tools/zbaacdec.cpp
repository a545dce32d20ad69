// zbaacdec IN.aac OUT.wav: decodes an AAC file (ADTS, ADIF or raw blocks) to a 16-bit WAV
// through libzbaaclib.so, loaded by name like the programs load it.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "aaclib/loss_text.h"
#include "aaclib/zbaaclib.h"
#include "common/fd_io.h"
#include "common/library_loader.h"
#include "common/output_file.h"
#include "common/version.h"
#include "common/wav_header.h"

namespace {

constexpr int kBlockSamples = ZBAAC_OUTPUT_SAMPLES;
constexpr int kBlocksPerWrite = 64;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kHelp =
    "Usage: zbaacdec [OPTION] IN.aac OUT.wav\n"
    "Decodes an AAC file (ADTS, ADIF or raw data blocks) to a 16-bit PCM WAV file.\n"
    "\n"
    "OUT.wav is written to a temporary file beside it and replaces an existing OUT.wav\n"
    "only once IN.aac has decoded; on any failure OUT.wav stays as it was. A device or\n"
    "FIFO given as OUT.wav is written in place.\n"
    "\n"
    "A damaged ADTS frame is skipped and becomes silence of its length (a warning says\n"
    "how many); the decode fails when more than 5% of IN.aac does not decode, and when\n"
    "IN.aac holds no AAC audio.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "      --         end of options (for file names that start with '-')\n"
    "\n"
    "Exit status: 0 decoded, 1 failed (nothing replaced), 2 wrong arguments.\n";

int Failed(const std::string& message) {
  std::fprintf(stderr, "zbaacdec: %s\n", message.c_str());
  return kExitFailed;
}

// The verdict of the library on the decode, as a message; empty for a success.
std::string Judgement(const char* inPath, const AacDecodeReport& report) {
  const std::string in = inPath;
  switch (report.verdict) {
    case ZBAAC_VERDICT_OK:
    case ZBAAC_VERDICT_OK_WITH_LOSSES:
      return {};
    case ZBAAC_VERDICT_NO_AUDIO:
      return in + ": no AAC audio found";
    case ZBAAC_VERDICT_DAMAGED: {
      char share[64];
      std::snprintf(share, sizeof share, "%u.%u%%", report.lostPerMille / 10, report.lostPerMille % 10);
      return in + ": too damaged: " + share + " of it did not decode (" + zbaac::LossText(report) + ")";
    }
    case ZBAAC_VERDICT_CANNOT_READ:
      return "cannot read " + in + ": " + std::strerror(report.errorNumber);
    default:
      return in + ": the decode did not come to an end";
  }
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "zbaacdec: %s (see zbaacdec --help)\n", message.c_str());
  return kExitUsage;
}

struct Arguments {
  std::string in;
  std::string out;
};

// The two file names, or the exit code when the run ends here (help, version, a usage
// error). Options are read up to "--"; nothing is opened before all arguments are known.
std::optional<Arguments> ParseArguments(int argc, char** argv, int& exitCode) {
  std::vector<std::string> files;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "-h" || arg == "--help")) {
      std::fputs(kHelp, stdout);
      exitCode = kExitOk;
      return std::nullopt;
    } else if (options && arg == "--version") {
      std::printf("zbaacdec %s\n", kZimbarVersion);
      exitCode = kExitOk;
      return std::nullopt;
    } else if (options && arg == "-") {
      exitCode = UsageError("standard input and output ('-') are not supported; name the files");
      return std::nullopt;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      exitCode = UsageError("unknown option '" + std::string(arg) + "'");
      return std::nullopt;
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.size() != 2) {
    exitCode = UsageError(files.empty()       ? "missing IN.aac and OUT.wav"
                          : files.size() == 1 ? "missing OUT.wav"
                                              : "too many files: '" + files[2] + "'");
    return std::nullopt;
  }
  return Arguments{files[0], files[1]};
}

}  // namespace

int main(int argc, char** argv) {
  int exitCode = kExitOk;
  const std::optional<Arguments> arguments = ParseArguments(argc, argv, exitCode);
  if (!arguments) return exitCode;
  const char* inPath = arguments->in.c_str();
  const char* outPath = arguments->out.c_str();

  // The library reports a file it cannot read only through its report; say why here
  // before anything is created.
  struct stat inInfo {};
  if (::stat(inPath, &inInfo) == 0 && S_ISDIR(inInfo.st_mode)) {
    return Failed(std::string(inPath) + " is a folder, not an AAC file");
  }
  if (std::FILE* probe = std::fopen(inPath, "rb")) {
    std::fclose(probe);
  } else {
    return Failed(std::string("cannot open ") + inPath + ": " + std::strerror(errno));
  }

  // Refused before anything is created when OUT is IN itself; an existing OUT is only
  // replaced by the commit at the end.
  auto created = OutputFile::Create(arguments->out, {.input = arguments->in});
  if (!created) {
    const Error& error = created.Error();
    if (error.Is(OutputFileFault::SameAsInput))
      return Failed(std::string("refusing to write ") + outPath + ": it is the input file itself");
    return Failed(std::string("cannot create ") + outPath + ": " + error.reason);
  }
  OutputFile output = std::move(created).Value();
  const int fd = output.Fd();

  OutsideLibrary library = OutsideLibrary::Open("zbaaclib");
  if (!library.Loaded()) return Failed("cannot load libzbaaclib.so: " + library.LoadError());
  auto open = library.Entry<AACDecoder_OpenFn>("AACDecoder_Open");
  auto decode = library.Entry<AACDecoder_DecodeFn>("AACDecoder_Decode");
  auto close = library.Entry<AACDecoder_CloseFn>("AACDecoder_Close");
  auto report = library.Entry<AACDecoder_ReportFn>("AACDecoder_Report");
  if (open == nullptr || decode == nullptr || close == nullptr || report == nullptr) {
    return Failed("libzbaaclib.so lacks an AACDecoder entry");
  }

  AacStreamInfo info{};
  open(&info, inPath);
  const bool mono = info.channelMode == 3;
  if (WriteWavHeader64(fd, mono, info.sampleRate, 0) != kWavWriteOk) {
    close();
    return Failed(std::string("cannot write ") + outPath + ": " + std::strerror(errno));
  }

  std::vector<int16_t> buffer(static_cast<size_t>(kBlockSamples) * kBlocksPerWrite);
  uint64_t dataBytes = 0;
  const size_t blockSamples = mono ? kBlockSamples / 2 : kBlockSamples;
  const size_t blockBytes = blockSamples * sizeof(int16_t);
  bool more = true;
  while (more) {
    int filled = 0;
    while (filled < kBlocksPerWrite) {
      int16_t* at = buffer.data() + static_cast<size_t>(filled) * kBlockSamples;
      if (decode(at) == 0) {
        more = false;
        break;
      }
      if (mono) {
        // One sample per period, packed behind the blocks before it (below `at` from the
        // second block on, so nothing unread is overwritten).
        int16_t* packed = buffer.data() + static_cast<size_t>(filled) * blockSamples;
        for (size_t k = 0; k < blockSamples; ++k) packed[k] = at[2 * k];
      }
      ++filled;
    }
    // The blocks lie one after the other: one write for all of them.
    if (filled > 0 && !WriteAll(fd, buffer.data(), blockBytes * static_cast<size_t>(filled))) {
      close();
      return Failed(std::string("cannot write ") + outPath + ": " + std::strerror(errno));
    }
    dataBytes += blockBytes * static_cast<uint64_t>(filled);
  }
  // The library judges the decode, for every program that uses it alike.
  AacDecodeReport outcome{};
  report(&outcome, sizeof outcome);
  close();
  if (const std::string failure = Judgement(inPath, outcome); !failure.empty()) return Failed(failure);

  // RIFF, or RF64 when the audio outgrew the 32-bit sizes.
  if (WriteWavHeader64(fd, mono, info.sampleRate, dataBytes) != kWavWriteOk) {
    return Failed(std::string("cannot finish ") + outPath + ": " + std::strerror(errno));
  }
  if (auto committed = output.Commit(); !committed) {
    return Failed(std::string(committed.Error().Is(OutputFileFault::Replace) ? "cannot replace " : "cannot write ") +
                outPath + ": " + committed.Error().reason);
  }
  if (outcome.verdict == ZBAAC_VERDICT_OK_WITH_LOSSES) {
    std::fprintf(stderr, "zbaacdec: %s: warning: %s\n", inPath, zbaac::LossText(outcome).c_str());
  }
  return kExitOk;
}
