// Where the running player listens for a second start: a local socket named after "ZBPL",
// private to the user and to the settings folder the player runs with.
#pragma once

#include <string>

inline constexpr const char* kInstanceMutexName = "ZBPL";
// The messages a second start sends.
inline constexpr const char* kInstanceShowMessage = "show";
inline constexpr const char* kInstanceCloseMessage = "close";

// $XDG_RUNTIME_DIR/zimbar-ZBPL-HASH, else /tmp/zimbar-ZBPL-UID-HASH, where HASH tells
// settings folders apart (two players with different $ZIMBAR_HOME are two users).
std::string InstanceSocketPath();
