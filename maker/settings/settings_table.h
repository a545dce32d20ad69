// The maker's persistent settings: one ordered table of INI keys with kinds and defaults,
// loaded from "zbmaker.INI" section "Options" at start and saved at the end.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/ini_file.h"
#include "common/result.h"

enum class SettingKind { Text = 0, Int = 1 };

// One entry of the table. textBytes is the size of a text setting's buffer including the
// terminator, so a text holds at most textBytes - 1 bytes (UTF-8, never cut inside a
// character). Defaults that depend on the machine (CDDBUser, CDDBHost) are computed when a
// table is made; their defaultText here is empty.
struct SettingEntry {
  const char* key;
  SettingKind kind;
  const char* defaultText;
  size_t textBytes;
};

// Every entry in file order.
std::span<const SettingEntry> SettingEntries();

inline constexpr const char* kSettingsFileName = "zbmaker.INI";
inline constexpr const char* kSettingsSection = "Options";
inline constexpr int kExternalProgramSlots = 10;

// Encoder choices of MPEGMode.
inline constexpr int kModeMpeg1 = 1;
inline constexpr int kModeMpeg2 = 2;
inline constexpr int kModeAac = 3;
inline constexpr int kModeExternal = 4;

// Rate tables indexed by MPEG1BitRate, MPEG2BitRate and AACBitRate, in kbit/s;
// 1010 ... 1001 are variable-bitrate quality levels 10 ... 1.
inline constexpr int kMpeg1BitRates[24] = {32,   40,   48,   56,   64,   80,   96,   112,
                                           128,  160,  192,  224,  256,  320,  1010, 1009,
                                           1008, 1007, 1006, 1005, 1004, 1003, 1002, 1001};
inline constexpr int kMpeg2BitRates[24] = {8,    16,   24,   32,   40,   48,   56,   64,
                                           80,   96,   112,  128,  144,  160,  1010, 1009,
                                           1008, 1007, 1006, 1005, 1004, 1003, 1002, 1001};
inline constexpr int kAacBitRates[9] = {64, 80, 96, 112, 128, 160, 192, 224, 256};

// Asks whether the SCSI pass-through access method can be used (libcdio with its MMC
// command entry can be loaded). Tests replace it through SettingsTable::Load's argument.
using PassThroughProbe = std::function<bool()>;
bool ScsiPassThroughUsable();

struct SettingsError {
  IniError ini;
  std::string Message() const { return ini.Message(); }
};

// The values of all entries, typed. Keys are matched exactly as the table spells them;
// asking for a key that is not in the table, or with the wrong kind, is a programming
// error (asserted; Int gives 0 and Text "" in a release build).
class SettingsTable {
 public:
  // Every entry at its default.
  SettingsTable();

  int Int(std::string_view key) const;
  bool Flag(std::string_view key) const { return Int(key) != 0; }
  const std::string& Text(std::string_view key) const;
  void SetInt(std::string_view key, int value);
  void SetFlag(std::string_view key, bool value) { SetInt(key, value ? 1 : 0); }
  // Cuts the value to the entry's size.
  void SetText(std::string_view key, std::string_view value);
  void ResetToDefaults();
  // The default of an entry, as text.
  std::string DefaultText(std::string_view key) const;

  // Reads every entry from the file (a missing file or key gives the default; an integer
  // that is not a number reads as 0; a long text is kept up to the entry's size), then
  // applies the access-method check with the probe's answer. An unreadable file is
  // reported and leaves the defaults in place; so is a file refused as no settings file
  // (see IniFile::LoadSettings), which is renamed beside itself first.
  Status<SettingsError> Load(const std::string& path, const PassThroughProbe& probe = ScsiPassThroughUsable);
  // Writes every entry (integers in decimal), keeping the rest of the file. Atomic. A file
  // that the INI reader refuses is never written over: the save fails.
  Status<SettingsError> Save(const std::string& path) const;
  // The settings file in the per-user folder; Save creates the folder when needed.
  static std::string DefaultPath();

  // The access-method check: the OS CD interface is always there on Linux, so
  // UseWinNTRawRead becomes 1 when it was set or when pass-through is not usable.
  void ApplyAccessMethodCheck(bool passThroughUsable);
  // The probe's answer at the last Load (false before any Load).
  bool PassThroughAvailable() const { return passThroughAvailable_; }
  // The OS CD interface needs nothing beyond the system, so it is always offered.
  static constexpr bool OsCdInterfaceAvailable() { return true; }

  // MPEGMode with values outside 1..4 taken as MPEG-1.
  int EncoderMode() const;
  // The rate of each table at its setting's index; an index outside the table gives the
  // rate at the setting's default index.
  int Mpeg1BitRateKbps() const;
  int Mpeg2BitRateKbps() const;
  int AacBitRateKbps() const;
  // The rate of the table EncoderMode() uses (MPEG-1 for modes 1 and 4).
  int SelectedBitRateKbps() const;
  // ExtPgm, with values outside 0..9 taken as 0.
  int ExternalProgramIndex() const;
  const std::string& ExternalProgram(int slot) const;  // slot outside 0..9 → slot 0
  const std::string& SelectedExternalProgram() const { return ExternalProgram(ExternalProgramIndex()); }

 private:
  struct Value {
    int number = 0;
    std::string text;
  };
  size_t IndexOf(std::string_view key, SettingKind kind) const;
  int RateAt(std::string_view key, const int* table, size_t count) const;

  std::vector<Value> values_;
  std::vector<std::string> defaults_;
  bool passThroughAvailable_ = false;
};

// The program-wide settings of the maker, read by every part of it. Main thread only;
// workers get the values they need copied into their job fields.
SettingsTable& MakerSettings();
