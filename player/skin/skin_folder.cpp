// Skin folder lookups and the copy that makes a chosen skin the active one.
#include "player/skin/skin_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "common/fd_io.h"
#include "common/paths.h"
#include "common/unique_fd.h"
#include "player/skin/display_ini.h"

SkinFiles SkinFiles::In(const std::string& folder) {
  return {JoinPath(folder, kDisplayIniName), JoinPath(folder, kMainBitmapName), JoinPath(folder, kEqualizerBitmapName)};
}

std::string SkinFolderError::Message() const {
  if (kind == Kind::MissingFiles) return "Specified directory does not contain display information.";
  return "Cannot copy the skin file " + path + ": " + std::strerror(errnum);
}

bool HoldsSkin(const std::string& folder) {
  const SkinFiles files = SkinFiles::In(folder);
  return FileExists(files.displayIni) && FileExists(files.mainBitmap) && FileExists(files.eqBitmap);
}

std::string UserSkinFolder() { return UserFolder() + "skin/"; }

std::string ShippedSkinFolder(const std::string& name) { return SharedDataFolder() + "skins/" + name + "/"; }

std::string ActiveSkinFolder() {
  const std::string own = UserSkinFolder();
  return HoldsSkin(own) ? own : ShippedSkinFolder("default");
}

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
  char left[PATH_MAX], right[PATH_MAX];
  return ::realpath(a.c_str(), left) != nullptr && ::realpath(b.c_str(), right) != nullptr &&
         std::strcmp(left, right) == 0;
}

// Copies from into a new temporary file beside to; returns its name, or the errno.
Result<std::string, int> CopyToTemporary(const std::string& from, const std::string& to) {
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return Fail(errno);
  std::string temp = to + ".XXXXXX";
  UniqueFd out(::mkstemp(temp.data()));
  if (!out) return Fail(errno);
  int error = 0;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      break;
    }
    if (n == 0) break;
    if (!WriteAll(out.Get(), buffer, static_cast<size_t>(n))) {
      error = errno != 0 ? errno : EIO;
      break;
    }
  }
  if (error == 0 && ::fchmod(out.Get(), 0644) != 0) error = errno;
  if (error == 0 && ::fsync(out.Get()) != 0) error = errno;
  if (!out.Close() && error == 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return Fail(error);
  }
  return temp;
}

}  // namespace

Status<SkinFolderError> InstallSkin(const std::string& chosenFolder, const std::string& targetFolder) {
  if (!HoldsSkin(chosenFolder)) return Fail(SkinFolderError{SkinFolderError::Kind::MissingFiles, chosenFolder, 0});
  if (auto made = CreateDirectories(targetFolder); !made)
    return Fail(SkinFolderError{SkinFolderError::Kind::Copy, made.Error().path, made.Error().errnum});
  if (SameFolder(chosenFolder, targetFolder)) return Done{};

  const SkinFiles from = SkinFiles::In(chosenFolder);
  const SkinFiles to = SkinFiles::In(targetFolder);
  const std::pair<const std::string*, const std::string*> pairs[] = {
      {&from.displayIni, &to.displayIni}, {&from.mainBitmap, &to.mainBitmap}, {&from.eqBitmap, &to.eqBitmap}};
  std::vector<std::string> temporaries;
  auto dropTemporaries = [&temporaries] {
    for (const std::string& temp : temporaries) ::unlink(temp.c_str());
  };
  for (const auto& [source, destination] : pairs) {
    auto temp = CopyToTemporary(*source, *destination);
    if (!temp) {
      dropTemporaries();
      return Fail(SkinFolderError{SkinFolderError::Kind::Copy, *source, temp.Error()});
    }
    temporaries.push_back(std::move(temp).Value());
  }
  for (size_t i = 0; i < temporaries.size(); ++i) {
    if (::rename(temporaries[i].c_str(), pairs[i].second->c_str()) != 0) {
      const int error = errno;
      for (size_t j = i; j < temporaries.size(); ++j) ::unlink(temporaries[j].c_str());
      return Fail(SkinFolderError{SkinFolderError::Kind::Copy, *pairs[i].second, error});
    }
  }
  return Done{};
}
