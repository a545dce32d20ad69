// Tests of the options window's accuracy page: loading and storing its settings (OK
// against Cancel), the read offset kept under the selected drive's key, its enabling
// rules, and Find handed to the main window.
#include "maker/settings/ui/accuracy_page.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "maker/settings/ui/options_form.h"
#include "tests/common/temp_dir.h"

using maker::TOptionsForm;

namespace {

constexpr const char* kDriveKey = "PLEXTOR - DVDR   PX-716A";
constexpr const char* kOtherDriveKey = "HL-DT-ST - DVD-RAM GH22NS50";

// An options window over fresh settings in a scratch per-user folder.
struct Fixture {
  TempDir dir;
  ScopedEnv home{"ZIMBAR_HOME", dir.File("home").c_str()};
  ScopedEnv share{"ZIMBAR_SHARE_DIR", dir.File("share").c_str()};
  SettingsTable settings;
  std::unique_ptr<TOptionsForm> form;

  Fixture() {
    ::mkdir(dir.File("home").c_str(), 0755);
    (void)settings.Load(dir.File("home/zbmaker.INI"), [] { return true; });
    form = std::make_unique<TOptionsForm>(settings);
  }
  TAccuracyPage& Page() { return *form->AccuracyTabSheet; }
  // The window shown for `driveKey` (as the main window shows it), on the accuracy page.
  void Show(const std::string& driveKey = kDriveKey, const std::string& name = "PLEXTOR DVDR PX-716A") {
    form->SetDrive(driveKey, name);
    form->show();
    form->SettingsPageControl->setCurrentWidget(form->AccuracyTabSheet);
    QApplication::processEvents();
  }
  void Ok() {
    QTest::mouseClick(form->OKButton, Qt::LeftButton);
    form->hide();
  }
  void Cancel() {
    QTest::mouseClick(form->CancelButton, Qt::LeftButton);
    form->hide();
  }
};

}  // namespace

// Catches a control that showing does not fill from its setting, that OK does not store
// (or stores into another setting), a setting Cancel changes, an emptied server that is
// stored empty, and retries outside 0 ... 20 shown as they are.
TEST(TAccuracyPage, ShowsAndStoresEverySettingOnOkAndNothingOnCancel) {
  Fixture f;
  f.settings.accurateRip = 0;
  f.settings.accurateRipServer = "http://mirror.example:8080";
  f.settings.secureMode = 1;
  f.settings.secureRetries = 7;
  f.settings.burstThenVerify = 1;
  f.settings.SetReadOffset(kDriveKey, 667);
  f.Show();
  TAccuracyPage& page = f.Page();
  EXPECT_FALSE(page.AccurateRipCheckBox->isChecked());
  EXPECT_EQ(page.AccurateRipServerEdit->text(), QStringLiteral("http://mirror.example:8080"));
  EXPECT_EQ(page.ReadOffsetSpinBox->value(), 667);
  EXPECT_EQ(page.ReadOffsetDriveLabel->text(), QStringLiteral("PLEXTOR DVDR PX-716A"));
  EXPECT_TRUE(page.SecureModeCheckBox->isChecked());
  EXPECT_EQ(page.SecureRetriesSpinBox->value(), 7);
  EXPECT_TRUE(page.BurstThenVerifyCheckBox->isChecked());
  EXPECT_EQ(page.ReadOffsetSpinBox->minimum(), -3000);
  EXPECT_EQ(page.ReadOffsetSpinBox->maximum(), 3000);
  EXPECT_EQ(page.SecureRetriesSpinBox->minimum(), 0);
  EXPECT_EQ(page.SecureRetriesSpinBox->maximum(), 20);

  const MakerSettingValues before = f.settings;
  auto changeAll = [&] {
    page.AccurateRipCheckBox->setChecked(true);
    page.AccurateRipServerEdit->setText(QStringLiteral("  https://ar.example  "));
    page.ReadOffsetSpinBox->setValue(-48);
    page.SecureModeCheckBox->setChecked(false);
    page.SecureRetriesSpinBox->setValue(20);
    page.BurstThenVerifyCheckBox->setChecked(false);
  };
  changeAll();
  f.Cancel();
  EXPECT_TRUE(f.settings == before);
  // The next showing starts from the settings again.
  f.Show();
  EXPECT_EQ(page.ReadOffsetSpinBox->value(), 667);
  EXPECT_FALSE(page.AccurateRipCheckBox->isChecked());

  changeAll();
  f.Ok();
  EXPECT_EQ(f.settings.accurateRip, 1);
  EXPECT_EQ(f.settings.accurateRipServer.str(), "https://ar.example");
  EXPECT_EQ(f.settings.ReadOffsetFor(kDriveKey), -48);
  EXPECT_EQ(f.settings.secureMode, 0);
  EXPECT_EQ(f.settings.secureRetries, 20);
  EXPECT_EQ(f.settings.burstThenVerify, 0);

  f.Show();
  page.AccurateRipServerEdit->clear();
  f.Ok();
  EXPECT_EQ(f.settings.accurateRipServer.str(), "http://www.accuraterip.com");

  f.settings.secureRetries = 99;
  f.Show();
  EXPECT_EQ(page.SecureRetriesSpinBox->value(), 20);
}

// Catches an offset stored for every drive (or under another key), one of another drive
// shown for the selected one, an entry added for a drive whose page was only looked at,
// and an offset that can be edited (and is stored) with no drive at all.
TEST(TAccuracyPage, TheOffsetBelongsToTheSelectedDriveModel) {
  Fixture f;
  f.settings.SetReadOffset(kOtherDriveKey, 6);
  f.Show(kDriveKey);
  EXPECT_EQ(f.Page().ReadOffsetSpinBox->value(), 0);
  f.Ok();
  EXPECT_EQ(f.settings.readOffsets, (std::map<std::string, int>{{kOtherDriveKey, 6}}));

  f.Show(kDriveKey);
  f.Page().ReadOffsetSpinBox->setValue(667);
  f.Ok();
  EXPECT_EQ(f.settings.readOffsets, (std::map<std::string, int>{{kOtherDriveKey, 6}, {kDriveKey, 667}}));

  f.Show(kOtherDriveKey, "HL-DT-ST DVD-RAM GH22NS50");
  EXPECT_EQ(f.Page().ReadOffsetSpinBox->value(), 6);
  // Back to 0 is a choice too: the entry stays, with 0.
  f.Page().ReadOffsetSpinBox->setValue(0);
  f.Ok();
  EXPECT_EQ(f.settings.readOffsets, (std::map<std::string, int>{{kOtherDriveKey, 0}, {kDriveKey, 667}}));

  f.Show("", "No CD-ROM Drive Found");
  EXPECT_FALSE(f.Page().ReadOffsetSpinBox->isEnabled());
  EXPECT_FALSE(f.Page().FindReadOffsetButton->isEnabled());
  EXPECT_EQ(f.Page().ReadOffsetSpinBox->value(), 0);
  f.Page().ReadOffsetSpinBox->setValue(30);
  f.Ok();
  EXPECT_EQ(f.settings.readOffsets, (std::map<std::string, int>{{kOtherDriveKey, 0}, {kDriveKey, 667}}));
}

// Catches the server or burst then verify left usable without AccurateRip (they mean
// nothing then), retries usable when nothing reads twice, and rules applied only when
// the window opens and not on a click.
TEST(TAccuracyPage, ControlsFollowTheChoicesTheyDependOn) {
  Fixture f;
  f.settings.accurateRip = 1;
  f.settings.secureMode = 0;
  f.settings.burstThenVerify = 0;
  f.Show();
  TAccuracyPage& page = f.Page();
  EXPECT_TRUE(page.AccurateRipServerEdit->isEnabled());
  EXPECT_TRUE(page.BurstThenVerifyCheckBox->isEnabled());
  EXPECT_FALSE(page.SecureRetriesSpinBox->isEnabled());
  EXPECT_TRUE(page.ReadOffsetSpinBox->isEnabled());
  EXPECT_TRUE(page.FindReadOffsetButton->isEnabled());

  QTest::mouseClick(page.SecureModeCheckBox, Qt::LeftButton, {}, QPoint(4, page.SecureModeCheckBox->height() / 2));
  EXPECT_TRUE(page.SecureRetriesSpinBox->isEnabled());
  EXPECT_TRUE(page.SecureRetriesLabel->isEnabled());
  page.SecureModeCheckBox->setChecked(false);
  page.BurstThenVerifyCheckBox->setChecked(true);
  // The secure re-reads of burst then verify retry as well.
  EXPECT_TRUE(page.SecureRetriesSpinBox->isEnabled());

  QTest::mouseClick(page.AccurateRipCheckBox, Qt::LeftButton, {}, QPoint(4, page.AccurateRipCheckBox->height() / 2));
  EXPECT_FALSE(page.AccurateRipCheckBox->isChecked());
  EXPECT_FALSE(page.AccurateRipServerEdit->isEnabled());
  EXPECT_FALSE(page.AccurateRipServerLabel->isEnabled());
  EXPECT_FALSE(page.BurstThenVerifyCheckBox->isEnabled());
  EXPECT_FALSE(page.SecureRetriesSpinBox->isEnabled());
  // Finding the offset asks the database only when the person asks for it.
  EXPECT_TRUE(page.FindReadOffsetButton->isEnabled());
}

// Catches a Find button that does nothing: the window hands it on to the main window.
TEST(TAccuracyPage, FindAsksTheMainWindowToFindTheOffset) {
  Fixture f;
  f.Show();
  QSignalSpy asked(f.form.get(), &TOptionsForm::findReadOffsetRequested);
  QTest::mouseClick(f.Page().FindReadOffsetButton, Qt::LeftButton);
  EXPECT_EQ(asked.count(), 1);
  EXPECT_TRUE(f.form->isVisible());
}
