// Where the player's settings are kept: a section/key/value store, backed by an INI file
// in the program and by memory in tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/ini_file.h"

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::optional<std::string> Read(std::string_view section, std::string_view key) const = 0;
  virtual void Write(std::string_view section, std::string_view key, std::string_view value) = 0;
};

// Over an INI document; sections and keys match without regard to case.
class IniSettingsStore final : public SettingsStore {
 public:
  explicit IniSettingsStore(IniFile& ini) : ini_(ini) {}
  std::optional<std::string> Read(std::string_view section, std::string_view key) const override {
    return ini_.Get(section, key);
  }
  void Write(std::string_view section, std::string_view key, std::string_view value) override {
    ini_.WriteString(section, key, value);
  }

 private:
  IniFile& ini_;
};

// In memory, names compared exactly.
class MemorySettingsStore final : public SettingsStore {
 public:
  std::optional<std::string> Read(std::string_view section, std::string_view key) const override {
    const auto it = values_.find({std::string(section), std::string(key)});
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  void Write(std::string_view section, std::string_view key, std::string_view value) override {
    values_[{std::string(section), std::string(key)}] = std::string(value);
  }
  size_t Size() const { return values_.size(); }

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};
