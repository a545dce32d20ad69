// The job fields the pipeline hands to an encoding or decoding thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include <optional>

#include "common/tags/audio_file_tags.h"
#include "maker/codec/aac_encoder.h"
#include "maker/codec/flac_encoder.h"
#include "maker/codec/m4a_encoder.h"
#include "maker/codec/mp3_encoder.h"
#include "maker/codec/opus_encoder.h"
#include "maker/codec/vorbis_encoder.h"

struct EncoderJob {
  std::string inputPath;          // the WAV to encode, exactly as the pipeline has it
  // 1 MPEG-1, 2 MPEG-2, 3 AAC, 4 external program, 5 M4A, 6 FLAC, 7 Ogg Vorbis, 8 Opus
  int mpegMode = 1;
  Mp3EncodeOptions mp3;           // MPEGMode 1 and 2: handed to the MP3 encoder as they are
  AacEncodeOptions aac;           // MPEGMode 3: handed to the AAC encoder as they are
  M4aEncodeOptions m4a;           // MPEGMode 5
  FlacEncodeOptions flac;         // MPEGMode 6
  VorbisEncodeOptions vorbis;     // MPEGMode 7
  OpusEncodeOptions opus;         // MPEGMode 8
  // Written into the output (modes 5..8) after a finished encode, before the output is put
  // in place; a failure to write them fails the job.
  std::optional<AudioTags> tags;
  // After a finished encode, the input's loudness is measured for ReplayGain
  // (EncodeResultSource::Loudness).
  bool measureLoudness = false;
  bool confirmOverwrite = false;  // ask before replacing an existing output
  std::time_t startTime = 0;      // wall-clock seconds of the start; the first lastStatusTime
  std::string externalCommand;    // MPEGMode 4: the selected external program template
  // A failed or cancelled encode keeps its output as "<name>.part.mp3" (else it is removed).
  bool keepPartialOutput = true;
};

struct DecoderJob {
  std::string inputPath;
  bool confirmOverwrite = false;
  std::time_t startTime = 0;
  // A failed or cancelled decode keeps its output as "<name>.part.wav" (else it is removed).
  bool keepPartialOutput = true;
};
