// The play list as the play list window edits it: entries (file paths or URLs, duplicates
// allowed, order significant), each with a selection mark, and the operations of the
// window's buttons.
#pragma once

#include <string>
#include <vector>

#include "player/playlist/list_order.h"

struct PlayListEntry {
  std::string text;
  bool selected = false;
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
  // These three rebuild the list; no entry stays selected.
  void Shuffle(const RandomSource& random);
  // Without regard to case, duplicates (equal without regard to case) dropped.
  void Sort();
  // The same sorted list, last element first.
  void ReverseSort();

 private:
  void Replace(const std::vector<std::string>& texts);
  std::vector<PlayListEntry> entries_;
};
