// Channel map clearing and the comparison with the reference copy.
#include "aaclib/channel_map.h"

namespace zbaac {

void ChannelMap::ClearAssignment(bool alsoFrontMono) {
  channelCount = 0;
  frontCount = sideCount = backCount = lfeCount = 0;
  if (alsoFrontMono) frontMonoCount = 0;
  entries = {};
}

int ChannelMap::PlaceFront(bool isPair, int tag) {
  const int needed = isPair ? 2 : 1;
  if (channelCount + needed > static_cast<int>(entries.size())) return -1;
  const int first = channelCount;
  ChannelMapEntry& left = entries[first];
  left = {};
  left.present = true;
  left.tag = tag;
  left.isPair = isPair;
  left.isLeft = isPair;
  left.partner = isPair ? first + 1 : first;
  left.infoChannel = first;
  if (isPair) {
    ChannelMapEntry& right = entries[first + 1];
    right = {};
    right.present = true;
    right.tag = tag;
    right.isPair = true;
    right.partner = first;
    right.infoChannel = first + 1;
  }
  channelCount += needed;
  frontCount += needed;
  return first;
}

ChannelMapReference ChannelMapReference::Of(const ChannelMap& map) {
  ChannelMapReference reference;
  for (std::size_t i = 0; i < map.entries.size(); ++i) {
    const ChannelMapEntry& entry = map.entries[i];
    reference.entries[i] = {entry.present, entry.isPair, entry.isLeft, entry.partner};
  }
  return reference;
}

bool ChannelMapReference::Matches(const ChannelMap& map, int channelCount) const {
  for (int i = 0; i < channelCount && i < static_cast<int>(entries.size()); ++i) {
    const Entry& saved = entries[i];
    const ChannelMapEntry& now = map.entries[i];
    if (saved.present != now.present) return false;
    if (!now.present) continue;
    if (saved.isPair != now.isPair || saved.isLeft != now.isLeft || saved.partner != now.partner) return false;
  }
  return true;
}

}  // namespace zbaac
