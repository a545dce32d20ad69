// Text that comes from outside the programs (a server's reply, a stream's metadata) made
// fit to show and to store: valid UTF-8 without control characters.
#pragma once

#include <string>
#include <string_view>

// `text` without control characters: a tab becomes a blank; the other C0 controls
// (NUL, BEL, BS, ESC, CR, ...), DEL and the C1 controls U+0080..U+009F (CSI, OSC, ...) are
// dropped. Such characters in received names would reach file names, tags, windows and
// terminals, where an escape sequence is run (or a box drawn) rather than text shown.
// Everything else is kept as it is.
std::string WithoutControlChars(std::string_view text);

// Received bytes as showable UTF-8: valid UTF-8 is taken as it is, anything else is read
// as ISO-8859-1 (the common 8-bit encoding of such texts, where every byte is a
// character); then control characters are taken out (WithoutControlChars).
std::string ShowableText(std::string_view received);
