// Options of the terminal front end. New options are one row of kOptions.
#include "maker/batch/batch_options.h"

#include <cstdlib>

namespace {

struct OptionSpec {
  const char* name;
  const char* valueName;  // nullptr: the option takes no value
  const char* help;
  // Applies the option; returns an error text, empty on success.
  std::string (*apply)(BatchOptions& options, const std::string& value);
};

std::string ParseSlot(BatchOptions& options, const std::string& value) {
  char* end = nullptr;
  const long slot = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || slot < 0 || slot > 9) return "--external needs a slot number 0..9";
  options.external = static_cast<int>(slot);
  return {};
}

constexpr OptionSpec kOptions[] = {
    {"--batch", nullptr, "run the conversions in this terminal",
     [](BatchOptions& o, const std::string&) { o.batch = true; return std::string(); }},
    {"--mp32wav", nullptr, "decode MP3/AAC files to WAV (default: encode WAV files)",
     [](BatchOptions& o, const std::string&) { o.mp32wav = true; return std::string(); }},
    {"--aac", nullptr, "encode to AAC for this run",
     [](BatchOptions& o, const std::string&) { o.aac = true; return std::string(); }},
    {"--external", "N", "run external program slot N (0..9) instead of the encoder",
     [](BatchOptions& o, const std::string& v) { return ParseSlot(o, v); }},
    {"--yes", nullptr, "overwrite existing output files when asked",
     [](BatchOptions& o, const std::string&) { o.yes = true; return std::string(); }},
    {"--help", nullptr, "show this text",
     [](BatchOptions& o, const std::string&) { o.help = true; return std::string(); }},
};

}  // namespace

Result<BatchOptions, BatchOptionError> ParseBatchOptions(const std::vector<std::string>& args) {
  BatchOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      options.jobArgs.insert(options.jobArgs.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    }
    if (!arg.starts_with("--")) {
      options.jobArgs.push_back(arg);
      continue;
    }
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    const OptionSpec* spec = nullptr;
    for (const auto& candidate : kOptions)
      if (name == candidate.name) spec = &candidate;
    if (spec == nullptr) return Fail(BatchOptionError{"unknown option " + name});
    std::string value;
    if (spec->valueName != nullptr) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return Fail(BatchOptionError{name + " needs a value " + spec->valueName});
      }
    } else if (inlineValue) {
      return Fail(BatchOptionError{name + " takes no value"});
    }
    if (std::string error = spec->apply(options, value); !error.empty()) return Fail(BatchOptionError{error});
  }
  return options;
}

std::string BatchUsage() {
  std::string text =
      "Usage: zbmaker --batch [options] [-mono|-stereo|-js] [-BITRATE] [-vbrN] [-delete] FILE...\n"
      "Converts WAV files to MP3 (or AAC) beside each input, or MP3/AAC files to WAV,\n"
      "in this terminal, with the settings of zbmaker.INI in the per-user folder.\n"
      "The window of zbmaker is not part of this build: use --batch.\n\nOptions:\n";
  for (const auto& spec : kOptions) {
    std::string left = std::string("  ") + spec.name + (spec.valueName ? std::string(" ") + spec.valueName : "");
    left.resize(18, ' ');
    text += left + spec.help + "\n";
  }
  text +=
      "  -mono, -stereo, -js   channel mode\n"
      "  -N                    bit rate N kbit/s (MPEG-1 and MPEG-2 tables)\n"
      "  -vbrN                 variable bit rate, quality N (1..10)\n"
      "  -delete               delete each WAV input after a successful encode\n";
  return text;
}
