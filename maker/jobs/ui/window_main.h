// The maker's window mode: zbmaker started without --batch.
#pragma once

#include <string>
#include <vector>

// Opens the main window with the maker's own command line `jobArgs` (switches and files,
// relative paths taken from the current folder), runs it until it is closed, and saves
// the settings. Returns the exit status: 128 + the signal's number when SIGINT, SIGTERM or
// SIGHUP ended it (after the same cancel, wait and save as a close).
int RunMakerWindow(int argc, char** argv, const std::vector<std::string>& jobArgs);
