// The job fields the pipeline hands to a CD track reading thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "maker/cd/track_accuracy.h"

struct ReaderJob {
  int drive = 0;                 // index in the drive list (real drives and disc images)
  // The disc images after the real drives in that list: those of the front end's CD layer
  // (CdLayer::DiscImages), handed to the reader library with the request.
  std::vector<std::string> discImages;
  std::string outputPath;        // WAV file to write (".tmp" for CD to MP3, ".wav" for CD to WAV)
  int sectorsPerRead = 8;        // 8 + 4 x ReadSector (CdSectorsPerRead)
  bool jitterCorrection = true;
  int overlapPercent = 10;       // 10 + 10 x OverlapPercent (CdOverlapPercent)
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
  bool confirmOverwrite = false; // ConfirmOverwrite: ask before replacing an existing file
  // A failed or cancelled read keeps what it read as "<name>.part.wav" (else it is removed).
  bool keepPartialOutput = true;
  bool osInterface = true;       // UseWinNTRawRead: 1 OS CD interface, 0 SCSI pass-through
  int readMode = 0;              // ASPIReadMode, 0 ... 4
  // Sectors of the track from the TrackTable: start[track] and start[track + 1]. When left
  // at -1 the thread reads the table of contents of the drive itself.
  int32_t firstSector = -1;
  int32_t endSector = -1;
  // Read offset, secure mode, burst then verify and the AccurateRip record to check with.
  ReadAccuracyJob accuracy;
};
