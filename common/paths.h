// Path splitting, joining and extension handling for POSIX paths; the per-user folder.
#pragma once

#include <string>
#include <string_view>

#include "common/error.h"

// A path in four parts: drive + dir + name + ext == the path.
struct SplitPath {
  std::string drive;  // always empty on POSIX
  std::string dir;    // up to and including the last '/', or empty
  std::string name;   // the file name without extension
  std::string ext;    // from the last '.' of the file name, with the dot; empty when none
};

// Splits a path. A file name whose only dot is its first character (".bashrc") has no
// extension; dots in directory names are not extensions; "a/b/" has an empty name.
SplitPath SplitFilePath(std::string_view path);

std::string ExtractFileDir(std::string_view path);   // dir part, ending in '/' (or empty)
std::string ExtractFileName(std::string_view path);  // name + ext
std::string ExtractFileExt(std::string_view path);   // ext, with its dot
std::string ExtractBaseName(std::string_view path);  // name without ext

// dir and name joined with exactly one '/' between them; name alone when dir is empty.
std::string JoinPath(std::string_view dir, std::string_view name);
// Ensures a non-empty folder path ends with '/'.
std::string WithTrailingSlash(std::string_view folder);

// Replaces the extension of the path by ext (given with its dot, or empty to remove it);
// the extension is added when the input has none. A name that the new extension makes
// longer than a file name may be is shortened as FitFileName does.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// The longest file name (one path component) the file systems of the desktop take, in bytes.
inline constexpr size_t kMaxFileNameBytes = 255;

// A file name (one component, no '/') of at most maxBytes bytes: longer names are cut on a
// UTF-8 character boundary before their extension, which is kept (an "extension" of more
// than 32 bytes is no extension, and the whole name is cut).
std::string FitFileName(std::string_view name, size_t maxBytes = kMaxFileNameBytes);
// The path with every component fitted by FitFileName.
std::string FitPathComponents(std::string_view path);

// The file a chain of symbolic links ends at, resolved link by link (the last target may
// not exist). A path that is not a link comes back as it is.
std::string FollowLinks(std::string path);

// The per-user folder, ending with '/': $ZIMBAR_HOME, else $XDG_CONFIG_HOME/zimbar, else
// $HOME/.config/zimbar (HOME from the password database when unset). Not created here.
std::string UserFolder();

// The user's music folder, as `xdg-user-dir MUSIC` names it: XDG_MUSIC_DIR of
// user-dirs.dirs in $XDG_CONFIG_HOME (else ~/.config), $HOME expanded; else (no such line,
// not an absolute path, or the home folder itself) ~/Music. No trailing '/'; not created
// here.
std::string UserMusicFolder();

// The folder of the shipped data (skins/, lang/, help/), ending with '/': $ZIMBAR_SHARE_DIR
// when set, else ShippedDataFolderBeside(the running program's folder).
std::string SharedDataFolder();
// Where a program kept in programFolder finds the shipped data, ending with '/': in an
// install the program lives in <prefix>/lib/zimbar/ and the data in <prefix>/share/zimbar/
// (programFolder/../../share/zimbar/); in the build tree the program lives in bin/ and the
// build copies the data to share/zimbar/ beside it (programFolder/../share/zimbar/). The
// install's folder is taken when it exists or when neither does.
std::string ShippedDataFolderBeside(std::string_view programFolder);

// A data file looked up by its path relative to both folders: the per-user copy when it
// exists, else the shipped one (which may not exist either).
std::string FindDataFile(std::string_view relativePath);

// Creates the folder and every missing parent, level by level. Succeeds when it already
// exists as a folder; fails when a level exists as a file (ENOTDIR). The error is an Io
// error whose subject is the level that could not be made: "Cannot create folder /x:
// Permission denied".
Outcome CreateDirectories(std::string_view path);

bool FileExists(std::string_view path);       // exists and is not a folder
bool DirectoryExists(std::string_view path);
