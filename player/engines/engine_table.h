// The engine table: which engine plays a name, as rows of {probe, make} tried in order.
// Adding an engine is its own file (the engine with its probe and maker) and one row here.
#pragma once

#include <span>
#include <string>

#include "common/error.h"
#include "player/engines/player_engine.h"

using EngineTable = std::span<const EngineEntry>;

// The player's engines, in the order they are asked: WAV (a file the WAV header reader
// accepts), AAC (a name ending in ".aac"), Media (FLAC, Ogg Vorbis, Opus and MP4 files by
// their content; Ogg and FLAC streams by their URL), MP3 (everything else).
EngineTable BuiltInEngines();

// The first row of table whose probe accepts name. A URL (http://, https://, ftp://) is
// not looked at as a file; a file:// URI is taken for the file it names (percent escapes
// decoded; one of another host is refused); any other name is opened without waiting on anything (a FIFO is never
// opened for reading, a device never opened at all), and a name that is neither a URL nor
// a regular file (a FIFO, a device, a folder) is refused with a message for the user. A
// name that cannot be opened (missing, unreadable, locked by another process) is shown to
// the probes without a descriptor. A refusal is Unsupported, its text ("Cannot play /x:
// it is a folder", "Cannot play /x: no engine plays it") for the user. The main thread
// runs this.
Expected<const EngineEntry*> ChooseEngineEntry(const std::string& name, EngineTable table);
