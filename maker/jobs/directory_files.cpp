// The files a folder tree offers to the file list.
#include "maker/jobs/directory_files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "common/paths.h"

namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  const int order = strcasecmp(a.c_str(), b.c_str());
  return order != 0 ? order < 0 : a < b;  // a stable order for names that differ in case only
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

bool HasExtension(const std::string& name, const std::vector<std::string>& extensions) {
  const std::string own = ExtractFileExt(name);
  for (const auto& extension : extensions)
    if (strcasecmp(own.c_str(), extension.c_str()) == 0) return true;
  return false;
}

void Collect(const std::string& folder, const std::vector<std::string>& extensions, std::vector<std::string>& out) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return;
  std::vector<std::string> files;
  std::vector<std::string> folders;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = JoinPath(folder, name);
    struct stat own {};
    if (lstat(path.c_str(), &own) != 0) continue;
    if (S_ISDIR(own.st_mode)) {
      if (name[0] != '.') folders.push_back(path);
      continue;
    }
    struct stat target {};
    // A link to a file counts as the file; a link to a folder is not followed.
    if (stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) continue;
    if (HasExtension(name, extensions)) files.push_back(path);
  }
  dir.reset();
  std::sort(files.begin(), files.end(), LessIgnoringCase);
  out.insert(out.end(), files.begin(), files.end());
  // The listing's order depends on the file system; sorted, the rows come out the same
  // on every machine.
  std::sort(folders.begin(), folders.end(), LessIgnoringCase);
  for (const auto& sub : folders) Collect(sub, extensions, out);
}

}  // namespace

std::vector<std::string> CollectFolderFiles(const std::string& folder, const std::vector<std::string>& extensions) {
  std::vector<std::string> out;
  std::string top = folder;
  while (top.size() > 1 && top.back() == '/') top.pop_back();
  Collect(top, extensions, out);
  return out;
}

std::vector<std::string> CollectFolderFiles(const std::string& folder, const std::string& extension) {
  return CollectFolderFiles(folder, std::vector<std::string>{extension});
}

std::vector<std::string> CollectOperationFiles(const std::string& folder, Operation operation) {
  if (operation != Operation::MP32WAV) return CollectFolderFiles(folder, ".wav");
  std::vector<std::string> out = CollectFolderFiles(folder, ".mp3");
  const std::vector<std::string> aac = CollectFolderFiles(folder, ".aac");
  out.insert(out.end(), aac.begin(), aac.end());
  const std::vector<std::string> others =
      CollectFolderFiles(folder, std::vector<std::string>{".flac", ".ogg", ".oga", ".opus", ".m4a", ".mp4"});
  out.insert(out.end(), others.begin(), others.end());
  return out;
}

void SortPathsIgnoringCase(std::vector<std::string>& paths) {
  std::sort(paths.begin(), paths.end(), LessIgnoringCase);
}
