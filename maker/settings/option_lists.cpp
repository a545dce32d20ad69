// The options window's list entries, made from the rate tables and the documented texts.
#include "maker/settings/option_lists.h"

#include <cstdio>
#include <iterator>

#include "maker/settings/settings_table.h"

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[64];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

std::vector<std::string> NumberedEntries(const char* format, int first, int last) {
  std::vector<std::string> entries;
  for (int value = first; value <= last; ++value) entries.push_back(Format(format, value));
  return entries;
}

// A rate table's entries: the fixed rates in kbit/s, then the variable-bitrate levels
// (1010 ... 1001 stand for quality 10 ... 1).
std::vector<std::string> RateEntries(const int* rates, size_t count) {
  std::vector<std::string> entries;
  for (size_t i = 0; i < count; ++i) {
    entries.push_back(rates[i] > 1000 ? Format("Quality-%i Variable Bit Rate", rates[i] - 1000)
                                      : Format("%i Kbps", rates[i]));
  }
  return entries;
}

std::vector<std::string> RetryEntries(const char* what, int most) {
  std::vector<std::string> entries = {Format("Do not retry %s", what), Format("Retry %s Once", what),
                                      Format("Retry %s Twice", what)};
  for (int times = 3; times <= most; ++times) entries.push_back(Format("Retry %s %i Times", what, times));
  return entries;
}

}  // namespace

std::vector<std::string> SectorsPerReadEntries() {
  // Entry k reads 8 + 4 x k sectors (CdSectorsPerRead), up to 140: each is named by what
  // it reads.
  std::vector<std::string> entries;
  for (int sectors = 8; sectors <= 140; sectors += 4) entries.push_back(Format("%i-Sector Read", sectors));
  return entries;
}

std::vector<std::string> OverlapEntries() {
  std::vector<std::string> entries;
  for (int percent = 10; percent <= 80; percent += 10) entries.push_back(Format("%i%% Overlap", percent));
  return entries;
}

std::vector<std::string> SyncCorrectionRetryEntries() { return RetryEntries("Sync Correction", 10); }
std::vector<std::string> SyncErrorRetryEntries() { return RetryEntries("Sync Error", 5); }

std::vector<std::string> ReadModeEntries() {
  return {"Read Mode - Standard", "Read Mode - Standard (Old)", "Read Mode - SCSI Mode 10", "Read Mode - SCSI Mode D4",
          "Read Mode - SCSI Mode D8"};
}

std::vector<std::string> CdSpeedEntries() {
  std::vector<std::string> entries = NumberedEntries("%iX", 1, 100);
  entries.push_back("Maximum");
  return entries;
}

std::vector<std::string> NormalizePercentEntries() { return NumberedEntries("%i%%", 1, 100); }
std::vector<std::string> NormalizeMinEntries() { return NumberedEntries("Only if signal is < %i%%", 1, 100); }
std::vector<std::string> NormalizeMaxEntries() { return NumberedEntries("or > %i%%", 1, 100); }

std::vector<std::string> ChannelEntries() { return {"Mono", "Stereo", "Joint-Stereo"}; }

std::vector<std::string> Mpeg1BitRateEntries() { return RateEntries(kMpeg1BitRates, std::size(kMpeg1BitRates)); }
std::vector<std::string> Mpeg2BitRateEntries() { return RateEntries(kMpeg2BitRates, std::size(kMpeg2BitRates)); }
std::vector<std::string> AacBitRateEntries() { return RateEntries(kAacBitRates, std::size(kAacBitRates)); }

std::vector<std::string> FlacLevelEntries() {
  std::vector<std::string> entries = NumberedEntries("Level %i", 0, 8);
  entries.front() += " (fastest)";
  entries.back() += " (smallest)";
  return entries;
}

std::vector<std::string> VorbisQualityEntries() { return NumberedEntries("Quality %i", kVorbisQualityFirst, 10); }

std::string OpusBitRateEntry(int kbps) { return Format("%i Kbps", kbps); }

std::vector<std::string> OpusBitRateEntries() {
  std::vector<std::string> entries;
  for (const int kbps : kOpusBitRates) entries.push_back(OpusBitRateEntry(kbps));
  return entries;
}
