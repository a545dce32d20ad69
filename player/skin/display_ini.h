// "display.Ini": the positions and colours of a skin, read into typed values. Every key of
// the section "display" (matched without regard to case) with its format and default.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"
#include "common/ini_file.h"
#include "player/skin/skin_elements.h"

struct SkinRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const SkinRect&) const = default;
};

// A colour as the skin stores it: 0x00BBGGRR (red in the low byte).
struct SkinColour {
  uint32_t value = 0;
  constexpr int Red() const { return static_cast<int>(value & 0xFF); }
  constexpr int Green() const { return static_cast<int>((value >> 8) & 0xFF); }
  constexpr int Blue() const { return static_cast<int>((value >> 16) & 0xFF); }
  bool operator==(const SkinColour&) const = default;
};

struct SkinTextFieldPlace {
  SkinRect rect;
  SkinColour colour;  // text colour
  std::string font;   // first word of the font name; empty when the value has none
  bool operator==(const SkinTextFieldPlace&) const = default;
};

struct SkinVisualizationPlace {
  SkinRect rect;  // left is -1 when the value gives no number at all
  SkinColour lineColour;
  bool operator==(const SkinVisualizationPlace&) const = default;
};

// eq_slider: where the knob image sits inside band 2 of "eq.bmp", and the knob's size.
struct SkinKnobSource {
  int left = 0;
  int top = 0;  // from the start of band 2
  int width = 10;
  int height = 10;
  bool operator==(const SkinKnobSource&) const = default;
};

struct SkinCheckPlace {
  int left = 0;
  int top = 0;
  SkinColour background;
  bool operator==(const SkinCheckPlace&) const = default;
};

inline constexpr const char* kDisplayIniName = "display.Ini";
inline constexpr const char* kDisplaySection = "display";
// Values are read as the platform's profile calls read them into a 256-byte buffer.
inline constexpr size_t kDisplayValueLimit = 255;

// Everything "display.Ini" says. A missing or empty key leaves its element out (nullopt);
// the equalizer keys fall back to their defaults instead.
struct DisplayIni {
  bool withFocus = false;  // disp_with_focus: "main.bmp" has a fourth band
  std::array<std::optional<SkinRect>, kSkinButtonCount> buttons;
  std::array<std::optional<SkinTextFieldPlace>, kSkinTextFieldCount> textFields;
  std::optional<SkinVisualizationPlace> visualization;
  int eqInterval = 20;
  SkinRect eqTrack{0, 0, 10, 100};
  SkinKnobSource eqSlider;
  SkinCheckPlace eqCheck;
  std::optional<SkinRect> eqClose;
  // position: the main window's position slider (the track's rectangle on the face). A
  // skin without it has no slider; its Reverse and Forward buttons seek instead.
  std::optional<SkinRect> position;
  // position_knob: where the slider's knob image sits inside band 2 of "main.bmp" (top
  // measured from the start of band 2), and the knob's size; defaults 0 0 10 10.
  SkinKnobSource positionKnob;

  const std::optional<SkinRect>& Button(SkinButton b) const { return buttons[static_cast<size_t>(b)]; }
  const std::optional<SkinTextFieldPlace>& TextField(SkinTextField f) const {
    return textFields[static_cast<size_t>(f)];
  }

  // Reads the section "display" of a parsed document.
  static DisplayIni FromIni(const IniFile& ini);
  // Reads a file; a missing file gives a skin with no elements and default equalizer keys.
  static Expected<DisplayIni> Load(const std::string& path);
};

// The value parsers, with the C library's scanf semantics: fields are read left to right,
// %i takes decimal, 0x hexadecimal and 0 octal numbers, a field that does not parse ends
// the reading and leaves it and the fields after it at their starting values.
SkinRect ParseSkinRect(std::string_view value, SkinRect start = {});
SkinTextFieldPlace ParseSkinTextField(std::string_view value);
SkinVisualizationPlace ParseSkinVisualization(std::string_view value);
SkinKnobSource ParseSkinKnobSource(std::string_view value, SkinKnobSource start = {});
SkinCheckPlace ParseSkinCheck(std::string_view value, SkinCheckPlace start = {});
int ParseSkinInt(std::string_view value, int start);
