// The CD window's choices in the maker's settings.
#include "maker/metadata/cd_info_settings.h"

void LoadCdInfoChoices(const SettingsTable& settings, CdInfo& info) {
  info.cddbServer = settings.cddbServer;
  info.useHttpProxy = settings.useHttpProxy != 0;
  info.httpProxy = settings.httpProxy;
  info.useSocksProxy = settings.useSocksProxy != 0;
  info.socksProxy = settings.socksProxy;
  info.useFileNameFormat = settings.useFileNameFormat != 0;
  info.fileNamePattern = settings.fileNamePattern;
  info.applyId3 = settings.optApplyId3 != 0;
  info.lookupSource = settings.useMusicBrainz != 0 ? MetadataSource::MusicBrainz : MetadataSource::Cddb;
}

void StoreCdInfoChoices(const CdInfo& info, SettingsTable& settings) {
  settings.cddbServer = info.cddbServer;
  settings.useHttpProxy = info.useHttpProxy;
  settings.httpProxy = info.httpProxy;
  settings.useSocksProxy = info.useSocksProxy;
  settings.socksProxy = info.socksProxy;
  settings.useFileNameFormat = info.useFileNameFormat;
  settings.fileNamePattern = info.fileNamePattern;
  settings.optApplyId3 = info.applyId3;
  settings.useMusicBrainz = info.lookupSource == MetadataSource::MusicBrainz;
}

CddbRequest MakeCddbRequest(const CdInfo& info, DiscLayout disc, const SettingsTable& settings) {
  std::string user = settings.cddbUser;
  std::string host = settings.cddbHost;
  if (user.empty()) user = kDefaultCddbUser;
  if (host.empty()) host = kDefaultCddbHost;
  CddbRequest request = MakeCddbRequest(info, std::move(disc), std::move(user), std::move(host));
  request.musicBrainzServer = settings.musicBrainzServer;
  if (request.musicBrainzServer.empty()) request.musicBrainzServer = kDefaultMusicBrainzServer;
  request.musicBrainzContact = settings.musicBrainzContact;
  return request;
}
