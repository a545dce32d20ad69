// The task-bar title of the main window.
#include "player/control/task_bar_title.h"

#include "player/control/player_texts.h"
#include "player/playlist/bounded_text.h"

std::string TaskBarTitle(const NowPlaying& now, bool stopped) {
  static const std::string kProgram = "zbplayer";
  if (stopped || now.entry.empty() || now.title.empty()) return kProgram;
  std::string what = ArtistAndTitle(now);
  // A stream's title may be anything a server sends; the task bar shows a line.
  for (char& c : what)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return BoundedText(what, kFieldTextChars, KeptPart::BothEnds) + kTitleDash + kProgram;
}
