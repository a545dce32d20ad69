// The equalizer's arithmetic: twelve slider values (0..255, 0 = knob at the top) driving
// the decoder's 32 bands, knob positions and values, and the 64-byte record handed to the
// playback facade.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int kEqualizerSliders = 12;
inline constexpr int kEqualizerBands = 32;
inline constexpr int kEqualizerSliderMax = 255;
inline constexpr int kEqualizerSliderMiddle = 127;

// 32 signed band values for the left channel, then the same 32 for the right.
using EqualizerRecord = std::array<int8_t, 2 * kEqualizerBands>;
using EqualizerValues = std::array<int, kEqualizerSliders>;

// The slider that drives each band: sliders 0..6 one band each, then 7: 7-8, 8: 9-11,
// 9: 12-15, 10: 16-21, 11: 22-31.
inline constexpr std::array<int, kEqualizerBands> kBandSlider = {
    0, 1, 2, 3, 4, 5, 6, 7, 7, 8, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 10, 10,
    11, 11, 11, 11, 11, 11, 11, 11, 11, 11};

// A stored value brought into 0..255 (a hand-edited settings file may hold anything).
int ClampSliderValue(int value);
// The knob top of a value on a track of travel range: round(value × range / 255), within
// 0..range.
int KnobTopOfValue(int value, int range);
// The value of a knob top: round(top × 255 / range); a track without travel (range 0)
// leaves the value unchanged.
int ValueOfKnobTop(int top, int range, int unchanged);
// A band's value for a slider value: (127 − v) × 10 / 25 truncated toward zero, so 0
// gives +50, 127 gives 0 and 255 gives −51.
int8_t BandValueOf(int sliderValue);
// The record for the twelve values, both channels alike.
EqualizerRecord BuildEqualizerRecord(const EqualizerValues& values);
// What the facade gets: the record when the equalizer is on, 64 zero bytes when off.
EqualizerRecord AppliedEqualizer(const EqualizerRecord& record, bool enabled);
