// zbmaker --batch --cddb / --musicbrainz: the lookup of a CD run, its status lines on the
// terminal.
#pragma once

#include "common/main_loop.h"
#include "maker/batch/signal_canceller.h"
#include "maker/batch/terminal_host.h"
#include "maker/metadata/cddb_lookup.h"

// Runs `request` (CDDB or MusicBrainz, request.source) on a TCDDBThread while `loop`
// turns and prints, as log lines of the host, what the CDDB status window shows:
// "Getting CDDB info..." (or MusicBrainz info), each stage, and after a failure the
// result text and the server's last line, followed by a warning that the run goes on
// with the CD information given. When several discs match, the matches are listed and
// the first exact one is read. After a success the reply is put into the host's CD
// information (title, artist, category as genre, year, track names) and summed up in one
// line; after a failure the CD information is left alone. With a canceller, Ctrl-C and
// SIGTERM cancel the lookup (result kCddbCancelled). Returns the lookup's result code.
int LookUpDisc(QueueMainLoop& loop, const CddbRequest& request, TerminalHost& host, SignalCanceller* canceller);
