// Clean-up of the temporary files of interrupted saves.
#include "maker/jobs/maker_temporaries.h"

#include "common/desktop_shortcut.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "maker/jobs/maker_shortcut.h"
#include "maker/settings/language_file.h"
#include "maker/settings/settings_table.h"

std::vector<std::string> MakerSavedFiles() {
  return {SettingsTable::DefaultPath(), UserLanguageFilePath(),
          JoinPath(DesktopFolder(), MakerDesktopEntry().name + ".desktop")};
}

std::vector<std::string> RemoveStaleMakerTemporaries() { return RemoveStaleTemporaries(MakerSavedFiles()); }
