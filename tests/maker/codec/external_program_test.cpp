// Tests of placeholder expansion, argument splitting and the external program runner.
#include "maker/codec/external_program.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>

#include "tests/maker/codec/codec_test_support.h"

namespace {

// A script that writes its argument count and arguments, one per line, to $ZB_ARGS_OUT.
std::string MakeArgumentRecorder(const ScratchDir& dir) {
  const std::string path = dir.File("record-args");
  WriteFile(path, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$ZB_ARGS_OUT\"\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace

// Catches a wrong value for any placeholder of the default slot, every occurrence replaced
// instead of the first one only, an empty value leaving its placeholder in the command, or text
// from the path searched for placeholders again.
TEST(ExpandPlaceholders, ReplacesTheFirstOccurrenceOfEachOnce) {
  const struct {
    const char* pattern;
    const char* path;
    const char* command;
  } cases[] = {{R"(lame "$full$" "$path$$name$.mp3")", "/music/a.wav", R"(lame "/music/a.wav" "/music/a.mp3")"},
               {"$drive$|$dir$|$name$|$ext$", "/music/x/a.b.wav", "|/music/x/|a.b|.wav"},
               {"cp $name$ $name$.bak", "/m/song.wav", "cp song $name$.bak"},
               {"enc $dir$$name$$ext$.out", "/music/a", "enc /music/a.out"},
               {"x \"$full$\" $name$", "/m/$name$.wav", "x \"/m/$name$.wav\" $name$"}};
  for (const auto& c : cases) EXPECT_EQ(ExpandPlaceholders(c.pattern, c.path), c.command);
  EXPECT_EQ(ExpandCommandWords(R"(lame "$full$" "$path$$name$.mp3")", "/music/a.wav"),
            (std::vector<std::string>{"lame", "/music/a.wav", "/music/a.mp3"}));
  EXPECT_EQ(ExpandCommandWords("cp $name$ $name$.bak", "/m/song.wav"),
            (std::vector<std::string>{"cp", "song", "$name$.bak"}));
}

// Catches quotes kept in arguments, blanks splitting quoted words, or lost empty words.
TEST(ExpandCommandWords, QuotesGroupWordsAndAreDropped) {
  EXPECT_EQ(ExpandCommandWords("  a  \"b c\"\t\"\" d\"e f\"g ", "/x.wav"),
            (std::vector<std::string>{"a", "b c", "", "de fg"}));
  EXPECT_TRUE(ExpandCommandWords("", "/x.wav").empty());
  EXPECT_TRUE(ExpandCommandWords("   ", "/x.wav").empty());
}

// Catches a name with shell syntax being run by a shell or split into several arguments.
TEST(RunExternalProgram, FileNamesWithShellSyntaxStayOneArgument) {
  ScratchDir dir;
  const std::string recorder = MakeArgumentRecorder(dir);
  ::mkdir(dir.File("y").c_str(), 0755);
  const std::string argsOut = dir.File("args.txt");
  ScopedEnv out("ZB_ARGS_OUT", argsOut);
  for (const std::string name : {"a$(touch pwned)b.wav", "x\"; rm -rf y; \".wav", "a `touch pwned` b;|&.wav"}) {
    const std::string input = dir.File(name);
    const ExternalRunResult result =
        RunExternalProgram(ExpandCommandWords("\"" + recorder + "\" \"$full$\" \"$path$$name$.mp3\"", input), {});
    ASSERT_EQ(result.outcome, ExternalRunOutcome::Succeeded) << name;
    const std::vector<std::string> lines = ReadLines(argsOut);
    ASSERT_EQ(lines.size(), 3u) << name;
    EXPECT_EQ(lines[0], "2");
    EXPECT_EQ(lines[1], input);
    EXPECT_EQ(lines[2], dir.File(name.substr(0, name.size() - 4) + ".mp3"));
  }
  EXPECT_FALSE(Exists("pwned"));
  EXPECT_FALSE(Exists(dir.File("pwned")));
  EXPECT_TRUE(Exists(dir.File("y")));
}

// Catches a nonzero exit status or a killing signal reported as success.
TEST(RunExternalProgram, NonZeroExitAndSignalsAreFailures) {
  ExternalRunResult result = RunExternalProgram({"sh", "-c", "exit 3"}, {});
  EXPECT_EQ(result.outcome, ExternalRunOutcome::Failed);
  EXPECT_EQ(result.exitCode, 3);
  result = RunExternalProgram({"sh", "-c", "kill -9 $$"}, {});
  EXPECT_EQ(result.outcome, ExternalRunOutcome::Failed);
  EXPECT_EQ(result.signal, 9);
  EXPECT_EQ(RunExternalProgram({"true"}, {}).outcome, ExternalRunOutcome::Succeeded);
}

// Catches a program left reading the terminal, where a question would block the job.
TEST(RunExternalProgram, InputComesFromDevNull) {
  EXPECT_EQ(RunExternalProgram({"sh", "-c", "[ \"$(readlink -f /dev/stdin)\" = /dev/null ]"}, {}).outcome,
            ExternalRunOutcome::Succeeded);
}

// Catches the program inheriting the signal state of the terminal front end: SIGINT and
// SIGTERM blocked (then a cancel's SIGTERM waits for the kill, and Ctrl-C in the program's
// own terminal use does nothing) and SIGPIPE ignored (then a program writing to a closed
// pipe spins on EPIPE instead of ending).
TEST(RunExternalProgram, ProgramStartsWithDefaultSignals) {
  ScratchDir dir;
  const std::string status = dir.File("status");
  sigset_t blocked, old;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGTERM);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &old), 0);
  const auto oldPipe = ::signal(SIGPIPE, SIG_IGN);
  // cp copies its own status; a shell would clear the mask before anything could look.
  const ExternalRunResult result = RunExternalProgram({"cp", "/proc/self/status", status}, {});
  ::signal(SIGPIPE, oldPipe);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  ASSERT_EQ(result.outcome, ExternalRunOutcome::Succeeded);
  std::vector<std::string> lines;
  for (const std::string& line : ReadLines(status))
    if (line.starts_with("SigBlk:") || line.starts_with("SigIgn:")) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u);
  const unsigned long long blockedMask = std::stoull(lines[0].substr(lines[0].find(':') + 1), nullptr, 16);
  const unsigned long long ignoredMask = std::stoull(lines[1].substr(lines[1].find(':') + 1), nullptr, 16);
  const auto bit = [](int number) { return 1ull << (number - 1); };
  EXPECT_EQ(blockedMask & (bit(SIGINT) | bit(SIGTERM)), 0u) << lines[0];
  EXPECT_EQ(ignoredMask & bit(SIGPIPE), 0u) << lines[1];
}

// Catches a cancel that leaves the program (or what it started) running or waits for it.
TEST(RunExternalProgram, CancelEndsTheProgramAndItsChildren) {
  ScratchDir dir;
  const std::string marker = dir.File("late");
  std::atomic<bool> stop{false};
  const auto started = std::chrono::steady_clock::now();
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
  });
  // The shell ignores SIGTERM, so only the SIGKILL after the grace time ends it.
  const ExternalRunResult result = RunExternalProgram(
      {"sh", "-c", "trap '' TERM; (sleep 2; touch '" + marker + "') & sleep 30"}, [&] { return stop.load(); }, 300);
  canceller.join();
  EXPECT_EQ(result.outcome, ExternalRunOutcome::Cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_FALSE(Exists(marker)) << "a child of the cancelled program kept running";
}

// Catches start failures reported as success or mapped to the wrong message.
TEST(RunExternalProgram, StartFailuresMapToTheirMessages) {
  ScratchDir dir;
  WriteFile(dir.File("plain"), "not a program");
  WriteFile(dir.File("garbage"), std::string("\x7f" "ELF\x01\x02garbage", 12));
  ::chmod(dir.File("garbage").c_str(), 0755);
  const std::string notFound = "Error: The specified file was not found.";
  const std::string noPath = "Error: The specified path was not found.";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"zb-no-such-program-here"}, notFound},
      {{}, notFound},
      {{dir.File("plain")}, noPath},
      {{dir.File("plain") + "/below"}, noPath},
      {{dir.File("garbage")}, "Error: The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."}};
  for (const auto& [words, text] : cases) {
    const ExternalRunResult result = RunExternalProgram(words, {});
    EXPECT_EQ(result.outcome, ExternalRunOutcome::StartFailed) << text;
    EXPECT_EQ(StartFailureText(result.startErrno), text);
  }
  EXPECT_EQ(StartFailureText(ENOMEM), "Error: The system is out of memory or resources.");
}
