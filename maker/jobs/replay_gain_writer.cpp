// ReplayGain at the end of a run: albums by folder, the values, the writing and its lines.
#include "maker/jobs/replay_gain_writer.h"

#include <cstdio>

#include "common/tags/audio_file_format.h"

std::vector<std::vector<ReplayGainFile>> AlbumsByFolder(std::vector<ReplayGainFile> files) {
  std::vector<std::string> folders;
  std::vector<std::vector<ReplayGainFile>> albums;
  for (ReplayGainFile& file : files) {
    const size_t slash = file.path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : file.path.substr(0, slash);
    size_t album = 0;
    while (album < folders.size() && folders[album] != folder) ++album;
    if (album == folders.size()) {
      folders.push_back(folder);
      albums.emplace_back();
    }
    albums[album].push_back(std::move(file));
  }
  return albums;
}

std::string ReplayGainLine(const ReplayGainValues& values, const std::string& path) {
  char text[96];
  std::snprintf(text, sizeof text, "    ReplayGain: track %.2f dB, album %.2f dB: ", values.trackGain, values.albumGain);
  return text + path;
}

std::vector<ReplayGainWritten> WriteReplayGains(const ReplayGainJob& job,
                                                const std::function<void(const LogEvent&)>& log,
                                                const std::function<bool()>& cancelled) {
  std::vector<ReplayGainWritten> written;
  for (const std::vector<ReplayGainFile>& album : job.albums) {
    std::vector<TrackLoudness> loudness;
    loudness.reserve(album.size());
    for (const ReplayGainFile& file : album) loudness.push_back(file.loudness);
    const std::vector<ReplayGainValues> values = AlbumReplayGains(loudness);
    for (size_t i = 0; i < album.size(); ++i) {
      if (cancelled()) return written;
      const std::string& path = album[i].path;
      const Outcome tagged = WriteReplayGainTags(path, SniffAudioFileFormat(path), values[i]);
      if (!tagged) {
        const Error& error = tagged.Error();
        const std::string& why = error.reason.empty() ? error.text : error.reason;
        log(LogEvent::Warning("    Warning: Cannot write the ReplayGain tags (" + why + "): " + path, path));
        continue;
      }
      log(LogEvent::Info(ReplayGainLine(values[i], path), path));
      written.push_back({path, values[i]});
    }
  }
  return written;
}
