// SaveCoverArtFile: the album folder's cover, written safely and never over another file.
#include "maker/metadata/cover_art_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/paths.h"

std::string CoverArtFilePath(const std::string& folder, const CoverImage& image) {
  return JoinPath(folder, image.mimeType == "image/png" ? "cover.png" : "cover.jpg");
}

Expected<SavedCoverArt> SaveCoverArtFile(const std::string& folder, const CoverImage& image) {
  SavedCoverArt saved;
  saved.path = CoverArtFilePath(folder, image);
  struct stat existing {};
  if (::lstat(saved.path.c_str(), &existing) == 0) {
    saved.kept = true;
    return saved;
  }
  auto output = OutputFile::Create(saved.path);
  if (!output) return Fail(output.Error());
  OutputFile file = std::move(output).Value();
  if (!WriteAll(file.Fd(), image.data.data(), image.data.size()))
    return Fail(IoError(errno, saved.path, "Cannot write " + saved.path));
  if (auto committed = file.Commit(); !committed) return Fail(committed.Error());
  return saved;
}
