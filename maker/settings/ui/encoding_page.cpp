// The encoding page: its controls, their enabling and the settings behind them.
#include "maker/settings/ui/encoding_page.h"

#include <QGridLayout>
#include <QVBoxLayout>
#include <iterator>

#include "maker/settings/external_program_list.h"
#include "maker/settings/option_lists.h"
#include "maker/settings/ui/option_controls.h"

namespace {

QCheckBox* NewCheckBox(QWidget* parent, const char* name, const char* caption) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QRadioButton* NewRadioButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QRadioButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace

TEncodingPage::TEncodingPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MP3TabSheet"));

  EncodingGroupBox = new QGroupBox(QStringLiteral("MP3 Encoding"), this);
  EncodingGroupBox->setObjectName(QStringLiteral("EncodingGroupBox"));
  QWidget* box = EncodingGroupBox;
  ChannelsComboBox = NewListComboBox(box, "ChannelsComboBox", ChannelEntries());
  UseMPEG1RadioButton = NewRadioButton(box, "UseMPEG1RadioButton", "Use MPEG &1");
  MPEG1BitRateComboBox = NewListComboBox(box, "MPEG1BitRateComboBox", Mpeg1BitRateEntries());
  UseMPEG2RadioButton = NewRadioButton(box, "UseMPEG2RadioButton", "Use MPEG &2");
  MPEG2BitRateComboBox = NewListComboBox(box, "MPEG2BitRateComboBox", Mpeg2BitRateEntries());
  UseAACRadioButton = NewRadioButton(box, "UseAACRadioButton", "Use &AAC");
  AACBitRateComboBox = NewListComboBox(box, "AACBitRateComboBox", AacBitRateEntries());
  UseADTSCheckBox = NewCheckBox(box, "UseADTSCheckBox", "Write A&DTS (plays in most players)");
  UseM4ARadioButton = NewRadioButton(box, "UseM4ARadioButton", "Use M&4A");
  M4ABitRateComboBox = NewListComboBox(box, "M4ABitRateComboBox", AacBitRateEntries());
  UseFLACRadioButton = NewRadioButton(box, "UseFLACRadioButton", "Use FLAC (bit-e&xact)");
  FlacLevelComboBox = NewListComboBox(box, "FlacLevelComboBox", FlacLevelEntries());
  FlacVerifyCheckBox = NewCheckBox(box, "FlacVerifyCheckBox", "Ver&ify");
  UseVorbisRadioButton = NewRadioButton(box, "UseVorbisRadioButton", "Use Ogg &Vorbis");
  VorbisQualityComboBox = NewListComboBox(box, "VorbisQualityComboBox", VorbisQualityEntries());
  UseOpusRadioButton = NewRadioButton(box, "UseOpusRadioButton", "Use Opu&s");
  OpusBitRateComboBox = NewListComboBox(box, "OpusBitRateComboBox", OpusBitRateEntries());
  UseExternalProgramRadioButton = NewRadioButton(box, "UseExternalProgramRadioButton", "&External Program");
  ExternalProgramComboBox = new QComboBox(box);
  ExternalProgramComboBox->setObjectName(QStringLiteral("ExternalProgramComboBox"));
  ExternalProgramComboBox->setEditable(true);
  // Entries are added by OK only, as the first entry; Enter in the edit adds nothing.
  ExternalProgramComboBox->setInsertPolicy(QComboBox::NoInsert);
  ExternalProgramComboBox->setMinimumContentsLength(40);
  ExternalProgramComboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  FastModeCheckBox = NewCheckBox(box, "FastModeCheckBox", "&Fast Mode");
  UseMMXCheckBox = NewCheckBox(box, "UseMMXCheckBox", "Use &MMX");
  UseLTPCheckBox = NewCheckBox(box, "UseLTPCheckBox", "Use &LTP");
  UseTNSCheckBox = NewCheckBox(box, "UseTNSCheckBox", "Use &TNS");
  UsePNSCheckBox = NewCheckBox(box, "UsePNSCheckBox", "Use &PNS");
  // No encoder reads these two; they stay in the window to carry their settings.
  UseMMXCheckBox->hide();
  UsePNSCheckBox->hide();

  ChannelsComboBox->setToolTip(QStringLiteral("Channel mode of the encoded files"));
  MPEG1BitRateComboBox->setToolTip(QStringLiteral("Bit rate of MPEG-1 files"));
  MPEG2BitRateComboBox->setToolTip(QStringLiteral("Bit rate of MPEG-2 files"));
  AACBitRateComboBox->setToolTip(QStringLiteral("Bit rate of AAC files"));
  UseADTSCheckBox->setToolTip(
      QStringLiteral("Frame every AAC block with its own header instead of one ADIF header at the start of the file"));
  M4ABitRateComboBox->setToolTip(QStringLiteral("Bit rate of M4A files (AAC in an MP4 file)"));
  FlacLevelComboBox->setToolTip(QStringLiteral("Compression level of FLAC files; every level keeps the audio exactly"));
  FlacVerifyCheckBox->setToolTip(QStringLiteral("Decode each FLAC file while it is written and compare it with the input"));
  VorbisQualityComboBox->setToolTip(QStringLiteral("Quality of Ogg Vorbis files (higher is better and larger)"));
  OpusBitRateComboBox->setToolTip(QStringLiteral("Bit rate of Opus files"));
  ExternalProgramComboBox->setToolTip(
      QStringLiteral("Command run on each WAV file; $full$, $path$, $drive$, $dir$, $name$ and $ext$ stand for "
                     "parts of its path"));

  auto* grid = new QGridLayout(box);
  grid->addWidget(ChannelsComboBox, 0, 1);
  grid->addWidget(UseMPEG1RadioButton, 1, 0);
  grid->addWidget(MPEG1BitRateComboBox, 1, 1);
  grid->addWidget(UseMPEG2RadioButton, 2, 0);
  grid->addWidget(MPEG2BitRateComboBox, 2, 1);
  grid->addWidget(UseAACRadioButton, 3, 0);
  grid->addWidget(AACBitRateComboBox, 3, 1);
  grid->addWidget(UseADTSCheckBox, 3, 2);
  grid->addWidget(UseM4ARadioButton, 4, 0);
  grid->addWidget(M4ABitRateComboBox, 4, 1);
  grid->addWidget(UseFLACRadioButton, 5, 0);
  grid->addWidget(FlacLevelComboBox, 5, 1);
  grid->addWidget(FlacVerifyCheckBox, 5, 2);
  grid->addWidget(UseVorbisRadioButton, 6, 0);
  grid->addWidget(VorbisQualityComboBox, 6, 1);
  grid->addWidget(UseOpusRadioButton, 7, 0);
  grid->addWidget(OpusBitRateComboBox, 7, 1);
  grid->addWidget(UseExternalProgramRadioButton, 8, 0);
  grid->addWidget(ExternalProgramComboBox, 8, 1, 1, 2);
  grid->addWidget(FastModeCheckBox, 9, 1);
  grid->addWidget(UseLTPCheckBox, 10, 1);
  grid->addWidget(UseTNSCheckBox, 11, 1);
  grid->setColumnStretch(1, 1);

  ReplayGainGroupBox = new QGroupBox(QStringLiteral("ReplayGain"), this);
  ReplayGainGroupBox->setObjectName(QStringLiteral("ReplayGainGroupBox"));
  ReplayGainCheckBox = NewCheckBox(ReplayGainGroupBox, "ReplayGainCheckBox", "Write ReplayGain tags after CD ru&ns");
  ReplayGainFilesCheckBox = NewCheckBox(ReplayGainGroupBox, "ReplayGainFilesCheckBox",
                                        "Write ReplayGain tags after WAV encode runs (each folder is one al&bum)");
  ReplayGainCheckBox->setToolTip(
      QStringLiteral("Measure the loudness of every track of a rip and tag each file with its track and album gain"));
  ReplayGainFilesCheckBox->setToolTip(
      QStringLiteral("Measure the encoded WAV files and tag them; the files of one folder make one album"));
  auto* gain = new QVBoxLayout(ReplayGainGroupBox);
  gain->addWidget(ReplayGainCheckBox);
  gain->addWidget(ReplayGainFilesCheckBox);

  auto* page = new QVBoxLayout(this);
  page->addWidget(EncodingGroupBox);
  page->addWidget(ReplayGainGroupBox);
  page->addStretch();

  for (QRadioButton* button : {UseMPEG1RadioButton, UseMPEG2RadioButton, UseAACRadioButton, UseM4ARadioButton,
                               UseFLACRadioButton, UseVorbisRadioButton, UseOpusRadioButton,
                               UseExternalProgramRadioButton}) {
    connect(button, &QRadioButton::toggled, this, &TEncodingPage::UpdateEnabling);
  }
  // activated: a choice of the user, not a change made by Load.
  connect(ChannelsComboBox, &QComboBox::activated, this, &TEncodingPage::ChannelsComboBoxChange);
}

void TEncodingPage::Load(const SettingsTable& settings) {
  SelectSetting(ChannelsComboBox, settings, &MakerSettingValues::channels);
  // A stored mode outside 1 ... 8 is MPEG-1, as the encoder takes it.
  switch (settings.EncoderMode()) {
    case kModeMpeg2: UseMPEG2RadioButton->setChecked(true); break;
    case kModeAac: UseAACRadioButton->setChecked(true); break;
    case kModeExternal: UseExternalProgramRadioButton->setChecked(true); break;
    case kModeM4a: UseM4ARadioButton->setChecked(true); break;
    case kModeFlac: UseFLACRadioButton->setChecked(true); break;
    case kModeVorbis: UseVorbisRadioButton->setChecked(true); break;
    case kModeOpus: UseOpusRadioButton->setChecked(true); break;
    default: UseMPEG1RadioButton->setChecked(true); break;
  }
  SelectSetting(MPEG1BitRateComboBox, settings, &MakerSettingValues::mpeg1BitRate);
  SelectSetting(MPEG2BitRateComboBox, settings, &MakerSettingValues::mpeg2BitRate);
  SelectSetting(AACBitRateComboBox, settings, &MakerSettingValues::aacBitRate);
  UseADTSCheckBox->setChecked(settings.aacUseAdts != 0);
  SelectSetting(M4ABitRateComboBox, settings, &MakerSettingValues::m4aBitRate);
  // Out-of-range levels and qualities show what the encoder would use.
  FlacLevelComboBox->setCurrentIndex(settings.FlacLevelValue());
  FlacVerifyCheckBox->setChecked(settings.flacVerify != 0);
  VorbisQualityComboBox->setCurrentIndex(settings.VorbisQualityValue() - kVorbisQualityFirst);
  SelectOpusBitRate(settings.OpusBitRateKbps());

  const ExternalProgramList programs = ListExternalPrograms(settings);
  ExternalProgramComboBox->clear();
  for (const std::string& program : programs.entries) ExternalProgramComboBox->addItem(QString::fromStdString(program));
  ExternalProgramComboBox->setCurrentIndex(programs.selected);
  ExternalProgramComboBox->setEditText(QString::fromStdString(programs.text));

  FastModeCheckBox->setChecked(settings.fastMode != 0);
  UseMMXCheckBox->setChecked(settings.useMmx != 0);
  UseLTPCheckBox->setChecked(settings.useLtp != 0);
  UseTNSCheckBox->setChecked(settings.useTns != 0);
  UsePNSCheckBox->setChecked(settings.usePns != 0);
  ReplayGainCheckBox->setChecked(settings.replayGain != 0);
  ReplayGainFilesCheckBox->setChecked(settings.replayGainFiles != 0);
  UpdateEnabling();
}

void TEncodingPage::SelectOpusBitRate(int kbps) {
  // Entries beyond the offered rates are left from an earlier showing: start afresh.
  while (OpusBitRateComboBox->count() > int(std::size(kOpusBitRates)))
    OpusBitRateComboBox->removeItem(OpusBitRateComboBox->count() - 1);
  for (int i = 0; i < int(std::size(kOpusBitRates)); ++i) {
    if (kOpusBitRates[i] == kbps) {
      OpusBitRateComboBox->setCurrentIndex(i);
      return;
    }
  }
  OpusBitRateComboBox->addItem(QString::fromStdString(OpusBitRateEntry(kbps)), kbps);
  OpusBitRateComboBox->setCurrentIndex(OpusBitRateComboBox->count() - 1);
}

void TEncodingPage::Save(SettingsTable& settings) const {
  settings.channels = ChannelsComboBox->currentIndex();
  settings.mpegMode = EncoderMode();
  settings.mpeg1BitRate = MPEG1BitRateComboBox->currentIndex();
  settings.mpeg2BitRate = MPEG2BitRateComboBox->currentIndex();
  settings.aacBitRate = AACBitRateComboBox->currentIndex();
  settings.aacUseAdts = UseADTSCheckBox->isChecked();
  settings.m4aBitRate = M4ABitRateComboBox->currentIndex();
  settings.flacLevel = FlacLevelComboBox->currentIndex();
  settings.flacVerify = FlacVerifyCheckBox->isChecked();
  settings.vorbisQuality = VorbisQualityComboBox->currentIndex() + kVorbisQualityFirst;
  const int opus = OpusBitRateComboBox->currentIndex();
  settings.opusBitRate = opus < int(std::size(kOpusBitRates)) ? kOpusBitRates[opus]
                                                               : OpusBitRateComboBox->currentData().toInt();

  std::vector<std::string> programs;
  for (int i = 0; i < ExternalProgramComboBox->count(); ++i)
    programs.push_back(ExternalProgramComboBox->itemText(i).toStdString());
  StoreExternalPrograms(settings, std::move(programs), ExternalProgramComboBox->currentText().toStdString());

  settings.fastMode = FastModeCheckBox->isChecked();
  settings.useMmx = UseMMXCheckBox->isChecked();
  settings.useLtp = UseLTPCheckBox->isChecked();
  settings.useTns = UseTNSCheckBox->isChecked();
  settings.usePns = UsePNSCheckBox->isChecked();
  settings.replayGain = ReplayGainCheckBox->isChecked();
  settings.replayGainFiles = ReplayGainFilesCheckBox->isChecked();
}

int TEncodingPage::EncoderMode() const {
  if (UseMPEG2RadioButton->isChecked()) return kModeMpeg2;
  if (UseAACRadioButton->isChecked()) return kModeAac;
  if (UseExternalProgramRadioButton->isChecked()) return kModeExternal;
  if (UseM4ARadioButton->isChecked()) return kModeM4a;
  if (UseFLACRadioButton->isChecked()) return kModeFlac;
  if (UseVorbisRadioButton->isChecked()) return kModeVorbis;
  if (UseOpusRadioButton->isChecked()) return kModeOpus;
  return kModeMpeg1;
}

void TEncodingPage::UpdateEnabling() {
  const int mode = EncoderMode();
  const bool mp3 = mode == kModeMpeg1 || mode == kModeMpeg2;
  MPEG1BitRateComboBox->setEnabled(mode == kModeMpeg1);
  MPEG2BitRateComboBox->setEnabled(mode == kModeMpeg2);
  AACBitRateComboBox->setEnabled(mode == kModeAac);
  UseADTSCheckBox->setEnabled(mode == kModeAac);
  M4ABitRateComboBox->setEnabled(mode == kModeM4a);
  FlacLevelComboBox->setEnabled(mode == kModeFlac);
  FlacVerifyCheckBox->setEnabled(mode == kModeFlac);
  VorbisQualityComboBox->setEnabled(mode == kModeVorbis);
  OpusBitRateComboBox->setEnabled(mode == kModeOpus);
  ExternalProgramComboBox->setEnabled(mode == kModeExternal);
  // Every format the maker encodes itself takes CD tracks read as mono or stereo by the
  // channels (AAC stereo only, see ChannelsComboBoxChange).
  ChannelsComboBox->setEnabled(mode != kModeExternal);
  FastModeCheckBox->setEnabled(mp3);
  UseMMXCheckBox->setEnabled(mp3);
  UseLTPCheckBox->setEnabled(mode == kModeAac);
  UseTNSCheckBox->setEnabled(mode == kModeAac);
  UsePNSCheckBox->setEnabled(mode == kModeAac);
}

void TEncodingPage::ChannelsComboBoxChange(int index) {
  // The AAC encoder takes stereo input only.
  if (UseAACRadioButton->isChecked() && index == kChannelsMono) ChannelsComboBox->setCurrentIndex(kChannelsStereo);
}
