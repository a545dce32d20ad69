// The map that ties the channel elements of a block to the two output channels.
#pragma once

#include <array>
#include <cstdint>

namespace zbaac {

struct ChannelMapEntry {
  bool present = false;
  int tag = 0;            // element instance tag
  bool isPair = false;    // belongs to a channel pair element
  bool commonWindow = false;
  bool isLeft = false;    // left channel of its pair
  int partner = 0;        // the other channel of the pair
  int infoChannel = 0;    // channel whose ics_info this one uses
};

struct ChannelMap {
  int channelCount = 0;
  int frontMonoCount = 0;  // SCEs before the first CPE of the first block (recorded only)
  int frontCount = 0, sideCount = 0, backCount = 0, lfeCount = 0;
  int ccCount = 0;
  std::array<bool, 16> ccIndependent{};
  std::array<int, 16> ccTag{};
  int objectType = 0;
  int samplingIndex = 0;
  std::array<ChannelMapEntry, 2> entries{};

  // Clears the assignment of channels (counts and both entries); keeps frontMonoCount
  // unless `alsoFrontMono`.
  void ClearAssignment(bool alsoFrontMono);
  // Places a front element (one channel, or two for a pair) with instance tag `tag` on the
  // next free channels; returns its first channel, or -1 when it does not fit.
  int PlaceFront(bool isPair, int tag);
};

// The fields of the map that a later block must reproduce.
struct ChannelMapReference {
  struct Entry {
    bool present = false;
    bool isPair = false;
    bool isLeft = false;
    int partner = 0;
  };
  std::array<Entry, 2> entries{};

  static ChannelMapReference Of(const ChannelMap& map);
  // True when every channel below `channelCount` matches (present, and for a present
  // entry isPair, isLeft and partner).
  bool Matches(const ChannelMap& map, int channelCount) const;
};

}  // namespace zbaac
