// The CD window's choices in the settings and the lookup request built from them.
#include "maker/metadata/cd_info_settings.h"

#include <gtest/gtest.h>

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

// Catches: a MusicBrainz choice run as a CDDB lookup, the service's address or contact
// not taken from the settings (an empty address left empty), or the checked HTTP proxy
// dropped because the CDDB server beside it is a cddbp one.
TEST(CdInfoSettings, MusicBrainzRequestTakesServerContactAndProxy) {
  SettingsTable settings;
  settings.SetText("MusicBrainzServer", "http://127.0.0.1:5000");
  settings.SetText("MusicBrainzContact", "me@example.org");
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
  settings.SetText("MusicBrainzServer", "");
  EXPECT_EQ(MakeCddbRequest(info, disc, settings).musicBrainzServer, kDefaultMusicBrainzServer);
  EXPECT_TRUE(CdInfoControls(info).httpProxyEdit);
}

// Catches: the hello identity not taken from CDDBUser/CDDBHost, proxies used whose boxes
// are not checked, or the HTTP proxy used for a cddbp server.
TEST(CdInfoSettings, RequestTakesHelloIdentityAndCheckedProxies) {
  SettingsTable settings;
  settings.SetText("CDDBUser", "alice");
  settings.SetText("CDDBHost", "home.example");
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
  settings.SetText("CDDBUser", "");
  EXPECT_EQ(MakeCddbRequest(info, disc, settings).user, kDefaultCddbUser);
  info.cddbServer = "cddbp://h:1";
  EXPECT_EQ(MakeCddbRequest(info, disc, settings).httpProxy, "");
}

}  // namespace
