// Load Info From CDDB in the CD window: a lookup against a CDDB server or a MusicBrainz
// web service on 127.0.0.1, its status log, cancelling it while the server stalls, and
// servers that fail.
#include "maker/metadata/ui/cddb_status_form.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QInputDialog>
#include <QListView>
#include <QTest>
#include <filesystem>

#include "../loopback_server.h"
#include "common/ui/qt_main_loop.h"
#include "maker/metadata/musicbrainz_disc_id.h"
#include "maker/metadata/ui/cd_info_form.h"
#include "modal_helpers.h"
#include "tests/common/temp_dir.h"

namespace {

// Two tracks at sectors 0 and 15000, lead-out at 30000: disc id 06019002.
TrackTable TwoTrackDisc() {
  TrackTable table;
  table.audio = 1;
  table.trackCount = 2;
  table.start[1] = 0;
  table.start[2] = 15000;
  table.start[3] = 30000;
  table.length[1] = 15000;
  table.length[2] = 15000;
  return table;
}

QStringList LogLines(const TCDDBStatusForm* status) {
  return status->LogMemo->toPlainText().split('\n');
}

class CddbFromWindowTest : public ::testing::Test {
 protected:
  CddbFromWindowTest() : form(settings, loop) {
    form.SetTracks(TwoTrackDisc());
    form.SetLoadFromCddbEnabled(true);
    form.TitleEdit->setText("Typed Title");
    form.ArtistEdit->setText("Typed Artist");
    form.YearEdit->setText("1999");
    form.GenreComboBox->setCurrentText("Jazz");
    SetRow(1, "Typed One");
    SetRow(2, "Typed Two");
    form.show();
  }

  void SetRow(int track, const std::string& name) {
    form.TracksListBox->item(track - 1)->setText(QString::fromStdString(CdTrackRow(track, name)));
  }

  // The typed fields are all still there.
  void ExpectTypedFieldsKept() {
    EXPECT_EQ(form.TitleEdit->text(), "Typed Title");
    EXPECT_EQ(form.ArtistEdit->text(), "Typed Artist");
    EXPECT_EQ(form.YearEdit->text(), "1999");
    EXPECT_EQ(form.GenreComboBox->currentText(), "Jazz");
    EXPECT_EQ(form.TrackRowText(0), " 01\tTyped One");
    EXPECT_EQ(form.TrackRowText(1), " 02\tTyped Two");
  }

  QtMainLoop loop;
  SettingsTable settings;
  TCDInfoForm form;
};

CddbScript FoundScript() {
  CddbScript script;
  script.queryReply = "200 rock 06019002 Some Artist / Some Album\r\n";
  script.readReply =
      "210 rock 06019002\r\nDTITLE=Some Artist / Some Album\r\nTTITLE0=First\r\nTTITLE1=\r\n.\r\n";
  return script;
}

// Catches: a lookup from the window that does not reach the server with the disc of the
// drive, results not put into the fields and rows (row n from line n, an empty name too,
// the year kept, no rows beyond the disc's tracks), or a status window that does not
// close on success; over both transports.
TEST_F(CddbFromWindowTest, LookupFillsFieldsAndRowsOverCddbpAndHttp) {
  for (bool http : {false, true}) {
    SCOPED_TRACE(http ? "http" : "cddbp");
    LoopbackServer server(http ? CddbHttpHandler(FoundScript()) : CddbpHandler(FoundScript()));
    form.CDDBServerComboBox->setCurrentText(QString("%1://127.0.0.1:%2").arg(http ? "http" : "cddbp").arg(server.Port()));
    SetRow(2, "Typed Two");

    form.LoadFromCDDBButtonClick();

    EXPECT_FALSE(form.CddbStatusForm()->isVisible());
    EXPECT_FALSE(form.CddbStatusForm()->Busy());
    EXPECT_EQ(form.TitleEdit->text(), "Some Album");
    EXPECT_EQ(form.ArtistEdit->text(), "Some Artist");
    EXPECT_EQ(form.GenreComboBox->currentText(), "rock");
    EXPECT_EQ(form.YearEdit->text(), "1999");
    EXPECT_EQ(form.TrackRowText(0), " 01\tFirst");
    EXPECT_EQ(form.TrackRowText(1), " 02\t");
    EXPECT_EQ(form.TracksListBox->count(), 2) << "one row per track of the disc";
    const QStringList log = LogLines(form.CddbStatusForm());
    EXPECT_EQ(log.value(0), "Getting CDDB info...");
    EXPECT_TRUE(log.contains("Requesting CD info from the CDDB server...")) << log.join('|').toStdString();
    std::string transcript;
    for (const auto& t : server.Transcripts()) transcript += t;
    EXPECT_NE(transcript.find("06019002"), std::string::npos);
  }
}

// Catches: Cancel that waits for the stalled server (the lookup's 30 s limit) before the
// window closes, a thread left running, or a cancelled lookup changing the fields.
TEST_F(CddbFromWindowTest, CancelWhileTheServerStallsClosesAtOnceAndKeepsTheFields) {
  CddbScript script = FoundScript();
  script.queryReply = std::string(kStall);
  LoopbackServer server(CddbpHandler(script));
  form.CDDBServerComboBox->setCurrentText(QString("cddbp://127.0.0.1:%1").arg(server.Port()));
  QElapsedTimer clock;
  OnModal<TCDDBStatusForm>([&clock](TCDDBStatusForm* status) {
    EXPECT_TRUE(QTest::qWaitFor([status] {
      return LogLines(status).contains("Querying the CDDB server...") && status->CancelButton->isEnabled();
    }, 10000));
    clock.start();
    status->CancelButton->click();
  });
  form.LoadFromCDDBButtonClick();
  EXPECT_LT(clock.elapsed(), 3000);
  EXPECT_FALSE(form.CddbStatusForm()->isVisible());
  EXPECT_FALSE(form.CddbStatusForm()->Busy());
  ExpectTypedFieldsKept();
}

// Catches: several matching discs read without asking (the first one taken blindly), the
// chosen one not the one read, or closing the chooser not cancelling the lookup.
TEST_F(CddbFromWindowTest, SeveralMatchesAreOfferedAndTheChosenOneIsRead) {
  for (bool choose : {true, false}) {
    SCOPED_TRACE(choose ? "second chosen" : "chooser closed");
    CddbScript script = FoundScript();
    script.queryReply = "211 Found inexact matches, list follows\r\nrock 06019002 A / B\r\n"
                        "jazz 06019002 C / D\r\n.\r\n";
    script.readReply = "210 jazz 06019002\r\nTTITLE0=Chosen\r\n.\r\n";
    LoopbackServer server(CddbpHandler(script));
    form.CDDBServerComboBox->setCurrentText(QString("cddbp://127.0.0.1:%1").arg(server.Port()));
    QStringList offered;
    OnModal<QInputDialog>([&offered, choose](QInputDialog* chooser) {
      offered = chooser->comboBoxItems();
      if (!choose) return chooser->reject();
      chooser->setTextValue(offered.value(1));
      chooser->accept();
    });
    form.LoadFromCDDBButtonClick();
    EXPECT_EQ(offered, QStringList({"rock 06019002 A / B", "jazz 06019002 C / D"}));
    std::string transcript;
    for (const auto& t : server.Transcripts()) transcript += t;
    if (choose) {
      EXPECT_NE(transcript.find("cddb read jazz 06019002"), std::string::npos) << transcript;
      EXPECT_EQ(form.ArtistEdit->text(), "C");
      EXPECT_EQ(form.TitleEdit->text(), "D");
      EXPECT_EQ(form.TrackRowText(0), " 01\tChosen");
      SetRow(1, "Typed One");
      form.TitleEdit->setText("Typed Title");
      form.ArtistEdit->setText("Typed Artist");
      form.GenreComboBox->setCurrentText("Jazz");
    } else {
      EXPECT_EQ(transcript.find("cddb read"), std::string::npos) << transcript;
      EXPECT_FALSE(form.CddbStatusForm()->isVisible());
      ExpectTypedFieldsKept();
    }
  }
}

struct FailingServer {
  const char* name;
  bool listening;            // false: nobody listens on the port
  std::string queryReply;
  QStringList logEnd;        // the last lines of the status log
};

// Catches: a failure not told in the status log in plain words naming the server (with
// the server's own line after them), OK left
// disabled or Cancel left enabled after it, the log of an earlier lookup still shown, or
// a failed lookup clearing what the user typed.
TEST_F(CddbFromWindowTest, FailingServerIsShownInTheLogAndChangesNothing) {
  const FailingServer cases[] = {
      {"nobody listening", false, "",
       {"Connecting to the CDDB server...", "Cannot reach 127.0.0.1: connection refused"}},
      {"no match", true, "202 No match for disc ID 06019002.\r\n",
       {"Querying the CDDB server...", "No match for this disc on 127.0.0.1", "202 No match for disc ID 06019002."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CddbScript script = FoundScript();
    script.queryReply = c.queryReply;
    std::optional<LoopbackServer> server;
    std::uint16_t port = FreeLoopbackPort();
    if (c.listening) port = server.emplace(CddbpHandler(script)).Port();
    form.CDDBServerComboBox->setCurrentText(QString("cddbp://127.0.0.1:%1").arg(port));
    QStringList log;
    bool okEnabled = false, cancelEnabled = true;
    OnModal<TCDDBStatusForm>([&](TCDDBStatusForm* status) {
      EXPECT_TRUE(QTest::qWaitFor([status] { return status->OKButton->isEnabled(); }, 10000));
      log = LogLines(status);
      okEnabled = status->OKButton->isEnabled();
      cancelEnabled = status->CancelButton->isEnabled();
      status->OKButton->click();
    });
    form.LoadFromCDDBButtonClick();
    EXPECT_EQ(log.value(0), "Getting CDDB info...");
    EXPECT_EQ(log.mid(log.size() - c.logEnd.size()), c.logEnd) << log.join('|').toStdString();
    EXPECT_TRUE(okEnabled);
    EXPECT_FALSE(cancelEnabled);
    EXPECT_FALSE(form.CddbStatusForm()->isVisible());
    ExpectTypedFieldsKept();
  }
}

// Catches the lines of a lookup shown in English while the windows show German.
TEST_F(CddbFromWindowTest, TheLogSpeaksTheWindowsLanguage) {
  TempDir dir;
  const ScopedEnv home("ZIMBAR_HOME", dir.Path().c_str());
  std::filesystem::copy_file(std::string(ZIMBAR_SOURCE_DIR) + "/lang/language_deutsch.txt", dir.Path() + "/Language.DAT");
  CddbScript script = FoundScript();
  script.queryReply = "202 No match for disc ID 06019002.\r\n";
  LoopbackServer server(CddbpHandler(script));
  form.CDDBServerComboBox->setCurrentText(QString("cddbp://127.0.0.1:%1").arg(server.Port()));
  QStringList log;
  OnModal<TCDDBStatusForm>([&](TCDDBStatusForm* status) {
    EXPECT_TRUE(QTest::qWaitFor([status] { return status->OKButton->isEnabled(); }, 10000));
    log = LogLines(status);
    status->OKButton->click();
  });
  form.LoadFromCDDBButtonClick();
  EXPECT_EQ(log.value(0).toStdString(), "Hole CDDB-Angaben...");
  EXPECT_TRUE(log.contains("Frage den CDDB-Server ab...")) << log.join('|').toStdString();
  // The server's own line stays as it came.
  EXPECT_EQ(log.mid(log.size() - 2), QStringList({"Kein Eintrag für diese CD auf 127.0.0.1",
                                                 "202 No match for disc ID 06019002."}))
      << log.join('|').toStdString();
}

// Catches: the MusicBrainz choice ignored (a CDDB lookup run), the service's address not
// taken from the settings, the releases not offered, the chosen one not filling title,
// artist, year and rows, or the typed genre wiped by a source that names none.
TEST_F(CddbFromWindowTest, MusicBrainzLookupOffersReleasesAndFillsTheFields) {
  const std::string id = MakeMusicBrainzDiscId(DiscLayout{2, {0, 15000, 30000}})->id;
  const WebRelease first{"r1", "Album", "Band", "2001-02-03", "DE", id, {{"One", ""}, {"Two", ""}}};
  const WebRelease second{"r2", "Live", "Band", "2004", "", id, {{"Uno", ""}, {"Dos", "Guest"}}};
  LoopbackServer server(HttpReplyHandler(HttpResponse(200, "OK", MusicBrainzDiscReply({first, second}))));
  settings.musicBrainzServer = "http://127.0.0.1:" + std::to_string(server.Port());
  form.LookupSourceComboBox->setCurrentText("MusicBrainz");
  QStringList offered;
  OnModal<QInputDialog>([&offered](QInputDialog* chooser) {
    offered = chooser->comboBoxItems();
    chooser->setTextValue(offered.value(1));
    chooser->accept();
  });
  form.LoadFromCDDBButtonClick();
  EXPECT_EQ(offered, QStringList({"Band / Album (2001, DE)", "Band / Live (2004)"}));
  EXPECT_FALSE(form.CddbStatusForm()->isVisible());
  EXPECT_EQ(form.TitleEdit->text(), "Live");
  EXPECT_EQ(form.ArtistEdit->text(), "Band");
  EXPECT_EQ(form.YearEdit->text(), "2004");
  EXPECT_EQ(form.GenreComboBox->currentText(), "Jazz");
  EXPECT_EQ(form.TrackRowText(0), " 01\tUno");
  EXPECT_EQ(form.TrackRowText(1), " 02\tGuest / Dos");
  EXPECT_EQ(form.TracksListBox->count(), 2) << "one row per track of the disc";
  const QStringList log = LogLines(form.CddbStatusForm());
  EXPECT_EQ(log.value(0), "Getting MusicBrainz info...");
  EXPECT_TRUE(log.contains(QString::fromStdString("Disc id: " + id))) << log.join('|').toStdString();
  ASSERT_EQ(server.Transcripts().size(), 1u);
  EXPECT_NE(server.Transcripts()[0].find("GET /ws/2/discid/" + id + "?toc=1+2+30150+150+15150&"), std::string::npos);

  // The chosen release's ids go with the names into the CD information (the tags and the
  // cover art lookup take them from there) until a name is typed by hand.
  CdInfo info = form.Info();
  EXPECT_EQ(info.musicBrainzReleaseId, "r2");
  EXPECT_EQ(info.musicBrainzDiscId, id);
  EXPECT_EQ(info.musicBrainzArtistId, "a-Band");
  EXPECT_EQ(info.musicBrainzRecordingIds, (std::vector<std::string>{"r-Uno", "r-Dos"}));
  EXPECT_EQ(info.musicBrainzTrackIds, (std::vector<std::string>{"t-r2-1", "t-r2-2"}));
  EXPECT_EQ(info.discNumber, 1);
  EXPECT_EQ(info.discCount, 1);
  form.YearEdit->setText("2005");
  EXPECT_EQ(form.Info().musicBrainzReleaseId, "r2") << "the year is no name";
  form.TracksListBox->item(1)->setText(" 02\tTyped");
  info = form.Info();
  EXPECT_EQ(info.musicBrainzReleaseId, "");
  EXPECT_TRUE(info.musicBrainzRecordingIds.empty());
  EXPECT_EQ(info.discNumber, 0);
}

// Catches: the source choice not stored on OK, not loaded when the window is shown
// again, or stored although the window was cancelled.
TEST_F(CddbFromWindowTest, SourceChoiceIsRememberedInTheSettings) {
  form.hide();
  EXPECT_EQ(form.LookupSourceComboBox->count(), 2);
  OnModal<TCDInfoForm>([](TCDInfoForm* window) {
    EXPECT_EQ(window->LookupSourceComboBox->currentText(), "CDDB");
    window->LookupSourceComboBox->setCurrentText("MusicBrainz");
    window->OKButton->click();
  });
  form.exec();
  EXPECT_TRUE((settings.useMusicBrainz != 0));
  QString shown;
  OnModal<TCDInfoForm>([&shown](TCDInfoForm* window) {
    shown = window->LookupSourceComboBox->currentText();
    window->LookupSourceComboBox->setCurrentText("CDDB");
    window->CancelButton->click();
  });
  form.exec();
  EXPECT_EQ(shown, "MusicBrainz");
  EXPECT_TRUE((settings.useMusicBrainz != 0));
}

}  // namespace
