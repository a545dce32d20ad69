// Shared helpers of the options pages.
#include "maker/settings/ui/option_controls.h"

QComboBox* NewListComboBox(QWidget* parent, const char* name, const std::vector<std::string>& entries) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setEditable(false);
  // Long lists (100 entries) open as a scrolling list rather than filling the screen.
  list->setMaxVisibleItems(20);
  for (const std::string& entry : entries) list->addItem(QString::fromStdString(entry));
  return list;
}

void SelectSetting(QComboBox* list, const SettingsTable& settings, int MakerSettingValues::*setting, int offset) {
  const int index = settings.*setting - offset;
  const int fallback = MakerSettingDefaults().*setting - offset;
  list->setCurrentIndex(index >= 0 && index < list->count() ? index : fallback);
}
