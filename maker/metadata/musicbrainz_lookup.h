// MusicBrainzLookup: fetches a disc's title, artist, year and track names from the
// MusicBrainz web service (JSON over HTTP or HTTPS, through libcurl), with the request,
// result codes, outputs and host of the CDDB lookup.
#pragma once

#include <string>
#include <string_view>

#include "maker/metadata/cddb_lookup.h"
#include "maker/metadata/musicbrainz_disc_id.h"

// The stages a MusicBrainz lookup reports: Querying (with the disc id as its text).
std::string_view MusicBrainzStageText(CddbStage stage);

// "zbmaker/<version> ( <contact> )": the service asks every client to name itself and a
// way to reach its maker; an empty contact names the project's web site.
std::string MusicBrainzUserAgent(std::string_view contact);

// {server}/ws/2/discid/{id}?toc={toc}&inc=artist-credits+recordings&fmt=json, the blanks
// of the table of contents as '+'; a '/' ending the server address is dropped.
std::string MusicBrainzLookupUrl(std::string_view server, const MusicBrainzDiscId& disc);

// Runs one GET of the disc id (request.musicBrainzServer, request.disc; the SOCKS proxy,
// else the HTTP proxy, when given). `outputs` is cleared first; on kCddbOk it holds the
// chosen release's title, artist credit, year (empty when unknown) and the track names of
// its medium for this disc, category and genre left empty; lastReply is the HTTP status
// line, after an error with the server's error text, or the transfer's error. Several
// releases are offered to host.CddbChooseMatch (CddbMatch::exact: the medium carries the
// disc id; category and disc ID empty). request.timeout limits the connect,
// request.deadline the whole lookup; a cancel is seen within about 100 ms. Never throws.
Outcome MusicBrainzLookup(const CddbRequest& request, CddbLookupHost& host, CddbOutputs& outputs);
