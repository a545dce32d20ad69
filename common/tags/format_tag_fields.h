// The fields a person reads and edits in the tags of FLAC, Ogg Vorbis, Opus and M4A files
// (title, artist, album, year, track number, genre, comment), each in the format's own
// tags through TagLib, and a file's playing time from TagLib's audio properties.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/error.h"
#include "common/tags/audio_file_format.h"

// True for the formats handled here: FLAC, Ogg Vorbis, Opus and M4A.
bool HasFormatTagFields(AudioFileFormat format);

// The texts as UTF-8. Vorbis comments: TITLE, ARTIST, ALBUM, DATE (else YEAR),
// TRACKNUMBER with TRACKTOTAL (else TOTALTRACKS), GENRE, COMMENT (else DESCRIPTION). MP4
// atoms: ©nam, ©ART, ©alb, ©day, trkn, ©gen (else the genre number of gnre), ©cmt.
struct FormatTagFields {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;         // as the file holds it: "1999", "2003-05-01"
  std::string trackNumber;  // "3", or "3/12" when the total is known
  std::string genre;
  std::string comment;
  bool operator==(const FormatTagFields&) const = default;
};

// Nothing when the format is not one of the four, or the file cannot be read as it (the
// caller has made sure it is a regular file: a FIFO would block TagLib).
std::optional<FormatTagFields> ReadFormatTagFields(const std::string& path, AudioFileFormat format);

// What a write changes: an engaged field replaces the file's (an empty text removes it),
// a disengaged one stays as the file has it. Every other tag of the file (ReplayGain,
// MusicBrainz ids, pictures, vendor string, Opus header gain) is kept.
struct FormatTagUpdate {
  std::optional<std::string> title{};
  std::optional<std::string> artist{};
  std::optional<std::string> album{};
  std::optional<std::string> year{};
  std::optional<std::string> trackNumber{};  // "3" or "3/12"; anything else is an error
  std::optional<std::string> genre{};
  std::optional<std::string> comment{};
};

// Changes the fields of the existing regular file at `path` in one safe rewrite
// (RewriteFileCopy: a copy beside the file is edited and renamed over it only when
// complete, so a failure leaves the file as it was). Errors give the reason for a person
// ("The file is read-only", "Not a FLAC file", "Cannot write the tags", ...). A file whose
// format is not one of the four is refused (Unsupported) without being touched.
Outcome WriteFormatTagFields(const std::string& path, AudioFileFormat format, const FormatTagUpdate& update);

// The playing time in milliseconds as TagLib's audio properties give it (from the stream
// headers: exact for FLAC, Ogg and Opus, from the MP4 header for M4A). Nothing when the
// format is not one of the four, or the file cannot be read as it.
std::optional<int64_t> FormatDurationMs(const std::string& path, AudioFileFormat format);
