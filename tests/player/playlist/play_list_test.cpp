// Tests of the play list model, the current list's moves and the shared shuffle.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "player/playlist/current_list.h"
#include "player/playlist/play_list.h"

namespace {

// A list "a".."e" with the entries marked in `selected` (a string of '1' and '0').
PlayList Marked(const std::string& selected) {
  PlayList list({"a", "b", "c", "d", "e"});
  for (size_t i = 0; i < selected.size(); ++i) list.Select(i, selected[i] == '1');
  return list;
}

std::string Joined(const PlayList& list) {
  std::string out;
  for (const PlayListEntry& e : list.Entries()) out += e.selected ? char(std::toupper(e.text[0])) : e.text[0];
  return out;
}

// A random source that replays the given numbers.
RandomSource Replay(std::vector<int> numbers) {
  return [numbers, at = size_t(0)]() mutable { return numbers[at++ % numbers.size()]; };
}

struct MoveCase {
  const char* selected;
  const char* afterUp;    // selected entries in capitals
  const char* afterDown;
};

class MoveTest : public testing::TestWithParam<MoveCase> {};

}  // namespace

// Catches a move that swaps two selected neighbours, moves an entry already at the edge,
// or loses the selection of the moved entries.
TEST_P(MoveTest, SelectedBlocksMoveOnePlace) {
  PlayList up = Marked(GetParam().selected);
  up.MoveUp();
  EXPECT_EQ(Joined(up), GetParam().afterUp);
  PlayList down = Marked(GetParam().selected);
  down.MoveDown();
  EXPECT_EQ(Joined(down), GetParam().afterDown);
}

INSTANTIATE_TEST_SUITE_P(PlayList, MoveTest,
                         testing::Values(MoveCase{"00100", "aCbde", "abdCe"},
                                         // the first and the third: only the third moves up
                                         MoveCase{"10100", "ACbde", "bAdCe"},
                                         MoveCase{"01110", "BCDae", "aeBCD"},
                                         MoveCase{"00011", "abDEc", "abcDE"},
                                         MoveCase{"11111", "ABCDE", "ABCDE"},
                                         MoveCase{"00000", "abcde", "abcde"}));

// Catches a sort that keeps both spellings of one path, or compares with case.
TEST(PlayList, SortDropsEntriesEqualWithoutCase) {
  PlayList list({"/m/b.mp3", "/M/A.mp3", "/m/a.mp3", "/m/C.mp3", "/m/B.MP3"});
  list.Sort();
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"/M/A.mp3", "/m/b.mp3", "/m/C.mp3"}));
  list.ReverseSort();
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"/m/C.mp3", "/m/b.mp3", "/M/A.mp3"}));
}

// Catches Remove that skips neighbours of a removed entry, and a selection left behind.
TEST(PlayList, RemoveDeletesEverySelectedEntry) {
  PlayList list = Marked("11011");
  list.RemoveSelected();
  EXPECT_EQ(Joined(list), "c");
  list.Clear();
  EXPECT_TRUE(list.Empty());
}

// Catches a shuffle that picks from the wrong end, repeats or loses entries.
TEST(PlayList, ShuffleTakesTheEntryAtRandomModCount) {
  PlayList list({"a", "b", "c", "d"});
  list.Select(1, true);
  // 5 % 4 = 1 -> b; 3 % 3 = 0 -> a; 7 % 2 = 1 -> d; then c.
  list.Shuffle(Replay({5, 3, 7, 0}));
  EXPECT_EQ(list.Texts(), (std::vector<std::string>{"b", "a", "d", "c"}));
  EXPECT_EQ(list.SelectedCount(), 0u);
}

// Catches a shuffle that, done without moving the entries left, takes another entry
// than the one at (random mod count) among them: lists of every length up to 300, with
// numbers that reach every position.
TEST(PlayList, ShuffleOfLongListsTakesTheSameEntriesAsOneByOne) {
  for (size_t count = 0; count <= 300; ++count) {
    std::vector<std::string> entries;
    for (size_t i = 0; i < count; ++i) entries.push_back(std::to_string(i));
    unsigned state = unsigned(count) * 2654435761u;
    auto next = [&state] { return int((state = state * 1103515245u + 12345u) >> 1); };
    std::vector<int> numbers;
    for (size_t i = 0; i < count; ++i) numbers.push_back(next());
    std::vector<std::string> left = entries, expected;
    for (size_t i = 0; i < count; ++i) {
      const size_t at = size_t(numbers[i]) % left.size();
      expected.push_back(left[at]);
      left.erase(left.begin() + std::ptrdiff_t(at));
    }
    EXPECT_EQ(Shuffled(entries, Replay(numbers)), expected) << count << " entries";
  }
}

// Catches Next and Previous that stop at the ends instead of wrapping, or move on an
// empty list.
TEST(CurrentList, NextAndPreviousWrap) {
  CurrentList list;
  list.Next();
  list.Previous();
  EXPECT_EQ(list.Index(), -1);
  list.Assign({"a", "b", "c"});
  list.Select(2);
  list.Next();
  EXPECT_EQ(list.Index(), 0);
  list.Previous();
  EXPECT_EQ(list.Index(), 2);
  list.Select(7);
  EXPECT_EQ(list.Current(), nullptr);
}

// Catches a shuffle that keeps the old index instead of following the loaded file, or
// finds a file that is no longer in the list.
TEST(CurrentList, ShuffleSelectsTheLoadedFileWhereItLands) {
  CurrentList list;
  list.Assign({"a", "b", "c"});
  list.Select(0);
  list.Shuffle("a", Replay({2, 1, 0}));  // c, b, a
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_EQ(list.Index(), 2);
  list.Shuffle("gone", Replay({0}));
  EXPECT_EQ(list.Index(), -1);
}

// Catches a shuffle that gives the same order on every run (an unseeded generator): two
// processes that start from the same state shuffle the same list differently.
TEST(PlayList, ShuffleOrderDiffersFromRunToRun) {
  std::vector<std::string> entries;
  for (int i = 0; i < 30; ++i) entries.push_back(std::to_string(i));
  auto orderInChild = [&entries] {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      std::string joined;
      for (const std::string& e : Shuffled(entries, RuntimeRandom())) joined += e + ",";
      const ssize_t wrote = ::write(fds[1], joined.data(), joined.size());
      ::_exit(wrote == static_cast<ssize_t>(joined.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string got;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return got;
  };
  const std::string first = orderInChild();
  const std::string second = orderInChild();
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
}
