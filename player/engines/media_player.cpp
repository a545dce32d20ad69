// TMediaPlayer: the worker that decodes through libavformat and libavcodec into the buffer
// ring.
#include "player/engines/media_player.h"

#include "common/file_uri_path.h"

bool ProbeMedia(const EngineFile&) { return false; }

std::unique_ptr<TPlayerEngine> MakeMediaPlayer(MainLoop& loop) { return std::make_unique<Worker<TMediaPlayer>>(loop); }

void TMediaPlayer::Open(const std::string& name) { fileName_ = LocalName(name); }

void TMediaPlayer::Seek(int offset, int) { seekRequest_ = offset < 0 ? 0 : offset; }

void TMediaPlayer::Run() {
  running_ = true;
  ReportError("Cannot play " + fileName_ + ": not built yet");
  running_ = false;
}
