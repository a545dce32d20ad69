// `zbmaker --verify-log FILE`: whether a rip log is as it was written.
#pragma once

#include <cstdio>
#include <string>

// Prints "FILE: the log is intact" on `out` and returns 0, or prints
// "zbmaker: FILE: <what is wrong>" on `err` and returns 1 (a changed log, no SHA-256 line,
// a file that cannot be read). Needs no CD and no settings.
int VerifyRipLogCommand(const std::string& path, std::FILE* out, std::FILE* err);
