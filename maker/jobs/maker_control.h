// MakerControl: the controls of the main window that the job pipeline enables, shows,
// gives hints or checks, and the names the window gives them.
#pragma once

#include <array>

#include "common/worker_thread.h"

// Named after the window's controls and menu items; the window maps each value to its
// widget once, so a control that does not exist is a compile error, not an ignored call.
enum class MakerControl {
  CD2MP3RadioButton,
  CD2WAVRadioButton,
  WAV2MP3RadioButton,
  MP32WAVRadioButton,
  InputCDComboBox,
  CDInfoButton,
  OutputPathButton,
  TracksList,
  AddButton,
  AddDirButton,
  RemoveButton,
  ClearButton,
  FileListBox,
  StartButton,
  CancelButton,
  MenuOptionsSettings,
  MenuOptionsPriorityIdle,
  MenuOptionsPriorityLowest,
  MenuOptionsPriorityLower,
  MenuOptionsPriorityNormal,
  MenuOptionsPriorityHigher,
  MenuOptionsPriorityHighest,
};

// Every control, in declaration order (for a window mapping them all).
inline constexpr std::array kMakerControls = {
    MakerControl::CD2MP3RadioButton,         MakerControl::CD2WAVRadioButton,
    MakerControl::WAV2MP3RadioButton,        MakerControl::MP32WAVRadioButton,
    MakerControl::InputCDComboBox,           MakerControl::CDInfoButton,
    MakerControl::OutputPathButton,          MakerControl::TracksList,
    MakerControl::AddButton,                 MakerControl::AddDirButton,
    MakerControl::RemoveButton,              MakerControl::ClearButton,
    MakerControl::FileListBox,               MakerControl::StartButton,
    MakerControl::CancelButton,              MakerControl::MenuOptionsSettings,
    MakerControl::MenuOptionsPriorityIdle,   MakerControl::MenuOptionsPriorityLowest,
    MakerControl::MenuOptionsPriorityLower,  MakerControl::MenuOptionsPriorityNormal,
    MakerControl::MenuOptionsPriorityHigher, MakerControl::MenuOptionsPriorityHighest,
};

// The window's name of the control ("StartButton"): its widget's object name, and the
// name the language files give it.
const char* ControlName(MakerControl control);

// The priority menu item that stands for a scheduling level.
MakerControl PriorityMenuItem(ThreadPriority priority);
