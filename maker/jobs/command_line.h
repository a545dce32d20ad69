// The maker's command line: encoder switches and the files to encode.
#pragma once

#include <string>
#include <vector>

#include "maker/jobs/input_files.h"
#include "maker/settings/settings_table.h"

struct CommandLineFiles {
  std::vector<std::string> files;    // existing files as full paths, in argument order
  std::vector<std::string> missing;  // file arguments that name no file (as given; folders too)
  // Every file argument that names an existing file or folder, as a full path, in argument
  // order: what a window chooses its operation and its rows from (input_files.h).
  std::vector<std::string> inputs;
  // Inputs that were not listed because they do not fit the operation their kind chose
  // (filled where the kind chooses, JobPipeline::ApplyCommandLine).
  std::vector<RefusedInput> refused;
  bool deleteInputs = false;         // "-delete": delete WAV inputs on success, for this run only
};

// Applies the arguments (after the program name, in order; option words in any case):
// "-mono", "-stereo", "-js" set Channels 0, 1, 2; "-N" with N an MPEG-1 constant rate sets
// MPEG1BitRate to its index and, independently, with N an MPEG-2 constant rate sets
// MPEG2BitRate; "-vbrN" with 1 <= N <= 10 sets MPEG1BitRate to N + 13; "-delete" is returned, not stored, since it holds
// for this run of the program only. Anything else is a file: made a full path against the
// current directory and kept when it names an existing file (a directory is not a file).
CommandLineFiles ParseCommandLine(const std::vector<std::string>& args, SettingsTable& settings);

// `path` made absolute against the current directory, with "." and ".." resolved textually;
// returned as given when the current directory cannot be had.
std::string FullPath(const std::string& path);
