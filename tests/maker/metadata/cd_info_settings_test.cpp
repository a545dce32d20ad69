// The CD window's choices in the settings and the lookup request built from them.
#include "maker/metadata/cd_info_settings.h"

#include <gtest/gtest.h>

#include "tests/common/temp_dir.h"

namespace {

// Catches: a choice not stored or loaded under its key (lost at the next start).
TEST(CdInfoSettings, ChoicesRoundTripThroughTheSettings) {
  CdInfo info;
  info.cddbServer = "cddbp://example.org:8880";
  info.useHttpProxy = info.useSocksProxy = info.useFileNameFormat = info.applyId3 = true;
  info.httpProxy = "h:1";
  info.socksProxy = "s:2";
  info.fileNamePattern = "$track#$";
  SettingsTable settings;
  StoreCdInfoChoices(info, settings);
  CdInfo loaded;
  LoadCdInfoChoices(settings, loaded);
  EXPECT_EQ(loaded.cddbServer + loaded.httpProxy + loaded.socksProxy + loaded.fileNamePattern,
            "cddbp://example.org:8880h:1s:2$track#$");
  EXPECT_TRUE(loaded.useHttpProxy && loaded.useSocksProxy && loaded.useFileNameFormat &&
              loaded.applyId3);
  EXPECT_EQ(loaded.lookupSource, MetadataSource::Cddb);
  info.lookupSource = MetadataSource::MusicBrainz;
  StoreCdInfoChoices(info, settings);
  LoadCdInfoChoices(settings, loaded);
  EXPECT_EQ(loaded.lookupSource, MetadataSource::MusicBrainz);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Catches: a choice written under another key or as another number (a check box as 2, a
// source as its enum value), a text written other than typed, or a setting the CD window
// does not own changed by its OK: the settings file differs from the defaults' file in
// the lines of the choices alone.
TEST(CdInfoSettings, StoredChoicesWriteTheirOwnLinesOfTheSettingsFile) {
  TempDir dir;
  ASSERT_TRUE(SettingsTable().Save(dir.File("defaults.INI")));
  CdInfo info;
  info.cddbServer = "cddbp://example.org:8880";
  info.useHttpProxy = info.useSocksProxy = info.useFileNameFormat = info.applyId3 = true;
  info.httpProxy = "h:1";
  info.socksProxy = "s:2";
  info.fileNamePattern = "$track#$ caf\xC3\xA9";
  info.lookupSource = MetadataSource::MusicBrainz;
  SettingsTable settings;
  StoreCdInfoChoices(info, settings);
  ASSERT_TRUE(settings.Save(dir.File("stored.INI")));
  std::string expected = ReadText(dir.File("defaults.INI"));
  expected = Replace(expected, "\nUseHttpProxy=0", "\nUseHttpProxy=1");
  expected = Replace(expected, "\nUseSocksProxy=0", "\nUseSocksProxy=1");
  expected = Replace(expected, "\nUseFileNameFormat=0", "\nUseFileNameFormat=1");
  expected = Replace(expected, "\nOptApplyID3=0", "\nOptApplyID3=1");
  expected = Replace(expected, "\nCDDBServer=http://gnudb.gnudb.org:80", "\nCDDBServer=cddbp://example.org:8880");
  expected = Replace(expected, "\nHttpProxy=proxyhost:8080", "\nHttpProxy=h:1");
  expected = Replace(expected, "\nSocksProxy=proxyhost:1080", "\nSocksProxy=s:2");
  expected = Replace(expected, "\nFileNamePattern=($artist$) [$title$] [$track#$] $trackname$",
                     "\nFileNamePattern=$track#$ caf\xC3\xA9");
  expected = Replace(expected, "\nUseMusicBrainz=0", "\nUseMusicBrainz=1");
  EXPECT_EQ(ReadText(dir.File("stored.INI")), expected);

  // A check box kept as another non-zero number reads as checked.
  settings.useHttpProxy = 2;
  settings.useMusicBrainz = 0;
  CdInfo loaded;
  LoadCdInfoChoices(settings, loaded);
  EXPECT_TRUE(loaded.useHttpProxy);
  EXPECT_EQ(loaded.lookupSource, MetadataSource::Cddb);
}

// Catches: a MusicBrainz choice run as a CDDB lookup, the service's address or contact
// not taken from the settings (an empty address left empty), or the checked HTTP proxy
// dropped because the CDDB server beside it is a cddbp one.
TEST(CdInfoSettings, MusicBrainzRequestTakesServerContactAndProxy) {
  SettingsTable settings;
  settings.musicBrainzServer = "http://127.0.0.1:5000";
  settings.musicBrainzContact = "me@example.org";
  CdInfo info;
  info.lookupSource = MetadataSource::MusicBrainz;
  info.cddbServer = "cddbp://h:1";
  info.useHttpProxy = true;
  info.httpProxy = "proxy:3128";
  const DiscLayout disc{1, {0, 100}};
  auto request = MakeCddbRequest(info, disc, settings);
  EXPECT_EQ(request.source, MetadataSource::MusicBrainz);
  EXPECT_EQ(request.musicBrainzServer, "http://127.0.0.1:5000");
  EXPECT_EQ(request.musicBrainzContact, "me@example.org");
  EXPECT_EQ(request.httpProxy, "proxy:3128");
  settings.musicBrainzServer = "";
  EXPECT_EQ(MakeCddbRequest(info, disc, settings).musicBrainzServer, kDefaultMusicBrainzServer);
  EXPECT_TRUE(CdInfoControls(info).httpProxyEdit);
}

// Catches: the hello identity not taken from CDDBUser/CDDBHost, proxies used whose boxes
// are not checked, or the HTTP proxy used for a cddbp server.
TEST(CdInfoSettings, RequestTakesHelloIdentityAndCheckedProxies) {
  SettingsTable settings;
  settings.cddbUser = "alice";
  settings.cddbHost = "home.example";
  CdInfo info;
  info.cddbServer = "http://example.org";
  info.useHttpProxy = true;
  info.httpProxy = "proxy:3128";
  info.useSocksProxy = false;
  info.socksProxy = "socks:1080";
  const DiscLayout disc{1, {0, 100}};
  const auto request = MakeCddbRequest(info, disc, settings);
  EXPECT_EQ(request.user + "@" + request.host, "alice@home.example");
  EXPECT_EQ(request.httpProxy, "proxy:3128");
  EXPECT_EQ(request.socksProxy, "");
  settings.cddbUser = "";
  EXPECT_EQ(MakeCddbRequest(info, disc, settings).user, kDefaultCddbUser);
  info.cddbServer = "cddbp://h:1";
  EXPECT_EQ(MakeCddbRequest(info, disc, settings).httpProxy, "");
}

}  // namespace
