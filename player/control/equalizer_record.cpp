// Slider values, knob positions and the equalizer record.
#include "player/control/equalizer_record.h"

#include <algorithm>

int ClampSliderValue(int value) { return std::clamp(value, 0, kEqualizerSliderMax); }

int KnobTopOfValue(int value, int range) {
  if (range <= 0) return 0;
  const int top = static_cast<int>(ClampSliderValue(value) * static_cast<double>(range) / kEqualizerSliderMax + 0.5);
  return std::clamp(top, 0, range);
}

int ValueOfKnobTop(int top, int range, int unchanged) {
  if (range <= 0) return unchanged;
  return ClampSliderValue(static_cast<int>(top * static_cast<double>(kEqualizerSliderMax) / range + 0.5));
}

int8_t BandValueOf(int sliderValue) {
  // Integer division truncates toward zero, as the record's arithmetic asks.
  return static_cast<int8_t>((kEqualizerSliderMiddle - ClampSliderValue(sliderValue)) * 10 / 25);
}

EqualizerRecord BuildEqualizerRecord(const EqualizerValues& values) {
  EqualizerRecord record{};
  for (int band = 0; band < kEqualizerBands; ++band) {
    const int8_t v = BandValueOf(values[static_cast<size_t>(kBandSlider[static_cast<size_t>(band)])]);
    record[static_cast<size_t>(band)] = v;
    record[static_cast<size_t>(band + kEqualizerBands)] = v;
  }
  return record;
}

EqualizerRecord AppliedEqualizer(const EqualizerRecord& record, bool enabled) {
  return enabled ? record : EqualizerRecord{};
}
