// The cue sheet and the play list written beside the files of a rip.
#include "maker/accuracy/cue_sheet_writer.h"

#include <cstdio>

#include "cdaccess/track_table.h"
#include "common/version.h"

namespace {

constexpr const char kLineEnd[] = "\r\n";

// A value for a sheet line: a quote would end it early, a line end would start a command
// of its own.
std::string Clean(std::string_view value) {
  std::string text(value);
  for (char& c : text) {
    if (c == '"') c = '\'';
    else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

std::string Quoted(std::string_view value) {
  std::string text(1, '"');
  text += Clean(value);
  text += '"';
  return text;
}

// A REM value: a single word as is, anything with blanks in quotes.
std::string RemValue(std::string_view value) {
  const std::string text = Clean(value);
  return text.find(' ') == std::string::npos ? text : Quoted(text);
}

// Sectors as the sheet's "mm:ss:ff" (75 frames a second).
std::string Msf(int64_t sectors) {
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(sectors / (60 * kCdSectorsPerSecond)),
                static_cast<long long>(sectors / kCdSectorsPerSecond % 60),
                static_cast<long long>(sectors % kCdSectorsPerSecond));
  return text;
}

std::string TrackLine(int track) {
  char text[32];
  std::snprintf(text, sizeof text, "  TRACK %02d AUDIO", track);
  return text;
}

void Line(std::string& out, const std::string& text) { out += text + kLineEnd; }

void TrackHeader(std::string& out, const CueSheetTrack& track) {
  Line(out, TrackLine(track.track));
  if (!track.title.empty()) Line(out, "    TITLE " + Quoted(track.title));
  if (!track.performer.empty()) Line(out, "    PERFORMER " + Quoted(track.performer));
}

}  // namespace

std::string FormatCueSheet(const CueSheet& sheet) {
  std::string out;
  if (!sheet.genre.empty()) Line(out, "REM GENRE " + RemValue(sheet.genre));
  if (!sheet.date.empty()) Line(out, "REM DATE " + RemValue(sheet.date));
  if (!sheet.discId.empty()) Line(out, "REM DISCID " + RemValue(sheet.discId));
  Line(out, "REM COMMENT " + Quoted(std::string("zbmaker ") + kZimbarVersion));
  if (!sheet.performer.empty()) Line(out, "PERFORMER " + Quoted(sheet.performer));
  if (!sheet.title.empty()) Line(out, "TITLE " + Quoted(sheet.title));

  for (size_t i = 0; i < sheet.tracks.size(); ++i) {
    const CueSheetTrack& track = sheet.tracks[i];
    // The pregap lies at the end of the previous file when that file is the track before
    // it on the disc and is longer than the pregap.
    const CueSheetTrack* previous = i > 0 ? &sheet.tracks[i - 1] : nullptr;
    const bool inPrevious = track.pregapSectors > 0 && previous != nullptr && previous->track == track.track - 1 &&
                            track.pregapSectors < previous->sectors;
    if (inPrevious) {
      TrackHeader(out, track);
      Line(out, "    INDEX 00 " + Msf(previous->sectors - track.pregapSectors));
    }
    Line(out, "FILE " + Quoted(track.fileName) + " " + (track.fileType.empty() ? std::string("WAVE") : track.fileType));
    if (!inPrevious) TrackHeader(out, track);
    // Otherwise no file holds the pregap (what lies before the first track, or the end of
    // a track that was not ripped): silence in its place keeps the pause before the track,
    // and for a whole disc its layout and ids.
    if (!inPrevious && track.pregapSectors > 0) Line(out, "    PREGAP " + Msf(track.pregapSectors));
    Line(out, "    INDEX 01 00:00:00");
  }
  return out;
}

bool CueSheetCanName(std::string_view fileName) {
  for (char c : fileName)
    if (c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return !fileName.empty();
}

std::string FormatM3uPlayList(const std::vector<std::string>& fileNames) {
  std::string out = "#EXTM3U\n";
  // A line that begins with '#' is a comment: such a name ("#1 Hit.wav") is written as a
  // path from the list's folder.
  for (const std::string& name : fileNames) out += (name.starts_with('#') ? "./" : "") + name + "\n";
  return out;
}
