// Options of the terminal front end. New options are one row of kOptions.
#include "maker/batch/batch_options.h"

#include <algorithm>
#include <cstdlib>

#include "maker/metadata/cddb_server_url.h"

namespace {

struct OptionSpec {
  const char* name;
  const char* valueName;  // nullptr: the option takes no value
  const char* help;
  // Applies the option; returns an error text, empty on success.
  std::string (*apply)(BatchOptions& options, const std::string& value);
};

// The whole text as a decimal number within low..high, or nothing.
std::optional<int> WholeNumber(const std::string& text, long low, long high) {
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || number < low || number > high) return std::nullopt;
  return static_cast<int>(number);
}

std::string ParseSlot(BatchOptions& options, const std::string& value) {
  options.external = WholeNumber(value, 0, 9);
  return options.external ? std::string() : "--external needs a slot number 0..9";
}

std::string ParseDrive(BatchOptions& options, const std::string& value) {
  options.drive = WholeNumber(value, 0, 99);
  return options.drive ? std::string() : "--drive needs a drive number 0..99";
}

std::string ParseTracks(BatchOptions& options, const std::string& value) {
  options.tracks = ParseTrackList(value);
  if (options.tracks.empty()) return "--tracks needs track numbers such as 1,3-5";
  return {};
}

std::string ParseTrackName(BatchOptions& options, const std::string& value) {
  const size_t eq = value.find('=');
  const auto track = WholeNumber(value.substr(0, eq == std::string::npos ? 0 : eq), 1, 99);
  if (eq == std::string::npos || !track) return "--name needs TRACK=NAME with a track number 1..99";
  options.trackNames[*track] = value.substr(eq + 1);
  return {};
}

std::string ParseCddbServer(BatchOptions& options, const std::string& value) {
  if (!ParseCddbServerUrl(value, /*httpProxy=*/"")) return "--cddb-server needs cddbp://host[:port] or http://host[:port]";
  options.cddbServer = value;
  options.cddb = true;
  return {};
}

// Applies an option that stores its value as given.
template <std::optional<std::string> BatchOptions::*field>
std::string SetText(BatchOptions& options, const std::string& value) {
  options.*field = value;
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
     ParseSlot},
    {"--cd2mp3", nullptr, "read CD tracks and encode them (MP3, or AAC with --aac)",
     [](BatchOptions& o, const std::string&) { o.cd2mp3 = true; return std::string(); }},
    {"--cd2wav", nullptr, "read CD tracks into WAV files",
     [](BatchOptions& o, const std::string&) { o.cd2wav = true; return std::string(); }},
    {"--cd-image", "FILE", "add a disc image (.cue/.bin, .toc) to the drive list",
     [](BatchOptions& o, const std::string& v) {
       o.cdImages.push_back(v);
       return std::string();
     }},
    {"--list-drives", nullptr, "list the CD drives and disc images with their numbers",
     [](BatchOptions& o, const std::string&) { o.listDrives = true; return std::string(); }},
    {"--drive", "N", "drive to read (default: the first --cd-image, else drive 0)",
     ParseDrive},
    {"--tracks", "LIST", "tracks to read, such as 1,3-5 (default: all)",
     ParseTracks},
    {"--output", "DIR", "output folder of the ripped tracks for this run",
     [](BatchOptions& o, const std::string& v) {
       o.outputDir = v;
       return v.empty() ? std::string("--output needs a folder") : std::string();
     }},
    {"--title", "TEXT", "album title (file name pattern, ID3 album)",
     SetText<&BatchOptions::title>},
    {"--artist", "TEXT", "artist (file name pattern, ID3 artist)",
     SetText<&BatchOptions::artist>},
    {"--year", "TEXT", "year (file name pattern, ID3 year)",
     SetText<&BatchOptions::year>},
    {"--genre", "TEXT", "genre (file name pattern)",
     SetText<&BatchOptions::genre>},
    {"--name", "N=TEXT", "name of track N (file name, ID3 title)",
     ParseTrackName},
    {"--track-names", "FILE", "track names, one a line: line N names track N (UTF-8)",
     [](BatchOptions& o, const std::string& v) {
       o.trackNamesFile = v;
       return v.empty() ? std::string("--track-names needs a file") : std::string();
     }},
    {"--cddb", nullptr, "name the disc and its tracks from the CDDB server first",
     [](BatchOptions& o, const std::string&) { o.cddb = true; return std::string(); }},
    {"--cddb-server", "URL", "CDDB server of this run, cddbp:// or http:// (implies --cddb)",
     ParseCddbServer},
    {"--pattern", "P", "name ripped files after pattern P ($track#$ $trackname$ $title$ ...)",
     SetText<&BatchOptions::pattern>},
    {"--id3", nullptr, "append an ID3v1 tag to each MP3 ripped from the CD",
     [](BatchOptions& o, const std::string&) { o.id3 = true; return std::string(); }},
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
  if (int(options.cd2mp3) + int(options.cd2wav) + int(options.mp32wav) > 1)
    return Fail(BatchOptionError{"choose one of --cd2mp3, --cd2wav and --mp32wav"});
  return options;
}

std::vector<int> ParseTrackList(const std::string& text) {
  std::vector<int> tracks;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string part = text.substr(start, comma - start);
    const size_t dash = part.find('-');
    char* end = nullptr;
    const long first = std::strtol(part.c_str(), &end, 10);
    if (part.empty() || end == part.c_str()) return {};
    long last = first;
    if (dash != std::string::npos) {
      if (end != part.c_str() + dash) return {};
      const char* second = part.c_str() + dash + 1;
      last = std::strtol(second, &end, 10);
      if (end == second) return {};
    }
    if (*end != '\0' || first < 1 || last > 99 || last < first) return {};
    for (long t = first; t <= last; ++t) tracks.push_back(static_cast<int>(t));
    start = comma + 1;
  }
  return tracks;
}

std::string BatchUsage() {
  const auto row = [](std::string left, const char* help) {
    left = "  " + left;
    left.resize(std::max<size_t>(left.size() + 1, 22), ' ');
    return left + help + "\n";
  };
  std::string text =
      "Usage: zbmaker --batch [options] [-mono|-stereo|-js] [-N] [-vbrN] [-delete] FILE...\n"
      "       zbmaker --batch --cd2mp3|--cd2wav [--cd-image FILE] [--tracks LIST] [--cddb] [options]\n"
      "Converts WAV files to MP3 (or AAC) beside each input, MP3/AAC files to WAV, or CD\n"
      "tracks to MP3 or WAV in the output folder, in this terminal, with the settings of\n"
      "zbmaker.INI in the per-user folder. Names given with --title, --artist, --year,\n"
      "--genre, --name and --track-names win over those of the CDDB server.\n"
      "The window of zbmaker is not part of this build: use --batch.\n\nOptions:\n";
  for (const auto& spec : kOptions)
    text += row(std::string(spec.name) + (spec.valueName ? std::string(" ") + spec.valueName : ""), spec.help);
  text += row("-mono, -stereo, -js", "channel mode");
  text += row("-N", "bit rate N kbit/s (MPEG-1 and MPEG-2 tables)");
  text += row("-vbrN", "MPEG-1 variable bit rate, quality N (1..10)");
  text += row("-delete", "delete each WAV input after a successful encode");
  text += row("--", "what follows is no option of this table (a file named --x)");
  text +=
      "An option with a value also takes the form --option=VALUE.\n"
      "Exit status: 0 when every file or track was converted; 1 when one failed, was\n"
      "cancelled, kept an existing output or was not found, or nothing was converted;\n"
      "2 on a usage error.\n";
  return text;
}
