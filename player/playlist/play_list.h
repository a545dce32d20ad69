// The play list as the play list window edits it: entries (file paths or URLs, duplicates
// allowed, order significant), each with a selection mark, and the operations of the
// window's buttons.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "player/playlist/list_order.h"

struct PlayListEntry {
  std::string text;
  bool selected = false;
  bool current = false;  // the player's current entry: the mark follows it through every edit
  bool operator==(const PlayListEntry&) const = default;
};

class PlayList {
 public:
  PlayList() = default;
  explicit PlayList(const std::vector<std::string>& entries) { Append(entries); }

  const std::vector<PlayListEntry>& Entries() const { return entries_; }
  std::vector<std::string> Texts() const;
  size_t Count() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  size_t SelectedCount() const;
  // The selected entries' texts, in list order.
  std::vector<std::string> SelectedTexts() const;

  // The entry marked current, -1 when none is (it was removed, or there is none).
  int CurrentIndex() const;
  // Marks entry index current (none when it is out of range).
  void SetCurrent(int index);

  void Select(size_t index, bool selected);
  void SelectOnly(size_t index);
  void Append(const std::string& entry);
  void Append(const std::vector<std::string>& entries);

  // Deletes every selected entry.
  void RemoveSelected();
  void Clear() { entries_.clear(); }
  // A selected entry whose upper neighbour is not selected swaps with it, from the top
  // down: a block of selected entries moves up one place, one at the top stays.
  void MoveUp();
  // The mirror of MoveUp, from the bottom up.
  void MoveDown();
  // The selected entries, in their order, go before the entry at `row` (at the end when
  // row is the count, or when that entry is selected itself: then before the first
  // unselected entry after it). They stay selected.
  void MoveSelectedTo(size_t row);
  // These three rebuild the list; no entry stays selected, the current one stays current.
  void Shuffle(const RandomSource& random);
  // By the text each entry shows (shown(text); the text itself without it), without
  // regard to case; of entries whose texts are equal without regard to case only the
  // first stays (current when one of them was).
  using ShownText = std::function<std::string(const std::string& text)>;
  void Sort(const ShownText& shown = {});
  // The same sorted list, last element first.
  void ReverseSort(const ShownText& shown = {});

 private:
  void Reorder(const std::vector<size_t>& order);
  std::vector<PlayListEntry> entries_;
};
