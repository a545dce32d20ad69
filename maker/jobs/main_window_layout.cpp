// Size, place and the per-operation arrangement of the maker's main window.
#include "maker/jobs/main_window_layout.h"

#include <algorithm>

WindowRect InitialMainWindowRect(const WindowRect& screen) {
  WindowRect r;
  r.width = kMainWindowWidth;
  r.height = screen.height < 550 ? 450 : 550;
  r.left = screen.left + (screen.width - r.width) / 2;
  r.top = std::max(screen.top + 1, screen.top + (screen.height - r.height) / 2 - 30);
  return r;
}

WindowRect SnapMainWindowSize(const WindowRect& rect) {
  WindowRect r = rect;
  r.width = std::max(r.width, kMainWindowMinWidth);
  r.height = std::max(r.height, kMainWindowMinHeight);
  return r;
}

const char* StartHint(Operation operation) {
  switch (operation) {
    case Operation::WAV2MP3: return "Start Encoding";
    case Operation::MP32WAV: return "Start Decoding";
    case Operation::CD2MP3:
    case Operation::CD2WAV: return "Start Reading CD";
  }
  return "";
}

MainWindowLayout LayOutMainWindow(Operation operation, int windowHeight, int listsHeight) {
  MainWindowLayout l;
  const bool cd = operation == Operation::CD2MP3 || operation == Operation::CD2WAV;
  l.cdTarget = cd;
  l.readerPanel = cd;
  l.fileList = !cd;
  l.encoderPanel = operation != Operation::CD2WAV;
  l.readerFillsLists = operation == Operation::CD2WAV;
  l.priorityMenu = operation != Operation::CD2WAV;
  l.startHint = StartHint(operation);
  int encoderHeight = 0;
  if (operation == Operation::CD2WAV) {
    l.readerPanelHeight = listsHeight;
  } else if (operation == Operation::CD2MP3) {
    l.readerPanelHeight = std::min(listsHeight, windowHeight * 2 / 3);
    encoderHeight = listsHeight - l.readerPanelHeight;
  } else {
    encoderHeight = listsHeight;
  }
  l.tracksListHeight = l.readerPanelHeight / 2;
  l.fileListHeight = l.fileList ? encoderHeight / 2 : 0;
  return l;
}
