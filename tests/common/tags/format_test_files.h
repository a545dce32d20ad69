// FLAC, Ogg Vorbis, Opus and M4A files made and tagged by the reference tools (flac and
// metaflac, oggenc and vorbiscomment, opusenc, ffmpeg), for the tests of what reads and
// edits their tags.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/tags/audio_file_format.h"
#include "tests/common/tags/reference_tools.h"
#include "tests/common/temp_dir.h"

namespace format_test_files {

struct FormatCase {
  const char* name;
  AudioFileFormat format;
  const char* extension;
};
inline void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

inline const FormatCase kFormats[] = {
    {"Flac", AudioFileFormat::Flac, ".flac"},
    {"OggVorbis", AudioFileFormat::OggVorbis, ".ogg"},
    {"Opus", AudioFileFormat::Opus, ".opus"},
    {"M4a", AudioFileFormat::M4a, ".m4a"},
};

// Vorbis comment names and values, in order; M4A files get them through ffmpeg's names.
using Fields = std::vector<std::pair<std::string, std::string>>;

// A text inside single quotes for the shell.
inline std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

// ffmpeg's metadata key of a Vorbis comment name, which its MP4 muxer writes as the atom.
inline std::string FfmpegKey(const std::string& vorbisName) {
  if (vorbisName == "TRACKNUMBER") return "track";
  if (vorbisName == "DATE") return "date";
  std::string key;
  for (const char c : vorbisName) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return key;
}

// `seconds` of a stereo 44.1 kHz tone as `format` at dir/stem.EXT, tagged with `fields`
// by the format's own tool. "" when a tool failed.
inline std::string MakeTaggedFile(const TempDir& dir, const FormatCase& c, const std::string& stem, double seconds,
                                  const Fields& fields) {
  using reference_tools::Run;
  const std::string path = dir.File(stem + c.extension);
  const std::string wav = dir.File(stem + ".source.wav");
  Run("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
      ":sample_rate=44100 -ac 2 -c:a pcm_s16le " + Quoted(wav));
  std::string command;
  switch (c.format) {
    case AudioFileFormat::Flac:
      command = "flac --totally-silent -f -o " + Quoted(path) + " " + Quoted(wav);
      if (!fields.empty()) {
        command += " && metaflac";
        for (const auto& [name, value] : fields) command += " --set-tag=" + Quoted(name + "=" + value);
        command += " " + Quoted(path);
      }
      break;
    case AudioFileFormat::OggVorbis:
      command = "oggenc -Q -o " + Quoted(path) + " " + Quoted(wav);
      if (!fields.empty()) {
        command += " && vorbiscomment -w";
        for (const auto& [name, value] : fields) command += " -t " + Quoted(name + "=" + value);
        command += " " + Quoted(path);
      }
      break;
    case AudioFileFormat::Opus:
      command = "opusenc --quiet";
      for (const auto& [name, value] : fields) command += " --comment " + Quoted(name + "=" + value);
      command += " " + Quoted(wav) + " " + Quoted(path);
      break;
    case AudioFileFormat::M4a:
      command = "ffmpeg -v error -y -i " + Quoted(wav) + " -c:a aac -b:a 128k";
      for (const auto& [name, value] : fields) command += " -metadata " + Quoted(FfmpegKey(name) + "=" + value);
      command += " " + Quoted(path);
      break;
    case AudioFileFormat::Unknown:
    case AudioFileFormat::Wav:
    case AudioFileFormat::Mp3:
    case AudioFileFormat::Aac: return {};
  }
  Run(command);
  std::filesystem::remove(wav);
  return std::filesystem::exists(path) ? path : std::string();
}

// The fields every format's test file carries, UTF-8 beyond Latin-1 included.
inline Fields SampleFields() {
  return {{"TITLE", "Harbour Lights \xe2\x80\x94 \xe6\x97\xa5\xe6\x9c\xac"},
          {"ARTIST", "Zimbar \xc3\x89nsemble"},
          {"ALBUM", "Night Trains"},
          {"DATE", "2003"},
          {"TRACKNUMBER", "7"},
          {"GENRE", "Jazz"},
          {"COMMENT", "Recorded live"}};
}

}  // namespace format_test_files
