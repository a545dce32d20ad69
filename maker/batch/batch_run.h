// One run of the terminal front end: settings, command line, the job pipeline, exit code.
#pragma once

#include <cstdio>

#include "maker/batch/batch_options.h"

class SignalCanceller;

// Exit codes of `zbmaker --batch`. After a cancel by Ctrl-C or SIGTERM the program ends
// with 128 plus the signal's number instead (130, 143), as shells expect.
inline constexpr int kBatchAllOk = 0;     // every row ended "OK:" (or "OK", "OK/W")
inline constexpr int kBatchFailed = 1;    // a row failed or was cancelled, or nothing was converted
inline constexpr int kBatchUsage = 2;     // bad options, or no --batch

// Settings: "zbmaker.INI" in the per-user folder is read; options only change this run and
// are never written back. When the file does not exist yet it is created with the defaults
// (before the options apply), so there is a file to edit.
// ConfirmOverwrite is on for every batch run: an existing output is replaced only with
// --yes; otherwise it is kept, the job counts as not converted and its input stays. The
// ".tmp" files of a CD to MP3 run are intermediate files and always replaced.
// Ctrl-C (SIGINT) and SIGTERM cancel the run as the Cancel button does when a canceller
// is given; it then tells which signal cancelled the run.
// The log and the final list go to `out`; errors and warnings to `err` (see TerminalHost),
// and the progress line too when `err` is a terminal. Names from data are escaped.
// A CD run with --cddb looks the disc up before anything is read; a failed lookup leaves
// the CD information of the command line and the run goes on, a cancelled one ends it.
int RunBatch(const BatchOptions& options, std::FILE* out, std::FILE* err, SignalCanceller* canceller);
