// `zbmaker --batch --find-offset`: finds the chosen drive's read offset with a disc that
// the AccurateRip database knows, and saves it for the drive's model.
#pragma once

#include <cstdio>
#include <string>

#include "maker/batch/batch_options.h"

class CdLayer;
class SettingsTable;
class SignalCanceller;

// Opens the disc of the options (--cd-image, --drive), fetches its AccurateRip record,
// reads a few tracks widened on both sides and tries every shift. When one matches, it
// prints "Read offset +667 (...)", stores the offset under the drive's vendor and model
// in the settings file at `settingsPath` (loaded afresh, so nothing else of this run's
// settings is written) and says so; exit 0. A disc the database does not know, no
// matching offset, a failed read or a failed save are errors, exit 1; after Ctrl-C the
// caller's canceller says which signal ended it.
int RunFindReadOffset(const BatchOptions& options, const SettingsTable& settings, const std::string& settingsPath,
                      CdLayer& cd, std::FILE* out, std::FILE* err, SignalCanceller* canceller);
