// Options of the terminal front end. New options are one row of kOptions.
#include "maker/batch/batch_options.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "common/version.h"
#include "maker/metadata/cddb_server_url.h"
#include "maker/metadata/metadata_text.h"
#include "maker/settings/settings_table.h"

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

// True when `text` is one to nine decimal digits (the maker reads no more, and no sign).
bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool InTable(const int (&table)[24], long kbps) {
  return std::any_of(std::begin(table), std::end(table), [kbps](int rate) { return rate < 1000 && rate == kbps; });
}

// Why `arg` (a word that starts with '-') is not a switch of the maker that does
// something; empty when it is one. Accepts only what ParseCommandLine applies.
std::string MakerSwitchProblem(const std::string& arg) {
  for (const char* word : {"-mono", "-stereo", "-js", "-delete"})
    if (strcasecmp(arg.c_str(), word) == 0) return {};
  if (strncasecmp(arg.c_str(), "-vbr", 4) == 0) {
    const std::string level = arg.substr(4);
    if (AllDigits(level) && std::strtol(level.c_str(), nullptr, 10) >= 1 && std::strtol(level.c_str(), nullptr, 10) <= 10)
      return {};
    return "bad quality in " + arg + ": -vbrN takes 1 (highest quality) to 10 (smallest files)";
  }
  const std::string digits = arg.substr(1);
  if (AllDigits(digits)) {
    const long kbps = std::strtol(digits.c_str(), nullptr, 10);
    if (InTable(kMpeg1BitRates, kbps) || InTable(kMpeg2BitRates, kbps)) return {};
    return arg + " is no bit rate of the MPEG-1 table (32 to 320 kbit/s) or the MPEG-2 table (8 to 160 kbit/s)";
  }
  return "unknown option " + arg;
}

std::string ParseSlot(BatchOptions& options, const std::string& value) {
  options.external = WholeNumber(value, 0, 9);
  return options.external ? std::string() : "--external needs a slot number 0..9";
}

std::string ParseJobs(BatchOptions& options, const std::string& value) {
  options.jobs = WholeNumber(value, 1, kMaxBatchJobs);
  return options.jobs ? std::string() : "--jobs needs a number of conversions at once, 1.." + std::to_string(kMaxBatchJobs);
}

std::string ParseFlacLevel(BatchOptions& options, const std::string& value) {
  options.flacLevel = WholeNumber(value, 0, 8);
  return options.flacLevel ? std::string() : "--flac-level needs a compression level 0..8 (8 makes the smallest files)";
}

std::string ParseVorbisQuality(BatchOptions& options, const std::string& value) {
  options.vorbisQuality = WholeNumber(value, -1, 10);
  return options.vorbisQuality ? std::string() : "--vorbis-quality needs a quality -1..10 (10 is the best)";
}

std::string ParseOpusBitRate(BatchOptions& options, const std::string& value) {
  options.opusBitRate = WholeNumber(value, 6, 512);
  return options.opusBitRate ? std::string() : "--opus-bitrate needs a bit rate in kbit/s, 6..512";
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

std::string ParseMusicBrainzServer(BatchOptions& options, const std::string& value) {
  const bool web = (StartsWithNoCase(value, "http://") && value.size() > 7) ||
                   (StartsWithNoCase(value, "https://") && value.size() > 8);
  if (!web) return "--musicbrainz-server needs http://host[:port] or https://host[:port]";
  options.musicBrainzServer = value;
  options.musicBrainz = true;
  return {};
}

std::string ParseAccurateRipServer(BatchOptions& options, const std::string& value) {
  const bool web = (StartsWithNoCase(value, "http://") && value.size() > 7) ||
                   (StartsWithNoCase(value, "https://") && value.size() > 8);
  if (!web) return "--accuraterip-server needs http://host[:port] or https://host[:port]";
  options.accurateRipServer = value;
  options.accurateRip = true;
  return {};
}

// A drive's read offset is a few hundred samples, rarely more than a few thousand.
inline constexpr int kMaxReadOffset = 99999;

std::string ParseReadOffset(BatchOptions& options, const std::string& value) {
  options.readOffset = WholeNumber(value, -kMaxReadOffset, kMaxReadOffset);
  return options.readOffset ? std::string()
                            : "--read-offset needs a number of samples, -" + std::to_string(kMaxReadOffset) + ".." +
                                  std::to_string(kMaxReadOffset);
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
    {"--mp32wav", nullptr, "decode files to WAV: MP3, AAC, M4A, FLAC, Ogg Vorbis, Opus",
     [](BatchOptions& o, const std::string&) { o.mp32wav = true; return std::string(); }},
    {"--aac", nullptr, "encode to AAC for this run",
     [](BatchOptions& o, const std::string&) { o.aac = true; return std::string(); }},
    {"--adts", nullptr, "write AAC files as ADTS frames (plays in most players), not ADIF",
     [](BatchOptions& o, const std::string&) { o.adts = true; return std::string(); }},
    {"--m4a", nullptr, "encode to M4A (AAC in an MP4 file) for this run",
     [](BatchOptions& o, const std::string&) { o.m4a = true; return std::string(); }},
    {"--flac", nullptr, "encode to FLAC (lossless) for this run",
     [](BatchOptions& o, const std::string&) { o.flac = true; return std::string(); }},
    {"--vorbis", nullptr, "encode to Ogg Vorbis for this run",
     [](BatchOptions& o, const std::string&) { o.vorbis = true; return std::string(); }},
    {"--opus", nullptr, "encode to Opus for this run",
     [](BatchOptions& o, const std::string&) { o.opus = true; return std::string(); }},
    {"--flac-level", "N", "FLAC compression level 0..8 of this run (default: the settings, 5)",
     ParseFlacLevel},
    {"--vorbis-quality", "Q", "Ogg Vorbis quality -1..10 of this run (default: the settings, 5)",
     ParseVorbisQuality},
    {"--opus-bitrate", "N", "Opus bit rate 6..512 kbit/s of this run (default: the settings, 160)",
     ParseOpusBitRate},
    {"--replaygain", nullptr, "tag the encoded files with their ReplayGain (default: the settings)",
     [](BatchOptions& o, const std::string&) { o.replayGain = true; return std::string(); }},
    {"--no-replaygain", nullptr, "write no ReplayGain tags",
     [](BatchOptions& o, const std::string&) { o.replayGain = false; return std::string(); }},
    {"--external", "N", "run external program slot N (0..9) instead of the encoder",
     ParseSlot},
    {"--jobs", "N", "convert N files or encode N CD tracks at once (default: one per processor)",
     ParseJobs},
    {"--cd2mp3", nullptr, "read CD tracks and encode them (MP3, or the format chosen)",
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
    {"--title", "TEXT", "album title (file name pattern, tags)",
     SetText<&BatchOptions::title>},
    {"--artist", "TEXT", "artist (file name pattern, tags)",
     SetText<&BatchOptions::artist>},
    {"--year", "TEXT", "year (file name pattern, tags)",
     SetText<&BatchOptions::year>},
    {"--genre", "TEXT", "genre (file name pattern, tags)",
     SetText<&BatchOptions::genre>},
    {"--name", "N=TEXT", "name of track N (file name, title tag)",
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
    {"--musicbrainz", nullptr, "name the disc and its tracks from MusicBrainz first (instead of CDDB)",
     [](BatchOptions& o, const std::string&) { o.musicBrainz = true; return std::string(); }},
    {"--musicbrainz-server", "URL", "MusicBrainz web service of this run (implies --musicbrainz)",
     ParseMusicBrainzServer},
    {"--pattern", "P", "name ripped files after pattern P ($track#$ $trackname$ $title$ ...)",
     SetText<&BatchOptions::pattern>},
    {"--id3", nullptr, "append an ID3v1 tag to each MP3 ripped from the CD",
     [](BatchOptions& o, const std::string&) { o.id3 = true; return std::string(); }},
    {"--accuraterip", nullptr, "verify the ripped tracks with the AccurateRip database",
     [](BatchOptions& o, const std::string&) { o.accurateRip = true; return std::string(); }},
    {"--no-accuraterip", nullptr, "do not look the disc up in the AccurateRip database",
     [](BatchOptions& o, const std::string&) { o.accurateRip = false; return std::string(); }},
    {"--accuraterip-server", "URL", "AccurateRip server of this run, http:// or https:// (implies --accuraterip)",
     ParseAccurateRipServer},
    {"--read-offset", "N", "read offset of the drive in samples for this run (default: the saved one)",
     ParseReadOffset},
    {"--secure", nullptr, "read each track twice and compare (test and copy); re-read on a mismatch",
     [](BatchOptions& o, const std::string&) { o.secure = true; return std::string(); }},
    {"--burst", nullptr, "read each track once, re-read securely only those not accurately ripped",
     [](BatchOptions& o, const std::string&) { o.burst = true; return std::string(); }},
    {"--log", "FILE", "write the rip log to FILE (default: beside the first track, named after the album)",
     [](BatchOptions& o, const std::string& v) {
       o.ripLogFile = v;
       return v.empty() ? std::string("--log needs a file") : std::string();
     }},
    {"--find-offset", nullptr, "find the drive's read offset with a disc AccurateRip knows, and save it",
     [](BatchOptions& o, const std::string&) { o.findOffset = true; return std::string(); }},
    {"--verify-log", "FILE", "check that a rip log is as it was written, and exit (needs no CD)",
     [](BatchOptions& o, const std::string& v) {
       o.verifyLog = v;
       return v.empty() ? std::string("--verify-log needs a file") : std::string();
     }},
    {"--yes", nullptr, "overwrite existing output files when asked",
     [](BatchOptions& o, const std::string&) { o.yes = true; return std::string(); }},
    {"--quiet", nullptr, "show nothing but errors (the exit status tells the rest)",
     [](BatchOptions& o, const std::string&) { o.quiet = true; return std::string(); }},
    {"--version", nullptr, "show the version and exit",
     [](BatchOptions& o, const std::string&) { o.version = true; return std::string(); }},
    {"--help", nullptr, "show this text and exit (also -h)",
     [](BatchOptions& o, const std::string&) { o.help = true; return std::string(); }},
};

Error UsageError(std::string message) { return Error(ErrorCategory::Usage, {}, std::move(message)); }

}  // namespace

Expected<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args) {
  BatchOptions options;
  // The first error; the rest of the options are still looked through for --help and
  // --version, which answer whatever else is wrong.
  std::optional<std::string> error;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      if (error) break;
      for (size_t k = i + 1; k < args.size(); ++k) {
        // A file named "-128" is not the switch -128.
        options.jobArgs.push_back(args[k].starts_with("-") ? "./" + args[k] : args[k]);
      }
      break;
    }
    if (arg == "-h") {
      options.help = true;
      continue;
    }
    if (!arg.starts_with("--")) {
      if (error) continue;
      if (arg.size() > 1 && arg[0] == '-') {
        if (std::string problem = MakerSwitchProblem(arg); !problem.empty()) {
          error = problem;
          continue;
        }
      }
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
    if (error) {
      if (spec != nullptr && spec->valueName == nullptr && !inlineValue && (name == "--help" || name == "--version"))
        spec->apply(options, {});
      continue;
    }
    if (spec == nullptr) {
      error = "unknown option " + name;
      continue;
    }
    std::string value;
    if (spec->valueName != nullptr) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = name + " needs a value " + spec->valueName;
        continue;
      }
    } else if (inlineValue) {
      error = name + " takes no value";
      continue;
    }
    if (std::string problem = spec->apply(options, value); !problem.empty()) error = problem;
  }
  if (options.help || options.version) return options;
  if (error) return Fail(UsageError(*error));
  if (int(options.cd2mp3) + int(options.cd2wav) + int(options.mp32wav) > 1)
    return Fail(UsageError("choose one of --cd2mp3, --cd2wav and --mp32wav"));
  // --external replaces whichever encoder is chosen, as it always has.
  if (int(options.aac) + int(options.m4a) + int(options.flac) + int(options.vorbis) + int(options.opus) > 1)
    return Fail(UsageError("choose one of --aac, --m4a, --flac, --vorbis and --opus: a run encodes to one format"));
  if (options.cddb && options.musicBrainz)
    return Fail(UsageError("choose one of --cddb and --musicbrainz: the disc is looked up once"));
  if (options.secure && options.burst)
    return Fail(UsageError("choose one of --secure and --burst: --burst re-reads securely only what is not accurate"));
  if (options.accurateRip == false && options.burst)
    return Fail(UsageError("--burst verifies with AccurateRip; it cannot go with --no-accuraterip"));
  if (options.findOffset && (options.cd2mp3 || options.cd2wav || options.mp32wav))
    return Fail(UsageError("--find-offset reads the disc to find the offset; rip in a run of its own"));
  if (options.findOffset && options.readOffset)
    return Fail(UsageError("--find-offset finds the offset that --read-offset would give; choose one"));
  return options;
}

std::string UsageErrorLine(const std::string& message) { return "zbmaker: " + message + " (see zbmaker --help)"; }

std::string VersionText() { return std::string("zbmaker (Zimbar audio toolkit) ") + kZimbarVersion; }

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
    // An option too long for the column has its help on the next line, in the column.
    if (left.size() >= 22) return left + "\n" + std::string(22, ' ') + help + "\n";
    left.resize(22, ' ');
    return left + help + "\n";
  };
  std::string text =
      "Usage: zbmaker --batch [options] [-mono|-stereo|-js] [-N] [-vbrN] [-delete] FILE...\n"
      "       zbmaker --batch --cd2mp3|--cd2wav [--cd-image FILE] [--tracks LIST] [--cddb|--musicbrainz]\n"
      "               [--secure|--burst] [--read-offset N] [--log FILE] [options]\n"
      "       zbmaker --batch --find-offset [--cd-image FILE] [--drive N]\n"
      "       zbmaker --verify-log FILE\n"
      "Converts WAV files beside each input to MP3, AAC, M4A, FLAC, Ogg Vorbis or Opus,\n"
      "such files to WAV, or CD tracks to one of these formats or WAV in the output\n"
      "folder, in this terminal, with the settings of zbmaker.INI in the per-user folder;\n"
      "an option of this run wins over its setting. Names given with --title, --artist,\n"
      "--year, --genre, --name and --track-names win over those of the CDDB server or\n"
      "MusicBrainz.\n"
      "Without --batch, zbmaker opens its window with the files given listed.\n\nOptions:\n";
  for (const auto& spec : kOptions)
    text += row(std::string(spec.name) + (spec.valueName ? std::string(" ") + spec.valueName : ""), spec.help);
  const auto rates = [](const int (&table)[24]) {
    std::string list;
    for (int rate : table)
      if (rate < 1000) {
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "x" + std::string.
        if (!list.empty()) list += ' ';
        list += std::to_string(rate);
      }
    return list;
  };
  text += row("-mono, -stereo, -js", "channel mode");
  text += row("-N", "bit rate N kbit/s, one of the MPEG-1 rates");
  text += row("", ("  " + rates(kMpeg1BitRates) + " or the MPEG-2 rates").c_str());
  text += row("", ("  " + rates(kMpeg2BitRates)).c_str());
  text += row("-vbrN", "MPEG-1 variable bit rate of quality N: 1 is the highest");
  text += row("", "  quality (largest files), 10 the lowest");
  text += row("-delete", "delete each WAV input after a successful encode");
  text += row("--", "what follows are files, even when they start with '-'");
  text +=
      "An option with a value also takes the form --option=VALUE.\n"
      "The log goes to standard output; errors and warnings go to standard error, and so\n"
      "does the progress line when standard error is a terminal.\n"
      "Files are converted --jobs N at a time; while more than one job runs, each log line\n"
      "starts with the file it belongs to, such as \"[3/12 a.wav]\". A CD to MP3 run reads\n"
      "one track at a time and encodes up to --jobs N tracks at once; with more than one\n"
      "encoder, each encoder log line starts with its track, such as \"[Track 03]\".\n"
      "A CD run looks the disc up in the AccurateRip database (unless --no-accuraterip) and\n"
      "prints one result line per track, such as \"Track 03: accurately ripped (confidence\n"
      "12, v2)  AccurateRip v1 0A1B2C3D v2 11223344  Copy CRC 89ABCDEF\"; beside the first\n"
      "track it writes a rip log, a cue sheet and a play list named after the album.\n"
      "A disc the database does not know, or a server that cannot be reached, is a warning.\n"
      "With ReplayGain on (the default for CD runs), every encoded track is measured and, at\n"
      "the end of the run, tagged with its track gain and its album's (a CD, or the files of\n"
      "one folder, is one album); AAC files and external programs get none.\n"
      "Exit status: 0 when every file or track was converted; 1 when one failed, was\n"
      "cancelled, kept an existing output or was not found, or nothing was converted;\n"
      "2 on a usage error; 130 after Ctrl-C (143 after SIGTERM).\n";
  return text;
}
