// Where a list entry points: a URL kept as it is, or a file made an absolute path (against
// the folder the player started in, or the folder of the list file that names it), and
// file:// URIs made the paths they name.
#pragma once

#include <string>
#include <string_view>

#include "common/file_uri_path.h"

// The path made absolute against base (a folder; "" is the current working folder) and
// normalised as text: "." and empty components gone, ".." taking away the component before
// it (at the root it stays at the root). Links are not followed, so a link's own name is
// kept.
std::string AbsolutePath(std::string_view path, std::string_view base = {});

// An entry of the command line or of a list file as the list keeps it: a URL as it is, a
// file:// URI as its path, anything else a path made absolute against base. A file://
// URI that names no local path comes back as it is (it then fails to play with a reason,
// as a missing file does).
std::string ResolveEntry(std::string_view entry, std::string_view base = {});
