// The current list's moves.
#include "player/playlist/current_list.h"

#include <algorithm>

const std::string* CurrentList::Current() const {
  if (index_ < 0 || index_ >= Count()) return nullptr;
  return &entries_[static_cast<size_t>(index_)];
}

void CurrentList::Assign(std::vector<std::string> entries) {
  entries_ = std::move(entries);
  index_ = -1;
}

void CurrentList::Append(const std::vector<std::string>& entries) {
  entries_.insert(entries_.end(), entries.begin(), entries.end());
}

void CurrentList::Select(int index) { index_ = index >= 0 && index < Count() ? index : -1; }

int CurrentList::IndexOf(const std::string& text) const {
  const auto it = std::find(entries_.begin(), entries_.end(), text);
  return it == entries_.end() ? -1 : static_cast<int>(it - entries_.begin());
}

void CurrentList::Next() {
  if (Empty()) return;
  index_ = index_ + 1 >= Count() ? 0 : index_ + 1;
}

void CurrentList::Previous() {
  if (Empty()) return;
  index_ = index_ <= 0 ? Count() - 1 : index_ - 1;
}

void CurrentList::Shuffle(const std::string& loadedFile, const RandomSource& random) {
  entries_ = Shuffled(std::move(entries_), random);
  index_ = IndexOf(loadedFile);
}
