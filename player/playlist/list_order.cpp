// Case-insensitive, locale-aware ordering and the shuffle of the play lists.
#include "player/playlist/list_order.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <cwchar>
#include <cwctype>
#include <set>

namespace {

// UTF-8 to code points; a byte that starts no valid sequence stands for itself, so any
// text converts.
std::wstring Folded(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    uint32_t cp = c;
    size_t length = 1;
    if (c >= 0xC2 && c <= 0xDF) length = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) length = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) length = 4, cp = c & 0x07;
    bool valid = length == 1 || i + length <= n;
    for (size_t k = 1; valid && k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) valid = false;
      else cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (!valid) {
      cp = c;
      length = 1;
    }
    out.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(cp))));
    i += length;
  }
  return out;
}

}  // namespace

bool EqualWithoutCase(const std::string& a, const std::string& b) { return Folded(a) == Folded(b); }

std::vector<std::string> SortedWithoutCase(const std::vector<std::string>& entries) {
  struct Keyed {
    std::wstring key;
    size_t order;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) keyed.push_back({Folded(entries[i]), i});
  // Collation first; texts the locale collates alike are told apart by their code points,
  // and equal keys keep the order they came in, so the first of duplicates survives.
  std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    const int c = std::wcscoll(a.key.c_str(), b.key.c_str());
    if (c != 0) return c < 0;
    return a.key < b.key;
  });
  std::vector<std::string> sorted;
  sorted.reserve(entries.size());
  for (size_t i = 0; i < keyed.size(); ++i) {
    if (i > 0 && keyed[i].key == keyed[i - 1].key) continue;
    sorted.push_back(entries[keyed[i].order]);
  }
  return sorted;
}

std::vector<size_t> SortedOrderWithoutCase(const std::vector<std::string>& keys, const std::vector<std::string>& texts) {
  struct Keyed {
    std::wstring key;
    size_t order;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) keyed.push_back({Folded(keys[i]), i});
  std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    const int c = std::wcscoll(a.key.c_str(), b.key.c_str());
    if (c != 0) return c < 0;
    return a.key < b.key;
  });
  std::set<std::wstring> seen;
  std::vector<size_t> order;
  order.reserve(keyed.size());
  for (const Keyed& k : keyed)
    if (seen.insert(Folded(texts[k.order])).second) order.push_back(k.order);
  return order;
}

RandomSource RuntimeRandom() {
  // Seeded from the clock, so that every run (and every shuffle) gives an order of its own;
  // the count tells apart two sources made within one tick of a coarse clock.
  static std::atomic<uint64_t> made{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  const uint64_t count = made.fetch_add(1);
  std::seed_seq seed{static_cast<uint32_t>(ns), static_cast<uint32_t>(ns >> 32), static_cast<uint32_t>(count),
                     static_cast<uint32_t>(::getpid())};
  auto engine = std::make_shared<std::mt19937>(seed);
  return [engine] { return static_cast<int>((*engine)() & 0x7FFFFFFFu); };
}

std::vector<std::string> Shuffled(std::vector<std::string> entries, const RandomSource& random) {
  // The entry at (random mod count) among those left is found in a Fenwick tree of the
  // entries still in place, instead of erasing it from the vector: the same order, in
  // O(n log n) (100,000 entries took 9 s of moving strings).
  const size_t count = entries.size();
  std::vector<size_t> tree(count + 1, 0);  // tree[i]: entries left in (i - lowbit(i), i]
  for (size_t i = 1; i <= count; ++i) {
    tree[i] += 1;
    if (const size_t parent = i + (i & (~i + 1)); parent <= count) tree[parent] += tree[i];
  }
  size_t top = 1;
  while (top * 2 <= count) top *= 2;
  std::vector<std::string> out;
  out.reserve(count);
  for (size_t left = count; left > 0; --left) {
    // The (k + 1)-th entry left: descend to the last prefix holding at most k of them.
    size_t k = static_cast<size_t>(random()) % left, at = 0;
    for (size_t step = top; step > 0; step /= 2) {
      if (at + step <= count && tree[at + step] <= k) {
        at += step;
        k -= tree[at];
      }
    }
    out.push_back(std::move(entries[at]));  // index at (0-based) is the one
    for (size_t i = at + 1; i <= count; i += i & (~i + 1)) tree[i] -= 1;
  }
  return out;
}
