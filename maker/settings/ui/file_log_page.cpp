// The file and log page: eleven check boxes, one per setting.
#include "maker/settings/ui/file_log_page.h"

#include <QVBoxLayout>

namespace {

struct BoxSpec {
  QCheckBox* TFileLogPage::*member;
  const char* name;
  const char* caption;
  int MakerSettingValues::*setting;
};

constexpr BoxSpec kBoxes[] = {
    {&TFileLogPage::CD2MP3DeleteTempOnSuccesCheckBox, "CD2MP3DeleteTempOnSuccesCheckBox",
     "(CD-to-MP3) Delete temporary file on &success", &MakerSettingValues::cd2mp3DelTempOnSuccess},
    {&TFileLogPage::CD2MP3DeleteTempOnErrorCheckBox, "CD2MP3DeleteTempOnErrorCheckBox",
     "(CD-to-MP3) Delete temporary file on &error/cancel", &MakerSettingValues::cd2mp3DelTempOnError},
    {&TFileLogPage::CD2MP3DeleteMP3OnErroCheckBox, "CD2MP3DeleteMP3OnErroCheckBox",
     "(CD-to-MP3) Delete &MP3 output file on error/cancel", &MakerSettingValues::cd2mp3DelMp3OnError},
    {&TFileLogPage::CD2WAVDeleteWAVOnErrorCheckBox, "CD2WAVDeleteWAVOnErrorCheckBox",
     "(CD-to-WAV) Delete &WAV output file on error/cancel", &MakerSettingValues::cd2wavDelWavOnError},
    {&TFileLogPage::WAV2MP3DeleteWAVOnSuccesCheckBox, "WAV2MP3DeleteWAVOnSuccesCheckBox",
     "(WAV-to-MP3) Delete WAV &input file on success", &MakerSettingValues::wav2mp3DelWavOnSuccess},
    {&TFileLogPage::WAV2MP3DeleteMP3OnErrorCheckBox, "WAV2MP3DeleteMP3OnErrorCheckBox",
     "(WAV-to-MP3) Delete MP3 output &file on error/cancel", &MakerSettingValues::wav2mp3DelMp3OnError},
    {&TFileLogPage::MP32WAVDeleteMP3OnSuccesCheckBox, "MP32WAVDeleteMP3OnSuccesCheckBox",
     "(MP3-to-WAV) Delete MP3 in&put file on success", &MakerSettingValues::mp32wavDelMp3OnSuccess},
    {&TFileLogPage::MP32WAVDeleteWAVOnErrorCheckBox, "MP32WAVDeleteWAVOnErrorCheckBox",
     "(MP3-to-WAV) Delete WAV output fi&le on error/cancel", &MakerSettingValues::mp32wavDelWavOnError},
    {&TFileLogPage::ConfirmOverwriteCheckBox, "ConfirmOverwriteCheckBox", "Confirm before o&verwriting an existing file",
     &MakerSettingValues::confirmOverwrite},
    {&TFileLogPage::ClearReaderLogCheckBox, "ClearReaderLogCheckBox", "Clear Rea&der Log on Start",
     &MakerSettingValues::clearReaderLogOnStart},
    {&TFileLogPage::ClearEncoderLogCheckBox, "ClearEncoderLogCheckBox", "Clear E&ncoder Log on Start",
     &MakerSettingValues::clearEncoderLogOnStart},
};

}  // namespace

TFileLogPage::TFileLogPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FileLogTabSheet"));
  FileLogGroupBox = new QGroupBox(QStringLiteral("File and Log Options"), this);
  FileLogGroupBox->setObjectName(QStringLiteral("FileLogGroupBox"));
  auto* boxes = new QVBoxLayout(FileLogGroupBox);
  for (const BoxSpec& spec : kBoxes) {
    auto* box = new QCheckBox(QString::fromUtf8(spec.caption), FileLogGroupBox);
    box->setObjectName(QString::fromLatin1(spec.name));
    boxes->addWidget(box);
    this->*spec.member = box;
  }
  auto* page = new QVBoxLayout(this);
  page->addWidget(FileLogGroupBox);
  page->addStretch();
}

std::vector<std::pair<QCheckBox*, int MakerSettingValues::*>> TFileLogPage::Boxes() const {
  std::vector<std::pair<QCheckBox*, int MakerSettingValues::*>> boxes;
  for (const BoxSpec& spec : kBoxes) boxes.emplace_back(this->*spec.member, spec.setting);
  return boxes;
}

void TFileLogPage::Load(const SettingsTable& settings) {
  for (const auto& [box, setting] : Boxes()) box->setChecked(settings.*setting != 0);
}

void TFileLogPage::Save(SettingsTable& settings) const {
  for (const auto& [box, setting] : Boxes()) settings.*setting = box->isChecked() ? 1 : 0;
}
