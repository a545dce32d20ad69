// The CD window's choices in the maker's settings, and the CDDB request built from them.
#pragma once

#include "maker/metadata/cd_info.h"
#include "maker/metadata/cddb_lookup.h"
#include "maker/settings/settings_table.h"

// Server text, both proxy flags and texts, the naming flag and pattern, the ID3 flag, the
// lookup source (UseMusicBrainz):
// loaded when the CD window is shown.
void LoadCdInfoChoices(const SettingsTable& settings, CdInfo& info);
// The same choices, stored when the CD window is closed with OK.
void StoreCdInfoChoices(const CdInfo& info, SettingsTable& settings);

// The lookup request of the CD window's "Load Info From CDDB": its server and checked
// proxies, the disc, and the hello identity from CDDBUser and CDDBHost (the defaults of
// the lookup when those are empty); for MusicBrainz the service's address from
// MusicBrainzServer (the default when empty) and the contact from MusicBrainzContact.
CddbRequest MakeCddbRequest(const CdInfo& info, DiscLayout disc, const SettingsTable& settings);
