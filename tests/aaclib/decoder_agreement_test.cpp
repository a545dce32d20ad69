// zbaacdec and the maker's decoder (zbmaker --batch --mp32wav) judge every stream alike:
// hundreds of damaged and foreign streams, each decoded by both, must get the same verdict
// and, when decoded, the same WAV, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/aaclib/helpers/aac_streams.h"
#include "tests/aaclib/helpers/adts_convert.h"
#include "tests/common/temp_dir.h"

extern char** environ;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kBin = ZIMBAR_BIN_DIR;

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Starts a program with `args`, its standard output and error going to `outFile` and
// `errFile`; the child's id, or -1.
pid_t Start(const std::vector<std::string>& args, const std::string& outFile, const std::string& errFile) {
  std::vector<std::string> all = args;
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const bool started = posix_spawn(&pid, all[0].c_str(), &files, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&files);
  return started ? pid : -1;
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Runs a program with `args` in `dir`, its standard output and error caught in files there.
ProgramRun RunIn(const std::string& dir, const std::vector<std::string>& args) {
  const std::string outFile = dir + "/.stdout", errFile = dir + "/.stderr";
  ProgramRun run;
  int status = 0;
  const pid_t pid = Start(args, outFile, errFile);
  if (pid > 0 && waitpid(pid, &status, 0) == pid) run.exitCode = ExitCode(status);
  run.out = ReadText(outFile);
  run.err = ReadText(errFile);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return run;
}

// Runs one program per argument list, two at a time (one short start each).
std::vector<ProgramRun> RunEach(const std::string& dir, const std::vector<std::vector<std::string>>& runs) {
  constexpr std::size_t kAtOnce = 2;
  std::vector<ProgramRun> results(runs.size());
  std::vector<std::pair<pid_t, std::size_t>> running;
  auto name = [&dir](std::size_t i, const char* stream) { return dir + "/.run" + std::to_string(i) + stream; };
  auto reap = [&]() {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, 0);
    for (auto it = running.begin(); it != running.end(); ++it) {
      if (it->first != pid) continue;
      ProgramRun& run = results[it->second];
      run.exitCode = ExitCode(status);
      run.out = ReadText(name(it->second, "out"));
      run.err = ReadText(name(it->second, "err"));
      std::filesystem::remove(name(it->second, "out"));
      std::filesystem::remove(name(it->second, "err"));
      running.erase(it);
      return true;
    }
    return pid > 0;
  };
  for (std::size_t i = 0; i < runs.size(); ++i) {
    while (running.size() >= kAtOnce && reap()) {
    }
    const pid_t pid = Start(runs[i], name(i, "out"), name(i, "err"));
    if (pid > 0) running.emplace_back(pid, i);
  }
  while (!running.empty() && reap()) {
  }
  return results;
}

Bytes AdtsStream(const zbaac::test::StreamSpec& spec) {
  std::string error;
  const std::string path = zbaac::test::MakeAdtsStream(spec, &error);
  EXPECT_FALSE(path.empty()) << error;
  return ReadBytes(path);
}

// A 16-bit stereo WAV of half a second: two tones and a little noise.
Bytes ToneWav() {
  constexpr std::uint32_t kRate = 44100, kFrames = kRate / 2;
  Bytes wav;
  auto put = [&wav](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) wav.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
  put(36 + kFrames * 4, 4);
  wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put(16, 4), put(1, 2), put(2, 2), put(kRate, 4), put(kRate * 4, 4), put(4, 2), put(16, 2);
  wav.insert(wav.end(), {'d', 'a', 't', 'a'});
  put(kFrames * 4, 4);
  std::mt19937 noise(5);
  for (std::uint32_t k = 0; k < kFrames; ++k) {
    const double t = static_cast<double>(k) / kRate;
    const double left = 0.3 * std::sin(2 * M_PI * 330 * t) + 0.02 * (static_cast<double>(noise() % 2000) / 1000 - 1);
    const double right = 0.25 * std::sin(2 * M_PI * 523 * t + std::sin(2 * M_PI * 4 * t));
    put(static_cast<std::uint16_t>(static_cast<std::int16_t>(left * 32767)), 2);
    put(static_cast<std::uint16_t>(static_cast<std::int16_t>(right * 32767)), 2);
  }
  return wav;
}

// The clean streams the mutations start from: ADTS from ffmpeg (stereo music, a mono
// long-term-prediction tone), their raw data blocks, ADIF made from the first and ADIF
// from the project's own encoder.
std::vector<Bytes> CleanStreams(const TempDir& dir) {
  zbaac::test::StreamSpec music;
  music.seconds = 0.6;
  // Raw blocks carry no rate: they are decoded at 44.1 kHz, whose band layouts 48 kHz shares.
  zbaac::test::StreamSpec tone;
  tone.signal = zbaac::test::Signal::Sine;
  tone.channels = 1;
  tone.sampleRate = 48000;
  tone.ltp = true;
  tone.seconds = 0.5;
  std::vector<Bytes> streams = {AdtsStream(music), AdtsStream(tone)};
  for (std::size_t i = 0; i < 2; ++i) {
    auto raw = zbaac::test::AdtsToRaw(streams[i]);
    EXPECT_TRUE(raw) << raw.Error();
    if (raw) streams.push_back(raw.Value());
  }
  auto adif = zbaac::test::AdtsToAdif(streams[0]);
  EXPECT_TRUE(adif) << adif.Error();
  if (adif) streams.push_back(adif.Value());
  WriteBytes(dir.File("own.wav"), ToneWav());
  // The maker's own ADIF: its settings, in a folder of the test's own (never the user's),
  // choose ADIF over the ADTS of fresh settings.
  std::filesystem::create_directories(dir.File("own-home"));
  WriteText(dir.File("own-home/zbmaker.INI"), "[Options]\nAACUseADTS=0\n");
  ::setenv("ZIMBAR_HOME", dir.File("own-home").c_str(), 1);
  const ProgramRun encode = RunIn(dir.Path(), {kBin + "/zbmaker", "--batch", "--aac", dir.File("own.wav")});
  ::unsetenv("ZIMBAR_HOME");
  EXPECT_EQ(encode.exitCode, 0) << encode.out << encode.err;
  const Bytes own = ReadBytes(dir.File("own.aac"));
  EXPECT_EQ(std::string(own.begin(), own.begin() + std::min<std::size_t>(4, own.size())), "ADIF");
  streams.push_back(own);
  std::filesystem::remove(dir.File("own.wav"));
  std::filesystem::remove(dir.File("own.aac"));
  for (const Bytes& stream : streams) EXPECT_GT(stream.size(), 1000u);
  return streams;
}

// One mutation of `clean`, chosen by `kind`: bit flips, a cut, junk inserted in the middle,
// in front or behind, bytes overwritten or taken out, and flips with a cut.
Bytes Mutate(const Bytes& clean, int kind, std::mt19937& random) {
  Bytes bytes = clean;
  auto at = [&](std::size_t size) { return static_cast<std::size_t>(random() % size); };
  auto junk = [&](std::size_t count) {
    Bytes made(count);
    for (auto& byte : made) byte = static_cast<std::uint8_t>(random());
    return made;
  };
  auto flip = [&](int flips) {
    for (int i = 0; i < flips; ++i) {
      const std::size_t bit = at(bytes.size() * 8);
      bytes[bit / 8] ^= static_cast<std::uint8_t>(0x80u >> (bit % 8));
    }
  };
  switch (kind) {
    case 0:
      flip(1);
      break;
    case 1:
      flip(2 + static_cast<int>(at(7)));
      break;
    case 2:
      bytes.resize(1 + at(bytes.size() - 1));
      break;
    case 3: {
      const Bytes inserted = junk(1 + at(600));
      bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at(bytes.size())), inserted.begin(), inserted.end());
      break;
    }
    case 4: {
      const Bytes inserted = junk(5 + at(400));
      bytes.insert(bytes.begin(), inserted.begin(), inserted.end());
      break;
    }
    case 5: {
      const Bytes appended = junk(1 + at(2000));
      bytes.insert(bytes.end(), appended.begin(), appended.end());
      break;
    }
    case 6: {
      const std::size_t from = at(bytes.size());
      const Bytes run = junk(1 + at(64));
      for (std::size_t i = 0; i < run.size() && from + i < bytes.size(); ++i) bytes[from + i] = run[i];
      break;
    }
    case 7: {
      const std::size_t from = at(bytes.size());
      const std::size_t count = std::min<std::size_t>(1 + at(500), bytes.size() - from);
      bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                  bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
      break;
    }
    default:
      flip(1 + static_cast<int>(at(4)));
      bytes.resize(bytes.size() / 2 + at(bytes.size() / 2));
      break;
  }
  return bytes;
}

constexpr int kMutationKinds = 9;

std::size_t EnvCount(const char* name, std::size_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : fallback;
}

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

}  // namespace

// Catches the two programs that decode AAC files judging a stream differently (zbaacdec
// exited 0 with half the audio where the maker said "Decoding stopped before the end",
// and each guessed the end its own way): at least 500 mutated ADTS, raw and ADIF streams
// (bit flips, cuts, junk inserted, bytes overwritten or taken out) get the same verdict
// from both, warnings about the same files, and when decoded the same WAV.
// ZBAAC_CAMPAIGN_STREAMS and ZBAAC_CAMPAIGN_SEED run a larger or another campaign by hand.
TEST(DecoderAgreement, ZbaacdecAndTheMakerJudgeEveryMutatedStreamAlike) {
  TempDir dir;
  const std::vector<Bytes> clean = CleanStreams(dir);
  ASSERT_EQ(clean.size(), 6u);
  const std::size_t count = std::max<std::size_t>(EnvCount("ZBAAC_CAMPAIGN_STREAMS", 504), 1);
  std::mt19937 random(static_cast<std::uint32_t>(EnvCount("ZBAAC_CAMPAIGN_SEED", 2024)));
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) {
    const int kind = static_cast<int>((i / clean.size()) % kMutationKinds);
    char name[32];
    std::snprintf(name, sizeof name, "m%05zu.aac", i);
    names.emplace_back(name);
    WriteBytes(dir.File(name), Mutate(clean[i % clean.size()], kind, random));
  }

  // zbaacdec, one start per file.
  std::vector<std::vector<std::string>> tool;
  for (const std::string& name : names) tool.push_back({kBin + "/zbaacdec", dir.File(name), dir.File(name + ".zb.wav")});
  const std::vector<ProgramRun> toolRuns = RunEach(dir.Path(), tool);
  std::vector<int> toolExit(count);
  std::vector<bool> toolWarned(count);
  int toolWarnings = 0;
  for (std::size_t i = 0; i < count; ++i) {
    toolExit[i] = toolRuns[i].exitCode;
    ASSERT_TRUE(toolExit[i] == 0 || toolExit[i] == 1) << names[i] << ": " << toolRuns[i].err;
    toolWarned[i] = Count(toolRuns[i].err, ": warning: ") > 0;
    toolWarnings += Count(toolRuns[i].err, ": warning: ");
  }

  // The maker, one start for all files; with more than one job at a time every log line
  // names its file ("[3/504 m00002.aac]     Warning: ...").
  std::vector<std::string> maker = {kBin + "/zbmaker", "--batch", "--mp32wav", "--yes", "--jobs", "2"};
  for (const std::string& name : names) maker.push_back(dir.File(name));
  ::setenv("ZIMBAR_HOME", dir.File("home").c_str(), 1);
  const ProgramRun batch = RunIn(dir.Path(), maker);
  ::unsetenv("ZIMBAR_HOME");
  ASSERT_TRUE(batch.exitCode == 0 || batch.exitCode == 1) << batch.err;

  std::size_t decoded = 0, warned = static_cast<std::size_t>(toolWarnings), failed = 0, disagreements = 0;
  // Per clean stream and mutation: decoded without and with a warning, failed.
  std::vector<std::array<int, 3>> tally(clean.size() * kMutationKinds);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string stem = dir.File(names[i].substr(0, names[i].size() - 4));
    const bool makerOk = std::filesystem::exists(stem + ".wav");
    const bool toolOk = toolExit[i] == 0;
    if (makerOk != toolOk) {
      ++disagreements;
      ADD_FAILURE() << names[i] << " (stream " << i % clean.size() << ", mutation "
                    << (i / clean.size()) % kMutationKinds << "): zbaacdec " << (toolOk ? "decoded" : "failed")
                    << ", the maker " << (makerOk ? "decoded" : "failed");
      continue;
    }
    ++tally[(i % clean.size()) * kMutationKinds + (i / clean.size()) % kMutationKinds][toolOk ? (toolWarned[i] ? 1 : 0) : 2];
    if (!toolOk) {
      ++failed;
      continue;
    }
    ++decoded;
    EXPECT_TRUE(ReadBytes(stem + ".wav") == ReadBytes(dir.File(names[i] + ".zb.wav"))) << names[i] << ": other samples";
  }
  // The same files warned about.
  std::set<std::string> makerWarned;
  for (std::size_t at = batch.out.find("    Warning: "); at != std::string::npos;
       at = batch.out.find("    Warning: ", at + 1)) {
    const std::size_t line = batch.out.rfind('\n', at) + 1;  // 0 for the first line
    const std::size_t name = batch.out.find(' ', line) + 1;
    makerWarned.insert(batch.out.substr(name, batch.out.find(']', name) - name));
  }
  std::set<std::string> toolWarnedNames;
  for (std::size_t i = 0; i < count; ++i) {
    if (toolWarned[i]) toolWarnedNames.insert(names[i]);
  }
  EXPECT_EQ(makerWarned, toolWarnedNames) << "the warnings differ";
  EXPECT_EQ(disagreements, 0u);
  // The campaign must reach every verdict: clean decodes, decodes with losses, failures.
  EXPECT_GT(decoded, warned);
  EXPECT_GT(warned, 0u);
  EXPECT_GT(failed, 0u);
  std::printf("%zu streams: %zu decoded (%zu with a warning), %zu failed, %zu disagreements\n", count, decoded,
              warned, failed, disagreements);
  static const char* const kStreams[] = {"ADTS stereo", "ADTS mono LTP", "raw stereo", "raw mono LTP", "ADIF (ffmpeg)",
                                         "ADIF (own)"};
  std::printf("clean/warned/failed by mutation: 1 flip, 2-8 flips, cut, junk inside, junk in front, junk behind, "
              "bytes overwritten, bytes taken out, flips and cut\n");
  for (std::size_t source = 0; source < clean.size(); ++source) {
    std::printf("  %-14s", kStreams[source]);
    for (int kind = 0; kind < kMutationKinds; ++kind) {
      const auto& cell = tally[source * kMutationKinds + static_cast<std::size_t>(kind)];
      std::printf(" %3d/%3d/%3d", cell[0], cell[1], cell[2]);
    }
    std::printf("\n");
  }
}

// Catches the maker's side of the two faults: one damaged byte in the middle of a three-
// second ADTS file stopped the decode ("Decoding stopped before the end of the input
// file"), and 4,000 random bytes named .aac decoded "OK" to a block of noise. Now the
// damaged file decodes whole with a warning that names the skipped frame, random bytes
// end in "No AAC audio found", and their existing WAVs stay as they were, --yes or not.
TEST(DecoderAgreement, TheMakerSkipsADamagedFrameAndRefusesRandomBytes) {
  TempDir dir;
  zbaac::test::StreamSpec spec;
  spec.seconds = 3.0;
  Bytes damaged = AdtsStream(spec);
  const auto frames = zbaac::test::SplitAdtsFrames(damaged);
  ASSERT_GT(frames.size(), 100u);
  damaged[frames[frames.size() / 2].offset] ^= 0xFF;
  WriteBytes(dir.File("damaged.aac"), damaged);
  std::vector<std::string> args = {kBin + "/zbmaker", "--batch", "--mp32wav", "--yes", dir.File("damaged.aac")};
  std::mt19937 random(41);
  for (int i = 0; i < 8; ++i) {
    Bytes noise(4000);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    const std::string name = "random" + std::to_string(i);
    WriteBytes(dir.File(name + ".aac"), noise);
    WriteText(dir.File(name + ".wav"), "an earlier decode");
    args.push_back(dir.File(name + ".aac"));
  }
  ::setenv("ZIMBAR_HOME", dir.File("home").c_str(), 1);
  const ProgramRun run = RunIn(dir.Path(), args);
  ::unsetenv("ZIMBAR_HOME");
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_NE(run.out.find("OK:\t" + dir.File("damaged.aac")), std::string::npos) << run.out;
  EXPECT_EQ(Count(run.out, "    Warning: Skipped 1 damaged frame ("), 1) << run.out;
  EXPECT_EQ(Count(run.out, "    Error: Encoder/decoder failed. No AAC audio found in the input file."), 8) << run.out;
  // Every block of the three seconds, behind the 80-byte header.
  EXPECT_EQ(ReadBytes(dir.File("damaged.wav")).size(), 80 + frames.size() * 4096);
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE(ReadText(dir.File("random" + std::to_string(i) + ".wav")) == "an earlier decode") << i;
  }
}
