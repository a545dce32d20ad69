// The name the desktop's sound mixer shows for the player's sound stream.
#pragma once

#include <string>

// Names every open sound-server stream (its media.name) and those opened later after what
// plays ("Artist – Title"); an empty title names them after the program. Any thread.
void SetOutputStreamTitle(const std::string& title);
// The title streams are opened with.
std::string OutputStreamTitle();
