// Test helper: writes .cue/.bin disc images of synthesized audio and registers them as drives.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cdaccess/cd_drive_list.h"
#include "cdaccess/track_table.h"

namespace testcd {

// Interleaved stereo 16-bit samples of one track; whole sectors (588 frames each).
using Audio = std::vector<int16_t>;

inline Audio Tone(int sectors, double hz, double amplitude, double rightPhase = 0.5) {
  Audio audio(static_cast<size_t>(sectors) * kCdFramesPerSector * 2);
  for (size_t i = 0; i < audio.size() / 2; ++i) {
    const double t = static_cast<double>(i) / 44100.0;
    audio[2 * i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * t)));
    audio[2 * i + 1] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * t + rightPhase)));
  }
  return audio;
}

inline Audio Noise(int sectors, uint32_t seed, int amplitude = 20000) {
  Audio audio(static_cast<size_t>(sectors) * kCdFramesPerSector * 2);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(-amplitude, amplitude);
  for (auto& s : audio) s = static_cast<int16_t>(value(random));
  return audio;
}

inline Audio Silence(int sectors) { return Audio(static_cast<size_t>(sectors) * kCdFramesPerSector * 2, 0); }

inline Audio Join(std::initializer_list<Audio> parts) {
  Audio all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline std::vector<uint8_t> Bytes(const Audio& audio) {
  std::vector<uint8_t> bytes(audio.size() * 2);
  std::memcpy(bytes.data(), audio.data(), bytes.size());
  return bytes;
}

// A scratch folder removed with the object.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/zimbar-cd-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Lines of a cue sheet that place no audio: `disc` goes before the FILE line, tracks[i]
// after the TRACK line of track i + 1 ("TITLE \"One\"\n").
struct CueTextLines {
  std::string disc;
  std::vector<std::string> tracks;
};

// Writes name.bin (all tracks back to back) and name.cue into dir.
class DiscImage {
 public:
  DiscImage(const std::string& dir, const std::string& name, std::vector<Audio> tracks, const CueTextLines& text = {})
      : tracks_(std::move(tracks)) {
    cuePath_ = dir + "/" + name + ".cue";
    std::ofstream bin(dir + "/" + name + ".bin", std::ios::binary);
    std::ofstream cue(cuePath_);
    cue << text.disc << "FILE \"" << name << ".bin\" BINARY\n";
    int32_t sector = 0;
    for (size_t t = 0; t < tracks_.size(); ++t) {
      starts_.push_back(sector);
      bin.write(reinterpret_cast<const char*>(tracks_[t].data()), static_cast<std::streamsize>(tracks_[t].size() * 2));
      char line[96];
      std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n", t + 1);
      cue << line << (t < text.tracks.size() ? text.tracks[t] : std::string());
      std::snprintf(line, sizeof line, "    INDEX 01 %02d:%02d:%02d\n", sector / 4500, (sector / 75) % 60, sector % 75);
      cue << line;
      sector += static_cast<int32_t>(tracks_[t].size() / 2 / kCdFramesPerSector);
    }
    starts_.push_back(sector);
  }
  const std::string& CuePath() const { return cuePath_; }
  const Audio& Track(int number) const { return tracks_[static_cast<size_t>(number - 1)]; }
  int32_t Start(int number) const { return starts_[static_cast<size_t>(number - 1)]; }
  int32_t End(int number) const { return starts_[static_cast<size_t>(number)]; }

  // The disc images of a drive list in which this image is the only one.
  std::vector<std::string> Images() const { return {cuePath_}; }
  // The drive index of this image in the drive list of Images().
  int DriveIndex(CdAccessMethod method = CdAccessMethod::OsInterface) const {
    const auto drives = ListCdDrives(method, Images());
    for (size_t i = 0; i < drives.size(); ++i)
      if (drives[i].image && drives[i].path == cuePath_) return static_cast<int>(i);
    return -1;
  }

 private:
  std::vector<Audio> tracks_;
  std::vector<int32_t> starts_;
  std::string cuePath_;
};

// How WriteAudioFile stores audio.
enum class AudioFileKind { RawLittleEndian, RawBigEndian, Wave };

// Writes audio as raw samples (either byte order) or as a WAV file; the WAV file carries a
// LIST chunk before its data chunk and a chunk after it, as files of tagging tools do.
inline void WriteAudioFile(const std::string& path, const Audio& audio, AudioFileKind kind) {
  std::vector<uint8_t> bytes = Bytes(audio);
  if (kind == AudioFileKind::RawBigEndian)
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  std::ofstream out(path, std::ios::binary);
  const auto le32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const auto le16 = [&](uint16_t v) {
    out.put(static_cast<char>(v & 0xFF));
    out.put(static_cast<char>(v >> 8));
  };
  if (kind == AudioFileKind::Wave) {
    const char list[] = "INFOsomething";   // 13 bytes: an odd size, padded to 14
    out.write("RIFF", 4);
    le32(static_cast<uint32_t>(4 + 8 + 16 + 8 + 14 + 8 + bytes.size() + 8 + 2));
    out.write("WAVEfmt ", 8);
    le32(16);
    le16(1);
    le16(2);
    le32(44100);
    le32(44100 * 4);
    le16(4);
    le16(16);
    out.write("LIST", 4);
    le32(13);
    out.write(list, 13);
    out.put('\0');
    out.write("data", 4);
    le32(static_cast<uint32_t>(bytes.size()));
  }
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (kind == AudioFileKind::Wave) {
    out.write("id3 ", 4);
    le32(2);
    out.write("\xFF\xFF", 2);
  }
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (hadOld_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace testcd
