// Local file URIs ("file:///music/a%20b.mp3") read as the paths they name.
#pragma once

#include <optional>
#include <string>

// True when name starts with "file:" (any case): a URI, not a path.
bool IsFileUri(const std::string& name);

// The path a file:// URI names, its percent escapes decoded: "file:///a%20b/c.mp3" and
// "file://localhost/a%20b/c.mp3" give "/a b/c.mp3". Nothing for another name, for a URI
// of another host, or for one that is not a valid absolute file URI (no path, a broken or
// NUL escape).
std::optional<std::string> FileUriPath(const std::string& name);

// The name an engine opens: the path of a valid file:// URI, else name itself.
std::string LocalName(const std::string& name);
