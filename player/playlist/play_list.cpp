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

void PlayList::Append(const std::string& entry) { entries_.push_back({entry, false}); }

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

void PlayList::Replace(const std::vector<std::string>& texts) {
  entries_.clear();
  Append(texts);
}

void PlayList::Shuffle(const RandomSource& random) { Replace(Shuffled(Texts(), random)); }

void PlayList::Sort() { Replace(SortedWithoutCase(Texts())); }

void PlayList::ReverseSort() {
  std::vector<std::string> sorted = SortedWithoutCase(Texts());
  std::reverse(sorted.begin(), sorted.end());
  Replace(sorted);
}
