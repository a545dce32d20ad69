// Text helpers of the CD information: character-safe cutting of UTF-8 and the
// ISO-8859-1 text of CDDB replies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The first `maxChars` characters of UTF-8 `text`; never splits a multi-byte sequence.
std::string CutUtf8Chars(std::string_view text, std::size_t maxChars);

// ISO-8859-1 bytes as UTF-8 (every byte is one character).
std::string Latin1ToUtf8(std::string_view latin1);
