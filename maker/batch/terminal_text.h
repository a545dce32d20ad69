// Text from data (file names, disc and track names, log lines that carry them) made safe
// to print on a terminal.
#pragma once

#include <string>
#include <string_view>

// `text` with every character a terminal would act on instead of showing shown as an
// escape: C0 controls and DEL as "\xNN" (ESC as "\x1b"), the C1 controls U+0080..U+009F
// as "\uNNNN", and bytes that are not part of valid UTF-8 as "\xNN" (in an 8-bit terminal
// 0x9B starts a control sequence). The first `keptTabs` tabs are the caller's own column
// separators and stay; later ones are escaped. Everything else is kept.
std::string TerminalText(std::string_view text, int keptTabs = 0);
