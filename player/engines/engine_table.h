// The engine table: which engine plays a name, as rows of {probe, make} tried in order.
// Adding an engine is its own file (the engine with its probe and maker) and one row here.
#pragma once

#include <span>
#include <string>

#include "common/result.h"
#include "player/engines/player_engine.h"

using EngineTable = std::span<const EngineEntry>;

// The player's engines, in the order they are asked: WAV (a file the WAV header reader
// accepts), AAC (a name ending in ".aac"), MP3 (everything else).
EngineTable BuiltInEngines();

// The first row of table whose probe accepts name. A URL (http://, ftp://) is not looked
// at as a file; any other name is opened without waiting on anything (a FIFO is never
// opened for reading, a device never opened at all), and a name that is neither a URL nor
// a regular file (a FIFO, a device, a folder) is refused with a message for the user. A
// name that cannot be opened (missing, unreadable, locked by another process) is shown to
// the probes without a descriptor. The main thread runs this.
Result<const EngineEntry*, std::string> ChooseEngineEntry(const std::string& name, EngineTable table);

// The built-in engines by kind, for callers that name them.
enum class EngineKind { Mp3, Wav, Aac };

// The built-in engine that plays a name (ChooseEngineEntry on BuiltInEngines()): a URL, a
// name that cannot be opened (missing, locked by another process) or anything else goes to
// MP3; a file the WAV header reader accepts to WAV; otherwise a name ending in ".aac" (any
// case) to AAC. A name that is neither a URL nor a regular file (a FIFO, a device, a
// folder) is refused with a message for the user; nothing here waits for such a thing. A
// row added to the table without a kind here is reported as an error.
Result<EngineKind, std::string> ChooseEngine(const std::string& name);
