// The controls each translated window offers for translation, by section, as the language
// files name them; the shipped files and the windows are checked against these lists.
#pragma once

#include <map>
#include <set>
#include <string>

inline const std::map<std::string, std::set<std::string>>& TranslatableNames() {
  static const std::map<std::string, std::set<std::string>> names = {
      {"MP3 Maker Main",
       {"InputCDComboBox", "AddButton", "AddDirButton", "CDInfoButton", "CancelButton", "ClearButton",
        "OutputPathButton", "RemoveButton", "StartButton", "CDTargetGroupBox", "ExecuteGroupBox",
        "FileTargetGroupBox", "OperationsGroupBox", "FileListBox", "TracksList", "MainMenu", "EncoderLogMemo",
        "ReaderLogMemo", "MenuFile", "MenuFileOpenDiscImage", "MenuFileEject", "MenuFileFindReadOffset", "MenuFileExit", "MenuHelp", "MenuHelpAbout", "MenuHelpContents", "MenuOptions",
        "MenuOptionsPriority", "MenuOptionsPriorityHigher", "MenuOptionsPriorityHighest", "MenuOptionsPriorityIdle",
        "MenuOptionsPriorityLowest", "MenuOptionsPriorityLower", "MenuOptionsPriorityNormal", "MenuOptionsSettings",
        "FileOpenDialog", "ButtonsPanel", "EncoderPanel", "EncoderStatusPanel", "ExecuteTopMarginPanel", "ListsPanel",
        "OperationsTopMarginPanel", "ReaderPanel", "ReaderStatusPanel", "SelectedOutputDirectoryPanel", "TargetPanel",
        "TargetTopMarginPanel", "TopMarginPanel", "CD2MP3RadioButton", "CD2WAVRadioButton", "MP32WAVRadioButton",
        "WAV2MP3RadioButton"}},
      {"MP3 Maker Options",
       {"LanguageLabel", "TranslatorLabel", "LoadLanguageButton", "CancelButton", "OKButton", "AdjustCDSpeedCheckBox",
        "CD2MP3DeleteMP3OnErroCheckBox", "CD2MP3DeleteTempOnErrorCheckBox", "CD2MP3DeleteTempOnSuccesCheckBox",
        "CD2WAVDeleteWAVOnErrorCheckBox", "ClearEncoderLogCheckBox", "ClearReaderLogCheckBox",
        "ConfirmOverwriteCheckBox", "FastModeCheckBox", "UseMMXCheckBox", "UseLTPCheckBox", "UseTNSCheckBox",
        "UsePNSCheckBox", "JitterCorrectionCheckBox", "MP32WAVDeleteMP3OnSuccesCheckBox",
        "MP32WAVDeleteWAVOnErrorCheckBox", "NormalizeCheckBox", "WAV2MP3DeleteMP3OnErrorCheckBox",
        "WAV2MP3DeleteWAVOnSuccesCheckBox", "BeepWhenDoneCheckBox", "BringToFrontWhenDoneCheckBox",
        "AACBitRateComboBox", "UseADTSCheckBox", "CDSpeedComboBox", "ChannelsComboBox", "ExternalProgramComboBox",
        "MPEG1BitRateComboBox", "MPEG2BitRateComboBox", "NormalizeMaxSignalComboBox", "NormalizeMinSignalComboBox",
        "NormalizePercentComboBox", "OverlapPercentComboBox", "ReadSectorComboBox", "SyncMisalignRetryComboBox",
        "SyncNoMatchRetryComboBox", "CDReadMethodGroupBox", "EncodingGroupBox", "FileLogGroupBox", "ReaderGroupBox",
        "SettingsPageControl", "UseAACRadioButton", "UseASPIRadioButton", "UseExternalProgramRadioButton",
        "UseMPEG1RadioButton", "UseMPEG2RadioButton", "UseWinNTRawReadRadioButton", "CDTabSheet", "MP3TabSheet",
        "FileLogTabSheet", "CustomizationTabSheet", "CustomizationGroupBox", "OptionsForm",
        "LanguageCaptionLabel", "TranslatorCaptionLabel", "AccuracyTabSheet", "AccurateRipGroupBox",
        "AccurateRipCheckBox", "AccurateRipServerLabel", "AccurateRipServerEdit", "ReadOffsetGroupBox", "ReadOffsetDriveCaptionLabel",
        "ReadOffsetLabel", "ReadOffsetSpinBox", "FindReadOffsetButton", "SecureGroupBox", "SecureModeCheckBox",
        "SecureRetriesLabel", "SecureRetriesSpinBox", "BurstThenVerifyCheckBox", "CoverArtGroupBox",
        "CoverArtCheckBox", "CoverArtServerLabel", "CoverArtServerEdit", "UseM4ARadioButton", "M4ABitRateComboBox",
        "UseFLACRadioButton", "FlacLevelComboBox", "FlacVerifyCheckBox", "UseVorbisRadioButton",
        "VorbisQualityComboBox", "UseOpusRadioButton", "OpusBitRateComboBox", "ReplayGainGroupBox",
        "ReplayGainCheckBox", "ReplayGainFilesCheckBox", "EncoderJobsLabel", "EncoderJobsSpinBox"}},
      {"MP3 Maker CD Info",
       {"CDInfoPanel", "TitleLabel", "ArtistLabel", "YearLabel", "GenreLabel", "TitleEdit", "ArtistEdit", "YearEdit",
        "GenreComboBox", "TracksListBox", "CDDBServerComboBox", "FilenamePatternEdit", "UseFileNameFormatCheckBox",
        "TempTracksListBox", "ApplyID3CheckBox", "UseHttpProxyCheckBox", "HttpProxyEdit", "UseSocksProxyCheckBox",
        "SocksProxyEdit", "LoadFromCDDBButton", "OKButton", "CancelButton", "LookupSourceComboBox"}},
  };
  return names;
}
