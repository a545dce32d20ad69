// Ordering of list entries as the play list does it: without regard to case, in the
// user's locale, and the pseudo-random order of the shuffles.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The entries sorted without regard to case (letters folded, then compared as the
// locale collates them); of entries equal without regard to case only the first stays.
std::vector<std::string> SortedWithoutCase(const std::vector<std::string>& entries);

// The order (indices into keys) that sorts entries by their keys as SortedWithoutCase
// sorts texts; entries with equal keys keep their order. Of entries whose texts are equal
// without regard to case only the first in that order stays.
std::vector<size_t> SortedOrderWithoutCase(const std::vector<std::string>& keys, const std::vector<std::string>& texts);

// Whether two entries are equal without regard to case.
bool EqualWithoutCase(const std::string& a, const std::string& b);

// A source of non-negative pseudo-random numbers. RuntimeRandom gives a new one seeded
// from the clock, so that no two runs shuffle alike.
using RandomSource = std::function<int()>;
RandomSource RuntimeRandom();

// The shuffle of both the main window and the play list window: until the list is empty,
// the entry at (random number mod count) is taken out and appended to the new list.
std::vector<std::string> Shuffled(std::vector<std::string> entries, const RandomSource& random);
