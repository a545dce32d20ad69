// The player's context menu items and the span of the title field's popup.
#include "player/control/system_menu.h"

#include <algorithm>

const std::vector<SystemMenuItem>& PlayerSystemMenuItems() {
  static const std::vector<SystemMenuItem> items = {
      {0, nullptr},
      {kCommandPlay, "Play"},
      {kCommandPrevious, "Previous"},
      {kCommandNext, "Next"},
      {kCommandPause, "Pause"},
      {kCommandStop, "Stop"},
      {kCommandReverse, "Reverse"},
      {kCommandForward, "Forward"},
      {0, nullptr},
      {kCommandPlayList, "Play List"},
      {kCommandEqualizer, "Equalizer"},
      {kCommandVolumeUp, "Volume Up"},
      {kCommandVolumeDown, "Volume Down"},
      {0, nullptr},
      {kCommandAbout, "About zbplayer"},
  };
  return items;
}

PopupSpan FileListPopupSpan(int current, int count, int maxEntries) {
  const int first = std::clamp(current - maxEntries / 2, 0, std::max(0, count - maxEntries));
  return {first, std::min(count, first + maxEntries)};
}
