// The cover file of an album folder: cover.jpg or cover.png beside the ripped tracks.
#pragma once

#include <string>

#include "common/error.h"
#include "common/tags/audio_file_tags.h"

// "<folder>/cover.jpg" for a JPEG, "<folder>/cover.png" for a PNG.
std::string CoverArtFilePath(const std::string& folder, const CoverImage& image);

struct SavedCoverArt {
  std::string path;
  bool kept = false;  // a file of that name was there already and was left as it was
};

// Writes the image as CoverArtFilePath(folder, image) through a temporary file that is
// renamed into place once whole, so a full disk leaves no half image behind. Anything that
// already has the name (a cover the user chose, a link, a folder) is kept untouched.
Expected<SavedCoverArt> SaveCoverArtFile(const std::string& folder, const CoverImage& image);
