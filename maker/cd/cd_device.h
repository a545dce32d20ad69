// The maker's CD device layer: drive names, tables of contents and read speed.
#pragma once

#include <cstdint>
#include <string>

#include "cdaccess/disc_text.h"
#include "cdaccess/track_table.h"

// All six operations run on the main thread and return 0 for success.
//
// CdInitialize opens the drives of both access methods (the OS interface and SCSI pass-
// through), with the disc images of SetDiscImages() at the end of both lists. It fails only
// when neither method could be set up, which the OS interface never does.
int CdInitialize();
// Closes every drive and image. Nothing to restore on Linux (no disc auto-play to suspend).
int CdShutdown();
// Selects the access method of the next CdGetDriveName, CdReadToc and CdSetSpeed calls.
void CdSelectApi(bool osInterface);

// 0: named (name at most 64 characters); -1: index beyond the last drive (ends the
// enumeration); another value: the drive exists but did not answer the name request
// (SCSI pass-through only). The address bytes are filled before the name is asked for.
int CdGetDriveName(int index, uint8_t& hostAdapter, uint8_t& target, uint8_t& lun, std::string& name);

// Fills audio flag, track count (at most 99) and start[1 ... count + 1] of the table.
// OS interface: -1 when the index is beyond the list or the request failed. SCSI pass-
// through: 1 when the index is beyond the list, else the drive's nonzero status code.
int CdReadToc(int index, TrackTable& table);
// The same, with what the disc says about itself read along: a disc image's titles and
// performers, a real disc's CD-Text (entry i of text.tracks for row i + 1 of the table).
// The text is emptied first and stays empty when the read fails.
int CdReadToc(int index, TrackTable& table, DiscText& text);

// Why drive `index` of the selected method could not be opened: for a refused disc image the
// image file and the reason ("/music/a.cue: track 3 has no audio ..."). Empty when the drive
// is open or the index is beyond the list.
std::string CdDriveProblem(int index);

// Read speed in kB/s. The OS interface does nothing and returns 0; SCSI pass-through:
// 1 for a bad index, else the drive's status (0 success).
int CdSetSpeed(int index, int kBytesPerSecond);
