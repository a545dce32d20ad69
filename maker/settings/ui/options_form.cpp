// TOptionsForm: the four pages together, OK and Cancel, the translation of the window and
// Load Language.
#include "maker/settings/ui/options_form.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "maker/settings/language_file.h"
#include "maker/settings/maker_texts.h"
#include "maker/settings/ui/accuracy_page.h"
#include "maker/settings/ui/cd_reader_page.h"
#include "maker/settings/ui/customization_page.h"
#include "maker/settings/ui/encoding_page.h"
#include "maker/settings/ui/file_log_page.h"

using maker::TOptionsForm;

namespace {

constexpr const char* kErrorCaption = "zbmaker (Zimbar MP3 Maker) Error";

}  // namespace

TOptionsForm::TOptionsForm(SettingsTable& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName(QStringLiteral("OptionsForm"));
  setWindowTitle(QStringLiteral("zbmaker Options"));

  SettingsPageControl = new QTabWidget(this);
  SettingsPageControl->setObjectName(QStringLiteral("SettingsPageControl"));
  CDTabSheet = new TCDReaderPage;
  MP3TabSheet = new TEncodingPage;
  FileLogTabSheet = new TFileLogPage;
  CustomizationTabSheet = new TCustomizationPage;
  AccuracyTabSheet = new TAccuracyPage;
  SettingsPageControl->addTab(CDTabSheet, QStringLiteral("CD &Reader Settings"));
  SettingsPageControl->addTab(MP3TabSheet, QStringLiteral("MP&3 Settings"));
  SettingsPageControl->addTab(FileLogTabSheet, QStringLiteral("File and Lo&g options"));
  SettingsPageControl->addTab(CustomizationTabSheet, QStringLiteral("C&ustomization"));
  SettingsPageControl->addTab(AccuracyTabSheet, QStringLiteral("Accurac&y"));

  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(SettingsPageControl);
  layout->addLayout(buttons);

  connect(OKButton, &QPushButton::clicked, this, &TOptionsForm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(CustomizationTabSheet->LoadLanguageButton, &QPushButton::clicked, this,
          &TOptionsForm::LoadLanguageButtonClick);
  connect(AccuracyTabSheet->FindReadOffsetButton, &QPushButton::clicked, this, &TOptionsForm::findReadOffsetRequested);

  chooseFile_ = [](QWidget* p, const QString& folder) {
    return QFileDialog::getOpenFileName(p, QStringLiteral("Load Language"), folder,
                                        QStringLiteral("Language files (language_*.txt)"));
  };
  showError_ = [](QWidget* p, const QString& caption, const QString& text) { QMessageBox::critical(p, caption, text); };

  Load(settings_);
  Translate();
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::SetDialogs(ChooseLanguageFileFn chooseFile, ShowErrorFn showError) {
  chooseFile_ = std::move(chooseFile);
  showError_ = std::move(showError);
}

TranslatableComponents TOptionsForm::Components() const {
  const TCDReaderPage* cd = CDTabSheet;
  const TEncodingPage* mp3 = MP3TabSheet;
  const TFileLogPage* files = FileLogTabSheet;
  const TCustomizationPage* custom = CustomizationTabSheet;
  const TAccuracyPage* accuracy = AccuracyTabSheet;
  return {
      {custom->LanguageLabel, "LanguageLabel"},
      {custom->TranslatorLabel, "TranslatorLabel"},
      {custom->LoadLanguageButton, "LoadLanguageButton"},
      {CancelButton, "CancelButton"},
      {OKButton, "OKButton"},
      {cd->AdjustCDSpeedCheckBox, "AdjustCDSpeedCheckBox"},
      {files->CD2MP3DeleteMP3OnErroCheckBox, "CD2MP3DeleteMP3OnErroCheckBox"},
      {files->CD2MP3DeleteTempOnErrorCheckBox, "CD2MP3DeleteTempOnErrorCheckBox"},
      {files->CD2MP3DeleteTempOnSuccesCheckBox, "CD2MP3DeleteTempOnSuccesCheckBox"},
      {files->CD2WAVDeleteWAVOnErrorCheckBox, "CD2WAVDeleteWAVOnErrorCheckBox"},
      {files->ClearEncoderLogCheckBox, "ClearEncoderLogCheckBox"},
      {files->ClearReaderLogCheckBox, "ClearReaderLogCheckBox"},
      {files->ConfirmOverwriteCheckBox, "ConfirmOverwriteCheckBox"},
      {mp3->FastModeCheckBox, "FastModeCheckBox"},
      {mp3->UseMMXCheckBox, "UseMMXCheckBox"},
      {mp3->UseLTPCheckBox, "UseLTPCheckBox"},
      {mp3->UseTNSCheckBox, "UseTNSCheckBox"},
      {mp3->UsePNSCheckBox, "UsePNSCheckBox"},
      {cd->JitterCorrectionCheckBox, "JitterCorrectionCheckBox"},
      {files->MP32WAVDeleteMP3OnSuccesCheckBox, "MP32WAVDeleteMP3OnSuccesCheckBox"},
      {files->MP32WAVDeleteWAVOnErrorCheckBox, "MP32WAVDeleteWAVOnErrorCheckBox"},
      {cd->NormalizeCheckBox, "NormalizeCheckBox"},
      {files->WAV2MP3DeleteMP3OnErrorCheckBox, "WAV2MP3DeleteMP3OnErrorCheckBox"},
      {files->WAV2MP3DeleteWAVOnSuccesCheckBox, "WAV2MP3DeleteWAVOnSuccesCheckBox"},
      {custom->BeepWhenDoneCheckBox, "BeepWhenDoneCheckBox"},
      {custom->BringToFrontWhenDoneCheckBox, "BringToFrontWhenDoneCheckBox"},
      {mp3->AACBitRateComboBox, "AACBitRateComboBox"},
      {mp3->UseADTSCheckBox, "UseADTSCheckBox"},
      {cd->CDSpeedComboBox, "CDSpeedComboBox"},
      {mp3->ChannelsComboBox, "ChannelsComboBox"},
      {mp3->ExternalProgramComboBox, "ExternalProgramComboBox"},
      {mp3->MPEG1BitRateComboBox, "MPEG1BitRateComboBox"},
      {mp3->MPEG2BitRateComboBox, "MPEG2BitRateComboBox"},
      {cd->NormalizeMaxSignalComboBox, "NormalizeMaxSignalComboBox"},
      {cd->EncoderJobsLabel, "EncoderJobsLabel"},
      {cd->EncoderJobsSpinBox, "EncoderJobsSpinBox"},
      {cd->NormalizeMinSignalComboBox, "NormalizeMinSignalComboBox"},
      {cd->NormalizePercentComboBox, "NormalizePercentComboBox"},
      {cd->OverlapPercentComboBox, "OverlapPercentComboBox"},
      {cd->ReadSectorComboBox, "ReadSectorComboBox"},
      {cd->SyncMisalignRetryComboBox, "SyncMisalignRetryComboBox"},
      {cd->SyncNoMatchRetryComboBox, "SyncNoMatchRetryComboBox"},
      {cd->CDReadMethodGroupBox, "CDReadMethodGroupBox"},
      {mp3->EncodingGroupBox, "EncodingGroupBox"},
      {files->FileLogGroupBox, "FileLogGroupBox"},
      {cd->ReaderGroupBox, "ReaderGroupBox"},
      {SettingsPageControl, "SettingsPageControl"},
      {mp3->UseAACRadioButton, "UseAACRadioButton"},
      {cd->UseASPIRadioButton, "UseASPIRadioButton"},
      {mp3->UseExternalProgramRadioButton, "UseExternalProgramRadioButton"},
      {mp3->UseMPEG1RadioButton, "UseMPEG1RadioButton"},
      {mp3->UseMPEG2RadioButton, "UseMPEG2RadioButton"},
      {cd->UseWinNTRawReadRadioButton, "UseWinNTRawReadRadioButton"},
      {CDTabSheet, "CDTabSheet"},
      {MP3TabSheet, "MP3TabSheet"},
      {FileLogTabSheet, "FileLogTabSheet"},
      {CustomizationTabSheet, "CustomizationTabSheet"},
      {custom->LanguageCaptionLabel, "LanguageCaptionLabel"},
      {custom->TranslatorCaptionLabel, "TranslatorCaptionLabel"},
      {custom->CustomizationGroupBox, "CustomizationGroupBox"},
      {AccuracyTabSheet, "AccuracyTabSheet"},
      {accuracy->AccurateRipGroupBox, "AccurateRipGroupBox"},
      {accuracy->AccurateRipCheckBox, "AccurateRipCheckBox"},
      {accuracy->AccurateRipServerLabel, "AccurateRipServerLabel"},
      {accuracy->AccurateRipServerEdit, "AccurateRipServerEdit"},
      {accuracy->ReadOffsetGroupBox, "ReadOffsetGroupBox"},
      {accuracy->ReadOffsetDriveCaptionLabel, "ReadOffsetDriveCaptionLabel"},
      {accuracy->ReadOffsetLabel, "ReadOffsetLabel"},
      {accuracy->ReadOffsetSpinBox, "ReadOffsetSpinBox"},
      {accuracy->FindReadOffsetButton, "FindReadOffsetButton"},
      {accuracy->SecureGroupBox, "SecureGroupBox"},
      {accuracy->SecureModeCheckBox, "SecureModeCheckBox"},
      {accuracy->SecureRetriesLabel, "SecureRetriesLabel"},
      {accuracy->SecureRetriesSpinBox, "SecureRetriesSpinBox"},
      {accuracy->BurstThenVerifyCheckBox, "BurstThenVerifyCheckBox"},
      {accuracy->CoverArtGroupBox, "CoverArtGroupBox"},
      {accuracy->CoverArtCheckBox, "CoverArtCheckBox"},
      {accuracy->CoverArtServerLabel, "CoverArtServerLabel"},
      {accuracy->CoverArtServerEdit, "CoverArtServerEdit"},
      {mp3->UseM4ARadioButton, "UseM4ARadioButton"},
      {mp3->M4ABitRateComboBox, "M4ABitRateComboBox"},
      {mp3->UseFLACRadioButton, "UseFLACRadioButton"},
      {mp3->FlacLevelComboBox, "FlacLevelComboBox"},
      {mp3->FlacVerifyCheckBox, "FlacVerifyCheckBox"},
      {mp3->UseVorbisRadioButton, "UseVorbisRadioButton"},
      {mp3->VorbisQualityComboBox, "VorbisQualityComboBox"},
      {mp3->UseOpusRadioButton, "UseOpusRadioButton"},
      {mp3->OpusBitRateComboBox, "OpusBitRateComboBox"},
      {mp3->ReplayGainGroupBox, "ReplayGainGroupBox"},
      {mp3->ReplayGainCheckBox, "ReplayGainCheckBox"},
      {mp3->ReplayGainFilesCheckBox, "ReplayGainFilesCheckBox"},
      {const_cast<TOptionsForm*>(this), "OptionsForm"},
  };
}

void TOptionsForm::Translate() {
  // The language lines show exactly what the file names: nothing is kept from before.
  // Their captions ("Language:", "Translated by:") are labels of their own.
  CustomizationTabSheet->LanguageLabel->clear();
  CustomizationTabSheet->TranslatorLabel->clear();
  TranslateForm(kOptionsFormSection, Components());
}

void TOptionsForm::Load(const SettingsTable& settings) {
  CDTabSheet->Load(settings);
  MP3TabSheet->Load(settings);
  FileLogTabSheet->Load(settings);
  CustomizationTabSheet->Load(settings);
  AccuracyTabSheet->Load(settings);
}

void TOptionsForm::Save(SettingsTable& settings) const {
  CDTabSheet->Save(settings);
  MP3TabSheet->Save(settings);
  FileLogTabSheet->Save(settings);
  CustomizationTabSheet->Save(settings);
  AccuracyTabSheet->Save(settings);
}

void TOptionsForm::SetDrive(const std::string& key, const std::string& name) { AccuracyTabSheet->SetDrive(key, name); }

void TOptionsForm::ShowReadOffset(int offset) { AccuracyTabSheet->ReadOffsetSpinBox->setValue(offset); }

void TOptionsForm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TOptionsForm::FormShow() {
  // Every showing starts from the settings, so what a cancelled showing changed is gone.
  Load(settings_);
  if (QWidget* owner = parentWidget(); owner != nullptr) move(owner->frameGeometry().topLeft() + QPoint(15, 15));
}

void TOptionsForm::OKButtonClick() {
  Save(settings_);
  accept();
}

void TOptionsForm::LoadLanguageButtonClick() {
  const QString chosen = chooseFile_(this, QString::fromStdString(ShippedLanguageFolder()));
  if (chosen.isEmpty()) return;
  if (auto installed = InstallLanguageFile(chosen.toStdString(), UserLanguageFilePath()); !installed) {
    // In the language the windows show until a file is installed.
    const MakerTexts texts = ActiveMakerTexts();
    showError_(this, QString::fromStdString(texts.Shown(kErrorCaption)),
               QString::fromStdString(texts.Shown(installed.Error().Message())));
    return;
  }
  Translate();
  Q_EMIT languageLoaded();
}
