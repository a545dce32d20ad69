// Output file names of ripped tracks: track name cleaning and the file name pattern.
#pragma once

#include <string>
#include <string_view>

#include "maker/metadata/cd_info.h"

// What an unknown artist and album are called in file names.
inline constexpr std::string_view kUnknownArtist = "Unknown Artist";
inline constexpr std::string_view kUnknownAlbum = "Unknown Album";

// Values of the six placeholders. Empty values remove their placeholder.
struct PatternValues {
  std::string trackNumber;  // "%02i"
  std::string trackName;    // already cleaned
  std::string title;
  std::string artist;
  std::string genre;
  std::string year;
};

// Track name as it goes into a file name: `name`, or "Track%02i" when empty; each of
// / : * ? " < > | and NUL becomes '-'.
std::string CleanTrackName(std::string_view name, int track);

// Makes a CD information value safe inside one file name component: '/' and NUL become
// '-'. Other characters are kept as typed.
std::string CleanPatternValue(std::string_view value);

// Replaces, in the order $track#$, $trackname$, $title$, $artist$, $genre$, $year$, the
// first occurrence of each placeholder, each search running over the text as already
// changed. Values are inserted as given (callers clean them first).
std::string ExpandFileNamePattern(std::string_view pattern, const PatternValues& values);

// Replaces every whole path component "." or ".." of `name` with "-", so a name never
// climbs out of (or stays at) the folder it is joined to. Separators are kept.
std::string NeutralizeDotComponents(std::string_view name);

// File name (without extension) of 1-based track `track` whose name in the main track
// list is `trackName` (may be empty): the expanded pattern when info.useFileNameFormat,
// else the cleaned track name. Values from `info` cannot add path components; a '/' of
// the pattern itself makes sub-folders. An unknown artist or album is named kUnknownArtist
// or kUnknownAlbum; an unknown genre or year takes away the brackets it leaves empty and
// one of the separator runs around it ("($artist$) $year$ - $trackname$" without a year:
// "(A) Song"); no component of the name is ever empty.
std::string TrackFileName(const CdInfo& info, int track, std::string_view trackName);

// Output directory without trailing '\r', '\n' and '/' characters ("/" becomes "", so that
// joining it with "/" + name still names a file in the root folder).
std::string TrimOutputDirectory(std::string_view outputDirectory);

// "<directory>/<TrackFileName><extension>", extension with its dot (".tmp", ".wav"). Each
// component after the directory is cut to the longest file name allowed (FitFileName).
std::string TrackFilePath(std::string_view outputDirectory, const CdInfo& info, int track,
                          std::string_view trackName, std::string_view extension);
