// The external program templates as the options window lists and edits them.
#pragma once

#include <string>
#include <vector>

#include "maker/settings/settings_table.h"

struct ExternalProgramList {
  // The non-empty templates in slot order. Empty slots between filled ones are skipped,
  // so a template stored after a gap is listed (and kept when the list is stored back).
  std::vector<std::string> entries;
  // The entry of the selected slot (ExtPgm), or -1 when that slot is empty.
  int selected = -1;
  // The text the list shows: the selected template.
  std::string text;
};

ExternalProgramList ListExternalPrograms(const SettingsTable& settings);

// Stores the edited list back. The entry equal to editedText is the selected one; an edited
// text that is not empty and not in the list is a new command: it is put at the top and
// selected. The ten slots are rewritten from the first ten entries (the rest empty), so a
// new command in a full list pushes the last one out. Without a selection slot 0 is chosen.
void StoreExternalPrograms(SettingsTable& settings, std::vector<std::string> entries, const std::string& editedText);
