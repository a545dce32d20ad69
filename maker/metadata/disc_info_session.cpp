// The disc fields kept per disc for the session.
#include "maker/metadata/disc_info_session.h"

DiscFields EmptyDiscFields() { return {CdInfoSnapshot::Take(CdInfo{}), {}}; }

DiscInfoSession::DiscKey DiscInfoSession::KeyOf(const std::string& drive, const DiscLayout& disc) {
  DiscKey key{drive, {}};
  key.second.reserve(disc.startSectors.size() + 1);
  key.second.push_back(disc.trackCount);
  key.second.insert(key.second.end(), disc.startSectors.begin(), disc.startSectors.end());
  return key;
}

DiscFields DiscInfoSession::SwitchTo(const std::string& drive, const DiscLayout& disc, const DiscFields& current) {
  DiscKey key = KeyOf(drive, disc);
  if (!current_) {
    current_ = std::move(key);
    return current;
  }
  if (*current_ == key) return current;
  seen_[*current_] = current;
  current_ = std::move(key);
  const auto known = seen_.find(*current_);
  return known == seen_.end() ? EmptyDiscFields() : known->second;
}
