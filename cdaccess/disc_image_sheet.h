// What a .cue or .toc sheet says about a disc, before its data files are looked at: the
// data files it names and, in disc order, the steps that lay their audio out on the disc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cdaccess/disc_text.h"
#include "common/error.h"

// A sheet (or the disc it lays out) that no disc can be, or that this code does not read:
// a Format error with the text for the user ("line 3: a quote is not closed") and, where
// one line of the sheet is to blame, its number.
inline Error SheetError(std::string text, int line = 0) {
  return Error(ErrorCategory::Format, line > 0 ? ErrorPosition::Line(static_cast<uint64_t>(line)) : ErrorPosition{},
               std::move(text));
}

// How the audio is stored in a data file.
enum class ImageFileFormat {
  RawLittleEndian,   // 16-bit stereo samples, low byte first, from the first byte on
  RawBigEndian,      // the same with the high byte first
  Wave,              // a RIFF WAVE file: 16-bit stereo 44 100 Hz PCM in its data chunk
};

struct ImageFileRef {
  std::string name;   // as the sheet writes it; relative names are relative to the sheet's folder
  ImageFileFormat format = ImageFileFormat::RawLittleEndian;
};

// One step of the disc layout. Positions and lengths are in bytes of audio (4 bytes a
// stereo frame, 2 352 a sector); in a data file they count from the first audio byte.
struct ImageStep {
  enum class Kind {
    TrackStart,    // track `track` begins here (its index 0, or index 1 without a pregap)
    Index,         // index `index` of track `track`: at `offsetBytes` from the track's
                   // beginning, or here when that is not given
    Data,          // `bytes` of file `file` from `fileByte` on; to the end of the file when
                   // `bytes` is not given
    Silence,       // `bytes` of silence that no file holds
    PadToSector,   // silence up to the next whole sector
  };
  Kind kind = Kind::Data;
  int track = 0;                         // the track the step belongs to; 0 before the first
  bool dataTrack = false;                // TrackStart only: the track holds data sectors (raw
                                         // 2 352-byte sectors, read like audio)
  int index = 0;                         // Index only
  std::optional<int64_t> offsetBytes;    // Index only
  size_t file = 0;                       // Data only: entry of ImageSheet::files
  int64_t fileByte = 0;                  // Data only
  std::optional<int64_t> bytes;          // Data and Silence
  std::string origin;                    // the statement, for messages: "INDEX 01 12:00:00"
};

inline ImageStep TrackStartStep(int track, std::string origin, bool dataTrack = false) {
  ImageStep step;
  step.kind = ImageStep::Kind::TrackStart;
  step.track = track;
  step.dataTrack = dataTrack;
  step.origin = std::move(origin);
  return step;
}

inline ImageStep IndexStep(int track, int index, std::optional<int64_t> offsetBytes, std::string origin) {
  ImageStep step;
  step.kind = ImageStep::Kind::Index;
  step.track = track;
  step.index = index;
  step.offsetBytes = offsetBytes;
  step.origin = std::move(origin);
  return step;
}

inline ImageStep DataStep(int track, size_t file, int64_t fileByte, std::optional<int64_t> bytes, std::string origin) {
  ImageStep step;
  step.kind = ImageStep::Kind::Data;
  step.track = track;
  step.file = file;
  step.fileByte = fileByte;
  step.bytes = bytes;
  step.origin = std::move(origin);
  return step;
}

inline ImageStep SilenceStep(int track, int64_t bytes, std::string origin) {
  ImageStep step;
  step.kind = ImageStep::Kind::Silence;
  step.track = track;
  step.bytes = bytes;
  step.origin = std::move(origin);
  return step;
}

inline ImageStep PadToSectorStep(int track) {
  ImageStep step;
  step.kind = ImageStep::Kind::PadToSector;
  step.track = track;
  return step;
}

struct ImageSheet {
  std::vector<ImageFileRef> files;
  std::vector<ImageStep> steps;
  DiscText text;   // the album's and the tracks' titles and performers the sheet names
};

// A sheet holds at most this many tracks, like the table of contents of a disc.
inline constexpr int kImageMaxTracks = 99;
