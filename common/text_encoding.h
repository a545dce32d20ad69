// Conversions between the UTF-8 text inside the programs and 8-bit text on disk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// ISO-8859-1 bytes to UTF-8. Every byte is a character, so this never fails.
std::string Latin1ToUtf8(std::string_view latin1);

// UTF-8 to ISO-8859-1: one byte per character; characters above U+00FF and bytes that are
// not valid UTF-8 become '?'.
std::string Utf8ToLatin1(std::string_view utf8);

// The longest prefix of utf8 of at most maxBytes bytes that does not split a character
// (a broken sequence at the cut is dropped whole).
std::string CutUtf8(std::string_view utf8, size_t maxBytes);

// The number of characters (code points; an invalid byte counts as one) in utf8.
size_t Utf8Length(std::string_view utf8);

// True when every byte of `text` belongs to a valid, shortest-form UTF-8 sequence (plain
// ASCII is valid UTF-8).
bool IsValidUtf8(std::string_view text);
