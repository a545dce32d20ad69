// The window side of the player as the desktop's media player interface reaches it: the
// session it drives, and bringing the window up or closing it.
#pragma once

#include "player/control/player_session.h"

class PlayerWindow {
 public:
  virtual PlayerSession& Session() = 0;
  // Restores the window and brings it to the front.
  virtual void ShowFront() = 0;
  // Closes the window, and with it the program, once the current event has been handled.
  virtual void QuitLater() = 0;

 protected:
  ~PlayerWindow() = default;
};
