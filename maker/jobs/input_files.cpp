// Which files a file operation takes.
#include "maker/jobs/input_files.h"

#include <strings.h>
#include <sys/stat.h>

#include <iterator>
#include <set>
#include <utility>

#include "common/paths.h"
#include "maker/jobs/directory_files.h"

namespace {

bool IsFileOperation(Operation operation) {
  return operation == Operation::WAV2MP3 || operation == Operation::MP32WAV;
}

InputKind KindTakenBy(Operation operation) {
  return operation == Operation::WAV2MP3 ? InputKind::Wav : InputKind::Mpeg;
}

Operation OperationFor(InputKind kind) { return kind == InputKind::Wav ? Operation::WAV2MP3 : Operation::MP32WAV; }

// The kind of the first file of a known kind in the folder, in Add Directory's order.
InputKind FolderKind(const std::string& folder) {
  std::vector<std::string> extensions = {".wav"};
  extensions.insert(extensions.end(), std::begin(kDecodedExtensions), std::end(kDecodedExtensions));
  const std::vector<std::string> known = CollectFolderFiles(folder, extensions);
  return known.empty() ? InputKind::Other : KindOfInput(known.front());
}

std::string NotOfKindReason(Operation operation) {
  return operation == Operation::WAV2MP3 ? "not a WAV file" : "not an MP3, AAC, FLAC, Ogg, Opus or M4A file";
}

std::string EmptyFolderReason(Operation operation) {
  return operation == Operation::WAV2MP3 ? "no WAV files in this folder" : "no MP3, AAC, FLAC, Ogg, Opus or M4A files in this folder";
}

// A file's identity, or its name when it cannot be looked at.
using Identity = std::pair<std::pair<dev_t, ino_t>, std::string>;
Identity IdentityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return {{st.st_dev, st.st_ino}, std::string()};
  return {{0, 0}, path};
}

}  // namespace

InputKind KindOfInput(const std::string& path) {
  const std::string extension = ExtractFileExt(path);
  if (strcasecmp(extension.c_str(), ".wav") == 0) return InputKind::Wav;
  for (const char* decoded : kDecodedExtensions)
    if (strcasecmp(extension.c_str(), decoded) == 0) return InputKind::Mpeg;
  return InputKind::Other;
}

bool FitsOperation(const std::string& path, Operation operation) {
  return IsFileOperation(operation) && KindOfInput(path) == KindTakenBy(operation);
}

InputChoice FitInputs(const std::vector<std::string>& paths, Operation operation) {
  InputChoice choice;
  if (!IsFileOperation(operation)) {
    for (const auto& path : paths) choice.refused.push_back({path, "files are for encoding and decoding"});
    return choice;
  }
  choice.operation = operation;
  std::vector<std::string> files;
  for (const auto& path : paths) {
    if (DirectoryExists(path)) {
      std::vector<std::string> collected = CollectOperationFiles(path, operation);
      if (collected.empty()) choice.refused.push_back({path, EmptyFolderReason(operation)});
      files.insert(files.end(), collected.begin(), collected.end());
    } else if (!FileExists(path)) {
      choice.refused.push_back({path, "no such file or folder"});
    } else if (!FitsOperation(path, operation)) {
      choice.refused.push_back({path, NotOfKindReason(operation)});
    } else {
      files.push_back(path);
    }
  }
  choice.files = NotYetListed({}, files);
  return choice;
}

InputChoice ChooseInputs(const std::vector<std::string>& paths) {
  for (const auto& path : paths) {
    const InputKind kind = DirectoryExists(path) ? FolderKind(path) : FileExists(path) ? KindOfInput(path) : InputKind::Other;
    if (kind != InputKind::Other) return FitInputs(paths, OperationFor(kind));
  }
  // Nothing of a known kind: every path is refused, and the operation stays as it is.
  InputChoice choice;
  for (const auto& path : paths) {
    const char* reason = DirectoryExists(path) ? "no WAV, MP3, AAC, FLAC, Ogg, Opus or M4A files in this folder"
                         : FileExists(path)    ? "neither a WAV file nor an MP3, AAC, FLAC, Ogg, Opus or M4A file"
                                               : "no such file or folder";
    choice.refused.push_back({path, reason});
  }
  return choice;
}

std::vector<std::string> NotYetListed(const std::vector<std::string>& listed, const std::vector<std::string>& adding) {
  std::set<Identity> seen;
  for (const auto& path : listed) seen.insert(IdentityOf(path));
  std::vector<std::string> out;
  for (const auto& path : adding)
    if (seen.insert(IdentityOf(path)).second) out.push_back(path);
  return out;
}

std::string OperationTakes(Operation operation) {
  switch (operation) {
    case Operation::WAV2MP3:
      return "encoding takes WAV files";
    case Operation::MP32WAV:
      return "decoding takes MP3, AAC, FLAC, Ogg, Opus and M4A files";
    case Operation::CD2MP3:
    case Operation::CD2WAV:
      break;
  }
  return "WAV files are encoded, MP3, AAC, FLAC, Ogg, Opus and M4A files decoded";
}

std::string RefusedInputsText(const std::vector<RefusedInput>& refused, Operation operation, size_t shown) {
  std::string text = refused.size() == 1 ? "This was not added: " : "These were not added: ";
  text += OperationTakes(operation) + ".\n";
  for (size_t i = 0; i < refused.size() && i < shown; ++i) text += "\n" + refused[i].path + " (" + refused[i].reason + ")";
  if (refused.size() > shown) text += "\n... and " + std::to_string(refused.size() - shown) + " more";
  return text;
}

std::string RemovedFilesText(int count, Operation operation) {
  return "Removed " + std::to_string(count) + (count == 1 ? " file" : " files") + " from the list: " +
         OperationTakes(operation) + ".";
}
