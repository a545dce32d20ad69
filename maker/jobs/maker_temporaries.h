// The hidden temporary files a maker leaves when it is killed while it saves one of its
// own files, and their removal at the next start.
#pragma once

#include <string>
#include <vector>

// The files the maker saves wherever it saves them: the settings and the language file
// (per-user folder) and the desktop shortcut.
std::vector<std::string> MakerSavedFiles();

// Removes the temporary files of MakerSavedFiles() whose writer is gone (see
// RemoveStaleTemporaries); a maker that is saving at the same time (the window and a
// --batch run) keeps its own. Returns the removed paths.
std::vector<std::string> RemoveStaleMakerTemporaries();
