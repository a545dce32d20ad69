// Tests of the options window: its enabling rules, showing and storing the settings (OK
// against Cancel), the external program list, and translating itself and Load Language.
#include "maker/settings/ui/options_form.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>

#include "maker/settings/ui/accuracy_page.h"
#include "maker/settings/ui/cd_reader_page.h"
#include "maker/settings/ui/customization_page.h"
#include "maker/settings/ui/encoding_page.h"
#include "maker/settings/ui/file_log_page.h"
#include "tests/common/temp_dir.h"
#include "tests/maker/settings/ui/load_language.h"
#include "tests/maker/settings/translatable_names.h"

using maker::TOptionsForm;

namespace {

const std::string kShippedFolder = std::string(ZIMBAR_SOURCE_DIR) + "/lang/";

// A window over fresh settings, with the per-user and shipped folders in a scratch folder
// (no language file anywhere unless a test writes one) and the dialogs replaced.
struct Fixture {
  TempDir dir;
  ScopedEnv home{"ZIMBAR_HOME", dir.File("home").c_str()};
  ScopedEnv share{"ZIMBAR_SHARE_DIR", dir.File("share").c_str()};
  SettingsTable settings;
  std::unique_ptr<TOptionsForm> form;
  QString chosen, caption, message;

  explicit Fixture(bool passThrough = true) {
    ::mkdir(dir.File("home").c_str(), 0755);
    (void)settings.Load(dir.File("home/zbmaker.INI"), [passThrough] { return passThrough; });
    Make();
  }
  void Make() {
    form = std::make_unique<TOptionsForm>(settings);
    form->SetDialogs([this](QWidget*, const QString&) { return chosen; },
                     [this](QWidget*, const QString& c, const QString& t) { caption = c, message = t; });
  }
  TCDReaderPage& Cd() { return *form->CDTabSheet; }
  TEncodingPage& Mp3() { return *form->MP3TabSheet; }
  TCustomizationPage& Custom() { return *form->CustomizationTabSheet; }
  void Show() {
    form->show();
    QApplication::processEvents();
  }
  void LoadLanguage(const std::string& path) {
    LoadLanguageFromOptions(*form, path, [this](QWidget*, const QString& c, const QString& t) { caption = c, message = t; });
  }
};

void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2)); }

}  // namespace

// Catches a list that stays usable while the choice it depends on is off (or the other
// way round), or a rule applied only when the window opens and not on a click.
TEST(TOptionsForm, CdReaderListsFollowTheirCheckBoxesAndTheAccessMethod) {
  Fixture f;
  f.settings.jitterCorrection = 1;
  f.settings.normalize = 0;
  f.settings.adjustCdSpeed = 0;
  f.settings.useWinNtRawRead = 0;
  f.Show();
  TCDReaderPage& cd = f.Cd();
  EXPECT_TRUE(cd.OverlapPercentComboBox->isEnabled());
  EXPECT_TRUE(cd.SyncMisalignRetryComboBox->isEnabled());
  EXPECT_TRUE(cd.SyncNoMatchRetryComboBox->isEnabled());
  EXPECT_FALSE(cd.NormalizePercentComboBox->isEnabled());
  EXPECT_FALSE(cd.CDSpeedComboBox->isEnabled());
  EXPECT_TRUE(cd.ASPIReadModeComboBox->isEnabled());

  f.form->SettingsPageControl->setCurrentWidget(f.form->CDTabSheet);
  Click(cd.JitterCorrectionCheckBox);
  Click(cd.NormalizeCheckBox);
  Click(cd.AdjustCDSpeedCheckBox);
  Click(cd.UseWinNTRawReadRadioButton);
  EXPECT_FALSE(cd.OverlapPercentComboBox->isEnabled());
  EXPECT_FALSE(cd.SyncMisalignRetryComboBox->isEnabled());
  EXPECT_FALSE(cd.SyncNoMatchRetryComboBox->isEnabled());
  EXPECT_TRUE(cd.NormalizePercentComboBox->isEnabled());
  EXPECT_TRUE(cd.NormalizeMinSignalComboBox->isEnabled());
  EXPECT_TRUE(cd.NormalizeMaxSignalComboBox->isEnabled());
  EXPECT_TRUE(cd.CDSpeedComboBox->isEnabled());
  EXPECT_FALSE(cd.ASPIReadModeComboBox->isEnabled());
  EXPECT_TRUE(cd.UseASPIRadioButton->isEnabled());
  EXPECT_TRUE(cd.UseWinNTRawReadRadioButton->isEnabled());
}

// Catches the pass-through button offered when pass-through cannot be used, or a stored
// choice of it shown although the access check turned it off.
TEST(TOptionsForm, PassThroughIsOfferedOnlyWhenUsable) {
  Fixture f(/*passThrough=*/false);
  f.Show();
  EXPECT_FALSE(f.Cd().UseASPIRadioButton->isEnabled());
  EXPECT_TRUE(f.Cd().UseWinNTRawReadRadioButton->isChecked());
  EXPECT_FALSE(f.Cd().ASPIReadModeComboBox->isEnabled());
}

namespace {

struct EncoderCase {
  const char* name;
  QRadioButton* TEncodingPage::*button;
  std::vector<QWidget* TEncodingPage::*> enabled;
};

}  // namespace

// Catches a rate list, the channels list or an encoder switch usable with an encoder that
// does not read it, or not usable with the one that does.
TEST(TOptionsForm, EncodingControlsFollowTheChosenEncoder) {
  using P = TEncodingPage;
  auto w = [](auto member) { return reinterpret_cast<QWidget* P::*>(member); };
  const std::vector<QWidget* P::*> all = {w(&P::MPEG1BitRateComboBox), w(&P::MPEG2BitRateComboBox),
                                          w(&P::AACBitRateComboBox),   w(&P::UseADTSCheckBox),
                                          w(&P::M4ABitRateComboBox),   w(&P::FlacLevelComboBox),
                                          w(&P::FlacVerifyCheckBox),   w(&P::VorbisQualityComboBox),
                                          w(&P::OpusBitRateComboBox),  w(&P::ExternalProgramComboBox),
                                          w(&P::ChannelsComboBox),     w(&P::FastModeCheckBox),
                                          w(&P::UseMMXCheckBox),       w(&P::UseLTPCheckBox),
                                          w(&P::UseTNSCheckBox),       w(&P::UsePNSCheckBox)};
  const EncoderCase cases[] = {
      {"MPEG-1", &P::UseMPEG1RadioButton,
       {w(&P::MPEG1BitRateComboBox), w(&P::ChannelsComboBox), w(&P::FastModeCheckBox), w(&P::UseMMXCheckBox)}},
      {"MPEG-2", &P::UseMPEG2RadioButton,
       {w(&P::MPEG2BitRateComboBox), w(&P::ChannelsComboBox), w(&P::FastModeCheckBox), w(&P::UseMMXCheckBox)}},
      {"AAC", &P::UseAACRadioButton,
       {w(&P::AACBitRateComboBox), w(&P::UseADTSCheckBox), w(&P::ChannelsComboBox), w(&P::UseLTPCheckBox),
        w(&P::UseTNSCheckBox), w(&P::UsePNSCheckBox)}},
      {"M4A", &P::UseM4ARadioButton, {w(&P::M4ABitRateComboBox), w(&P::ChannelsComboBox)}},
      {"FLAC", &P::UseFLACRadioButton, {w(&P::FlacLevelComboBox), w(&P::FlacVerifyCheckBox), w(&P::ChannelsComboBox)}},
      {"Ogg Vorbis", &P::UseVorbisRadioButton, {w(&P::VorbisQualityComboBox), w(&P::ChannelsComboBox)}},
      {"Opus", &P::UseOpusRadioButton, {w(&P::OpusBitRateComboBox), w(&P::ChannelsComboBox)}},
      {"external", &P::UseExternalProgramRadioButton, {w(&P::ExternalProgramComboBox)}},
  };
  Fixture f;
  f.Show();
  f.form->SettingsPageControl->setCurrentWidget(f.form->MP3TabSheet);
  for (const EncoderCase& c : cases) {
    SCOPED_TRACE(c.name);
    Click(f.Mp3().*c.button);
    ASSERT_TRUE((f.Mp3().*c.button)->isChecked());
    for (QWidget* P::*member : all) {
      const bool expected = std::find(c.enabled.begin(), c.enabled.end(), member) != c.enabled.end();
      EXPECT_EQ((f.Mp3().*member)->isEnabled(), expected) << (f.Mp3().*member)->objectName().toStdString();
    }
  }
  EXPECT_TRUE(f.Mp3().UseMMXCheckBox->isHidden());
  EXPECT_TRUE(f.Mp3().UsePNSCheckBox->isHidden());
}

// Catches mono kept for the AAC encoder, or a choice of mono refused for the MP3 encoders.
TEST(TOptionsForm, ChoosingMonoWithAacSwitchesBackToStereo) {
  Fixture f;
  f.settings.mpegMode = kModeAac;
  f.Show();
  QComboBox* channels = f.Mp3().ChannelsComboBox;
  channels->setCurrentIndex(0);
  Q_EMIT channels->activated(0);
  EXPECT_EQ(channels->currentText(), QString("Stereo"));
  f.Mp3().UseMPEG1RadioButton->setChecked(true);
  channels->setCurrentIndex(0);
  Q_EMIT channels->activated(0);
  EXPECT_EQ(channels->currentText(), QString("Mono"));
}

// Catches stored values shown on the wrong entry: an encoder mode outside 1..8 that is
// not MPEG-1, an ExtPgm outside 0..9 that is not slot 0, a list index outside its list
// that shows an empty list (and stores -1 on OK), the normalization lists off by one.
TEST(TOptionsForm, ShowingTakesStoredValuesAndMendsOnesOutOfRange) {
  Fixture f;
  f.settings.mpegMode = 99;
  f.settings.extPgm = 12;
  f.settings.readSector = 99;
  f.settings.normalizePercent = 90;
  f.settings.normalizeMin = 0;
  f.settings.cdSpeed = 100;
  f.settings.encoderJobs = 17;
  f.Show();
  EXPECT_TRUE(f.Mp3().UseMPEG1RadioButton->isChecked());
  EXPECT_EQ(f.Cd().EncoderJobsSpinBox->text(), QString("Automatic"));
  EXPECT_EQ(f.Mp3().ExternalProgramComboBox->currentText().toStdString(), f.settings.ExternalProgram(0));
  EXPECT_EQ(f.Cd().ReadSectorComboBox->currentText(), QString("24-Sector Read"));
  EXPECT_EQ(f.Cd().NormalizePercentComboBox->currentText(), QString("90%"));
  EXPECT_EQ(f.Cd().NormalizeMinSignalComboBox->currentText(), QString("Only if signal is < 95%"));
  EXPECT_EQ(f.Cd().CDSpeedComboBox->currentText(), QString("Maximum"));
  Click(f.form->OKButton);
  EXPECT_EQ(f.settings.mpegMode, kModeMpeg1);
  EXPECT_EQ(f.settings.extPgm, 0);
  EXPECT_EQ(f.settings.readSector, 4);
  EXPECT_EQ(f.settings.normalizeMin, 95);
  EXPECT_EQ(f.settings.encoderJobs, 0);
}

// Catches a format button that stores another mode (or none), a format list whose entry is
// stored off by one (the Vorbis list starts at quality -1), a ReplayGain or cover art
// control that OK does not store, and a format shown with another button after reopening.
TEST(TOptionsForm, EachFormatButtonAndListStoresItsOwnSetting) {
  using P = TEncodingPage;
  const std::pair<QRadioButton* P::*, int> buttons[] = {
      {&P::UseMPEG1RadioButton, kModeMpeg1}, {&P::UseMPEG2RadioButton, kModeMpeg2},
      {&P::UseAACRadioButton, kModeAac},     {&P::UseExternalProgramRadioButton, kModeExternal},
      {&P::UseM4ARadioButton, kModeM4a},     {&P::UseFLACRadioButton, kModeFlac},
      {&P::UseVorbisRadioButton, kModeVorbis}, {&P::UseOpusRadioButton, kModeOpus}};
  Fixture f;
  for (const auto& [button, mode] : buttons) {
    SCOPED_TRACE(mode);
    f.Show();
    Click(f.Mp3().*button);
    Click(f.form->OKButton);
    EXPECT_EQ(f.settings.mpegMode, mode);
    f.Make();
    f.Show();
    EXPECT_TRUE((f.Mp3().*button)->isChecked());
    f.form->reject();
  }

  struct ListCase {
    QComboBox* P::*list;
    int index;
    int MakerSettingValues::*setting;
    int stored;
    const char* shown;
  };
  const ListCase lists[] = {
      {&P::M4ABitRateComboBox, 0, &MakerSettingValues::m4aBitRate, 0, "64 Kbps"},
      {&P::M4ABitRateComboBox, 8, &MakerSettingValues::m4aBitRate, 8, "256 Kbps"},
      {&P::FlacLevelComboBox, 0, &MakerSettingValues::flacLevel, 0, "Level 0 (fastest)"},
      {&P::FlacLevelComboBox, 8, &MakerSettingValues::flacLevel, 8, "Level 8 (smallest)"},
      {&P::VorbisQualityComboBox, 0, &MakerSettingValues::vorbisQuality, -1, "Quality -1"},
      {&P::VorbisQualityComboBox, 11, &MakerSettingValues::vorbisQuality, 10, "Quality 10"},
      {&P::OpusBitRateComboBox, 0, &MakerSettingValues::opusBitRate, 64, "64 Kbps"},
      {&P::OpusBitRateComboBox, 6, &MakerSettingValues::opusBitRate, 320, "320 Kbps"}};
  for (const ListCase& c : lists) {
    SCOPED_TRACE(c.shown);
    f.Show();
    (f.Mp3().*c.list)->setCurrentIndex(c.index);
    Click(f.form->OKButton);
    EXPECT_EQ(f.settings.*c.setting, c.stored);
    f.Make();
    f.Show();
    EXPECT_EQ((f.Mp3().*c.list)->currentText(), QString(c.shown));
    f.form->reject();
  }

  // The switches: each turned away from its default alone.
  f.Show();
  EXPECT_TRUE(f.Mp3().FlacVerifyCheckBox->isChecked());
  EXPECT_TRUE(f.Mp3().ReplayGainCheckBox->isChecked());
  EXPECT_FALSE(f.Mp3().ReplayGainFilesCheckBox->isChecked());
  EXPECT_TRUE(f.form->AccuracyTabSheet->CoverArtCheckBox->isChecked());
  EXPECT_EQ(f.form->AccuracyTabSheet->CoverArtServerEdit->text(), QString("https://coverartarchive.org"));
  f.Mp3().FlacVerifyCheckBox->setChecked(false);
  f.Mp3().ReplayGainCheckBox->setChecked(false);
  f.Mp3().ReplayGainFilesCheckBox->setChecked(true);
  f.form->AccuracyTabSheet->CoverArtCheckBox->setChecked(false);
  f.form->AccuracyTabSheet->CoverArtServerEdit->setText(" http://127.0.0.1:8123 ");
  Click(f.form->OKButton);
  EXPECT_EQ(f.settings.flacVerify, 0);
  EXPECT_EQ(f.settings.replayGain, 0);
  EXPECT_EQ(f.settings.replayGainFiles, 1);
  EXPECT_EQ(f.settings.coverArt, 0);
  EXPECT_EQ(f.settings.coverArtServer.str(), "http://127.0.0.1:8123");
  // An emptied address means the archive's own.
  f.Show();
  f.form->AccuracyTabSheet->CoverArtServerEdit->clear();
  Click(f.form->OKButton);
  EXPECT_EQ(f.settings.coverArtServer.str(), "https://coverartarchive.org");
}

// Catches the cover art server usable while no cover is fetched, or a rule applied only
// when the window opens.
TEST(TOptionsForm, CoverArtServerFollowsItsCheckBox) {
  Fixture f;
  f.settings.coverArt = 0;
  f.Show();
  TAccuracyPage& page = *f.form->AccuracyTabSheet;
  EXPECT_FALSE(page.CoverArtServerEdit->isEnabled());
  EXPECT_FALSE(page.CoverArtServerLabel->isEnabled());
  f.form->SettingsPageControl->setCurrentWidget(&page);
  Click(page.CoverArtCheckBox);
  EXPECT_TRUE(page.CoverArtServerEdit->isEnabled());
  EXPECT_TRUE(page.CoverArtServerLabel->isEnabled());
}

// Catches an Opus rate set outside the window (by hand or by --opus-bitrate) that the list
// cannot show and OK then replaces, an extra entry kept into the next showing, and stored
// levels and qualities outside their lists shown empty (and stored as -1 on OK).
TEST(TOptionsForm, FormatValuesOutsideTheListsAreKeptOrMended) {
  Fixture f;
  f.settings.mpegMode = kModeOpus;
  f.settings.opusBitRate = 48;
  f.settings.flacLevel = 12;
  f.settings.vorbisQuality = -3;
  f.settings.m4aBitRate = 9;
  f.Show();
  QComboBox* opus = f.Mp3().OpusBitRateComboBox;
  EXPECT_TRUE(f.Mp3().UseOpusRadioButton->isChecked());
  EXPECT_EQ(opus->currentText(), QString("48 Kbps"));
  EXPECT_EQ(opus->count(), 8);
  EXPECT_EQ(f.Mp3().FlacLevelComboBox->currentText(), QString("Level 5"));
  EXPECT_EQ(f.Mp3().VorbisQualityComboBox->currentText(), QString("Quality 5"));
  EXPECT_EQ(f.Mp3().M4ABitRateComboBox->currentText(), QString("128 Kbps"));
  Click(f.form->OKButton);
  EXPECT_EQ(f.settings.opusBitRate, 48);
  EXPECT_EQ(f.settings.flacLevel, 5);
  EXPECT_EQ(f.settings.vorbisQuality, 5);
  EXPECT_EQ(f.settings.m4aBitRate, 4);

  // A rate of the list replaces it; the extra entry is gone at the next showing.
  f.Show();
  opus->setCurrentIndex(5);
  Click(f.form->OKButton);
  EXPECT_EQ(f.settings.opusBitRate, 256);
  f.Show();
  EXPECT_EQ(opus->count(), 7);
  EXPECT_EQ(opus->currentText(), QString("256 Kbps"));
  f.form->reject();
  // A rate the encoder cannot use shows (and is stored as) the default.
  f.settings.opusBitRate = 5000;
  f.Show();
  EXPECT_EQ(opus->currentText(), QString("160 Kbps"));
}

namespace {

// Turns every control of the window away from its default.
void ChangeEverything(TOptionsForm& form) {
  TCDReaderPage& cd = *form.CDTabSheet;
  cd.ReadSectorComboBox->setCurrentIndex(33);
  cd.JitterCorrectionCheckBox->setChecked(false);
  cd.OverlapPercentComboBox->setCurrentIndex(7);
  cd.SyncMisalignRetryComboBox->setCurrentIndex(10);
  cd.SyncNoMatchRetryComboBox->setCurrentIndex(5);
  cd.NormalizeCheckBox->setChecked(true);
  cd.NormalizePercentComboBox->setCurrentIndex(49);
  cd.NormalizeMinSignalComboBox->setCurrentIndex(9);
  cd.NormalizeMaxSignalComboBox->setCurrentIndex(89);
  cd.UseWinNTRawReadRadioButton->setChecked(true);
  cd.ASPIReadModeComboBox->setCurrentIndex(4);
  cd.AdjustCDSpeedCheckBox->setChecked(true);
  cd.CDSpeedComboBox->setCurrentIndex(7);
  TEncodingPage& mp3 = *form.MP3TabSheet;
  mp3.ChannelsComboBox->setCurrentIndex(2);
  mp3.UseAACRadioButton->setChecked(true);
  mp3.MPEG1BitRateComboBox->setCurrentIndex(23);
  mp3.MPEG2BitRateComboBox->setCurrentIndex(0);
  mp3.AACBitRateComboBox->setCurrentIndex(8);
  mp3.UseADTSCheckBox->setChecked(false);
  mp3.ExternalProgramComboBox->setCurrentIndex(1);
  mp3.FastModeCheckBox->setChecked(false);
  mp3.UseMMXCheckBox->setChecked(false);
  mp3.UseLTPCheckBox->setChecked(false);
  mp3.UseTNSCheckBox->setChecked(true);
  mp3.UsePNSCheckBox->setChecked(true);
  mp3.M4ABitRateComboBox->setCurrentIndex(2);
  mp3.FlacLevelComboBox->setCurrentIndex(8);
  mp3.FlacVerifyCheckBox->setChecked(false);
  mp3.VorbisQualityComboBox->setCurrentIndex(0);
  mp3.OpusBitRateComboBox->setCurrentIndex(1);
  mp3.ReplayGainCheckBox->setChecked(false);
  mp3.ReplayGainFilesCheckBox->setChecked(true);
  form.CDTabSheet->EncoderJobsSpinBox->setValue(3);
  form.AccuracyTabSheet->CoverArtCheckBox->setChecked(false);
  for (QCheckBox* box : form.FileLogTabSheet->findChildren<QCheckBox*>()) box->setChecked(!box->isChecked());
  form.CustomizationTabSheet->BeepWhenDoneCheckBox->setChecked(true);
  form.CustomizationTabSheet->BringToFrontWhenDoneCheckBox->setChecked(true);
}

}  // namespace

// Catches a control that OK does not store (or stores into another setting), a setting
// that Cancel changes, or edits of a cancelled showing that come back at the next one.
TEST(TOptionsForm, OkStoresEveryControlAndCancelNothing) {
  Fixture f;
  const SettingsTable before = f.settings;
  f.Show();
  ChangeEverything(*f.form);
  Click(f.form->CancelButton);
  EXPECT_EQ(f.form->result(), QDialog::Rejected);
  for (const SettingEntry& entry : SettingEntries()) {
    if (entry.kind == SettingKind::Int) {
      EXPECT_EQ(NumberOf(f.settings, entry), NumberOf(before, entry)) << entry.key;
    } else {
      EXPECT_EQ(TextOf(f.settings, entry), TextOf(before, entry)) << entry.key;
    }
  }
  f.Show();
  EXPECT_TRUE(f.Cd().JitterCorrectionCheckBox->isChecked());
  EXPECT_EQ(f.Cd().ReadSectorComboBox->currentIndex(), 4);
  EXPECT_TRUE(f.Mp3().UseADTSCheckBox->isChecked());

  ChangeEverything(*f.form);
  Click(f.form->OKButton);
  EXPECT_EQ(f.form->result(), QDialog::Accepted);
  const std::tuple<const char*, int MakerSettingValues::*, int> expected[] = {
      {"ReadSector", &MakerSettingValues::readSector, 33},
      {"JitterCorrection", &MakerSettingValues::jitterCorrection, 0},
      {"OverlapPercent", &MakerSettingValues::overlapPercent, 7},
      {"MaxSyncMisalignRetry", &MakerSettingValues::maxSyncMisalignRetry, 10},
      {"MaxSyncNoMatchRetry", &MakerSettingValues::maxSyncNoMatchRetry, 5},
      {"Normalize", &MakerSettingValues::normalize, 1},
      {"NormalizePercent", &MakerSettingValues::normalizePercent, 50},
      {"NormalizeMin", &MakerSettingValues::normalizeMin, 10},
      {"NormalizeMax", &MakerSettingValues::normalizeMax, 90},
      {"UseWinNTRawRead", &MakerSettingValues::useWinNtRawRead, 1},
      {"ASPIReadMode", &MakerSettingValues::aspiReadMode, 4},
      {"AdjustCDSpeed", &MakerSettingValues::adjustCdSpeed, 1},
      {"CDSpeed", &MakerSettingValues::cdSpeed, 7},
      {"Channels", &MakerSettingValues::channels, 2},
      {"MPEGMode", &MakerSettingValues::mpegMode, kModeAac},
      {"MPEG1BitRate", &MakerSettingValues::mpeg1BitRate, 23},
      {"MPEG2BitRate", &MakerSettingValues::mpeg2BitRate, 0},
      {"AACBitRate", &MakerSettingValues::aacBitRate, 8},
      {"AACUseADTS", &MakerSettingValues::aacUseAdts, 0},
      {"ExtPgm", &MakerSettingValues::extPgm, 1},
      {"FastMode", &MakerSettingValues::fastMode, 0},
      {"UseMMX", &MakerSettingValues::useMmx, 0},
      {"UseLTP", &MakerSettingValues::useLtp, 0},
      {"UseTNS", &MakerSettingValues::useTns, 1},
      {"UsePNS", &MakerSettingValues::usePns, 1},
      {"M4ABitRate", &MakerSettingValues::m4aBitRate, 2},
      {"FlacLevel", &MakerSettingValues::flacLevel, 8},
      {"FlacVerify", &MakerSettingValues::flacVerify, 0},
      {"VorbisQuality", &MakerSettingValues::vorbisQuality, -1},
      {"OpusBitRate", &MakerSettingValues::opusBitRate, 96},
      {"ReplayGain", &MakerSettingValues::replayGain, 0},
      {"ReplayGainFiles", &MakerSettingValues::replayGainFiles, 1},
      {"EncoderJobs", &MakerSettingValues::encoderJobs, 3},
      {"CoverArt", &MakerSettingValues::coverArt, 0},
      {"BeepWhenDone", &MakerSettingValues::beepWhenDone, 1},
      {"BringToFrontWhenDone", &MakerSettingValues::bringToFrontWhenDone, 1}};
  for (const auto& [key, member, value] : expected) EXPECT_EQ(f.settings.*member, value) << key;
  const std::pair<const char*, int MakerSettingValues::*> fileLog[] = {
      {"CD2MP3DelTempOnSuccess", &MakerSettingValues::cd2mp3DelTempOnSuccess},
      {"CD2MP3DelTempOnError", &MakerSettingValues::cd2mp3DelTempOnError},
      {"CD2MP3DelMP3OnError", &MakerSettingValues::cd2mp3DelMp3OnError},
      {"CD2WAVDelWAVOnError", &MakerSettingValues::cd2wavDelWavOnError},
      {"WAV2MP3DelWAVOnSuccess", &MakerSettingValues::wav2mp3DelWavOnSuccess},
      {"WAV2MP3DelMP3OnError", &MakerSettingValues::wav2mp3DelMp3OnError},
      {"MP32WAVDelMP3OnSuccess", &MakerSettingValues::mp32wavDelMp3OnSuccess},
      {"MP32WAVDelWAVOnError", &MakerSettingValues::mp32wavDelWavOnError},
      {"ConfirmOverwrite", &MakerSettingValues::confirmOverwrite},
      {"ClearReaderLogOnStart", &MakerSettingValues::clearReaderLogOnStart},
      {"ClearEncoderLogOnStart", &MakerSettingValues::clearEncoderLogOnStart}};
  for (const auto& [key, member] : fileLog) EXPECT_EQ(f.settings.*member != 0, before.*member == 0) << key;
  // A window opened afresh shows what OK stored.
  f.Make();
  f.Show();
  EXPECT_FALSE(f.Mp3().UseADTSCheckBox->isChecked());
  EXPECT_EQ(f.Mp3().AACBitRateComboBox->currentIndex(), 8);
}

// Catches the file and log boxes bound to settings in the wrong order: each box alone is
// turned on, and exactly its own setting follows.
TEST(TOptionsForm, EachFileAndLogBoxCarriesItsOwnSetting) {
  const std::tuple<QCheckBox* TFileLogPage::*, const char*, int MakerSettingValues::*> boxes[] = {
      {&TFileLogPage::CD2MP3DeleteTempOnSuccesCheckBox, "CD2MP3DelTempOnSuccess", &MakerSettingValues::cd2mp3DelTempOnSuccess},
      {&TFileLogPage::CD2MP3DeleteTempOnErrorCheckBox, "CD2MP3DelTempOnError", &MakerSettingValues::cd2mp3DelTempOnError},
      {&TFileLogPage::CD2MP3DeleteMP3OnErroCheckBox, "CD2MP3DelMP3OnError", &MakerSettingValues::cd2mp3DelMp3OnError},
      {&TFileLogPage::CD2WAVDeleteWAVOnErrorCheckBox, "CD2WAVDelWAVOnError", &MakerSettingValues::cd2wavDelWavOnError},
      {&TFileLogPage::WAV2MP3DeleteWAVOnSuccesCheckBox, "WAV2MP3DelWAVOnSuccess", &MakerSettingValues::wav2mp3DelWavOnSuccess},
      {&TFileLogPage::WAV2MP3DeleteMP3OnErrorCheckBox, "WAV2MP3DelMP3OnError", &MakerSettingValues::wav2mp3DelMp3OnError},
      {&TFileLogPage::MP32WAVDeleteMP3OnSuccesCheckBox, "MP32WAVDelMP3OnSuccess", &MakerSettingValues::mp32wavDelMp3OnSuccess},
      {&TFileLogPage::MP32WAVDeleteWAVOnErrorCheckBox, "MP32WAVDelWAVOnError", &MakerSettingValues::mp32wavDelWavOnError},
      {&TFileLogPage::ConfirmOverwriteCheckBox, "ConfirmOverwrite", &MakerSettingValues::confirmOverwrite},
      {&TFileLogPage::ClearReaderLogCheckBox, "ClearReaderLogOnStart", &MakerSettingValues::clearReaderLogOnStart},
      {&TFileLogPage::ClearEncoderLogCheckBox, "ClearEncoderLogOnStart", &MakerSettingValues::clearEncoderLogOnStart}};
  for (const auto& [box, key, member] : boxes) {
    SCOPED_TRACE(key);
    Fixture f;
    for (const auto& [other, otherKey, otherMember] : boxes) f.settings.*otherMember = 0;
    f.Show();
    (f.form->FileLogTabSheet->*box)->setChecked(true);
    Click(f.form->OKButton);
    for (const auto& [other, otherKey, otherMember] : boxes)
      EXPECT_EQ(f.settings.*otherMember != 0, otherMember == member) << otherKey;
  }
}

// Catches a typed command that OK does not put first and select, a full list that keeps
// its old slot 9, or a command chosen from the list that is inserted again.
TEST(TOptionsForm, TypingANewCommandInsertsItFirstAndSelectsIt) {
  Fixture f;
  for (int slot = 0; slot < kExternalProgramSlots; ++slot)
    f.settings.externalPrograms[size_t(slot)] = "prog" + std::to_string(slot) + " $full$";
  f.settings.extPgm = 3;
  f.Show();
  QComboBox* programs = f.Mp3().ExternalProgramComboBox;
  ASSERT_EQ(programs->count(), 10);
  EXPECT_EQ(programs->currentText(), QString("prog3 $full$"));
  f.Mp3().UseExternalProgramRadioButton->setChecked(true);
  programs->lineEdit()->selectAll();
  QTest::keyClicks(programs->lineEdit(), "sox \"$full$\" out.flac");
  QTest::keyClick(programs->lineEdit(), Qt::Key_Return);  // Enter alone adds nothing
  EXPECT_EQ(programs->count(), 10);
  Click(f.form->OKButton);
  EXPECT_EQ(f.settings.extPgm, 0);
  EXPECT_EQ(f.settings.ExternalProgram(0), "sox \"$full$\" out.flac");
  EXPECT_EQ(f.settings.ExternalProgram(1), "prog0 $full$");
  EXPECT_EQ(f.settings.ExternalProgram(9), "prog8 $full$");

  f.Show();
  programs->setCurrentIndex(4);
  Click(f.form->OKButton);
  EXPECT_EQ(f.settings.extPgm, 4);
  EXPECT_EQ(f.settings.ExternalProgram(0), "sox \"$full$\" out.flac");
  EXPECT_EQ(f.settings.SelectedExternalProgram(), "prog3 $full$");
}

// Catches a component list that misses a control of the window, names one that the
// language files do not know, or hands TranslateForm a control under another name.
TEST(TOptionsForm, OffersEveryTranslatableControlUnderItsName) {
  Fixture f;
  std::set<std::string> offered;
  for (const auto& [object, name] : f.form->Components()) {
    ASSERT_NE(object, nullptr) << name;
    EXPECT_EQ(object->objectName().toStdString(), name);
    offered.insert(name);
  }
  EXPECT_EQ(offered, TranslatableNames().at("MP3 Maker Options"));
}

namespace {

// Every caption and tool tip of the window's buttons, group boxes, labels and pages.
std::map<std::string, QString> Texts(TOptionsForm& form) {
  std::map<std::string, QString> texts;
  for (QWidget* widget : form.findChildren<QWidget*>()) {
    const std::string name = widget->objectName().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) texts[name] = button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) texts[name] = group->title();
    if (auto* label = qobject_cast<QLabel*>(widget)) texts[name] = label->text();
    if (!widget->toolTip().isEmpty()) texts[name + ".hint"] = widget->toolTip();
  }
  for (int i = 0; i < form.SettingsPageControl->count(); ++i)
    texts["tab" + std::to_string(i)] = form.SettingsPageControl->tabText(i);
  return texts;
}

}  // namespace

// Catches an English language file whose texts differ from the window's own (loading
// English back after another language would then leave a different window), and a
// shipped translation that leaves a caption or hint of the window untranslated.
TEST(TOptionsForm, ShippedEnglishGivesTheBuiltInTextsAndGermanChangesThem) {
  Fixture f;
  std::map<std::string, QString> builtIn = Texts(*f.form);
  ASSERT_TRUE(InstallLanguageFile(kShippedFolder + "language_deutsch.txt", UserLanguageFilePath()).Ok());
  f.form->Translate();
  const std::map<std::string, QString> german = Texts(*f.form);
  ASSERT_TRUE(InstallLanguageFile(kShippedFolder + "Language.DAT", UserLanguageFilePath()).Ok());
  f.form->Translate();
  std::map<std::string, QString> english = Texts(*f.form);
  EXPECT_EQ(english["LanguageLabel"], QString("English"));
  EXPECT_EQ(german.at("LanguageLabel"), QString("Deutsch"));
  EXPECT_EQ(german.at("LanguageCaptionLabel"), QString("Sprache:"));
  EXPECT_EQ(english["TranslatorLabel"], QString("the Zimbar team"));
  for (const char* line : {"LanguageLabel", "TranslatorLabel"}) builtIn.erase(line), english.erase(line);
  EXPECT_EQ(english, builtIn);
  // Texts that stay the same in German (a database's name among them).
  const std::set<std::string> same = {"OKButton", "tab3", "CustomizationGroupBox", "AccurateRipGroupBox",
                                      "ReplayGainGroupBox"};
  for (const auto& [name, text] : builtIn) {
    if (same.count(name) != 0 || text.isEmpty()) continue;  // empty: Qt's own tab scroll buttons
    EXPECT_NE(german.at(name), text) << name << " is not translated";
  }
}

// Catches Load Language that does not copy the chosen file, does not translate the
// window again or does not tell the other windows; a value of three leading blanks shown
// with them; a language line kept from the previous file; and a second file without a key
// that resets the first file's text.
TEST(TOptionsForm, LoadLanguageInstallsTranslatesAndKeepsTextsTheNewFileLacks) {
  Fixture f;
  QSignalSpy loaded(f.form.get(), &TOptionsForm::languageLoaded);
  EXPECT_EQ(f.Custom().LanguageLabel->text(), QString(""));
  EXPECT_EQ(f.Custom().LanguageCaptionLabel->text(), QString("Language:"));
  WriteText(f.dir.File("language_first.txt"),
            "[MP3 Maker Options]\nTextOf_OKButton=   &Gut\nTextOf_CancelButton=&Nein\nTextOf_LanguageLabel=Erste\n"
            "TextOf_TranslatorLabel=Jemand\nHintOf_ReadSectorComboBox=Sektoren\n");
  WriteText(f.dir.File("language_second.txt"), "[MP3 Maker Options]\nTextOf_CancelButton=&Non\n");
  f.Show();
  f.LoadLanguage(f.dir.File("language_first.txt"));
  EXPECT_EQ(loaded.count(), 1);
  EXPECT_EQ(ReadText(UserLanguageFilePath()), ReadText(f.dir.File("language_first.txt")));
  EXPECT_EQ(f.form->OKButton->text(), QString("&Gut"));
  EXPECT_EQ(f.form->CancelButton->text(), QString("&Nein"));
  EXPECT_EQ(f.Custom().LanguageLabel->text(), QString("Erste"));
  EXPECT_EQ(f.Custom().TranslatorLabel->text(), QString("Jemand"));
  EXPECT_EQ(f.Cd().ReadSectorComboBox->toolTip(), QString("Sektoren"));
  EXPECT_EQ(f.Cd().ReadSectorComboBox->currentText(), QString("24-Sector Read"));

  f.LoadLanguage(f.dir.File("language_second.txt"));
  EXPECT_EQ(loaded.count(), 2);
  EXPECT_EQ(f.form->OKButton->text(), QString("&Gut"));
  EXPECT_EQ(f.form->CancelButton->text(), QString("&Non"));
  EXPECT_EQ(f.Custom().LanguageLabel->text(), QString(""));
  EXPECT_EQ(f.Custom().TranslatorLabel->text(), QString(""));
  EXPECT_TRUE(f.message.isEmpty());

  // A window made afresh has only the second file's texts.
  f.Make();
  EXPECT_EQ(f.form->OKButton->text(), QString("&OK"));
  EXPECT_EQ(f.form->CancelButton->text(), QString("&Non"));
}

// Catches a failed copy that breaks or replaces the active file, changes the window,
// tells the other windows that a language was loaded, or goes unreported; and a cancelled
// file dialog that does anything.
TEST(TOptionsForm, FailedLoadLanguageKeepsTheOldFileAndSaysSo) {
  Fixture f;
  const std::string old = "[MP3 Maker Options]\nTextOf_OKButton=&Alt\n";
  WriteText(UserLanguageFilePath(), old);
  f.form->Translate();
  QSignalSpy loaded(f.form.get(), &TOptionsForm::languageLoaded);
  f.Show();

  f.LoadLanguage("");
  EXPECT_TRUE(f.message.isEmpty());

  f.LoadLanguage(f.dir.File("language_missing.txt"));
  EXPECT_EQ(f.caption, QString("zbmaker (Zimbar MP3 Maker) Error"));
  EXPECT_TRUE(f.message.startsWith("Cannot read the language file " + QString::fromStdString(f.dir.File("language_missing.txt"))))
      << f.message.toStdString();

  WriteText(f.dir.File("language_other.txt"), "[Options]\nVersion=1\n");
  f.LoadLanguage(f.dir.File("language_other.txt"));
  EXPECT_TRUE(f.message.contains("is not a language file")) << f.message.toStdString();

  EXPECT_EQ(loaded.count(), 0);
  EXPECT_EQ(ReadText(UserLanguageFilePath()), old);
  EXPECT_EQ(f.form->OKButton->text(), QString("&Alt"));
}

// Catches the error of a failed Load Language shown in English while the windows show
// German.
TEST(TOptionsForm, FailedLoadLanguageSaysSoInTheWindowsLanguage) {
  Fixture f;
  WriteText(UserLanguageFilePath(), ReadText(kShippedFolder + "language_deutsch.txt"));
  f.form->Translate();
  f.Show();
  f.LoadLanguage(f.dir.File("language_missing.txt"));
  EXPECT_EQ(f.caption.toStdString(), "zbmaker (Zimbar MP3 Maker) Fehler");
  EXPECT_TRUE(f.message.startsWith("Die Sprachdatei " + QString::fromStdString(f.dir.File("language_missing.txt")) +
                                   " kann nicht gelesen werden: "))
      << f.message.toStdString();
}

// Catches a window that does not open beside the main window.
TEST(TOptionsForm, OpensFifteenPixelsRightOfAndBelowTheMainWindow) {
  TempDir dir;
  ScopedEnv home("ZIMBAR_HOME", dir.File("home").c_str());
  ScopedEnv share("ZIMBAR_SHARE_DIR", dir.File("share").c_str());
  SettingsTable settings;
  QWidget main;
  main.setGeometry(200, 150, 600, 450);
  main.show();
  TOptionsForm form(settings, &main);
  form.show();
  EXPECT_EQ(form.frameGeometry().topLeft(), main.frameGeometry().topLeft() + QPoint(15, 15));
}
