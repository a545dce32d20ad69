// Tags of the maker's output formats through TagLib: not built yet.
#include "common/tags/audio_file_tags.h"

Outcome WriteAudioFileTags(const std::string&, AudioFileFormat, const AudioTags&) {
  return Fail(Error(ErrorCategory::Unsupported, {}, "Tags of this format are not written yet"));
}

Outcome WriteReplayGainTags(const std::string&, AudioFileFormat, const ReplayGainValues&) {
  return Fail(Error(ErrorCategory::Unsupported, {}, "ReplayGain tags of this format are not written yet"));
}

std::optional<AudioTags> ReadAudioFileTags(const std::string&, AudioFileFormat) { return std::nullopt; }
