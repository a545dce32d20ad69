// The player's engine table and the choice that walks it.
#include "player/engines/engine_table.h"

#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

#include "common/file_uri_path.h"
#include "common/regular_file.h"
#include "common/unique_fd.h"
#include "player/engines/aac_player.h"
#include "player/engines/media_player.h"
#include "player/engines/mp3_player.h"
#include "player/engines/wav_player.h"

namespace {

// In the order they are asked; the first that accepts a name plays it. The last accepts
// every name, so that the library it wraps can say why one does not play.
constexpr EngineEntry kBuiltInEngines[] = {
    {"WAV", ProbeWav, MakeWavPlayer},
    {"AAC", ProbeAac, MakeAacPlayer},
    {"Media", ProbeMedia, MakeMediaPlayer},
    {"MP3", ProbeMp3, MakeMp3Player},
};

// "Cannot play /x: <reason>".
Error CannotPlay(const std::string& name, const std::string& reason) {
  return Error(ErrorCategory::Unsupported, {}, "Cannot play " + name + ": " + reason, reason, name);
}

bool IsUrl(const std::string& name) {
  for (const char* scheme : {"http://", "https://", "ftp://"}) {
    if (strncasecmp(name.c_str(), scheme, std::strlen(scheme)) == 0) return true;
  }
  return false;
}

}  // namespace

EngineTable BuiltInEngines() { return kBuiltInEngines; }

Expected<const EngineEntry*> ChooseEngineEntry(const std::string& uriOrName, EngineTable table) {
  // A file:// URI is the file it names; one of another computer cannot be opened.
  if (IsFileUri(uriOrName) && !FileUriPath(uriOrName)) {
    return Fail(CannotPlay(uriOrName, "not a file on this computer"));
  }
  const std::string name = LocalName(uriOrName);
  UniqueFd fd;
  if (!IsUrl(name)) {
    // The main thread runs this: a FIFO or a device must not hold it (an open of a FIFO
    // waits for a writer, a read of a device may never end).
    auto opened = OpenRegularFile(name);
    if (opened) {
      fd = std::move(opened).Value();
      // A file another process holds locked counts as one that cannot be opened. The
      // shared lock lasts while the probes read; closing the descriptor lets it go.
      if (flock(fd.Get(), LOCK_SH | LOCK_NB) != 0) fd.Reset();
    } else if (opened.Error().errnum == 0) {
      return Fail(CannotPlay(name, opened.Error().reason));
    }
  }
  const EngineFile file{name, fd.Get()};
  for (const EngineEntry& entry : table) {
    // Each probe reads from the start, whatever the one before it read.
    if (file.fd >= 0) ::lseek(file.fd, 0, SEEK_SET);
    if (entry.probe(file)) return &entry;
  }
  return Fail(CannotPlay(name, "no engine plays it"));
}
