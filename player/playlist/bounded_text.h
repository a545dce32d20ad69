// Texts cut to a length the windows can measure and draw at once. Laying out a text costs
// time and memory in proportion to its length on the main thread: a 100 KB title froze
// the player for half a minute. Every text a window shows passes through here first; a
// window then elides what is left to its pixel width.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Which part of a cut text stays.
enum class KeptPart {
  Start,     // "Beginning of a very long…"
  End,       // "…end of a path/file.mp3" (the title field shows the end of a long text)
  BothEnds,  // "/home/user/…/file.mp3"
};

// Limits in characters, generous for any field, row or menu item on any screen.
inline constexpr size_t kFieldTextChars = 256;     // the main window's text fields
inline constexpr size_t kToolTipChars = 512;       // tool tips (they wrap nowhere)
inline constexpr size_t kMenuCaptionChars = 80;    // the file list popup's items
inline constexpr size_t kListRowChars = 512;       // a row of the play list window
inline constexpr size_t kMetadataChars = 1024;     // what the desktop is told (MPRIS)
inline constexpr size_t kMessageLines = 10;        // lines of a message box

// text cut to at most maxChars characters (UTF-8 sequences, a stray byte counting as
// one), "…" standing for what was cut and counted among them; a text that fits is
// returned as it is. Never splits a character.
std::string BoundedText(std::string_view text, size_t maxChars, KeptPart kept);

// Lines for a message box: at most maxLines of them, each cut to maxChars (both ends
// kept), then "... and N more" for the rest; joined with line feeds.
std::string BoundedLines(const std::vector<std::string>& lines, size_t maxLines = kMessageLines,
                         size_t maxChars = kToolTipChars);
