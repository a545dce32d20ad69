// Declarations shared by the CD source back ends only.
#pragma once

#include <cdio/cdio.h>

#include <memory>
#include <string>

#include "cdaccess/cd_source.h"

struct CdioCloser {
  void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
// An open libcdio device or image, closed when it goes.
using CdioHandle = std::unique_ptr<CdIo_t, CdioCloser>;

// The table of contents of a real drive through libcdio's ordinary calls, with the disc's
// CD-Text and its data tracks. No pregaps: finding index 00 takes a scan of the
// sub-channel, which no read here makes.
Expected<CdToc> ReadTocThroughCdio(CdIo_t* cdio);

// The CD-Text titles and performers of the disc and of tracks firstTrack ... firstTrack +
// trackCount - 1 (entry i of DiscText::tracks for track firstTrack + i); empty for a disc
// without CD-Text or a drive that cannot read it.
DiscText ReadCdTextThroughCdio(CdIo_t* cdio, int firstTrack, int trackCount);
DiscText DiscTextFromCdText(const cdtext_t* text, int firstTrack, int trackCount);

// Back ends, in the order the drive list probes them: real drives, then disc images.
// Each returns nullptr when the path cannot be opened by that back end.
std::unique_ptr<CdSource> OpenOsInterfaceDrive(const std::string& devicePath);
std::unique_ptr<CdSource> OpenScsiPassThroughDrive(const std::string& devicePath);
// A disc image fails with a message that names the file and the reason.
Expected<std::unique_ptr<CdSource>> OpenDiscImage(const std::string& imagePath);

// True when the device answers INQUIRY as a CD-ROM device (peripheral type 5).
bool IsScsiCdRom(const std::string& devicePath);
