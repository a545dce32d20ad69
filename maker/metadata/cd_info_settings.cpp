// The CD window's choices in the maker's settings.
#include "maker/metadata/cd_info_settings.h"

namespace {

using V = MakerSettingValues;

// One choice of the CD window and the setting that keeps it: a text, or a check box kept
// as 0 or 1. Loading and storing walk the same rows, so a choice cannot be stored under
// one key and loaded from another.
struct CdInfoChoice {
  std::string CdInfo::*text = nullptr;
  SettingText V::*textSetting = nullptr;
  bool CdInfo::*flag = nullptr;
  int V::*flagSetting = nullptr;
};

constexpr CdInfoChoice TextChoice(std::string CdInfo::*text, SettingText V::*setting) {
  return {text, setting, nullptr, nullptr};
}
constexpr CdInfoChoice FlagChoice(bool CdInfo::*flag, int V::*setting) { return {nullptr, nullptr, flag, setting}; }

constexpr CdInfoChoice kChoices[] = {
    TextChoice(&CdInfo::cddbServer, &V::cddbServer),
    FlagChoice(&CdInfo::useHttpProxy, &V::useHttpProxy),
    TextChoice(&CdInfo::httpProxy, &V::httpProxy),
    FlagChoice(&CdInfo::useSocksProxy, &V::useSocksProxy),
    TextChoice(&CdInfo::socksProxy, &V::socksProxy),
    FlagChoice(&CdInfo::useFileNameFormat, &V::useFileNameFormat),
    TextChoice(&CdInfo::fileNamePattern, &V::fileNamePattern),
    FlagChoice(&CdInfo::applyId3, &V::optApplyId3),
};

}  // namespace

void LoadCdInfoChoices(const SettingsTable& settings, CdInfo& info) {
  for (const CdInfoChoice& choice : kChoices) {
    if (choice.text != nullptr)
      info.*choice.text = (settings.*choice.textSetting).str();
    else
      info.*choice.flag = settings.*choice.flagSetting != 0;
  }
  info.lookupSource = settings.useMusicBrainz != 0 ? MetadataSource::MusicBrainz : MetadataSource::Cddb;
}

void StoreCdInfoChoices(const CdInfo& info, SettingsTable& settings) {
  for (const CdInfoChoice& choice : kChoices) {
    if (choice.text != nullptr)
      settings.*choice.textSetting = info.*choice.text;
    else
      settings.*choice.flagSetting = info.*choice.flag ? 1 : 0;
  }
  settings.useMusicBrainz = info.lookupSource == MetadataSource::MusicBrainz ? 1 : 0;
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
