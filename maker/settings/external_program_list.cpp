// Listing the external program slots and storing an edited list back into them.
#include "maker/settings/external_program_list.h"

#include <algorithm>

ExternalProgramList ListExternalPrograms(const SettingsTable& settings) {
  ExternalProgramList list;
  const int selectedSlot = settings.ExternalProgramIndex();
  for (int slot = 0; slot < kExternalProgramSlots; ++slot) {
    const std::string& program = settings.ExternalProgram(slot);
    if (program.empty()) continue;
    if (slot == selectedSlot) list.selected = static_cast<int>(list.entries.size());
    list.entries.push_back(program);
  }
  list.text = settings.ExternalProgram(selectedSlot);
  return list;
}

void StoreExternalPrograms(SettingsTable& settings, std::vector<std::string> entries, const std::string& editedText) {
  auto found = std::find(entries.begin(), entries.end(), editedText);
  int selected = found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
  if (selected < 0 && !editedText.empty()) {
    entries.insert(entries.begin(), editedText);
    selected = 0;
  }
  for (size_t slot = 0; slot < settings.externalPrograms.size(); ++slot)
    settings.externalPrograms[slot] = slot < entries.size() ? entries[slot] : "";
  settings.extPgm = std::max(selected, 0);
}
