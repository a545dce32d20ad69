// Small helpers the options pages share: filling a drop-down list and choosing an entry
// by a stored index.
#pragma once

#include <QComboBox>
#include <QWidget>
#include <string>
#include <vector>

#include "maker/settings/settings_table.h"

// A drop-down list (not editable) named name, holding entries.
QComboBox* NewListComboBox(QWidget* parent, const char* name, const std::vector<std::string>& entries);

// Selects the entry a setting stores (its value minus offset); a value that names no
// entry selects the setting's default entry.
void SelectSetting(QComboBox* list, const SettingsTable& settings, int MakerSettingValues::*setting, int offset = 0);
