// Tests of reading "display.Ini": every key, its format, its default, and the limits.
#include "player/skin/display_ini.h"

#include <gtest/gtest.h>

#include <string>

namespace {

DisplayIni Read(const std::string& text) { return DisplayIni::FromIni(IniFile::FromText(text)); }

}  // namespace

// Catches a key table that misses a button, reads a key of another button, or shows a
// button whose key is missing or empty.
TEST(DisplayIni, EachButtonReadsItsOwnKeyAndMissingOnesStayOut) {
  std::string text = "[display]\n";
  for (size_t i = 0; i < kSkinButtonCount; ++i)
    if (i != static_cast<size_t>(SkinButton::Shuffle) && i != static_cast<size_t>(SkinButton::Help))
      text += std::string(kSkinButtons[i].key) + "=" + std::to_string(i) + " " + std::to_string(100 + i) + " 7 8\n";
  text += "btn_help=\n";
  const DisplayIni skin = Read(text);
  for (size_t i = 0; i < kSkinButtonCount; ++i) {
    const SkinButton b = kSkinButtons[i].button;
    if (b == SkinButton::Shuffle || b == SkinButton::Help) {
      EXPECT_FALSE(skin.Button(b).has_value()) << kSkinButtons[i].key;
    } else {
      ASSERT_TRUE(skin.Button(b).has_value()) << kSkinButtons[i].key;
      EXPECT_EQ(*skin.Button(b), (SkinRect{int(i), int(100 + i), 7, 8})) << kSkinButtons[i].key;
    }
  }
}

// Catches a skin with nothing but disp_with_focus that still shows elements, or equalizer
// keys that do not fall back to their defaults.
TEST(DisplayIni, OnlyWithFocusGivesNoElementsAndEqualizerDefaults) {
  const DisplayIni skin = Read("[Display]\ndisp_with_focus=1\n");
  EXPECT_TRUE(skin.withFocus);
  for (const auto& b : skin.buttons) EXPECT_FALSE(b.has_value());
  for (const auto& f : skin.textFields) EXPECT_FALSE(f.has_value());
  EXPECT_FALSE(skin.visualization.has_value());
  EXPECT_FALSE(skin.eqClose.has_value());
  EXPECT_EQ(skin.eqInterval, 20);
  EXPECT_EQ(skin.eqTrack, (SkinRect{0, 0, 10, 100}));
  EXPECT_EQ(skin.eqSlider, (SkinKnobSource{0, 0, 10, 10}));
  EXPECT_EQ(skin.eqCheck, (SkinCheckPlace{0, 0, SkinColour{0}}));
}

// Catches a section matched with case, a with-focus flag read as true for 0, empty or
// missing values, or a flag read without scanf's number forms.
TEST(DisplayIni, WithFocusFlagIsAnyNonzeroInteger) {
  const std::pair<const char*, bool> cases[] = {{"[DISPLAY]\ndisp_with_focus=1\n", true},
                                                {"[display]\ndisp_with_focus=0x10\n", true},
                                                {"[display]\ndisp_with_focus=-3\n", true},
                                                {"[display]\ndisp_with_focus=0\n", false},
                                                {"[display]\ndisp_with_focus=\n", false},
                                                {"[display]\ndisp_with_focus=yes\n", false},
                                                {"[other]\ndisp_with_focus=1\n", false},
                                                {"", false}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(Read(text).withFocus, expected) << text;
}

// Catches a font field that keeps the second word of a two-word name, a colour read as
// decimal, or missing fields that are not 0.
TEST(DisplayIni, TextFieldsFollowScanfRules) {
  const DisplayIni skin = Read(
      "[display]\n"
      "disp_file=10 20 200 14 ff00 DejaVu Sans Mono\n"
      "disp_info=1 2 3 4 0x123456 Monospace\n"
      "disp_progress=5 6\n"
      "disp_wav_vol=7 8 9 10 zz Sans\n");
  ASSERT_TRUE(skin.TextField(SkinTextField::File));
  EXPECT_EQ(*skin.TextField(SkinTextField::File), (SkinTextFieldPlace{{10, 20, 200, 14}, {0xff00}, "DejaVu"}));
  EXPECT_EQ(skin.TextField(SkinTextField::File)->colour.Green(), 0xff);
  EXPECT_EQ(*skin.TextField(SkinTextField::Info), (SkinTextFieldPlace{{1, 2, 3, 4}, {0x123456}, "Monospace"}));
  EXPECT_EQ(skin.TextField(SkinTextField::Info)->colour.Red(), 0x56);
  EXPECT_EQ(skin.TextField(SkinTextField::Info)->colour.Blue(), 0x12);
  EXPECT_EQ(*skin.TextField(SkinTextField::Progress), (SkinTextFieldPlace{{5, 6, 0, 0}, {0}, ""}));
  // A colour that does not parse stops the reading: the font after it is not read either.
  EXPECT_EQ(*skin.TextField(SkinTextField::WavVolume), (SkinTextFieldPlace{{7, 8, 9, 10}, {0}, ""}));
}

// Catches values read past the profile buffer's 255 characters, or a font word that
// overruns its buffer.
TEST(DisplayIni, ValuesAreCutAt255Characters) {
  const std::string longFont(400, 'F');
  const DisplayIni skin = Read("[display]\ndisp_file=1 2 3 4 0 " + longFont + "\n");
  ASSERT_TRUE(skin.TextField(SkinTextField::File));
  EXPECT_EQ(skin.TextField(SkinTextField::File)->font, std::string(255 - std::string("1 2 3 4 0 ").size(), 'F'));
  // The limit applies to the whole value: the last number is pushed past it.
  const DisplayIni cut = Read("[display]\nbtn_play=" + std::string(250, '0') + " 9 9 9\n");
  ASSERT_TRUE(cut.Button(SkinButton::Play));
  EXPECT_EQ(*cut.Button(SkinButton::Play), (SkinRect{0, 9, 9, 0}));
}

// Catches a visualization whose missing left is 0 (it must be -1, which disables the
// trace), or a line colour taken from the wrong field.
TEST(DisplayIni, VisualizationFieldsAndDefaults) {
  EXPECT_EQ(*Read("[display]\nvisualization=30 40 100 50 ffffff\n").visualization,
            (SkinVisualizationPlace{{30, 40, 100, 50}, {0xffffff}}));
  EXPECT_EQ(Read("[display]\nvisualization=junk\n").visualization->rect.left, -1);
  EXPECT_FALSE(Read("[display]\nvisualization=\n").visualization.has_value());
}

// Catches equalizer keys that do not keep the default of a field the value leaves out.
TEST(DisplayIni, EqualizerKeysKeepDefaultsOfMissingFields) {
  const DisplayIni skin = Read(
      "[display]\neq_interval=24\neq_track=5 6\neq_slider=40 2 12\neq_check=3 4 c0c0c0\neq_close=1 2 3 4\n");
  EXPECT_EQ(skin.eqInterval, 24);
  EXPECT_EQ(skin.eqTrack, (SkinRect{5, 6, 10, 100}));
  EXPECT_EQ(skin.eqSlider, (SkinKnobSource{40, 2, 12, 10}));
  EXPECT_EQ(skin.eqCheck, (SkinCheckPlace{3, 4, SkinColour{0xc0c0c0}}));
  EXPECT_EQ(*skin.eqClose, (SkinRect{1, 2, 3, 4}));
  EXPECT_EQ(Read("[display]\neq_interval=x\n").eqInterval, 20);
}

// Catches a position slider made from a skin without the key (its Reverse and Forward
// buttons are the way to seek there), an empty key taken as a slider at 0 0, and a knob
// that does not keep the defaults of the fields its value leaves out.
TEST(DisplayIni, ThePositionSliderIsOptionalAndItsKnobHasDefaults) {
  const DisplayIni none = Read("[display]\nbtn_reverse=1 2 3 4\n");
  EXPECT_FALSE(none.position.has_value());
  EXPECT_EQ(none.positionKnob, (SkinKnobSource{0, 0, 10, 10}));
  EXPECT_FALSE(Read("[display]\nposition=\n").position.has_value());
  const DisplayIni skin = Read("[display]\nposition=12 88 262 10\nposition_knob=40 86 14\n");
  EXPECT_EQ(*skin.position, (SkinRect{12, 88, 262, 10}));
  EXPECT_EQ(skin.positionKnob, (SkinKnobSource{40, 86, 14, 10}));
}
