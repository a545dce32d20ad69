// Placeholder expansion, argument splitting and the spawn-and-wait of external programs.
#include "maker/codec/external_program.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "common/paths.h"

extern char** environ;

namespace {

// A piece of a word: template text (searched for placeholders) or a filled-in value (never
// searched again).
struct Segment {
  std::string text;
  bool fromTemplate = true;
};
using Word = std::vector<Segment>;

std::array<std::pair<const char*, std::string>, 6> PlaceholderValues(const std::string& inputPath) {
  const SplitPath parts = SplitFilePath(inputPath);
  return {{
      {"$full$", inputPath},
      {"$path$", parts.drive + parts.dir},
      {"$drive$", parts.drive},
      {"$dir$", parts.dir},
      {"$name$", parts.name},
      {"$ext$", parts.ext},
  }};
}

// Replaces the first template-text occurrence of each placeholder, in table order, across
// the words in order.
void FillPlaceholders(std::vector<Word>& words, const std::string& inputPath) {
  for (const auto& [placeholder, value] : PlaceholderValues(inputPath)) {
    bool replaced = false;
    for (Word& word : words) {
      for (size_t i = 0; i < word.size() && !replaced; ++i) {
        if (!word[i].fromTemplate) continue;
        const size_t at = word[i].text.find(placeholder);
        if (at == std::string::npos) continue;
        Segment before{word[i].text.substr(0, at), true};
        Segment filled{value, false};
        Segment after{word[i].text.substr(at + std::strlen(placeholder)), true};
        word[i] = std::move(before);
        word.insert(word.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(filled));
        word.insert(word.begin() + static_cast<std::ptrdiff_t>(i) + 2, std::move(after));
        replaced = true;
      }
      if (replaced) break;
    }
  }
}

std::string Join(const Word& word) {
  std::string text;
  for (const Segment& segment : word) text += segment.text;
  return text;
}

// Splits at blanks and tabs outside double quotes; the quotes themselves are dropped.
std::vector<Word> SplitWords(const std::string& commandTemplate) {
  std::vector<Word> words;
  std::string current;
  bool inWord = false;
  bool quoted = false;
  for (char c : commandTemplate) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (inWord) words.push_back({{current, true}});
      current.clear();
      inWord = false;
    } else {
      current += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back({{current, true}});
  return words;
}

// Owns the spawn attributes for the duration of one start.
class SpawnAttributes {
 public:
  SpawnAttributes() { ok_ = posix_spawnattr_init(&attr_) == 0; }
  ~SpawnAttributes() {
    if (ok_) posix_spawnattr_destroy(&attr_);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  bool Ok() const { return ok_; }
  posix_spawnattr_t* Get() { return &attr_; }

 private:
  posix_spawnattr_t attr_{};
  bool ok_ = false;
};

// Owns the file actions for the duration of one start.
class SpawnFileActions {
 public:
  SpawnFileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
  ~SpawnFileActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  bool Ok() const { return ok_; }
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

void EndProcessGroup(pid_t pid, int graceMs, int& status) {
  kill(-pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(-pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::string ExpandPlaceholders(const std::string& commandTemplate, const std::string& inputPath) {
  std::vector<Word> whole{{{commandTemplate, true}}};
  FillPlaceholders(whole, inputPath);
  return Join(whole.front());
}

std::vector<std::string> ExpandCommandWords(const std::string& commandTemplate, const std::string& inputPath) {
  std::vector<Word> words = SplitWords(commandTemplate);
  FillPlaceholders(words, inputPath);
  std::vector<std::string> argv;
  argv.reserve(words.size());
  for (const Word& word : words) argv.push_back(Join(word));
  return argv;
}

std::string StartFailureText(int startErrno) {
  switch (startErrno) {
    case ENOMEM:
    case EAGAIN:
      return "Error: The system is out of memory or resources.";
    case ENOENT:
      return "Error: The specified file was not found.";
    case ENOTDIR:
    case EACCES:
      return "Error: The specified path was not found.";
    case ENOEXEC:
      return "Error: The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    default:
      return std::string("Error: Cannot start the external program (") + std::strerror(startErrno) + ").";
  }
}

ExternalRunResult RunExternalProgram(const std::vector<std::string>& argv, const std::function<bool()>& stopRequested,
                                     int graceMs) {
  ExternalRunResult result;
  if (argv.empty() || argv.front().empty()) {
    result.startErrno = ENOENT;
    return result;
  }
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  SpawnAttributes attributes;
  SpawnFileActions files;
  if (!attributes.Ok() || !files.Ok()) {
    result.startErrno = ENOMEM;
    return result;
  }
  // Its own process group, so a cancel ends whatever the program started as well.
  posix_spawnattr_setpgroup(attributes.Get(), 0);
  // The program starts with no signal blocked and SIGPIPE, SIGINT and SIGTERM at their
  // defaults, whatever this process did with them: the terminal front end blocks SIGINT
  // and SIGTERM in its threads (they cancel the run) and ignores SIGPIPE (a closed log
  // reader must not end the run), and both would be inherited. A blocked SIGTERM would
  // make the cancel wait for the kill that follows it.
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(attributes.Get(), &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int number : {SIGPIPE, SIGINT, SIGTERM}) sigaddset(&defaults, number);
  posix_spawnattr_setsigdefault(attributes.Get(), &defaults);
  posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  // The program runs unattended: a question it asks on its input (an encoder asking
  // whether to replace a file) gets end of input instead of blocking the job.
  posix_spawn_file_actions_addopen(files.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  pid_t pid = 0;
  const int started = posix_spawnp(&pid, args.front(), files.Get(), attributes.Get(), args.data(), environ);
  if (started != 0) {
    result.startErrno = started;
    return result;
  }

  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended < 0 && errno != EINTR) {
      result.outcome = ExternalRunOutcome::Failed;
      result.exitCode = -1;
      return result;
    }
    if (stopRequested && stopRequested()) {
      EndProcessGroup(pid, graceMs, status);
      result.outcome = ExternalRunOutcome::Cancelled;
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    result.outcome = ExternalRunOutcome::Succeeded;
    return result;
  }
  result.outcome = ExternalRunOutcome::Failed;
  if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
    result.exitCode = 128 + result.signal;
  } else {
    result.exitCode = WEXITSTATUS(status);
  }
  return result;
}
