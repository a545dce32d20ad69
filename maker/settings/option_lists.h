// The entries of the options window's drop-down lists. A setting stores the index of its
// entry (the normalization lists: the value minus one).
#pragma once

#include <string>
#include <vector>

std::vector<std::string> SectorsPerReadEntries();     // 34: "8-Sector Read" ... "140-Sector Read"
std::vector<std::string> OverlapEntries();            // 8: "10% Overlap" ... "80% Overlap"
std::vector<std::string> SyncCorrectionRetryEntries();  // 11: "Do not retry Sync Correction" ...
std::vector<std::string> SyncErrorRetryEntries();     // 6: "Do not retry Sync Error" ...
std::vector<std::string> ReadModeEntries();           // 5: "Read Mode - Standard" ...
std::vector<std::string> CdSpeedEntries();            // 101: "1X" ... "100X", "Maximum"
std::vector<std::string> NormalizePercentEntries();   // 100: "1%" ... "100%"
std::vector<std::string> NormalizeMinEntries();       // 100: "Only if signal is < 1%" ...
std::vector<std::string> NormalizeMaxEntries();       // 100: "or > 1%" ...
std::vector<std::string> ChannelEntries();            // 3: "Mono", "Stereo", "Joint-Stereo"
std::vector<std::string> Mpeg1BitRateEntries();       // 24, after kMpeg1BitRates
std::vector<std::string> Mpeg2BitRateEntries();       // 24, after kMpeg2BitRates
std::vector<std::string> AacBitRateEntries();         // 9, after kAacBitRates (M4A too)
std::vector<std::string> FlacLevelEntries();          // 9: "Level 0 (fastest)" ... "Level 8 (smallest)"
std::vector<std::string> VorbisQualityEntries();      // 12: "Quality -1" ... "Quality 10"

// The Opus rates the list offers, in kbit/s. OpusBitRate stores the rate itself, so a
// rate set elsewhere (6..512) is kept and shown as an entry of its own.
inline constexpr int kOpusBitRates[7] = {64, 96, 128, 160, 192, 256, 320};
std::string OpusBitRateEntry(int kbps);               // "160 Kbps"
std::vector<std::string> OpusBitRateEntries();        // 7, after kOpusBitRates
// The Vorbis quality list's entries start at quality -1.
inline constexpr int kVorbisQualityFirst = -1;

// Indexes of the channel entries, as the Channels setting stores them.
inline constexpr int kChannelsMono = 0;
inline constexpr int kChannelsStereo = 1;
inline constexpr int kChannelsJointStereo = 2;
