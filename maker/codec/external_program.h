// Running an external program on a finished WAV file in place of the built-in encoders.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Fills the six placeholders of a command template from an input path, in this order:
// $full$ (the whole path), $path$ (directory, ending in '/'), $drive$ (always empty on
// POSIX), $dir$ (directory), $name$ (file name without extension), $ext$ (extension with
// its dot). Only the first occurrence of each is replaced; an empty value removes it.
// Text that came from the path is never searched again, so a file name containing "$name$"
// stays as it is. Returns the command line as text (for the log).
std::string ExpandPlaceholders(const std::string& commandTemplate, const std::string& inputPath);

// The same expansion done word by word: the template is first split into words at blanks
// and tabs (double quotes group blanks into a word and are dropped; "" gives an empty
// word), then placeholders are filled inside each word. The result is the argument vector
// of the program; nothing is ever interpreted by a shell.
std::vector<std::string> ExpandCommandWords(const std::string& commandTemplate, const std::string& inputPath);

// How a run of an external program ended.
enum class ExternalRunOutcome {
  Succeeded,      // the program ended with exit status 0
  StartFailed,    // it could not be started (startErrno tells why)
  Failed,         // it ended with a nonzero status or was killed by a signal
  Cancelled,      // the caller asked to stop; the program was ended
};

struct ExternalRunResult {
  ExternalRunOutcome outcome = ExternalRunOutcome::StartFailed;
  int startErrno = 0;   // StartFailed: the errno of the start
  int exitCode = 0;     // Failed: exit status, or 128 + signal number
  int signal = 0;       // Failed: the signal that ended it, 0 when it exited
};

// The log line for a start failure: ENOMEM -> out of memory, ENOENT -> file not found,
// ENOTDIR and EACCES -> path not found, ENOEXEC -> invalid program; every other errno gets
// "Error: Cannot start the external program (<reason>)."
std::string StartFailureText(int startErrno);

// Starts argv[0] (searched in $PATH when it holds no '/') with posix_spawnp in its own
// process group, its input read from /dev/null, then waits for it. stopRequested is polled
// every 50 ms; when it answers true the group gets SIGTERM and, after graceMs, SIGKILL. An
// empty argv is a start failure with ENOENT.
ExternalRunResult RunExternalProgram(const std::vector<std::string>& argv,
                                     const std::function<bool()>& stopRequested, int graceMs = 2000);
