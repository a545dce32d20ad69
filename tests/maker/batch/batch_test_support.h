// Shared helpers of the zbmaker --batch end-to-end tests: run the program, probe outputs.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace batch_test {

inline const std::string kBin = ZIMBAR_BIN_DIR;

struct RunResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

inline RunResult RunShell(const std::string& command) {
  RunResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer{};
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::string Probe(const std::string& path, const std::string& entries) {
  return RunShell("ffprobe -v error -select_streams a:0 -show_entries stream=" + entries +
             " -of default=noprint_wrappers=1 '" + path + "'")
      .output;
}

inline int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class BatchEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zb_batch_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
  // A few seconds of two-tone stereo music-like signal.
  std::string MakeWav(const std::string& name, double seconds = 2) {
    const std::string path = dir + "/" + name;
    RunShell("sox -n -r 44100 -c 2 -b 16 '" + path + "' synth " + std::to_string(seconds) +
        " sine 440 sine 554 vol 0.5");
    return path;
  }
  // The shell command that runs zbmaker in the scratch folder with settings of its own;
  // env puts variables of this run before it ("NAME='value' ").
  std::string MakerCommand(const std::string& args, const std::string& env = "") const {
    return "cd '" + dir + "' && " + env + "ZIMBAR_HOME='" + dir + "/home' '" + kBin + "/zbmaker' " + args;
  }
  RunResult Maker(const std::string& args) { return RunShell(MakerCommand(args)); }
  // Runs zbmaker in the background and sends it Ctrl-C (SIGINT) once a line of its output
  // starts with `line` (or after 5 s). The output is "exit=N" and then what it printed.
  RunResult MakerInterruptedAt(const std::string& args, const std::string& line, const std::string& env = "") {
    return RunShell(MakerCommand(args, env) + " > out.txt 2>&1 & pid=$!; "
                    "for i in $(seq 100); do grep -q '^" + line + "' '" + dir + "/out.txt' && break; sleep 0.05; done; "
                    "kill -INT $pid; wait $pid; echo \"exit=$?\"; cat '" + dir + "/out.txt'");
  }
  static std::string Bytes(const std::string& path, size_t skip = 0) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.size() >= skip ? bytes.substr(skip) : std::string();
  }
  std::string dir;
};

// Runs on a generated disc image.
class BatchCdRun : public BatchEndToEnd {
 protected:
  // Two tracks of different tones, 150 and 120 sectors, as disc.bin and disc.cue.
  void MakeDisc() {
    RunShell("cd '" + dir + "' && sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw t1.raw synth 2 sine 440 vol 0.5"
             " && sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw t2.raw synth 1.6 sine 660 vol 0.5"
             " && cat t1.raw t2.raw > disc.bin");
    std::ofstream(dir + "/disc.cue") << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n";
  }
  // The disc of MakeDisc with a sheet that names it: album, artist and both tracks.
  void MakeDiscWithTitles() {
    MakeDisc();
    std::ofstream(dir + "/disc.cue") << "REM GENRE Pop\nPERFORMER \"Café – Ünïcödé\"\nTITLE \"夜に駆ける\"\n"
                                        "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    TITLE \"群青\"\n"
                                        "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Zwei: Teil/Ende\"\n"
                                        "    INDEX 01 00:02:00\n";
  }
};

}  // namespace batch_test
