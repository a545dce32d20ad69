// Character-safe cutting of the UTF-8 texts of the CD information to buffer sizes that
// count characters, the removal of control characters from them, and the case-blind
// prefix test of keywords and URL schemes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The first `maxChars` characters of UTF-8 `text`; never splits a multi-byte sequence.
std::string CutUtf8Chars(std::string_view text, std::size_t maxChars);

// `text` without control characters: a tab becomes a blank; the other C0 controls
// (NUL, BEL, ESC, CR, ...), DEL and the C1 controls U+0080..U+009F (CSI, OSC, ...) are
// dropped. Such characters in a disc's names would reach file names, tags and terminals,
// where an escape sequence is run rather than shown. Everything else is kept as it is.
std::string WithoutControlChars(std::string_view text);

// True when `text` begins with `prefix`, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
