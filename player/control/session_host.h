// What the player session needs from the program that shows it: the fields of the main
// window, the end-of-track wait, the visualization, and where notices go. The window is
// the one host; a host without a window may ignore what it does not show.
#pragma once

#include <cstdint>
#include <string>

// Every entry runs on the main thread, OutputData aside.
class SessionHost {
 public:
  virtual ~SessionHost() = default;

  // The title field: the entry (its tag's text when it has one) or a stream's title.
  virtual void ShowTitle(const std::string& text) = 0;
  // The info field: bitrate, frequency and mode of what plays.
  virtual void ShowInfo(const std::string& text) = 0;
  // Why an entry failed, in the info field (fieldText) with the whole message beside it;
  // it stays there for the end-of-track wait, after which the list goes on.
  virtual void ShowError(const std::string& fieldText, const std::string& message) = 0;
  // The time played, in the progress field and the window's title.
  virtual void ShowTime(const std::string& time) = 0;
  virtual void ShowVolumeLevel(int level) = 0;
  // Title and info emptied, the progress back at "00:00", the visualization at rest: a
  // new entry chosen, or an entry that failed (its title and reason follow at once).
  virtual void ClearFields() = 0;

  // An input reached its end: after the host's delay it calls
  // PlayerSession::EndOfTrackWaitOver. Stop cancels a wait that has not ended.
  virtual void StartEndOfTrackWait() = 0;
  virtual void StopEndOfTrackWait() = 0;

  // The samples going out (16-bit stereo), for the visualization. On engine threads.
  virtual void OutputData(const void* data, uint32_t size) = 0;

  // What was refused while the start-up list was gathered (on the terminal, where a start
  // from it looks), and what was refused of a drop (in a message box over the window).
  virtual void PrintNotice(const std::string& text) = 0;
  virtual void ShowNotice(const std::string& text) = 0;
};
