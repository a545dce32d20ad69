// Options of the terminal front end, `zbmaker --batch ...`, described by one table.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"

// The most file conversions a run does at once (--jobs).
inline constexpr int kMaxBatchJobs = 64;

struct BatchOptions {
  bool batch = false;          // --batch: run the job engine in the terminal
  bool help = false;           // --help, -h
  bool version = false;        // --version
  bool quiet = false;          // --quiet: show nothing but errors
  bool yes = false;            // --yes: answer Yes to overwrite questions
  bool mp32wav = false;        // --mp32wav: decode the files to WAV
  bool aac = false;            // --aac: encode to AAC for this run
  bool adts = false;           // --adts: write AAC files as ADTS frames for this run
  bool m4a = false;            // --m4a: encode to M4A (AAC in an MP4 file) for this run
  bool flac = false;           // --flac: encode to FLAC for this run
  bool vorbis = false;         // --vorbis: encode to Ogg Vorbis for this run
  bool opus = false;           // --opus: encode to Opus for this run
  std::optional<int> flacLevel;      // --flac-level N: FLAC compression level 0..8
  std::optional<int> vorbisQuality;  // --vorbis-quality Q: Ogg Vorbis quality -1..10
  std::optional<int> opusBitRate;    // --opus-bitrate N: Opus bit rate 6..512 kbit/s
  // --replaygain, --no-replaygain: measure the tracks of this run and tag them with their
  // ReplayGain (CD runs and file runs alike), or not; otherwise the settings decide.
  std::optional<bool> replayGain;
  std::optional<int> external; // --external N: run external program slot N for this run
  std::optional<int> jobs;     // --jobs N: file conversions at once (default: the processors)
  bool listDrives = false;     // --list-drives: print the drive list and exit
  bool cd2mp3 = false;         // --cd2mp3: rip CD tracks and encode them
  bool cd2wav = false;         // --cd2wav: rip CD tracks to WAV
  std::vector<std::string> cdImages;  // --cd-image FILE (repeatable): disc images as drives
  std::optional<int> drive;    // --drive N: index in the drive list
  std::vector<int> tracks;     // --tracks LIST ("1,3-5"): tracks to rip; empty = all
  std::string outputDir;       // --output DIR: output folder of ripped tracks for this run
  // CD information of a CD run, as the CD information window would hold it.
  std::optional<std::string> title;    // --title TEXT
  std::optional<std::string> artist;   // --artist TEXT
  std::optional<std::string> year;     // --year TEXT
  std::optional<std::string> genre;    // --genre TEXT
  std::map<int, std::string> trackNames;  // --name N=TEXT (repeatable)
  std::string trackNamesFile;          // --track-names FILE: line n names track n
  bool cddb = false;                   // --cddb: look the disc up before reading
  std::optional<std::string> cddbServer;  // --cddb-server URL: server of this run (implies --cddb)
  bool musicBrainz = false;            // --musicbrainz: look the disc up on MusicBrainz instead
  std::optional<std::string> musicBrainzServer;  // --musicbrainz-server URL (implies --musicbrainz)
  std::optional<std::string> pattern;  // --pattern P: name files after the pattern P
  bool id3 = false;                    // --id3: append an ID3v1 tag to each MP3
  // Proof of a CD run's rips (the AccurateRip, SecureMode and BurstThenVerify settings
  // otherwise).
  std::optional<bool> accurateRip;     // --accuraterip, --no-accuraterip
  std::optional<std::string> accurateRipServer;  // --accuraterip-server URL (implies --accuraterip)
  std::optional<int> readOffset;       // --read-offset N: the drive's read offset in samples
  bool secure = false;                 // --secure: read each track twice and compare
  bool burst = false;                  // --burst: read once, re-read securely what is not accurate
  std::string ripLogFile;              // --log FILE: the rip log (default: beside the first track)
  bool findOffset = false;             // --find-offset: find the drive's read offset and save it
  std::string verifyLog;               // --verify-log FILE: check a rip log's SHA-256 line and exit
  // Everything that is not an option of this table, in order: the maker's own command
  // line ("-128", "-js", "-delete", files, ...). Every word that starts with '-' is one of
  // the maker's switches; a file after "--" whose name starts with '-' is given as "./-x".
  std::vector<std::string> jobArgs;
};

// Reads the arguments after the program name. "--" ends the options: what follows are
// files. A word that starts with '-' (other than "-" alone) must be an option of the table
// or a switch of the maker that does something: "-vbr11", "-128k", "-q" and a bit rate in
// neither table ("-100") are errors. With --help, -h or --version among the options the
// result is those, whatever else is wrong. An error (Usage) says what is wrong: "unknown
// option --x", "--external needs a slot number 0..9".
Expected<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args);

// The one line of a usage error: "zbmaker: <message> (see zbmaker --help)".
std::string UsageErrorLine(const std::string& message);

// "zbmaker (Zimbar audio toolkit) <version>".
std::string VersionText();

// "1,3-5,9" as track numbers 1, 3, 4, 5, 9 (each 1..99); empty on a syntax error.
std::vector<int> ParseTrackList(const std::string& text);

// The usage text, listing the options of the table.
std::string BatchUsage();
