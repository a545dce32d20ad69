// The CD window's choices in the settings and the lookup request built from them.
#include "maker/metadata/cd_info_settings.h"

#include <gtest/gtest.h>

namespace {

// Catches: a choice not stored or loaded under its key (lost at the next start).
TEST(CdInfoSettings, ChoicesRoundTripThroughTheSettings) {
  CdInfo info;
  info.cddbServer = "cddbp://example.org:8880";
  info.useHttpProxy = true;
  info.httpProxy = "h:1";
  info.useSocksProxy = true;
  info.socksProxy = "s:2";
  info.useFileNameFormat = true;
  info.fileNamePattern = "$track#$";
  info.applyId3 = true;
  SettingsTable settings;
  StoreCdInfoChoices(info, settings);
  CdInfo loaded;
  LoadCdInfoChoices(settings, loaded);
  EXPECT_EQ(loaded.cddbServer, info.cddbServer);
  EXPECT_TRUE(loaded.useHttpProxy);
  EXPECT_EQ(loaded.httpProxy, "h:1");
  EXPECT_TRUE(loaded.useSocksProxy);
  EXPECT_EQ(loaded.socksProxy, "s:2");
  EXPECT_TRUE(loaded.useFileNameFormat);
  EXPECT_EQ(loaded.fileNamePattern, "$track#$");
  EXPECT_TRUE(loaded.applyId3);
}

// Catches: the hello identity not taken from CDDBUser/CDDBHost, or proxies used whose
// boxes are not checked.
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
  const auto request = MakeCddbRequest(info, DiscLayout{1, {0, 100}}, settings);
  EXPECT_EQ(request.user, "alice");
  EXPECT_EQ(request.host, "home.example");
  EXPECT_EQ(request.httpProxy, "proxy:3128");
  EXPECT_EQ(request.socksProxy, "");
  settings.SetText("CDDBUser", "");
  EXPECT_EQ(MakeCddbRequest(info, DiscLayout{1, {0, 100}}, settings).user, kDefaultCddbUser);
}

}  // namespace
