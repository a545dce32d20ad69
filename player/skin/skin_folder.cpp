// Skin folder lookups and the copy that makes a chosen skin the active one.
#include "player/skin/skin_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/fd_io.h"
#include "common/output_file.h"
#include "common/paths.h"
#include "common/unique_fd.h"
#include "player/skin/display_ini.h"

SkinFiles SkinFiles::In(const std::string& folder) {
  return {JoinPath(folder, kDisplayIniName), JoinPath(folder, kMainBitmapName), JoinPath(folder, kEqualizerBitmapName)};
}

Error SkinMissingFiles(const std::string& folder) {
  return Error(ErrorCategory::Format, {}, "Specified directory does not contain display information.", {}, folder);
}

Error SkinCopyFailure(const std::string& path, int errnum) {
  return IoError(errnum, path, "Cannot copy the skin file " + path);
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

// Copies the file `from` into `to`'s temporary file; 0 or the errno.
int CopyInto(const std::string& from, const OutputFile& to) {
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return errno;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    if (!WriteAll(to.Fd(), buffer, static_cast<size_t>(n))) return errno != 0 ? errno : EIO;
  }
  return ::fchmod(to.Fd(), 0644) == 0 ? 0 : errno;
}

}  // namespace

Outcome InstallSkin(const std::string& chosenFolder, const std::string& targetFolder) {
  if (!HoldsSkin(chosenFolder)) return Fail(SkinMissingFiles(chosenFolder));
  if (auto made = CreateDirectories(targetFolder); !made)
    return Fail(SkinCopyFailure(made.Error().subject, made.Error().errnum));
  if (SameFolder(chosenFolder, targetFolder)) return Done{};

  const SkinFiles from = SkinFiles::In(chosenFolder);
  const SkinFiles to = SkinFiles::In(targetFolder);
  const std::pair<const std::string*, const std::string*> pairs[] = {
      {&from.displayIni, &to.displayIni}, {&from.mainBitmap, &to.mainBitmap}, {&from.eqBitmap, &to.eqBitmap}};
  // Each file is copied into a temporary file beside its destination (OutputFile), and the
  // three are put in place only when every copy is whole.
  std::vector<OutputFile> copies;
  for (const auto& [source, destination] : pairs) {
    auto created = OutputFile::Create(*destination);
    if (!created)
      return Fail(SkinCopyFailure(*destination, created.Error().errnum));
    OutputFile copy = std::move(created).Value();
    if (const int error = CopyInto(*source, copy); error != 0)
      return Fail(SkinCopyFailure(*source, error));
    copies.push_back(std::move(copy));
  }
  for (size_t i = 0; i < copies.size(); ++i) {
    if (auto committed = copies[i].Commit(); !committed)
      return Fail(SkinCopyFailure(*pairs[i].second, committed.Error().errnum));
  }
  return Done{};
}

std::string OwnSkinsFolder() { return UserFolder() + "skins/"; }

namespace {

std::vector<InstalledSkin> SkinsIn(const std::string& parent, bool own) {
  std::vector<InstalledSkin> skins;
  std::error_code error;
  std::filesystem::directory_iterator it(parent, error), end;
  for (; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::string folder = parent + name + "/";
    if (name.empty() || name[0] == '.' || !HoldsSkin(folder)) continue;
    skins.push_back({name, folder, own});
  }
  std::sort(skins.begin(), skins.end(), [](const InstalledSkin& a, const InstalledSkin& b) { return a.name < b.name; });
  return skins;
}

}  // namespace

std::vector<InstalledSkin> InstalledSkins() {
  std::vector<InstalledSkin> skins = SkinsIn(SharedDataFolder() + "skins/", /*own=*/false);
  for (InstalledSkin& skin : SkinsIn(OwnSkinsFolder(), /*own=*/true)) skins.push_back(std::move(skin));
  return skins;
}
