// The file and log page: eleven check boxes, one per setting.
#include "maker/settings/ui/file_log_page.h"

#include <QVBoxLayout>

namespace {

struct BoxSpec {
  QCheckBox* TFileLogPage::*member;
  const char* name;
  const char* caption;
  const char* key;
};

constexpr BoxSpec kBoxes[] = {
    {&TFileLogPage::CD2MP3DeleteTempOnSuccesCheckBox, "CD2MP3DeleteTempOnSuccesCheckBox",
     "(CD-to-MP3) DeleteTemp file on success", "CD2MP3DelTempOnSuccess"},
    {&TFileLogPage::CD2MP3DeleteTempOnErrorCheckBox, "CD2MP3DeleteTempOnErrorCheckBox",
     "(CD-to-MP3) DeleteTemp file on error/cancel", "CD2MP3DelTempOnError"},
    {&TFileLogPage::CD2MP3DeleteMP3OnErroCheckBox, "CD2MP3DeleteMP3OnErroCheckBox",
     "(CD-to-MP3) Delete MP3 output file on error/cancel", "CD2MP3DelMP3OnError"},
    {&TFileLogPage::CD2WAVDeleteWAVOnErrorCheckBox, "CD2WAVDeleteWAVOnErrorCheckBox",
     "(CD-to-WAV) Delete WAV output file on error/cancel", "CD2WAVDelWAVOnError"},
    {&TFileLogPage::WAV2MP3DeleteWAVOnSuccesCheckBox, "WAV2MP3DeleteWAVOnSuccesCheckBox",
     "(WAV-to-MP3) Delete WAV intput file on success", "WAV2MP3DelWAVOnSuccess"},
    {&TFileLogPage::WAV2MP3DeleteMP3OnErrorCheckBox, "WAV2MP3DeleteMP3OnErrorCheckBox",
     "(WAV-to-MP3) Delete MP3 output file on error/cancel", "WAV2MP3DelMP3OnError"},
    {&TFileLogPage::MP32WAVDeleteMP3OnSuccesCheckBox, "MP32WAVDeleteMP3OnSuccesCheckBox",
     "(MP3-to-WAV) Delete MP3 intput file on success", "MP32WAVDelMP3OnSuccess"},
    {&TFileLogPage::MP32WAVDeleteWAVOnErrorCheckBox, "MP32WAVDeleteWAVOnErrorCheckBox",
     "(MP3-to-WAV) Delete WAV output file on error/cancel", "MP32WAVDelWAVOnError"},
    {&TFileLogPage::ConfirmOverwriteCheckBox, "ConfirmOverwriteCheckBox", "Confirm before overwriting an existing file",
     "ConfirmOverwrite"},
    {&TFileLogPage::ClearReaderLogCheckBox, "ClearReaderLogCheckBox", "Clear Reader Log on Start",
     "ClearReaderLogOnStart"},
    {&TFileLogPage::ClearEncoderLogCheckBox, "ClearEncoderLogCheckBox", "Clear Encoder Log on Start",
     "ClearEncoderLogOnStart"},
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

std::vector<std::pair<QCheckBox*, const char*>> TFileLogPage::Boxes() const {
  std::vector<std::pair<QCheckBox*, const char*>> boxes;
  for (const BoxSpec& spec : kBoxes) boxes.emplace_back(this->*spec.member, spec.key);
  return boxes;
}

void TFileLogPage::Load(const SettingsTable& settings) {
  for (const auto& [box, key] : Boxes()) box->setChecked(settings.Flag(key));
}

void TFileLogPage::Save(SettingsTable& settings) const {
  for (const auto& [box, key] : Boxes()) settings.SetFlag(key, box->isChecked());
}
