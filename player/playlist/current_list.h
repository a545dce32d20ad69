// The main window's current list: the entries it plays and the index of the current one
// (-1 when there is none), with the moves of Next, Previous and the end of a track.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "player/playlist/list_order.h"
#include "player/playlist/play_list_file.h"

class CurrentList {
 public:
  const std::vector<std::string>& Entries() const { return entries_; }
  int Index() const { return index_; }
  bool Empty() const { return entries_.empty(); }
  int Count() const { return static_cast<int>(entries_.size()); }
  // The current entry, or nullptr when none is selected.
  const std::string* Current() const;

  // Replaces the entries; the index becomes -1 (Select sets one).
  void Assign(std::vector<std::string> entries);
  void Append(const std::vector<std::string>& entries);
  // Selects index when it is a valid one, else -1.
  void Select(int index);
  // The index of the first entry equal to text (exactly), or -1.
  int IndexOf(const std::string& text) const;

  // The next entry, the last wrapping to the first; nothing on an empty list. In the
  // random order (SetShuffle) the next of that order instead.
  void Next();
  // The previous entry, the first wrapping to the last; nothing on an empty list.
  void Previous();
  // Whether the current entry is the first of the walk: the list's first, or in the random
  // order the entry that was current when it was made. Next reaching it has gone round.
  bool AtStartOfWalk() const;
  // A random order that Next and Previous walk, the entries themselves left in place; it
  // starts at the current entry. A list that grows or shrinks gets a new order, from the
  // current entry again.
  void SetShuffle(bool on, const RandomSource& random);
  bool ShuffleOn() const { return shuffle_; }

  // What list files told of entries (title, length), kept by location for as long as the
  // run lasts, whatever becomes of the entries' order.
  void Describe(const std::vector<ListEntry>& described);
  // What is known of an entry, or nullptr.
  const ListEntry* Described(const std::string& location) const;
  // The entries with what is known of them, as a list file keeps them.
  std::vector<ListEntry> Records() const;
  // Shuffles the entries (Shuffled) and selects loadedFile in the new order (-1 when it is
  // not there).
  void Shuffle(const std::string& loadedFile, const RandomSource& random);

 private:
  // Makes the random order anew when the list's size no longer matches it.
  void KeepOrder();
  // Where the current entry is in the random order (0 when it is not in it).
  size_t OrderPosition() const;

  std::vector<std::string> entries_;
  int index_ = -1;
  bool shuffle_ = false;
  RandomSource random_;
  std::vector<int> order_;  // indices of entries_, the first the walk's start
  std::unordered_map<std::string, ListEntry> described_;
};
