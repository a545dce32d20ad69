// The job fields the pipeline hands to a CD track reading thread.
#pragma once

#include <ctime>
#include <string>

struct ReaderJob {
  int drive = 0;                 // index in the drive list (real drives and disc images)
  std::string outputPath;        // WAV file to write (".tmp" for CD to MP3, ".wav" for CD to WAV)
  int sectorsPerRead = 8;        // 8 + 4 x ReadSector
  bool jitterCorrection = true;
  int overlapPercent = 10;       // 10 + 10 x OverlapPercent
  int maxSyncNoMatchRetry = 0;
  int maxSyncMisalignRetry = 0;
  bool rate22050 = false;
  bool mono = false;
  int track = 1;                 // 1-based track number
  bool normalize = false;
  int normalizePercent = 100;
  int normalizeMin = 95;
  int normalizeMax = 100;
  std::time_t startTime = 0;     // wall-clock seconds of the start; the first status time
};
