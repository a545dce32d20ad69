// The one drive numbering shared by the maker's CD layer and the reader library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cdaccess/cd_source.h"

// One entry of the drive list: a real drive (device path) or a disc image (file path).
struct CdDriveEntry {
  bool image = false;
  std::string path;
};

// The drive list for an access method: first the real drives libcdio finds, in the order
// of their device names, that the method can use (the OS interface: drives that open; SCSI
// pass-through: drives that answer INQUIRY as CD-ROM devices), then the disc images of
// DiscImages(), in the order given. Index k of this list is drive index k everywhere.
std::vector<CdDriveEntry> ListCdDrives(CdAccessMethod method);

// Opens entry `index` of ListCdDrives(method). Fails when the index is beyond the list or
// the drive cannot be opened; a disc image is checked whole before it is used, and one that
// is refused fails with a message naming the image file and the reason.
Result<std::unique_ptr<CdSource>, CdError> OpenCdDrive(int index, CdAccessMethod method);
Result<std::unique_ptr<CdSource>, CdError> OpenCdDrive(const CdDriveEntry& entry, CdAccessMethod method);

// "Image <file name>": how the drive list names a disc image, whether it opens or not.
std::string DiscImageName(const std::string& imagePath);

// The disc images (--cd-image FILE, setting DiscImages) are kept in the environment
// variable ZIMBAR_CD_IMAGES, one path per line, so the reader library loaded into the same
// process numbers them alike. Call on the main thread before any worker starts.
void SetDiscImages(const std::vector<std::string>& paths);
std::vector<std::string> DiscImages();

// The images of the --cd-image arguments, then those of the DiscImages setting, each once.
void UseDiscImages(const std::vector<std::string>& commandLine, const std::string& setting);

// Splits a DiscImages setting value: paths separated by '|' (a character that real file
// names rarely carry and that an INI value keeps), blanks around each path dropped.
std::vector<std::string> SplitDiscImageSetting(const std::string& value);
