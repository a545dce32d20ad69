// TCDInfoForm: what Cancel brings back, what OK keeps and stores, track name editing and
// the enabling rules of the CDDB and naming controls.
#include "maker/metadata/ui/cd_info_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "common/ui/qt_main_loop.h"
#include "maker/metadata/ui/track_name_form.h"
#include "modal_helpers.h"
#include "tests/common/temp_dir.h"

namespace {

// A disc of `tracks` tracks of one minute each.
TrackTable Disc(int tracks) {
  TrackTable table;
  table.audio = 1;
  table.trackCount = tracks;
  for (int track = 1; track <= tracks + 1; ++track) table.start[track] = (track - 1) * 4500;
  for (int track = 1; track <= tracks; ++track) table.length[track] = 4500;
  return table;
}

class CdInfoFormTest : public ::testing::Test {
 protected:
  CdInfoFormTest() : form(settings, loop) { form.SetTracks(Disc(8), "/dev/sr0"); }

  // Renames row `track` through the prompt, as a double-click and typing would.
  void RenameThroughPrompt(int track, const QString& name) {
    form.TracksListBox->setCurrentRow(track - 1);
    OnModal<TTrackNameForm>([name](TTrackNameForm* prompt) {
      prompt->TrackNameEdit->setText(name);
      prompt->OKButton->click();
    });
    form.EditSelectedTrackName();
  }

  void SetRow(int track, const std::string& name) {
    form.TracksListBox->item(track - 1)->setText(QString::fromStdString(CdTrackRow(track, name)));
  }

  QtMainLoop loop;
  SettingsTable settings;
  TCDInfoForm form;
};

// How the window is closed without OK.
enum class CloseWay { CancelButton, EscapeKey, WindowClose };

std::string CloseWayName(const ::testing::TestParamInfo<CloseWay>& info) {
  static const char* const kNames[] = {"CancelButton", "EscapeKey", "WindowClose"};
  return kNames[static_cast<int>(info.param)];
}

class CdInfoFormCloseTest : public CdInfoFormTest, public ::testing::WithParamInterface<CloseWay> {};

// Catches: fields or renamed rows kept after Cancel (or Escape, or the window's close
// button), or the choices changed in the window reaching the settings anyway.
TEST_P(CdInfoFormCloseTest, ClosingWithoutOkBringsBackFieldsRowsAndSettings) {
  form.TitleEdit->setText("Old Title");
  form.ArtistEdit->setText("Old Artist");
  form.YearEdit->setText("1990");
  form.GenreComboBox->setCurrentText("Jazz");
  SetRow(1, "One");
  SetRow(2, "Two");
  settings.cddbServer = "cddbp://gnudb.gnudb.org:8880";
  const CloseWay way = GetParam();

  OnModal<TCDInfoForm>([this, way](TCDInfoForm* window) {
    window->TitleEdit->setText("New Title");
    window->ArtistEdit->setText("New Artist");
    window->YearEdit->setText("2001");
    window->GenreComboBox->setCurrentText("Rock");
    RenameThroughPrompt(1, "Uno");
    RenameThroughPrompt(2, "Dos");
    RenameThroughPrompt(3, "Tres");
    window->CDDBServerComboBox->setCurrentText("http://localhost:80");
    window->UseFileNameFormatCheckBox->setChecked(true);
    window->ApplyID3CheckBox->setChecked(true);
    switch (way) {
      case CloseWay::CancelButton: window->CancelButton->click(); break;
      case CloseWay::EscapeKey: QTest::keyClick(window, Qt::Key_Escape); break;
      case CloseWay::WindowClose: window->close(); break;
    }
  });
  EXPECT_EQ(form.exec(), QDialog::Rejected);

  EXPECT_EQ(form.TitleEdit->text(), "Old Title");
  EXPECT_EQ(form.ArtistEdit->text(), "Old Artist");
  EXPECT_EQ(form.YearEdit->text(), "1990");
  EXPECT_EQ(form.GenreComboBox->currentText(), "Jazz");
  EXPECT_EQ(form.TrackRowText(0), " 01\tOne");
  EXPECT_EQ(form.TrackRowText(1), " 02\tTwo");
  EXPECT_EQ(form.TrackRowText(2), " 03");
  EXPECT_EQ(settings.cddbServer.str(), "cddbp://gnudb.gnudb.org:8880");
  EXPECT_FALSE((settings.useFileNameFormat != 0));
  EXPECT_FALSE((settings.optApplyId3 != 0));
}

INSTANTIATE_TEST_SUITE_P(Ways, CdInfoFormCloseTest,
                         ::testing::Values(CloseWay::CancelButton, CloseWay::EscapeKey, CloseWay::WindowClose),
                         CloseWayName);

// Catches: OK losing the edits, rows whose name part the main window cannot take back
// (tab missing, number wrong), or the choices not stored in the settings.
TEST_F(CdInfoFormTest, OkKeepsEditsInTheRowsAndStoresTheChoices) {
  OnModal<TCDInfoForm>([this](TCDInfoForm* window) {
    window->TitleEdit->setText("Album");
    window->ArtistEdit->setText("Artist");
    RenameThroughPrompt(2, "Second Song");
    RenameThroughPrompt(5, "Fifth: A/B");
    window->CDDBServerComboBox->setCurrentText("HTTP://localhost:80");
    window->UseHttpProxyCheckBox->setChecked(true);
    window->HttpProxyEdit->setText("proxy.local:3128");
    window->UseSocksProxyCheckBox->setChecked(true);
    window->SocksProxyEdit->setText("socks.local");
    window->UseFileNameFormatCheckBox->setChecked(true);
    window->FilenamePatternEdit->setText("$track#$ $trackname$");
    window->ApplyID3CheckBox->setChecked(true);
    window->OKButton->click();
  });
  EXPECT_EQ(form.exec(), QDialog::Accepted);

  EXPECT_EQ(form.TrackRowText(1), " 02\tSecond Song");
  EXPECT_EQ(form.TrackRowText(4), " 05\tFifth: A/B");
  EXPECT_EQ(CdTrackRowName(form.TrackRowText(3)), "");
  EXPECT_EQ(form.TrackRowText(7), " 08");
  EXPECT_EQ(form.TrackRowText(8), "") << "one row per track of the disc";
  const CdInfo info = form.Info();
  EXPECT_EQ(info.title, "Album");
  EXPECT_EQ(info.artist, "Artist");
  EXPECT_EQ(info.TrackName(2), "Second Song");
  EXPECT_EQ(info.TrackName(5), "Fifth: A/B");
  EXPECT_EQ(info.TrackName(1), "");
  EXPECT_EQ(settings.cddbServer.str(), "HTTP://localhost:80");
  EXPECT_TRUE((settings.useHttpProxy != 0));
  EXPECT_EQ(settings.httpProxy.str(), "proxy.local:3128");
  EXPECT_TRUE((settings.useSocksProxy != 0));
  EXPECT_EQ(settings.socksProxy.str(), "socks.local");
  EXPECT_TRUE((settings.useFileNameFormat != 0));
  EXPECT_EQ(settings.fileNamePattern.str(), "$track#$ $trackname$");
  EXPECT_TRUE((settings.optApplyId3 != 0));

  // Shown again, the window starts from the settings, also when they changed meanwhile.
  settings.optApplyId3 = 0;
  settings.cddbServer = "cddbp://localhost:888";
  OnModal<TCDInfoForm>([](TCDInfoForm* window) {
    EXPECT_FALSE(window->ApplyID3CheckBox->isChecked());
    EXPECT_EQ(window->CDDBServerComboBox->currentText(), "cddbp://localhost:888");
    EXPECT_FALSE(window->UseHttpProxyCheckBox->isEnabled());
    window->CancelButton->click();
  });
  form.exec();
  EXPECT_EQ(form.TrackRowText(1), " 02\tSecond Song");
}

// Catches: a double-click or F2 that does not edit the row's name in place (or edits the
// number and tab with it), an in-place edit reaching the wrong row or keeping a line
// break, Escape in the editor changing the row, and a double-click that opens the prompt.
TEST_F(CdInfoFormTest, TrackNamesAreEditedInPlace) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  SetRow(7, "Seven");
  auto editor = [this]() -> QLineEdit* {
    QLineEdit* edit = nullptr;
    (void)QTest::qWaitFor([&] {
      edit = form.TracksListBox->viewport()->findChild<QLineEdit*>();
      return edit != nullptr && edit->isVisible();
    }, 2000);
    return edit;
  };
  // A prompt that comes is recorded and closed, so that the test goes on.
  bool prompted = false;
  QTimer guard;
  guard.setInterval(20);
  QObject::connect(&guard, &QTimer::timeout, [this, &prompted] {
    if (!form.TrackNameForm()->isVisible()) return;
    prompted = true;
    form.TrackNameForm()->reject();
  });
  guard.start();
  const QRect rect = form.TracksListBox->visualItemRect(form.TracksListBox->item(6));
  QTest::mouseClick(form.TracksListBox->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(form.TracksListBox->viewport(), Qt::LeftButton, {}, rect.center());
  QLineEdit* edit = editor();
  ASSERT_NE(edit, nullptr) << "a double-click did not open the editor in place";
  EXPECT_EQ(edit->text(), "Seven");
  EXPECT_EQ(edit->selectedText(), "Seven");
  edit->setText("Seventh/Heaven");
  QTest::keyClick(edit, Qt::Key_Return);
  QApplication::processEvents();  // the editor hands its text over once it has the key
  EXPECT_EQ(form.TrackRowText(6), " 07\tSeventh/Heaven");
  EXPECT_FALSE(prompted) << "a double-click or the Enter that ends the edit opened the prompt";
  EXPECT_TRUE(form.isVisible()) << "the Enter that ends the edit closed the window";

  // F2 on the selected row; a pasted line break becomes a blank.
  form.TracksListBox->setCurrentRow(2);
  form.TracksListBox->setFocus();
  QTest::keyClick(form.TracksListBox, Qt::Key_F2);
  edit = editor();
  ASSERT_NE(edit, nullptr) << "F2 did not open the editor in place";
  EXPECT_EQ(edit->text(), "");
  edit->setText("Line\nBreak");
  QTest::keyClick(edit, Qt::Key_Return);
  QApplication::processEvents();  // the editor hands its text over once it has the key
  EXPECT_EQ(form.TrackRowText(2), " 03\tLine Break");
  EXPECT_EQ(form.Info().TrackName(3), "Line Break");

  // Escape leaves the row as it was.
  form.TracksListBox->setCurrentRow(2);
  QTest::keyClick(form.TracksListBox, Qt::Key_F2);
  edit = editor();
  ASSERT_NE(edit, nullptr);
  edit->setText("Dropped");
  QTest::keyClick(edit, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(form.TrackRowText(2), " 03\tLine Break");
  EXPECT_TRUE(form.isVisible());

  // OK while the editor still has the focus (as OK by its mnemonic leaves it) keeps what
  // was typed: the editor hands its text over as the window hides.
  form.TracksListBox->setCurrentRow(3);
  QTest::keyClick(form.TracksListBox, Qt::Key_F2);
  edit = editor();
  ASSERT_NE(edit, nullptr);
  edit->setText("Kept");
  form.OKButton->click();
  QApplication::processEvents();
  EXPECT_FALSE(form.isVisible()) << "OK did not close the window";
  EXPECT_EQ(form.TrackRowText(3), " 04\tKept");
  form.hide();
}

// Catches: a prompt without the row's number or current name, a rename reaching the wrong
// row, Cancel in the prompt changing the row, Enter in the list closing the window (or
// not asking), or a prompt opened with no row selected.
TEST_F(CdInfoFormTest, EnterInTheListEditsTheNameThroughThePrompt) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  SetRow(7, "Seven");
  form.TracksListBox->setCurrentRow(6);
  form.TracksListBox->setFocus();
  QString label, startText;
  OnModal<TTrackNameForm>([&label, &startText](TTrackNameForm* prompt) {
    label = prompt->TrackNameLabel->text();
    startText = prompt->TrackNameEdit->text();
    prompt->TrackNameEdit->setText("Seventh/Heaven");
    QTest::keyClick(prompt->TrackNameEdit, Qt::Key_Return);
  });
  QTest::keyClick(form.TracksListBox, Qt::Key_Return);
  EXPECT_EQ(label, "Enter name for track 07:");
  EXPECT_EQ(startText, "Seven");
  EXPECT_EQ(form.TrackRowText(6), " 07\tSeventh/Heaven");
  EXPECT_EQ(form.TrackNameForm()->pos(), form.frameGeometry().topLeft() + QPoint(20, 20));

  // The prompt's Cancel changes nothing, and the CD window stays open.
  form.TracksListBox->setCurrentRow(6);
  form.TracksListBox->setFocus();
  bool asked = false;
  OnModal<TTrackNameForm>([&asked](TTrackNameForm* prompt) {
    asked = true;
    prompt->TrackNameEdit->setText("Other");
    prompt->CancelButton->click();
  });
  QTest::keyClick(form.TracksListBox, Qt::Key_Return);
  EXPECT_TRUE(asked);
  EXPECT_EQ(form.TrackRowText(6), " 07\tSeventh/Heaven");
  EXPECT_TRUE(form.isVisible());

  // An empty name leaves the tab: the main window reads an empty name from it.
  RenameThroughPrompt(7, "");
  EXPECT_EQ(form.TrackRowText(6), " 07\t");

  // Without a selected row nothing opens.
  form.TracksListBox->clearSelection();
  form.TracksListBox->setCurrentRow(-1);
  form.EditSelectedTrackName();
  EXPECT_FALSE(form.TrackNameForm()->isVisible());
  form.hide();
}

struct EnablingCase {
  const char* server;
  bool useHttpProxy, useSocksProxy, useFileNameFormat;
  bool httpBoxEnabled, httpEditEnabled, socksEditEnabled, patternEditEnabled;
};

// Catches: the HTTP proxy offered for a cddbp server (or refused for "HTTP://"), its edit
// enabled while the box is disabled, or an edit out of step with its check box, both when
// the controls change and when the window is shown from the settings.
TEST_F(CdInfoFormTest, ProxyAndPatternEditsFollowServerAndCheckBoxes) {
  const EnablingCase cases[] = {
      {"http://gnudb.gnudb.org:80", false, false, false, true, false, false, false},
      {"HTTP://gnudb.gnudb.org:80", true, false, false, true, true, false, false},
      {"cddbp://gnudb.gnudb.org:8880", true, false, false, false, false, false, false},
      {"httpx", true, true, false, false, false, true, false},
      {"cddbp://localhost", false, true, true, false, false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    form.CDDBServerComboBox->setCurrentText(c.server);
    form.UseHttpProxyCheckBox->setChecked(c.useHttpProxy);
    form.UseSocksProxyCheckBox->setChecked(c.useSocksProxy);
    form.UseFileNameFormatCheckBox->setChecked(c.useFileNameFormat);
    EXPECT_EQ(form.UseHttpProxyCheckBox->isEnabled(), c.httpBoxEnabled);
    EXPECT_EQ(form.HttpProxyEdit->isEnabled(), c.httpEditEnabled);
    EXPECT_EQ(form.SocksProxyEdit->isEnabled(), c.socksEditEnabled);
    EXPECT_EQ(form.FilenamePatternEdit->isEnabled(), c.patternEditEnabled);

    settings.cddbServer = c.server;
    settings.useHttpProxy = (c.useHttpProxy) ? 1 : 0;
    settings.useSocksProxy = (c.useSocksProxy) ? 1 : 0;
    settings.useFileNameFormat = (c.useFileNameFormat) ? 1 : 0;
    form.CDDBServerComboBox->setCurrentText("cddbp://elsewhere");
    form.UseHttpProxyCheckBox->setChecked(!c.useHttpProxy);
    form.UseSocksProxyCheckBox->setChecked(!c.useSocksProxy);
    form.UseFileNameFormatCheckBox->setChecked(!c.useFileNameFormat);
    OnModal<TCDInfoForm>([&c](TCDInfoForm* window) {
      EXPECT_EQ(window->UseHttpProxyCheckBox->isEnabled(), c.httpBoxEnabled);
      EXPECT_EQ(window->HttpProxyEdit->isEnabled(), c.httpEditEnabled);
      EXPECT_EQ(window->SocksProxyEdit->isEnabled(), c.socksEditEnabled);
      EXPECT_EQ(window->FilenamePatternEdit->isEnabled(), c.patternEditEnabled);
      window->CancelButton->click();
    });
    form.exec();
  }
}

// Catches: a genre typed outside the list lost or added to the list; the window not
// starting empty with "YYYY" and "Pop" as greyed placeholders (not values that reach the
// tags and names), the 111 genres and the 5 servers; or a track list with rows beyond the
// disc's tracks.
TEST_F(CdInfoFormTest, StartsWithDefaultsAndTakesAnyGenreText) {
  EXPECT_EQ(form.GenreComboBox->currentText(), "");
  EXPECT_EQ(form.GenreComboBox->lineEdit()->placeholderText(), "Pop");
  EXPECT_EQ(form.YearEdit->text(), "");
  EXPECT_EQ(form.YearEdit->placeholderText(), "YYYY");
  EXPECT_EQ(form.Info().year, "");
  EXPECT_EQ(form.Info().genre, "");
  EXPECT_EQ(form.GenreComboBox->count(), 111);
  EXPECT_EQ(form.CDDBServerComboBox->count(), 5);
  EXPECT_EQ(form.TracksListBox->count(), 8);
  form.SetTracks(Disc(3), "/dev/sr0");
  EXPECT_EQ(form.TracksListBox->count(), 3);
  EXPECT_EQ(form.TrackRowText(2), " 03");
  form.SetTracks(TrackTable{}, "/dev/sr0");
  EXPECT_EQ(form.TracksListBox->count(), 0);
  form.SetTracks(Disc(8), "/dev/sr0");
  form.show();
  form.GenreComboBox->lineEdit()->clear();
  QTest::keyClicks(form.GenreComboBox->lineEdit(), "Krautrock");
  QTest::keyClick(form.GenreComboBox->lineEdit(), Qt::Key_Tab);
  EXPECT_EQ(form.Info().genre, "Krautrock");
  EXPECT_EQ(form.GenreComboBox->count(), 111);
  form.hide();
}

// Catches: the window translated from another section, a component offered under a
// name other than its control's, or a caption key changing an edit's text or the rows.
TEST_F(CdInfoFormTest, TranslatesItselfFromItsSectionOfTheLanguageFile) {
  for (const auto& [object, name] : form.LanguageComponents())
    EXPECT_EQ(object->objectName().toStdString(), name);
  EXPECT_EQ(form.LanguageComponents().size(), 23u);

  TempDir home;
  ScopedEnv userFolder("ZIMBAR_HOME", home.Path().c_str());
  WriteText(home.File("Language.DAT"),
            "[MP3 Maker Main]\nTextOf_OKButton=Main OK\n"
            "[MP3 Maker CD Info]\n"
            "TextOf_LoadFromCDDBButton=   CDDB-Daten &laden\n"
            "HintOf_LoadFromCDDBButton=Holt die Daten der CD\n"
            "TextOf_UseHttpProxyCheckBox=&HTTP-Proxy benutzen\n"
            "TextOf_TitleLabel=&Titel:\n"
            "TextOf_TitleEdit=not a caption\n"
            "HintOf_TitleEdit=Titel der CD eingeben\n"
            "TextOf_TracksListBox=not a row\n"
            "HintOf_TracksListBox=Doppelklick benennt den Titel\n"
            "HintOf_LookupSourceComboBox=Woher die Angaben kommen\n"
            "TextOf_LookupSourceComboBox=not an entry\n"
            "TextOf_CancelButton=\n");
  form.TitleEdit->setText("Typed");
  form.Translate();
  EXPECT_EQ(form.LoadFromCDDBButton->text(), "CDDB-Daten &laden");
  EXPECT_EQ(form.LoadFromCDDBButton->toolTip(), "Holt die Daten der CD");
  EXPECT_EQ(form.UseHttpProxyCheckBox->text(), "&HTTP-Proxy benutzen");
  EXPECT_EQ(form.LookupSourceComboBox->toolTip(), "Woher die Angaben kommen");
  EXPECT_EQ(form.LookupSourceComboBox->currentText(), "CDDB");
  EXPECT_EQ(form.LookupSourceComboBox->count(), 2);
  EXPECT_EQ(form.TitleLabel->text(), "&Titel:");
  EXPECT_EQ(form.TitleEdit->text(), "Typed");
  EXPECT_EQ(form.TitleEdit->toolTip(), "Titel der CD eingeben");
  EXPECT_EQ(form.TracksListBox->toolTip(), "Doppelklick benennt den Titel");
  EXPECT_EQ(form.TracksListBox->count(), 8);
  EXPECT_EQ(form.TrackRowText(0), " 01");
  EXPECT_EQ(form.OKButton->text(), "&OK");
  EXPECT_EQ(form.CancelButton->text(), "&Cancel");
}

}  // namespace
