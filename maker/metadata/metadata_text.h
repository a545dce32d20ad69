// Character-safe cutting of the UTF-8 texts of the CD information to buffer sizes that
// count characters, and the case-blind prefix test of keywords and URL schemes. (Control
// characters are taken out by WithoutControlChars of common/outside_text.h.)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The first `maxChars` characters of UTF-8 `text`; never splits a multi-byte sequence.
std::string CutUtf8Chars(std::string_view text, std::size_t maxChars);

// True when `text` begins with `prefix`, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
