// The play list window's list operations.
#include "player/playlist/play_list.h"

#include <algorithm>
#include <utility>

std::vector<std::string> PlayList::Texts() const {
  std::vector<std::string> texts;
  texts.reserve(entries_.size());
  for (const PlayListEntry& e : entries_) texts.push_back(e.text);
  return texts;
}

size_t PlayList::SelectedCount() const {
  return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(), [](const PlayListEntry& e) { return e.selected; }));
}

std::vector<std::string> PlayList::SelectedTexts() const {
  std::vector<std::string> texts;
  for (const PlayListEntry& e : entries_)
    if (e.selected) texts.push_back(e.text);
  return texts;
}

void PlayList::Select(size_t index, bool selected) {
  if (index < entries_.size()) entries_[index].selected = selected;
}

void PlayList::SelectOnly(size_t index) {
  for (size_t i = 0; i < entries_.size(); ++i) entries_[i].selected = i == index;
}

void PlayList::Append(const std::string& entry) { entries_.push_back({entry, false, false}); }

void PlayList::Append(const std::vector<std::string>& entries) {
  for (const std::string& e : entries) Append(e);
}

void PlayList::RemoveSelected() {
  std::erase_if(entries_, [](const PlayListEntry& e) { return e.selected; });
}

void PlayList::MoveUp() {
  for (size_t i = 1; i < entries_.size(); ++i)
    if (entries_[i].selected && !entries_[i - 1].selected) std::swap(entries_[i], entries_[i - 1]);
}

void PlayList::MoveDown() {
  for (size_t i = entries_.size(); i-- > 1;) {
    const size_t at = i - 1;
    if (entries_[at].selected && !entries_[at + 1].selected) std::swap(entries_[at], entries_[at + 1]);
  }
}

int PlayList::CurrentIndex() const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].current) return static_cast<int>(i);
  return -1;
}

void PlayList::SetCurrent(int index) {
  for (size_t i = 0; i < entries_.size(); ++i) entries_[i].current = static_cast<int>(i) == index;
}

void PlayList::MoveSelectedTo(size_t row) {
  row = std::min(row, entries_.size());
  while (row < entries_.size() && entries_[row].selected) ++row;
  std::vector<PlayListEntry> moved, before, after;
  for (size_t i = 0; i < entries_.size(); ++i) {
    PlayListEntry& e = entries_[i];
    if (e.selected)
      moved.push_back(std::move(e));
    else if (i < row)
      before.push_back(std::move(e));
    else
      after.push_back(std::move(e));
  }
  entries_ = std::move(before);
  for (auto* part : {&moved, &after})
    for (PlayListEntry& e : *part) entries_.push_back(std::move(e));
}

void PlayList::Reorder(const std::vector<size_t>& order) {
  const int current = CurrentIndex();
  const std::string currentText = current >= 0 ? entries_[size_t(current)].text : std::string();
  std::vector<PlayListEntry> reordered;
  reordered.reserve(order.size());
  for (size_t i : order) {
    reordered.push_back(std::move(entries_[i]));
    reordered.back().selected = false;
  }
  entries_ = std::move(reordered);
  // The current entry dropped as a duplicate: the one kept in its place is current.
  if (current >= 0 && CurrentIndex() < 0)
    for (PlayListEntry& e : entries_)
      if (EqualWithoutCase(e.text, currentText)) {
        e.current = true;
        break;
      }
}

void PlayList::Shuffle(const RandomSource& random) {
  // The shuffle's order depends only on the count and the random numbers: shuffling the
  // positions moves every entry, its marks with it, as shuffling the texts would.
  std::vector<std::string> positions;
  positions.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) positions.push_back(std::to_string(i));
  std::vector<size_t> order;
  order.reserve(entries_.size());
  for (const std::string& p : Shuffled(std::move(positions), random)) order.push_back(std::stoul(p));
  Reorder(order);
}

void PlayList::Sort(const ShownText& shown) {
  std::vector<std::string> texts = Texts();
  std::vector<std::string> keys;
  if (shown) {
    keys.reserve(texts.size());
    for (const std::string& t : texts) keys.push_back(shown(t));
  }
  Reorder(SortedOrderWithoutCase(shown ? keys : texts, texts));
}

void PlayList::ReverseSort(const ShownText& shown) {
  Sort(shown);
  std::reverse(entries_.begin(), entries_.end());
}
