// printf-style formatting into a std::string of whatever length the result needs.
#pragma once

#include <cstdio>
#include <string>

// The log and status texts of the codec layer keep their printf formats; paths of any length
// fit, unlike the fixed buffers such texts are often built in.
template <typename... Args>
std::string FormatText(const char* format, Args... args) {
  const int length = std::snprintf(nullptr, 0, format, args...);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.resize(static_cast<size_t>(length));
  return text;
}
