// The job fields the pipeline hands to an encoding or decoding thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "maker/codec/aac_encoder.h"
#include "maker/codec/mp3_encoder.h"

struct EncoderJob {
  std::string inputPath;          // the WAV to encode, exactly as the pipeline has it
  int mpegMode = 1;               // 1 MPEG-1, 2 MPEG-2, 3 AAC, 4 external program
  Mp3EncodeOptions mp3;           // MPEGMode 1 and 2: handed to the MP3 encoder as they are
  AacEncodeOptions aac;           // MPEGMode 3: handed to the AAC encoder as they are
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
