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
  if (shuffle_) {
    KeepOrder();
    const size_t at = OrderPosition() + 1;
    index_ = order_[at >= order_.size() ? 0 : at];
    return;
  }
  index_ = index_ + 1 >= Count() ? 0 : index_ + 1;
}

void CurrentList::Previous() {
  if (Empty()) return;
  if (shuffle_) {
    KeepOrder();
    const size_t at = OrderPosition();
    index_ = order_[at == 0 ? order_.size() - 1 : at - 1];
    return;
  }
  index_ = index_ <= 0 ? Count() - 1 : index_ - 1;
}

bool CurrentList::AtStartOfWalk() const {
  if (!shuffle_ || order_.size() != entries_.size()) return index_ == 0;
  return !order_.empty() && order_.front() == index_;
}

void CurrentList::SetShuffle(bool on, const RandomSource& random) {
  shuffle_ = on;
  random_ = random;
  order_.clear();
  if (on) KeepOrder();
}

void CurrentList::KeepOrder() {
  if (order_.size() == entries_.size()) return;
  order_.resize(entries_.size());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<int>(i);
  // Fisher-Yates over all but the first place, which the current entry takes.
  const int start = index_ >= 0 && index_ < Count() ? index_ : 0;
  if (!order_.empty()) std::swap(order_[0], order_[static_cast<size_t>(start)]);
  for (size_t i = order_.size(); i > 2; --i) {
    const size_t j = 1 + static_cast<size_t>(random_()) % (i - 1);
    std::swap(order_[i - 1], order_[j]);
  }
}

size_t CurrentList::OrderPosition() const {
  const auto it = std::find(order_.begin(), order_.end(), index_);
  return it == order_.end() ? 0 : static_cast<size_t>(it - order_.begin());
}

void CurrentList::Shuffle(const std::string& loadedFile, const RandomSource& random) {
  entries_ = Shuffled(std::move(entries_), random);
  index_ = IndexOf(loadedFile);
}

void CurrentList::Describe(const std::vector<ListEntry>& described) {
  for (const ListEntry& e : described) described_[e.location] = e;
}

const ListEntry* CurrentList::Described(const std::string& location) const {
  const auto it = described_.find(location);
  return it == described_.end() ? nullptr : &it->second;
}

std::vector<ListEntry> CurrentList::Records() const {
  std::vector<ListEntry> records;
  records.reserve(entries_.size());
  for (const std::string& e : entries_) {
    const ListEntry* known = Described(e);
    records.push_back(known ? *known : ListEntry{e, {}, -1});
  }
  return records;
}
