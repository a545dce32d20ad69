// Tests of the Setup window: its check boxes against a settings record, its size rule,
// and Load Display re-skinning the windows or refusing an incomplete folder.
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "common/paths.h"
#include "player/skin/skin_folder.h"
#include "player/ui/main_skin_face.h"
#include "player/ui/image_window.h"
#include "player/ui/options_form.h"
#include "player/ui/skin_preview.h"
#include "tests/common/temp_dir.h"
#include "tests/player/ui/skin_test_bitmaps.h"

using player::TOptionsForm;

namespace {

// A complete skin folder whose face band has the given colour.
void WriteSkin(const std::string& folder, QRgb face, bool withEq = true) {
  ::mkdir(folder.c_str(), 0755);
  WriteText(folder + "/display.Ini", "[display]\ndisp_with_focus=1\nbtn_play=10 10 20 10\n");
  QImage main = BandedBitmap(60, 30, 4);
  main.setPixel(0, 0, face);
  ASSERT_TRUE(main.save(QString::fromStdString(folder + "/main.bmp"), "BMP"));
  if (withEq) {
    ASSERT_TRUE(BandedBitmap(60, 30, 3).save(QString::fromStdString(folder + "/eq.bmp"), "BMP"));
  }
}

struct Fixture {
  TempDir dir;
  ScopedEnv home{"ZIMBAR_HOME", dir.File("home").c_str()};
  PlayerSettings settings;
  TSkinPreview preview{settings};
  QString caption, message;
  std::unique_ptr<TOptionsForm> form;

  Fixture() {
    WriteSkin(dir.File("first"), 0xFF010203);
    preview.ApplySkinFolder(QString::fromStdString(dir.File("first")));
    form = std::make_unique<TOptionsForm>(settings, [this](const QString& f) { return preview.LoadDisplay(f); });
  }
  // Presses Load Display with the chooser answering folder.
  void LoadDisplay(const std::string& folder) {
    form->SetDialogs([folder](QWidget*) { return QString::fromStdString(folder); },
                     [this](QWidget*, const QString& c, const QString& t) { caption = c, message = t; });
    form->show();
    QTest::mouseClick(form->LoadDisplayButton, Qt::LeftButton);
  }
  QRgb FacePixel() const { return preview.Main()->Face()->Face().pixel(0, 0); }
};

}  // namespace

// Catches a folder without eq.bmp that changes the skin or the files, or a message other
// than the documented one.
TEST(TOptionsForm, LoadDisplayFromAFolderWithoutEqBitmapShowsTheMessageAndKeepsTheSkin) {
  Fixture f;
  WriteSkin(f.dir.File("broken"), 0xFF0A0B0C, /*withEq=*/false);
  f.LoadDisplay(f.dir.File("broken"));
  EXPECT_EQ(f.caption, QStringLiteral("Error"));
  EXPECT_EQ(f.message, QStringLiteral("Specified directory does not contain display information."));
  EXPECT_EQ(f.FacePixel(), 0xFF010203u);
  EXPECT_FALSE(HoldsSkin(UserSkinFolder()));
}

// Catches a bitmap that does not decode being installed over the active skin.
TEST(TOptionsForm, LoadDisplayRefusesABitmapThatDoesNotDecode) {
  Fixture f;
  WriteSkin(f.dir.File("corrupt"), 0xFF0A0B0C);
  WriteText(f.dir.File("corrupt/eq.bmp"), "BM not really a bitmap");
  f.LoadDisplay(f.dir.File("corrupt"));
  EXPECT_TRUE(f.message.startsWith(QStringLiteral("The skin cannot be used")));
  EXPECT_EQ(f.FacePixel(), 0xFF010203u);
  EXPECT_FALSE(HoldsSkin(UserSkinFolder()));
}

// Catches a skin that cannot be shown (an element outside its window, a bitmap larger
// than a skin bitmap may be) being copied over the active skin, or a refusal that does not
// name the key or the file.
TEST(TOptionsForm, LoadDisplayRefusesASkinThatCannotBeShownNamingWhy) {
  Fixture f;
  WriteSkin(f.dir.File("outside"), 0xFF0A0B0C);
  WriteText(f.dir.File("outside/display.Ini"), "[display]\ndisp_with_focus=1\nbtn_play=5000 5000 10 10\n");
  WriteSkin(f.dir.File("wide"), 0xFF0A0B0C);
  ASSERT_TRUE(BandedBitmap(4097, 2, 4).save(QString::fromStdString(f.dir.File("wide/main.bmp")), "BMP"));
  for (const auto& [folder, why] : {std::pair{"outside", "btn_play"}, std::pair{"wide", "main.bmp"}}) {
    SCOPED_TRACE(folder);
    f.message.clear();
    f.LoadDisplay(f.dir.File(folder));
    EXPECT_TRUE(f.message.startsWith(QStringLiteral("The skin cannot be used"))) << f.message.toStdString();
    EXPECT_TRUE(f.message.contains(QLatin1String(why))) << f.message.toStdString();
    EXPECT_EQ(f.FacePixel(), 0xFF010203u);
    EXPECT_FALSE(HoldsSkin(UserSkinFolder()));
  }
}

// Catches a good folder that is not copied into the per-user skin folder, windows that are
// not re-skinned, or a form that stays open or keeps its check-box changes.
TEST(TOptionsForm, LoadDisplayInstallsReskinsAndClosesWithoutStoringTheCheckBoxes) {
  Fixture f;
  WriteSkin(f.dir.File("second"), 0xFF0A0B0C);
  f.form->show();
  f.form->ContinuousPlayCheckBox->setChecked(true);
  f.LoadDisplay(f.dir.File("second"));
  EXPECT_TRUE(f.message.isEmpty());
  EXPECT_TRUE(HoldsSkin(UserSkinFolder()));
  EXPECT_EQ(f.FacePixel(), 0xFF0A0B0Cu);
  EXPECT_FALSE(f.form->isVisible());
  EXPECT_EQ(f.form->result(), QDialog::Rejected);
  EXPECT_EQ(f.settings.continuousPlay, 0);
}

// Catches check boxes that do not mirror the record, OK that does not store them, or the
// size rule applied wrongly; the plug-in controls must stay disabled.
TEST(TOptionsForm, CheckBoxesMirrorTheRecordAndOkStoresThem) {
  Fixture f;
  f.settings.useDirectSound = 1;
  f.form->show();
  EXPECT_EQ(f.form->windowTitle(), QStringLiteral("Setup"));
  EXPECT_TRUE(f.form->UseDirectSoundCheckBox->isChecked());
  EXPECT_FALSE(f.form->ContinuousPlayCheckBox->isChecked());
  EXPECT_FALSE(f.form->ConfigurePlugInButton->isEnabled());
  EXPECT_FALSE(f.form->PlugInComboBox->isEnabled());
  EXPECT_EQ(f.form->PlugInComboBox->count(), 0);
  const QRect ok = f.form->OKButton->geometry();
  EXPECT_EQ(f.form->size(), QSize(ok.left() + ok.width() * 5 / 4, ok.top() + ok.height() * 3));
  EXPECT_EQ(f.form->UseDirectSoundCheckBox->text(), QStringLiteral("Use PulseAudio"));
  EXPECT_TRUE(f.form->GaplessPlaybackCheckBox->isChecked()) << "on by default";
  f.form->ContinuousPlayCheckBox->setChecked(true);
  f.form->UseDirectSoundCheckBox->setChecked(false);
  f.form->GaplessPlaybackCheckBox->setChecked(false);
  QTest::mouseClick(f.form->OKButton, Qt::LeftButton);
  EXPECT_EQ(f.settings.continuousPlay, 1);
  EXPECT_EQ(f.settings.useDirectSound, 0);
  EXPECT_EQ(f.settings.gaplessPlayback, 0);
  // Closing another way discards the changes.
  f.form->show();
  f.form->ContinuousPlayCheckBox->setChecked(false);
  f.form->reject();
  EXPECT_EQ(f.settings.continuousPlay, 1);
}

// Catches ReplayGain controls that do not mirror the record, OK that does not store them,
// another close that does, a hand-edited mode shown as anything but Track (what plays), and
// a pre-amp beyond its +-15 dB.
TEST(TOptionsForm, ReplayGainControlsMirrorTheRecordAndOkStoresThem) {
  Fixture f;
  f.form->show();
  QComboBox* mode = f.form->ReplayGainComboBox;
  QSpinBox* preamp = f.form->ReplayGainPreampSpinBox;
  ASSERT_EQ(mode->count(), 3);
  EXPECT_EQ(mode->itemText(0), QStringLiteral("Off"));
  EXPECT_EQ(mode->itemText(1), QStringLiteral("Track"));
  EXPECT_EQ(mode->itemText(2), QStringLiteral("Album"));
  EXPECT_EQ(mode->currentIndex(), 1) << "Track by default";
  EXPECT_EQ(preamp->value(), 0);
  EXPECT_EQ(preamp->minimum(), -15);
  EXPECT_EQ(preamp->maximum(), 15);
  EXPECT_EQ(preamp->suffix(), QStringLiteral(" dB"));
  EXPECT_EQ(f.form->ReplayGainLabel->text().remove(QLatin1Char('&')), QStringLiteral("ReplayGain:"));
  EXPECT_EQ(f.form->ReplayGainPreampLabel->text().remove(QLatin1Char('&')), QStringLiteral("Pre-amp:"));
  EXPECT_EQ(f.form->ReplayGainLabel->buddy(), mode);
  EXPECT_EQ(f.form->ReplayGainPreampLabel->buddy(), preamp);
  f.form->reject();

  f.settings.replayGainMode = 2;
  f.settings.replayGainPreamp = -4;
  f.form->show();
  EXPECT_EQ(mode->currentText(), QStringLiteral("Album"));
  EXPECT_EQ(preamp->value(), -4);
  mode->setCurrentIndex(0);
  preamp->setValue(7);
  QTest::mouseClick(f.form->OKButton, Qt::LeftButton);
  EXPECT_EQ(f.settings.replayGainMode, 0);
  EXPECT_EQ(f.settings.replayGainPreamp, 7);

  f.form->show();
  mode->setCurrentIndex(2);
  preamp->setValue(-15);
  f.form->reject();
  EXPECT_EQ(f.settings.replayGainMode, 0);
  EXPECT_EQ(f.settings.replayGainPreamp, 7);

  f.settings.replayGainMode = 9;
  f.settings.replayGainPreamp = 40;
  f.form->show();
  EXPECT_EQ(mode->currentText(), QStringLiteral("Track"));
  EXPECT_EQ(preamp->value(), 15);
  f.form->reject();
}

// Catches a skin list without the shipped or the user's own skins, one that offers a
// folder that is no skin, and a choice that does not make the chosen skin the active one
// (or closes the window, so that trying another takes the chooser again).
TEST(TOptionsForm, TheSkinListOffersTheInstalledSkinsAndAppliesAChoice) {
  Fixture f;
  ScopedEnv share("ZIMBAR_SHARE_DIR", f.dir.File("share").c_str());
  ASSERT_TRUE(CreateDirectories(f.dir.File("share/skins")));
  ASSERT_TRUE(CreateDirectories(f.dir.File("home/skins")));
  WriteSkin(f.dir.File("share/skins/default"), 0xFF111111);
  WriteSkin(f.dir.File("home/skins/mine"), 0xFF222222);
  WriteSkin(f.dir.File("home/skins/half"), 0xFF333333, /*withEq=*/false);
  f.form->show();
  QComboBox* list = f.form->SkinComboBox;
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->itemText(0), QStringLiteral("default"));
  EXPECT_EQ(list->itemText(1), QStringLiteral("mine (own)"));
  EXPECT_EQ(list->currentIndex(), -1);
  Q_EMIT list->activated(1);
  EXPECT_EQ(f.FacePixel(), 0xFF222222u);
  EXPECT_TRUE(HoldsSkin(UserSkinFolder()));
  EXPECT_TRUE(f.form->isVisible());
  Q_EMIT list->activated(0);
  EXPECT_EQ(f.FacePixel(), 0xFF111111u);
}

// Catches a stored Setup place far off the screen (or a size beyond it) applied as it is,
// as the play list window's once was.
TEST(TOptionsForm, StoredPlaceIsFittedToTheScreen) {
  PlayerSettings settings;
  settings.optionsFormLeft = -40000;
  settings.optionsFormTop = 2000000000;
  settings.optionsFormWidth = 100000;
  TOptionsForm form(settings, [](const QString&) { return QString(); });
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(form.geometry())) << form.geometry().x() << "," << form.geometry().y() << " "
                                                << form.width() << "x" << form.height();
}
