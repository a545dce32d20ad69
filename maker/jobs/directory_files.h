// The files a folder tree offers to the file list (Add Directory, dropped folders).
#pragma once

#include <string>
#include <vector>

#include "maker/jobs/pipeline_host.h"

// Full paths of the files of `folder` and its sub-folders whose extension is `extension`
// (with its dot, compared without regard to case). Each folder's own files come first,
// sorted without regard to case, then each sub-folder's, depth first, in the same order.
// Folders whose names begin with "." are passed over, and so are links to folders, so a
// link that points back up the tree cannot make the walk endless.
std::vector<std::string> CollectFolderFiles(const std::string& folder, const std::string& extension);
// The same walk for files with any of `extensions`, in one order.
std::vector<std::string> CollectFolderFiles(const std::string& folder, const std::vector<std::string>& extensions);

// What a file operation takes from a folder: MP32WAV all ".mp3" files of the tree, then,
// in a second pass, all ".aac" files, then in a third the FLAC, Ogg (".ogg", ".oga"),
// Opus and M4A (".m4a", ".mp4") files together; every other operation the ".wav" files.
std::vector<std::string> CollectOperationFiles(const std::string& folder, Operation operation);

// Sorts paths ascending without regard to case (Add Files sorts what the dialog gave).
void SortPathsIgnoringCase(std::vector<std::string>& paths);
