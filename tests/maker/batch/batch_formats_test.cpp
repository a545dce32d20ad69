// zbmaker --batch writing FLAC, Ogg Vorbis, Opus and M4A: CD rips to lossless files that
// decode to the disc's samples, WAV encodes that the reference tools read, tags in every
// container, and the decode back to WAV.
#include <cctype>
#include <cstdio>
#include <map>
#include <vector>

#include "batch_test_support.h"

using namespace batch_test;

namespace {

// The tags ffprobe reads from a file, container and stream alike, keys in lower case
// ("title", "track", "replaygain_track_gain").
std::map<std::string, std::string> ProbeTags(const std::string& path) {
  const std::string text = RunShell("ffprobe -v error -show_entries format_tags:stream_tags -of "
                                    "default=noprint_wrappers=1 '" + path + "'")
                               .output;
  std::map<std::string, std::string> tags;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t eq = line.find('=');
    if (!line.starts_with("TAG:") || eq == std::string::npos) continue;
    std::string key = line.substr(4, eq - 4);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    tags.emplace(key, line.substr(eq + 1));
  }
  return tags;
}

// "key=value" lines of ffprobe for the file's container and first audio stream.
std::string ProbeStream(const std::string& path) {
  return RunShell("ffprobe -v error -select_streams a:0 -show_entries format=format_name,duration:stream=codec_name,"
                  "sample_rate,channels -of default=noprint_wrappers=1 '" + path + "'")
      .output;
}

double ProbeValue(const std::string& probe, const std::string& key) {
  const size_t at = probe.find(key + "=");
  return at == std::string::npos ? -1 : std::strtod(probe.c_str() + at + key.size() + 1, nullptr);
}

bool HasTool(const char* tool) { return RunShell(std::string("command -v ") + tool).exitCode == 0; }

// Frames (samples per channel) of a WAV file, as sox counts them.
long WavFrames(const std::string& path) { return std::atol(RunShell("soxi -s '" + path + "'").output.c_str()); }

// Three tracks of odd lengths (sectors) of noise that never repeats, so a sample lost,
// doubled or moved anywhere changes the audio.
constexpr int kTrackSectors[] = {120, 97, 151};
constexpr int kSectorBytes = 2352;

class BatchFormats : public BatchEndToEnd {
 protected:
  // disc.bin with disc.cue, and each track's bytes as tN.raw.
  void MakeNoiseDisc(int tracks) {
    uint32_t state = 2026;
    std::string cue = "FILE \"disc.bin\" BINARY\n";
    std::ofstream bin(dir + "/disc.bin", std::ios::binary);
    int sector = 0;
    for (int t = 1; t <= tracks; ++t) {
      char line[80];
      std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", t, sector / 4500,
                    sector / 75 % 60, sector % 75);
      cue += line;
      std::string bytes(static_cast<size_t>(kTrackSectors[t - 1]) * kSectorBytes, '\0');
      for (size_t i = 0; i < bytes.size(); i += 2) {
        state = state * 1664525u + 1013904223u;
        // Quieter than full scale, as music is, and never the same twice.
        const auto sample = static_cast<int16_t>(static_cast<int32_t>(state >> 16) / 4 - 8192);
        bytes[i] = static_cast<char>(sample & 0xFF);
        bytes[i + 1] = static_cast<char>((sample >> 8) & 0xFF);
      }
      bin << bytes;
      std::ofstream(dir + "/t" + std::to_string(t) + ".raw", std::ios::binary) << bytes;
      sector += kTrackSectors[t - 1];
    }
    std::ofstream(dir + "/disc.cue") << cue;
  }
};

struct Format {
  const char* option;      // of zbmaker
  const char* extension;   // of the files it writes
  const char* container;   // ffprobe's format_name
  const char* codec;       // ffprobe's codec_name
  int rate;                // of the stream, from a 44.1 kHz input
  double frameSeconds;     // one encoder frame: how far the duration may be off
};

constexpr Format kFormats[] = {
    {"--vorbis", ".ogg", "ogg", "vorbis", 44100, 2048.0 / 44100},
    {"--opus", ".opus", "ogg", "opus", 48000, 960.0 / 48000},
    {"--m4a", ".m4a", "mov,mp4,m4a,3gp,3g2,mj2", "aac", 44100, 1024.0 / 44100},
};

}  // namespace

// Catches a FLAC rip that is not lossless (a sample lost, doubled or changed), one that
// fails the reference decoder's test, tags ffprobe cannot read or reads wrongly (UTF-8
// above all), a level of the command line that does not reach the encoder, no ReplayGain
// by default, ".tmp" files left behind, and a rip log, cue sheet or play list that does
// not name the format or the files.
TEST_F(BatchFormats, CdToFlacDecodesToTheDiscsSamplesWithEveryTag) {
  if (!HasTool("flac")) GTEST_SKIP() << "flac is not installed";
  MakeNoiseDisc(3);
  const char* names[] = {"群青", "Ünïcödé Straße", "Третий «трек»"};
  std::string args = "--batch --cd2mp3 --flac --flac-level 8 --cd-image disc.cue --output out --no-accuraterip "
                     "--title 'Album «夜に駆ける»' --artist 'Café Ø' --year 2001 --genre Électro";
  for (int t = 1; t <= 3; ++t) args += " --name '" + std::to_string(t) + "=" + names[t - 1] + "'";
  const RunResult r = Maker(args);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Count(r.output, "FLAC, Level 8, Verify"), 3) << r.output;

  for (int t = 1; t <= 3; ++t) {
    SCOPED_TRACE(t);
    const std::string flac = dir + "/out/" + names[t - 1] + ".flac";
    ASSERT_TRUE(std::filesystem::exists(flac)) << r.output;
    const RunResult test = RunShell("flac -s -t '" + flac + "'");
    EXPECT_EQ(test.exitCode, 0) << test.output;
    const std::string raw = dir + "/decoded" + std::to_string(t) + ".raw";
    const RunResult decoded = RunShell("flac -s -d -f --force-raw-format --endian=little --sign=signed -o '" + raw +
                                       "' '" + flac + "'");
    EXPECT_EQ(decoded.exitCode, 0) << decoded.output;
    const std::string samples = Bytes(raw);
    EXPECT_EQ(samples.size(), static_cast<size_t>(kTrackSectors[t - 1]) * kSectorBytes);
    EXPECT_TRUE(samples == Bytes(dir + "/t" + std::to_string(t) + ".raw")) << "not the disc's samples";

    const std::string stream = ProbeStream(flac);
    for (const char* entry : {"codec_name=flac", "sample_rate=44100", "channels=2"})
      EXPECT_NE(stream.find(entry), std::string::npos) << stream;
    auto tags = ProbeTags(flac);
    EXPECT_EQ(tags["title"], names[t - 1]);
    EXPECT_EQ(tags["artist"], "Café Ø");
    EXPECT_EQ(tags["album"], "Album «夜に駆ける»");
    EXPECT_EQ(tags["date"], "2001");
    EXPECT_EQ(tags["genre"], "Électro");
    EXPECT_EQ(std::atoi(tags["track"].c_str()), t) << tags["track"];
    const std::string total = tags["track"].find('/') != std::string::npos
                                  ? tags["track"].substr(tags["track"].find('/') + 1)
                                  : tags["tracktotal"] + tags["totaltracks"];
    EXPECT_EQ(total, "3");
    // ReplayGain is on for CD runs unless the settings or --no-replaygain turn it off.
    for (const char* key : {"replaygain_track_gain", "replaygain_track_peak", "replaygain_album_gain",
                            "replaygain_album_peak"})
      EXPECT_EQ(tags.count(key), 1u) << key;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir + "/out"))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();

  const std::string log = Bytes(dir + "/out/Album «夜に駆ける».log");
  EXPECT_NE(log.find("Format: FLAC level 8, verify\n"), std::string::npos) << log;
  const std::string cue = Bytes(dir + "/out/Album «夜に駆ける».cue");
  for (const char* name : names)
    EXPECT_NE(cue.find("FILE \"" + std::string(name) + ".flac\" WAVE\r\n"), std::string::npos) << cue;
  const std::string m3u = Bytes(dir + "/out/Album «夜に駆ける».m3u");
  EXPECT_NE(m3u.find(std::string(names[2]) + ".flac\n"), std::string::npos) << m3u;
}

// Catches a container, rate, channel count or length that the reference tools read
// otherwise than the input holds (beyond one encoder frame), an option of the command line
// that does not reach the encoder, ReplayGain missing from a file run that asks for it, and
// a decode back to WAV whose length differs from ffmpeg's decode of the same file.
TEST_F(BatchFormats, WavToVorbisOpusAndM4aReadAndDecodeBackLikeFfmpeg) {
  const double seconds = 2;
  std::string decodeArgs = "--batch --mp32wav";
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.option);
    const std::string stem = std::string(format.option + 2);
    MakeWav(stem + ".wav", seconds);
    std::string args = std::string("--batch ") + format.option + " " + stem + ".wav";
    if (format.extension == std::string(".ogg")) args += " --vorbis-quality 3 --replaygain";
    if (format.extension == std::string(".opus")) args += " --opus-bitrate 96";
    const RunResult r = Maker(args);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string file = dir + "/" + stem + format.extension;
    const std::string probe = ProbeStream(file);
    EXPECT_NE(probe.find(std::string("format_name=") + format.container + "\n"), std::string::npos) << probe;
    EXPECT_NE(probe.find(std::string("codec_name=") + format.codec + "\n"), std::string::npos) << probe;
    EXPECT_EQ(ProbeValue(probe, "sample_rate"), format.rate) << probe;
    EXPECT_EQ(ProbeValue(probe, "channels"), 2) << probe;
    EXPECT_NEAR(ProbeValue(probe, "duration"), seconds, format.frameSeconds) << probe;
    if (format.extension == std::string(".ogg")) {
      EXPECT_NE(r.output.find("Ogg Vorbis, Quality 3"), std::string::npos) << r.output;
      const auto tags = ProbeTags(file);
      EXPECT_EQ(tags.count("replaygain_track_gain"), 1u);
      EXPECT_EQ(tags.count("replaygain_album_gain"), 1u);
    }
    if (format.extension == std::string(".opus")) {
      EXPECT_NE(r.output.find("Opus, 96 kbps"), std::string::npos) << r.output;
    }
    std::filesystem::remove(dir + "/" + stem + ".wav");
    decodeArgs += " " + stem + format.extension;
  }

  // Every format back to WAV in one run, beside ffmpeg's decodes.
  const RunResult r = Maker(decodeArgs);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.option);
    const std::string stem = std::string(format.option + 2);
    const std::string ours = dir + "/" + stem + ".wav";
    const std::string reference = dir + "/" + stem + ".ref.wav";
    RunShell("ffmpeg -v error -i '" + dir + "/" + stem + format.extension + "' -f wav '" + reference + "'");
    const std::string info = Probe(ours, "codec_name,sample_rate,channels");
    EXPECT_NE(info.find("codec_name=pcm_s16le"), std::string::npos) << info;
    EXPECT_EQ(ProbeValue(info, "sample_rate"), format.rate) << info;
    EXPECT_EQ(ProbeValue(info, "channels"), 2) << info;
    EXPECT_GT(WavFrames(reference), 0);
    EXPECT_EQ(WavFrames(ours), WavFrames(reference));
  }
}

// Catches tags that the Ogg Vorbis, Opus and M4A containers do not carry or carry in a form
// ffprobe does not read, and --no-replaygain not turning off a CD run's ReplayGain.
TEST_F(BatchFormats, CdRipsToVorbisOpusAndM4aCarryTheirTags) {
  MakeNoiseDisc(1);
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.option);
    const std::string out = std::string("out-") + (format.option + 2);
    const RunResult r = Maker(std::string("--batch --cd2mp3 --cd-image disc.cue --no-accuraterip --no-replaygain ") +
                              format.option + " --output " + out +
                              " --title 'Zwölf «Lieder»' --artist 'Ärzte' --year 1998 --genre Rock --name '1=Schrei nach Liebe ♥'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string file = dir + "/" + out + "/Schrei nach Liebe ♥" + format.extension;
    ASSERT_TRUE(std::filesystem::exists(file)) << r.output;
    auto tags = ProbeTags(file);
    EXPECT_EQ(tags["title"], "Schrei nach Liebe ♥");
    EXPECT_EQ(tags["artist"], "Ärzte");
    EXPECT_EQ(tags["album"], "Zwölf «Lieder»");
    EXPECT_EQ(tags["date"].substr(0, 4), "1998");
    EXPECT_EQ(tags["genre"], "Rock");
    EXPECT_EQ(std::atoi(tags["track"].c_str()), 1) << tags["track"];
    // Opus files carry their track gain as R128_TRACK_GAIN.
    for (const auto& [key, value] : tags)
      EXPECT_FALSE(key.starts_with("replaygain_") || key.starts_with("r128_")) << key << "=" << value;
  }
}
