// Where the maker finds itself and the data it ships.
#include "maker/jobs/maker_data_files.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "common/paths.h"

std::string MakerProgramPath() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<size_t>(n));
}

std::string ShippedMakerFile(const std::string& relativePath) {
  const std::string installed = SharedDataFolder() + relativePath;
  if (FileExists(installed) || std::getenv("ZIMBAR_SHARE_DIR") != nullptr) return installed;
  const std::string program = MakerProgramPath();
  if (program.empty()) return installed;
  const std::string built = ExtractFileDir(program) + "../share/zimbar/" + relativePath;
  return FileExists(built) ? built : installed;
}
