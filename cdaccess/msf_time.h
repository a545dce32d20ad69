// Disc times written as minutes:seconds:frames (75 frames a second, one frame a sector).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Sectors of "mm:ss:ff": 1 to 4 digits of minutes, then 1 or 2 digits each of seconds
// (below 60) and frames (below 75). nullopt for anything else.
std::optional<int64_t> ParseMsf(std::string_view text);

// "mm:ss:ff" of a sector count (minutes as many digits as they need).
std::string MsfText(int64_t sectors);
