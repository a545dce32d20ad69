// Which files a file operation takes: WAV files are encoded; MP3, AAC, FLAC, Ogg Vorbis,
// Opus and M4A files decoded.
// Files given to the program (command line, "Open with", a drop) choose the operation by
// their kind; files added to an operation that is chosen already must fit it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "maker/jobs/pipeline_host.h"

// What a file is, by its extension (without regard to case): ".wav" is a WAV file; ".mp3",
// ".mp2", ".mp1", ".aac", ".flac", ".ogg", ".oga", ".opus", ".m4a" and ".mp4" are encoded
// audio that decoding takes (kDecodedExtensions), as the Add Files filter offers them.
enum class InputKind { Wav, Mpeg, Other };
InputKind KindOfInput(const std::string& path);
inline constexpr const char* kDecodedExtensions[] = {".mp3", ".mp2", ".mp1", ".aac", ".flac",
                                                      ".ogg", ".oga", ".opus", ".m4a", ".mp4"};

// Whether a file operation takes a file of this name: WAV2MP3 WAV files, MP32WAV MPEG
// audio. The CD operations take no files.
bool FitsOperation(const std::string& path, Operation operation);

// A path that was not added, and why ("not a WAV file", "no such file or folder", ...).
struct RefusedInput {
  std::string path;
  std::string reason;
};

struct InputChoice {
  // The operation the inputs chose; nullopt when none of them fits either file operation.
  std::optional<Operation> operation;
  // The files to list, full paths as given, in order: a folder gives the files Add
  // Directory collects for the operation. No file comes twice (by identity, so a link and
  // its target are one file).
  std::vector<std::string> files;
  std::vector<RefusedInput> refused;
};

// Paths given to the program (full paths of files and folders): the first one of a known
// kind chooses the operation (a folder by the first file of a known kind in the order Add
// Directory walks it), then every path is fitted to it as FitInputs does.
InputChoice ChooseInputs(const std::vector<std::string>& paths);

// Paths added to `operation` (a file operation): files of its kind, folders collected as
// Add Directory does; everything else is refused with its reason.
InputChoice FitInputs(const std::vector<std::string>& paths, Operation operation);

// `adding` without the files `listed` has already, and without repeats among themselves;
// files are compared by identity where both can be looked at, else by name.
std::vector<std::string> NotYetListed(const std::vector<std::string>& listed, const std::vector<std::string>& adding);

// "encoding takes WAV files" / "decoding takes MP3, AAC, FLAC, Ogg, Opus and M4A files".
std::string OperationTakes(Operation operation);

// The message for inputs that were not added: what the operation takes, then each path
// with its reason (the first `shown`, then how many more).
std::string RefusedInputsText(const std::vector<RefusedInput>& refused, Operation operation, size_t shown = 10);

// The log line after an operation change took rows off the file list: "Removed 2 files
// from the list: decoding takes MP3, AAC, FLAC, Ogg, Opus and M4A files."
std::string RemovedFilesText(int count, Operation operation);
