// zbmaker-shots: pictures of the maker's windows for the manual, taken after real runs.
//
//   zbmaker-shots OUTDIR DISC.cue MUSICDIR
//
// Opens the main window over a disc image (as its drive) and a folder of WAV files, runs
// each operation once to its end and writes OUTDIR/maker-cd2mp3.png, maker-cd2wav.png,
// maker-wav2mp3.png, maker-mp32wav.png, then the options window's pages
// (maker-options-1.png ... -4.png, the accuracy page as maker-accuracy-page.png), the CD
// information window (maker-cdinfo.png) and the CDDB status window (maker-cddb.png).
// With ZIMBAR_SHOTS_ACCURATERIP_DIR naming the folder that the AccurateRip server of
// ZIMBAR_ACCURATERIP_SERVER serves, it writes the disc's record there (two pressings that
// agree with the image) and rips the disc once more with AccurateRip: the track list with
// its results is maker-verified-run.png. Settings live in $ZIMBAR_HOME.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <span>

#include "common/ui/qt_main_loop.h"
#include "maker/accuracy/accuraterip.h"
#include "maker/metadata/cddb_lookup.h"
#include "maker/metadata/ui/cd_info_form.h"
#include "maker/metadata/ui/cddb_status_form.h"
#include "maker/jobs/ui/main_form.h"
#include "maker/jobs/ui/main_form_host.h"
#include "maker/settings/ui/accuracy_page.h"
#include "maker/settings/ui/options_form.h"

using maker::TMainForm;
using maker::TOptionsForm;

namespace {

void Settle(int ms = 150) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget* window, const QString& path) {
  Settle();
  const bool ok = window->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
  return ok;
}

// Presses Start and turns the loop until the run has ended.
void Run(TMainForm& form, QtMainLoop& loop) {
  form.StartButtonClick();
  loop.RunUntil([&] { return !form.Pipeline().Busy() && !form.Pipeline().HasLiveWorkers(); }, std::chrono::minutes(5));
  Settle(300);
}

// The AccurateRip record of the disc image `cue` (its audio in the .bin beside it) under
// `folder`, at the path the lookup asks for: two pressings whose checksums are the disc's,
// one of v1 and one of v2 sums.
bool WriteRecordOfDisc(const TrackTable& table, const std::string& cue, const std::string& folder) {
  std::ifstream in(cue.substr(0, cue.size() - 4) + ".bin", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint32_t> frames(bytes.size() / 4);
  std::memcpy(frames.data(), bytes.data(), frames.size() * 4);
  const AccurateRipDiscIds ids = ComputeAccurateRipDiscIds(table);
  AccurateRipRecord record;
  for (const int version : {1, 2}) {
    AccurateRipPressing pressing{ids.id1, ids.id2, ids.cddb, {}};
    for (int track = 1; track <= table.trackCount; ++track) {
      const size_t first = size_t(table.start[size_t(track)]) * kCdFramesPerSector;
      const size_t count = size_t(table.length[size_t(track)]) * kCdFramesPerSector;
      if (first + count > frames.size()) return false;
      const AccurateRipSums sums = AccurateRipChecksums(std::span(frames).subspan(first, count), track == 1,
                                                        track == table.trackCount);
      pressing.tracks.push_back({uint8_t(version == 1 ? 4 : 8), version == 1 ? sums.v1 : sums.v2, 0});
    }
    record.pressings.push_back(pressing);
  }
  const std::string path = folder + ids.RecordPath();
  QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
  std::ofstream(path, std::ios::binary) << EncodeAccurateRipRecord(record);
  std::printf("wrote %s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "Usage: zbmaker-shots OUTDIR DISC.cue MUSICDIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const std::string music = argv[3];
  QDir().mkpath(out);
  SettingsTable settings;
  settings.discImages = argv[2];
  settings.useWinNtRawRead = 1;
  settings.outputPath = music + "/ripped";
  settings.version = 0x010341;
  bool ok = true;
  {
    QtMainLoop loop;
    TMainForm form(settings, loop);
    form.showError = [](const QString& text, const QString&) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); };
    form.FormCreate({}, music);
    form.move(40, 40);
    form.show();
    Settle(300);

    // Names as a user types them in the CD information window, then its OK.
    TCDInfoForm* cd = form.CDInfoForm();
    cd->TitleEdit->setText(QStringLiteral("Harbour Lights"));
    cd->ArtistEdit->setText(QStringLiteral("Zimbar Ensemble"));
    cd->YearEdit->setText(QStringLiteral("2024"));
    const char* names[] = {"Night Train", "Lanterns", "Low Tide", "Morning Ferry"};
    for (int row = 0; row < cd->TracksListBox->count() && row < 4; ++row)
      cd->TracksListBox->item(row)->setText(QStringLiteral(" %1\t%2").arg(row + 1, 2, 10, QChar('0')).arg(QString::fromUtf8(names[row])));
    form.execDialog = [](QDialog*) { return true; };
    form.CDInfoButtonClick();
    form.execDialog = nullptr;

    form.CD2MP3RadioButton->click();
    for (int row = 2; row < form.TracksList->count(); ++row) form.TracksList->item(row)->setSelected(false);
    Run(form, loop);
    ok = Save(&form, out + "/maker-cd2mp3.png") && ok;

    form.CD2WAVRadioButton->click();
    form.TracksList->item(2)->setSelected(true);
    Run(form, loop);
    ok = Save(&form, out + "/maker-cd2wav.png") && ok;

    form.WAV2MP3RadioButton->click();
    form.AddPaths({music});
    Run(form, loop);
    ok = Save(&form, out + "/maker-wav2mp3.png") && ok;

    form.MP32WAVRadioButton->click();
    form.ClearButtonClick();
    form.AddPaths({music});
    Run(form, loop);
    ok = Save(&form, out + "/maker-mp32wav.png") && ok;

    TOptionsForm* options = form.OptionsForm();
    // The accuracy page as a person sets it up for a drive whose offset is known.
    const CdDriveIdentity drive = form.Host().SelectedDriveIdentity();
    if (!drive.vendor.empty() || !drive.model.empty()) {
      options->SetDrive(drive.Key(), drive.vendor + " " + drive.model);
      settings.SetReadOffset(drive.Key(), 667);
    }
    settings.secureMode = 1;
    // The format page with FLAC chosen, the format most rips are made to.
    settings.mpegMode = kModeFlac;
    options->Load(settings);
    options->show();
    for (int page = 0; page < options->SettingsPageControl->count(); ++page) {
      options->SettingsPageControl->setCurrentIndex(page);
      const bool accuracy = options->SettingsPageControl->widget(page) == options->AccuracyTabSheet;
      ok = Save(options, accuracy ? out + QStringLiteral("/maker-accuracy-page.png")
                                  : out + QStringLiteral("/maker-options-%1.png").arg(page + 1)) && ok;
    }
    options->hide();
    settings.readOffsets.clear();
    settings.secureMode = 0;
    settings.mpegMode = kModeMpeg1;

    cd->show();
    ok = Save(cd, out + "/maker-cdinfo.png") && ok;
    cd->hide();

    TCDDBStatusForm status(loop, &form);
    for (CddbStage stage : {CddbStage::Connecting, CddbStage::LoggingIn, CddbStage::Querying, CddbStage::Reading})
      status.LogMemo->appendPlainText(QString::fromUtf8(std::string(CddbStageText(stage)).c_str()));
    status.show();
    ok = Save(&status, out + "/maker-cddb.png") && ok;
    status.hide();

    if (const char* records = std::getenv("ZIMBAR_SHOTS_ACCURATERIP_DIR"); records != nullptr && *records != '\0') {
      ok = WriteRecordOfDisc(form.Tracks(), argv[2], records) && ok;
      settings.accurateRip = 1;
      form.CD2WAVRadioButton->click();
      for (int row = 0; row < form.TracksList->count(); ++row) form.TracksList->item(row)->setSelected(true);
      Run(form, loop);
      form.TracksList->clearSelection();
      ok = Save(&form, out + "/maker-verified-run.png") && ok;
    }
    form.close();
  }
  return ok ? 0 : 1;
}
