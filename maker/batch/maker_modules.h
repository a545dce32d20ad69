// The two halves of zbmaker that the program loads at run time: the job engine of the
// terminal (--batch, --verify-log) and the window. The program itself only reads its
// options, so that --version, --help, a usage error and a terminal run never load the
// window toolkit, and only a run loads the codec libraries.
#pragma once

#include <string>
#include <vector>

struct BatchOptions;

// The modules' files, beside the program (the folder /proc/self/exe names).
inline constexpr const char* kMakerBatchModule = "libzbmakerbatch.so";
inline constexpr const char* kMakerWindowModule = "libzbmakerwindow.so";

// Runs what `options` ask of the terminal (a --verify-log check, or a --batch run) and
// returns the exit status. Ctrl-C and SIGTERM cancel the run; the status is then
// 128 + the signal's number.
inline constexpr const char* kMakerBatchEntry = "zb_maker_batch_main";
using MakerBatchEntry = int (*)(const BatchOptions* options);

// Opens the main window with the maker's own command line `jobArgs` (argc and argv are
// the program's, for the window toolkit), runs it until it is closed and returns the exit
// status.
inline constexpr const char* kMakerWindowEntry = "zb_maker_window_main";
using MakerWindowEntry = int (*)(int argc, char** argv, const std::vector<std::string>* jobArgs);
