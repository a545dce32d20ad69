// The main window's title, which the desktop shows in its task bar and window switcher:
// what plays, then the program's name.
#pragma once

#include <string>

#include "player/control/now_playing.h"

// "Artist – Title – zbplayer" while something is loaded and not stopped ("Title –
// zbplayer" without an artist: a file without a tag, a stream); "zbplayer" when stopped.
std::string TaskBarTitle(const NowPlaying& now, bool stopped);
