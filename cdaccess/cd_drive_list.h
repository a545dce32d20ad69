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
// pass-through: drives that answer INQUIRY as CD-ROM devices), then the disc images
// `images`, in the order given. Index k of this list is drive index k everywhere: the
// maker's CD layer and the reader library list the drives with the same images.
std::vector<CdDriveEntry> ListCdDrives(CdAccessMethod method, const std::vector<std::string>& images);

// Opens entry `index` of ListCdDrives(method, images). Fails when the index is beyond the
// list or the drive cannot be opened; a disc image is checked whole before it is used, and
// one that is refused fails with a message naming the image file and the reason.
Expected<std::unique_ptr<CdSource>> OpenCdDrive(int index, CdAccessMethod method,
                                                       const std::vector<std::string>& images);
Expected<std::unique_ptr<CdSource>> OpenCdDrive(const CdDriveEntry& entry, CdAccessMethod method);

// "Image <file name>": how the drive list names a disc image, whether it opens or not.
std::string DiscImageName(const std::string& imagePath);

// The images of the --cd-image arguments, then those of the DiscImages setting, each once.
std::vector<std::string> MergeDiscImages(const std::vector<std::string>& commandLine, const std::string& setting);

// The environment variable ZIMBAR_CD_IMAGES, one image path per line: how callers of the
// reader library that hand it no image list (its entry XWI alone) still name disc images.
inline constexpr const char* kDiscImagesVariable = "ZIMBAR_CD_IMAGES";
// The paths of ZIMBAR_CD_IMAGES, empty lines left out; none when it is not set.
std::vector<std::string> DiscImagesFromEnvironment();
// The value ZIMBAR_CD_IMAGES takes for `paths`: each path and a line end; paths that are
// empty or hold a line end are left out.
std::string DiscImagesVariableValue(const std::vector<std::string>& paths);

// Splits a DiscImages setting value: paths separated by '|' (a character that real file
// names rarely carry and that an INI value keeps), blanks around each path dropped.
std::vector<std::string> SplitDiscImageSetting(const std::string& value);
