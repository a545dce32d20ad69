// Tests of the equalizer presets: the shipped curves, the value lists, names, and the
// user presets kept in the settings file.
#include <gtest/gtest.h>

#include "player/control/equalizer_presets.h"
#include "player/playlist/player_settings.h"
#include "tests/common/temp_dir.h"

namespace {

EqualizerValues All(int v) {
  EqualizerValues values;
  values.fill(v);
  return values;
}

}  // namespace

// Catches a Flat that is not all middle (it would colour the sound), shipped curves
// outside the sliders' range or beyond a sensible lift, and a missing common curve.
TEST(EqualizerPresets, ShippedCurvesStartWithFlatAndStayWithinRange) {
  const auto shipped = BuiltInEqualizerPresets();
  ASSERT_GE(shipped.size(), 8u);
  EXPECT_EQ(shipped[0].name, "Flat");
  EXPECT_EQ(shipped[0].values, All(kEqualizerSliderMiddle));
  EXPECT_EQ(BuildEqualizerRecord(shipped[0].values), EqualizerRecord{});
  for (const char* name : {"Rock", "Pop", "Classical", "Jazz", "Bass boost", "Treble boost", "Vocal"}) {
    EXPECT_TRUE(std::any_of(shipped.begin(), shipped.end(), [&](const auto& p) { return p.name == name; })) << name;
  }
  for (const EqualizerPreset& p : shipped) {
    for (int v : p.values) {
      EXPECT_GE(v, 0) << p.name;
      EXPECT_LE(v, kEqualizerSliderMax) << p.name;
      // No band lifted by more than 8 dB: a curve must not clip ordinary music at once.
      EXPECT_LE(BandValueOf(v), 34) << p.name;
    }
    if (p.name != "Flat") {
      EXPECT_NE(p.values, All(kEqualizerSliderMiddle)) << p.name;
    }
  }
  // The bass boost lifts slider 0 by 8 dB: band value 8 × 50 / 12 = 33.
  const auto bass = std::find_if(shipped.begin(), shipped.end(), [](const auto& p) { return p.name == "Bass boost"; });
  EXPECT_EQ(BandValueOf(bass->values[0]), 33);
}

// Catches value lists that do not round-trip, and lists accepted with a wrong count, a
// value past 255, a sign or junk (a hand-edited file must not move the sliders anywhere).
TEST(EqualizerPresets, ValueListsRoundTripAndBadOnesAreRefused) {
  const EqualizerValues values = {0, 1, 2, 127, 128, 200, 254, 255, 10, 20, 30, 40};
  EXPECT_EQ(FormatPresetValues(values), "0,1,2,127,128,200,254,255,10,20,30,40");
  EXPECT_EQ(ParsePresetValues(FormatPresetValues(values)), values);
  EXPECT_EQ(ParsePresetValues(" 0, 1,2 ,127,128,200,254,255,10,20,30,40 "), values);
  for (const char* bad : {"", "0,1,2,3,4,5,6,7,8,9,10", "0,1,2,3,4,5,6,7,8,9,10,11,12", "0,1,2,3,4,5,6,7,8,9,10,256",
                          "0,1,2,3,4,5,6,7,8,9,10,-1", "0,1,2,3,4,5,6,7,8,9,10,x", "0,1,2,3,4,5,6,7,8,9,,11",
                          "0,1,2,3,4,5,6,7,8,9,10,11,", "0;1;2;3;4;5;6;7;8;9;10;11"}) {
    EXPECT_FALSE(ParsePresetValues(bad)) << bad;
  }
}

// Catches names the settings file would read back as something else (a key with '=', a
// comment, a section), empty names, and a user preset hiding a shipped one.
TEST(EqualizerPresets, NamesAreCheckedBeforeTheyAreStored) {
  EXPECT_EQ(CheckPresetName("  Late night ").Value(), "Late night");
  EXPECT_FALSE(CheckPresetName(""));
  EXPECT_FALSE(CheckPresetName("   "));
  EXPECT_FALSE(CheckPresetName("a=b"));
  EXPECT_FALSE(CheckPresetName("two\nlines"));
  EXPECT_FALSE(CheckPresetName(";comment"));
  EXPECT_FALSE(CheckPresetName("[section]"));
  EXPECT_FALSE(CheckPresetName(std::string(kEqualizerPresetNameLimit + 1, 'x')));
  EXPECT_TRUE(CheckPresetName(std::string(kEqualizerPresetNameLimit, 'x')));
  const auto rock = CheckPresetName("ROCK");
  ASSERT_FALSE(rock);
  EXPECT_NE(rock.Error().text.find("Rock"), std::string::npos) << rock.Error().text;
  EXPECT_TRUE(CheckPresetName("Rock 2"));
  EXPECT_TRUE(CheckPresetName("Köln"));
}

// Catches presets that are not written at once or not read back, a save that loses the
// rest of the settings file (or a bad preset line someone wrote by hand), a save of an
// existing name that adds a second line, and a delete that leaves the preset behind.
TEST(EqualizerPresets, UserPresetsAreKeptInTheSettingsFile) {
  TempDir dir;
  const std::string path = dir.File("sub/zbplayer.ini");
  EqualizerPresetFile file(path);
  ASSERT_TRUE(file.UserPresets());
  EXPECT_TRUE(file.UserPresets().Value().empty()) << "no file, no presets";

  EqualizerValues mine = All(127);
  mine[0] = 20;
  ASSERT_TRUE(file.Save(" Late night ", mine));
  ASSERT_TRUE(file.Save("Car", All(90)));
  auto presets = file.UserPresets();
  ASSERT_TRUE(presets);
  ASSERT_EQ(presets.Value().size(), 2u);
  EXPECT_EQ(presets.Value()[0].name, "Late night");
  EXPECT_EQ(presets.Value()[0].values, mine);
  EXPECT_EQ(presets.Value()[1].name, "Car");

  // The player's own settings written at the end keep the presets, and the presets the
  // settings.
  PlayerSettingsFile settings(path);
  ASSERT_TRUE(settings.Load());
  settings.Settings().eq[3] = 44;
  ASSERT_TRUE(settings.Save());
  std::string text = ReadText(path);
  text += "Broken=1,2,3\n";
  WriteText(path, text);
  ASSERT_TRUE(file.Save("late NIGHT", All(0)));
  presets = file.UserPresets();
  ASSERT_TRUE(presets);
  ASSERT_EQ(presets.Value().size(), 2u) << ReadText(path);
  EXPECT_EQ(presets.Value()[0].name, "Late night") << "saved over, spelling kept";
  EXPECT_EQ(presets.Value()[0].values, All(0));
  EXPECT_NE(ReadText(path).find("Broken=1,2,3"), std::string::npos) << "a line it cannot read is kept";
  PlayerSettingsFile again(path);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Settings().eq[3], 44);

  ASSERT_TRUE(file.Delete("Late night"));
  ASSERT_TRUE(file.Delete("Not there"));
  presets = file.UserPresets();
  ASSERT_TRUE(presets);
  ASSERT_EQ(presets.Value().size(), 1u);
  EXPECT_EQ(presets.Value()[0].name, "Car");

  // A refused name changes nothing.
  EXPECT_FALSE(file.Save("Flat", All(0)));
  EXPECT_EQ(file.UserPresets().Value().size(), 1u);
}

// Catches a settings file that cannot be read being taken for one without presets (a
// save would then lose what it holds).
TEST(EqualizerPresets, UnreadableFileIsAnError) {
  TempDir dir;
  const std::string path = dir.File("zbplayer.ini");
  WriteText(path, std::string(kMaxIniFileBytes + 10, '\0'));
  EqualizerPresetFile file(path);
  EXPECT_FALSE(file.UserPresets());
  EXPECT_FALSE(file.Save("Mine", All(1)));
  EXPECT_EQ(ReadBytes(path).size(), kMaxIniFileBytes + 10);
}
