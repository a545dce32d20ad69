// What zbmaker loads before it answers: the window toolkit never for the terminal, the
// job engine only for a run, and a clear error when a module of its own is missing.
#include <filesystem>

#include "batch_test_support.h"

namespace batch_test {
namespace {

class BatchStart : public BatchEndToEnd {
 protected:
  // Runs zbmaker with the dynamic loader reporting every library it loads (dlopen too);
  // returns the run and, in `loaded`, what the loader printed.
  RunResult MakerTracingLibraries(const std::string& args, std::string& loaded) {
    const std::string trace = dir + "/ld";
    std::filesystem::create_directories(trace);
    RunResult run = RunShell(MakerCommand(args, "LD_DEBUG=libs LD_DEBUG_OUTPUT='" + trace + "/libs' "));
    loaded.clear();
    for (const auto& file : std::filesystem::directory_iterator(trace)) loaded += Bytes(file.path().string());
    std::filesystem::remove_all(trace);
    return run;
  }
};

// Catches a program that loads the window toolkit (or the codec libraries) where it only
// prints text: --version, --help, a usage error.
TEST_F(BatchStart, TextAnswersLoadNeitherTheWindowNorTheEngine) {
  for (const std::string args : {"--batch --version", "--help", "--batch --no-such-option"}) {
    SCOPED_TRACE(args);
    std::string loaded;
    const RunResult run = MakerTracingLibraries(args, loaded);
    EXPECT_EQ(run.exitCode, args.find("no-such") != std::string::npos ? 2 : 0) << run.output;
    // The trace holds the libraries the program links: proof that tracing works.
    EXPECT_NE(loaded.find("libstdc++"), std::string::npos) << loaded;
    EXPECT_EQ(loaded.find("libQt6"), std::string::npos) << loaded;
    EXPECT_EQ(loaded.find("libzbmakerbatch.so"), std::string::npos) << loaded;
    EXPECT_EQ(loaded.find("libavcodec"), std::string::npos) << loaded;
  }
}

// Catches a terminal run that still pays for the window toolkit.
TEST_F(BatchStart, TerminalRunLoadsTheEngineButNotTheWindow) {
  MakeWav("a.wav", 0.5);
  std::string loaded;
  const RunResult run = MakerTracingLibraries("--batch --quiet -128 a.wav", loaded);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/a.mp3"));
  EXPECT_NE(loaded.find("libzbmakerbatch.so"), std::string::npos) << loaded;
  EXPECT_EQ(loaded.find("libQt6"), std::string::npos) << loaded;
  EXPECT_EQ(loaded.find("libzbmakerwindow.so"), std::string::npos) << loaded;
  // Only M4A jobs need libavformat and libavcodec.
  EXPECT_EQ(loaded.find("libavformat"), std::string::npos) << loaded;
  EXPECT_EQ(loaded.find("libzbmakerm4a.so"), std::string::npos) << loaded;
  // Nor does a conversion go on the network or play: libcurl and libpulse wait for a
  // lookup or an output.
  EXPECT_EQ(loaded.find("libcurl"), std::string::npos) << loaded;
  EXPECT_EQ(loaded.find("libpulse"), std::string::npos) << loaded;
}

// Catches a missing module that crashes the program or fails without saying which file:
// a copy of the program alone in a folder has no engine beside it.
TEST_F(BatchStart, MissingEngineIsNamedWithTheLoadersReason) {
  const std::string copy = dir + "/alone/zbmaker";
  std::filesystem::create_directories(dir + "/alone");
  std::filesystem::copy_file(kBin + "/zbmaker", copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  MakeWav("a.wav", 0.5);
  const RunResult run = RunShell("cd '" + dir + "' && ZIMBAR_HOME='" + dir + "/home' '" + copy + "' --batch a.wav");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("cannot load " + dir + "/alone/libzbmakerbatch.so: "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("No such file"), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/a.mp3"));
  // What needs no module still answers.
  EXPECT_EQ(RunShell("'" + copy + "' --version").exitCode, 0);
}

// Catches an M4A job that crashes or fails silently without its module, and runs of other
// formats that need it: the program and its engine alone in a folder (the outside
// libraries come from $ZIMBAR_LIB_DIR).
TEST_F(BatchStart, MissingM4aModuleFailsOnlyTheM4aJobs) {
  std::filesystem::create_directories(dir + "/alone");
  for (const char* file : {"zbmaker", "libzbmakerbatch.so"})
    std::filesystem::copy_file(kBin + "/" + file, dir + "/alone/" + file);
  MakeWav("a.wav", 0.5);
  const std::string maker = "cd '" + dir + "' && ZIMBAR_LIB_DIR='" + kBin + "' ZIMBAR_HOME='" + dir + "/home' '" +
                            dir + "/alone/zbmaker' --batch ";
  RunResult run = RunShell(maker + "--m4a a.wav");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("cannot load " + dir + "/alone/libzbmakerm4a.so: "), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/a.m4a"));
  run = RunShell(maker + "--quiet -128 a.wav");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/a.mp3"));
}

}  // namespace
}  // namespace batch_test
