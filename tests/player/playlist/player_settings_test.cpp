// Tests of the player's settings: the table, the defaults, and the file round trip.
#include "player/playlist/player_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "tests/common/temp_dir.h"

// Catches a key in the wrong section, a missing or repeated entry, or a default that
// differs from the documented one.
TEST(PlayerSettings, EmptyStoreGivesTheDocumentedDefaults) {
  MemorySettingsStore store;
  PlayerSettings settings;
  LoadPlayerSettings(store, settings);
  EXPECT_EQ(settings, PlayerSettings{});
  EXPECT_EQ(settings.eqFormTop, -100);
  EXPECT_EQ(settings.eqEnabled, 1);
  EXPECT_EQ(settings.gaplessPlayback, 1);
  EXPECT_EQ(settings.volume, -1);
  EXPECT_EQ(settings.optionsFormWidth, 460);
  EXPECT_EQ(settings.playerFormWidth, 620);
  for (int v : settings.eq) EXPECT_EQ(v, 127);
  std::set<std::string> keys;
  for (const auto& e : PlayerSettingEntries()) EXPECT_TRUE(keys.insert(e.key).second) << e.key;
  EXPECT_EQ(keys.size(), 26u);

  SavePlayerSettings(settings, store);
  const std::pair<const char*, const char*> placed[] = {
      {"Options", "Version"},       {"Options", "OptionsFormWidth"}, {"Player", "ContinuousPlay"},
      {"Player", "UseDirectSound"}, {"Player", "GaplessPlayback"}, {"Player", "ReplayGainMode"},
      {"Player", "ReplayGainPreamp"}, {"Player", "Volume"},
      {"PlayList", "PlayListIndex"}, {"EQ", "EQEnabled"},
      {"EQ", "EQ0"},                {"EQ", "EQ11"}};
  for (const auto& [section, key] : placed) EXPECT_TRUE(store.Read(section, key).has_value()) << key;
  EXPECT_EQ(store.Size(), 26u + 12u);
  EXPECT_EQ(*store.Read("EQ", "EQFormTop"), "-100");
}

// Catches a non-numeric value that keeps the old number instead of reading 0, a value
// read past the 62-character limit, or the equalizer values not read at all.
TEST(PlayerSettings, NumbersAreReadAsDecimalTextAndJunkIsZero) {
  MemorySettingsStore store;
  store.Write("PlayList", "PlayListIndex", "three");
  store.Write("Player", "PlayerFormTop", "42px");
  store.Write("Player", "PlayerFormLeft", std::string(61, '0') + "79");
  store.Write("EQ", "EQ3", "255");
  store.Write("EQ", "EQ11", "");
  PlayerSettings settings;
  settings.playListIndex = 5;
  LoadPlayerSettings(store, settings);
  EXPECT_EQ(settings.playListIndex, 0);
  EXPECT_EQ(settings.playerFormTop, 42);
  EXPECT_EQ(settings.playerFormLeft, 7);
  EXPECT_EQ(settings.eq[3], 255);
  EXPECT_EQ(settings.eq[11], 0);
  EXPECT_EQ(settings.eq[0], 127);
}

// Catches a save that loses other content of the file, drops a value, or a load that
// does not read back what was saved (the twelve equalizer values included).
TEST(PlayerSettings, FileRoundTripKeepsEveryValueAndForeignLines) {
  TempDir dir;
  const std::string path = dir.File("cfg/zbplayer.ini");
  PlayerSettingsFile out(path);
  ASSERT_TRUE(out.Load());
  PlayerSettings& s = out.Settings();
  s.continuousPlay = 1;
  s.eqVisible = 1;
  s.playListIndex = 17;
  s.eqFormTop = 321;
  s.replayGainMode = 2;
  s.replayGainPreamp = -6;
  for (int i = 0; i < kEqualizerSliderCount; ++i) s.eq[static_cast<size_t>(i)] = i * 20;
  ASSERT_TRUE(out.Save());
  WriteText(path, ReadText(path) + "[Mine]\nKeep=this\n");
  ASSERT_TRUE(out.Save());

  PlayerSettingsFile in(path);
  ASSERT_TRUE(in.Load());
  EXPECT_EQ(in.Settings(), s);
  EXPECT_NE(ReadText(path).find("[Mine]\nKeep=this"), std::string::npos);
  // Loading again keeps the values in memory instead of rereading the file.
  in.Settings().eqVisible = 0;
  ASSERT_TRUE(in.Load());
  EXPECT_EQ(in.Settings().eqVisible, 0);
}

// Catches an unreadable file reported as success, or one that does not leave defaults.
TEST(PlayerSettings, UnreadableFileGivesDefaultsAndAnError) {
  TempDir dir;
  ::mkdir(dir.File("zbplayer.ini").c_str(), 0755);  // a folder where the file should be
  PlayerSettingsFile file(dir.File("zbplayer.ini"));
  EXPECT_FALSE(file.Load());
  EXPECT_EQ(file.Settings(), PlayerSettings{});
  EXPECT_FALSE(file.Save());
}
