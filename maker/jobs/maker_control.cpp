// The names of the main window's controls that the job pipeline addresses.
#include "maker/jobs/maker_control.h"

const char* ControlName(MakerControl control) {
  switch (control) {
    case MakerControl::CD2MP3RadioButton: return "CD2MP3RadioButton";
    case MakerControl::CD2WAVRadioButton: return "CD2WAVRadioButton";
    case MakerControl::WAV2MP3RadioButton: return "WAV2MP3RadioButton";
    case MakerControl::MP32WAVRadioButton: return "MP32WAVRadioButton";
    case MakerControl::InputCDComboBox: return "InputCDComboBox";
    case MakerControl::CDInfoButton: return "CDInfoButton";
    case MakerControl::OutputPathButton: return "OutputPathButton";
    case MakerControl::TracksList: return "TracksList";
    case MakerControl::AddButton: return "AddButton";
    case MakerControl::AddDirButton: return "AddDirButton";
    case MakerControl::RemoveButton: return "RemoveButton";
    case MakerControl::ClearButton: return "ClearButton";
    case MakerControl::FileListBox: return "FileListBox";
    case MakerControl::StartButton: return "StartButton";
    case MakerControl::CancelButton: return "CancelButton";
    case MakerControl::MenuOptionsSettings: return "MenuOptionsSettings";
    case MakerControl::MenuOptionsPriorityIdle: return "MenuOptionsPriorityIdle";
    case MakerControl::MenuOptionsPriorityLowest: return "MenuOptionsPriorityLowest";
    case MakerControl::MenuOptionsPriorityLower: return "MenuOptionsPriorityLower";
    case MakerControl::MenuOptionsPriorityNormal: return "MenuOptionsPriorityNormal";
    case MakerControl::MenuOptionsPriorityHigher: return "MenuOptionsPriorityHigher";
    case MakerControl::MenuOptionsPriorityHighest: return "MenuOptionsPriorityHighest";
  }
  return "";
}

MakerControl PriorityMenuItem(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::Idle: return MakerControl::MenuOptionsPriorityIdle;
    case ThreadPriority::Lowest: return MakerControl::MenuOptionsPriorityLowest;
    case ThreadPriority::Lower: return MakerControl::MenuOptionsPriorityLower;
    case ThreadPriority::Normal: return MakerControl::MenuOptionsPriorityNormal;
    case ThreadPriority::Higher: return MakerControl::MenuOptionsPriorityHigher;
    case ThreadPriority::Highest: return MakerControl::MenuOptionsPriorityHighest;
  }
  return MakerControl::MenuOptionsPriorityNormal;
}
