// Disc times as minutes:seconds:frames.
#include "cdaccess/msf_time.h"

#include <cstdio>

namespace {

// The number of 1 ... maxDigits decimal digits at the front of text, consumed; nullopt when
// there is no digit or too many.
std::optional<int64_t> TakeNumber(std::string_view& text, size_t maxDigits) {
  size_t digits = 0;
  int64_t value = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
    if (digits == maxDigits) return std::nullopt;
    value = value * 10 + (text[digits] - '0');
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  text.remove_prefix(digits);
  return value;
}

bool TakeColon(std::string_view& text) {
  if (text.empty() || text.front() != ':') return false;
  text.remove_prefix(1);
  return true;
}

}  // namespace

std::optional<int64_t> ParseMsf(std::string_view text) {
  const auto minutes = TakeNumber(text, 4);
  if (!minutes || !TakeColon(text)) return std::nullopt;
  const auto seconds = TakeNumber(text, 2);
  if (!seconds || *seconds >= 60 || !TakeColon(text)) return std::nullopt;
  const auto frames = TakeNumber(text, 2);
  if (!frames || *frames >= 75 || !text.empty()) return std::nullopt;
  return (*minutes * 60 + *seconds) * 75 + *frames;
}

std::string MsfText(int64_t sectors) {
  if (sectors < 0) sectors = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(sectors / 4500),
                static_cast<long long>(sectors / 75 % 60), static_cast<long long>(sectors % 75));
  return text;
}
