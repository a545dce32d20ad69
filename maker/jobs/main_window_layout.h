// Size, place and the per-operation arrangement of the maker's main window.
#pragma once

#include "common/window_rect.h"
#include "maker/jobs/pipeline_host.h"

inline constexpr int kMainWindowWidth = 600;
inline constexpr int kMainWindowMinWidth = 550;
inline constexpr int kMainWindowMinHeight = 450;
inline constexpr int kButtonsPanelWidth = 145;

// The window's first place on a screen (its available area): 600 wide, 450 high on a
// screen less than 550 high and 550 otherwise; centred across, centred down and then
// moved up by 30 pixels, but never above the screen's top + 1.
WindowRect InitialMainWindowRect(const WindowRect& screen);

// A size below 550 x 450 goes back up to it, each side on its own.
WindowRect SnapMainWindowSize(const WindowRect& rect);

// Which parts of the window an operation shows, and how high the lists are.
struct MainWindowLayout {
  bool cdTarget = false;        // CDTargetGroupBox (FileTargetGroupBox otherwise)
  bool readerPanel = false;     // track list, reader log and status
  bool encoderPanel = false;    // encoder/decoder log and status
  bool fileList = false;        // FileListBox
  bool readerFillsLists = false;  // CD2WAV: the reader panel takes the whole list area
  int readerPanelHeight = 0;    // CD2MP3: two thirds of the window's height
  int tracksListHeight = 0;     // half of the reader panel
  int fileListHeight = 0;       // half of the encoder panel
  bool priorityMenu = false;    // MenuOptionsPriority enabled
  const char* startHint = "";   // StartButton's hint
};

// `windowHeight` is the window's client height, `listsHeight` the height of the list area.
MainWindowLayout LayOutMainWindow(Operation operation, int windowHeight, int listsHeight);

// StartButton's hint in the idle state: "Start Encoding", "Start Decoding", "Start Reading CD".
const char* StartHint(Operation operation);
