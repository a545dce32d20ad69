// The commands of the player's context menu (the window's system menu), by their
// identifiers, and the menu's items in their order; the part of the play list the title
// field's popup shows.
#pragma once

#include <vector>

enum SystemCommand : int {
  kCommandPrevious = 512,
  kCommandNext = 513,
  kCommandPause = 514,
  kCommandStop = 515,
  kCommandPlay = 516,
  kCommandReverse = 517,
  kCommandForward = 518,
  kCommandEqualizer = 519,
  kCommandPlayList = 520,
  kCommandShuffle = 521,  // a key only, no menu item
  kCommandAbout = 522,
  kCommandVolumeUp = 523,
  kCommandVolumeDown = 524,
};

// An item the player appends to the window menu; caption nullptr is a separator.
struct SystemMenuItem {
  int id;
  const char* caption;
};

// After the window menu's own items (Minimize, Close): a separator first.
const std::vector<SystemMenuItem>& PlayerSystemMenuItems();

// The most entries the title field's popup shows at once.
inline constexpr int kPopupEntries = 100;

// The entries the title field's popup lists: at most maxEntries around the current one
// (a menu measures every item before it shows, which for 100,000 entries would hold the
// window for many seconds; the play list window reaches the others). first..end, end
// excluded.
struct PopupSpan {
  int first;
  int end;
};
PopupSpan FileListPopupSpan(int current, int count, int maxEntries = kPopupEntries);
