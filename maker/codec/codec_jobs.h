// The job fields the pipeline hands to an encoding or decoding thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

struct EncoderJob {
  std::string inputPath;          // the WAV to encode, exactly as the pipeline has it
  int mpegMode = 1;               // 1 MPEG-1, 2 MPEG-2, 3 AAC, 4 external program
  uint16_t bitRate = 128;         // kbit/s, or 1001..1010 for VBR quality (value - 1000)
  bool mono = false;
  bool mpeg2 = false;
  bool jointStereo = false;
  bool fastMode = false;
  bool useLtp = false;
  bool useTns = false;
  bool useAdts = false;           // AAC: ADTS frames instead of one ADIF header
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
