// The CD window's choices in the maker's settings.
#include "maker/metadata/cd_info_settings.h"

void LoadCdInfoChoices(const SettingsTable& settings, CdInfo& info) {
  info.cddbServer = settings.Text("CDDBServer");
  info.useHttpProxy = settings.Flag("UseHttpProxy");
  info.httpProxy = settings.Text("HttpProxy");
  info.useSocksProxy = settings.Flag("UseSocksProxy");
  info.socksProxy = settings.Text("SocksProxy");
  info.useFileNameFormat = settings.Flag("UseFileNameFormat");
  info.fileNamePattern = settings.Text("FileNamePattern");
  info.applyId3 = settings.Flag("OptApplyID3");
  info.lookupSource = settings.Flag("UseMusicBrainz") ? MetadataSource::MusicBrainz : MetadataSource::Cddb;
}

void StoreCdInfoChoices(const CdInfo& info, SettingsTable& settings) {
  settings.SetText("CDDBServer", info.cddbServer);
  settings.SetFlag("UseHttpProxy", info.useHttpProxy);
  settings.SetText("HttpProxy", info.httpProxy);
  settings.SetFlag("UseSocksProxy", info.useSocksProxy);
  settings.SetText("SocksProxy", info.socksProxy);
  settings.SetFlag("UseFileNameFormat", info.useFileNameFormat);
  settings.SetText("FileNamePattern", info.fileNamePattern);
  settings.SetFlag("OptApplyID3", info.applyId3);
  settings.SetFlag("UseMusicBrainz", info.lookupSource == MetadataSource::MusicBrainz);
}

CddbRequest MakeCddbRequest(const CdInfo& info, DiscLayout disc, const SettingsTable& settings) {
  std::string user = settings.Text("CDDBUser");
  std::string host = settings.Text("CDDBHost");
  if (user.empty()) user = kDefaultCddbUser;
  if (host.empty()) host = kDefaultCddbHost;
  CddbRequest request = MakeCddbRequest(info, std::move(disc), std::move(user), std::move(host));
  request.musicBrainzServer = settings.Text("MusicBrainzServer");
  if (request.musicBrainzServer.empty()) request.musicBrainzServer = kDefaultMusicBrainzServer;
  request.musicBrainzContact = settings.Text("MusicBrainzContact");
  return request;
}
