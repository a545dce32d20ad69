// The encoder choices of the maker's MPEGMode setting, shared by the settings and the
// encoding thread.
#pragma once

inline constexpr int kModeMpeg1 = 1;
inline constexpr int kModeMpeg2 = 2;
inline constexpr int kModeAac = 3;
inline constexpr int kModeExternal = 4;
