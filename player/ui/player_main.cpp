// zbplayer: the skinned player.
//
//   zbplayer [FILE | FOLDER | LIST.pls | URL]...
//
// Plays MP3, WAV, AAC, FLAC, Ogg Vorbis, Opus and M4A files and HTTP/FTP streams. One
// player runs per user: a second start without files brings the running one to the front;
// with files it takes over.
// --screenshot DIR writes pictures of the four windows into DIR (main.png, eq.png,
// playlist.png, id3.png) a moment after start-up, then ends.
// SIGINT, SIGTERM and SIGHUP end it as its close button does (list and settings saved),
// with the status 128 + the signal.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "common/output_file.h"
#include "common/paths.h"
#include "common/ui/qt_main_loop.h"
#include "common/ui/window_closer.h"
#include "player/control/desktop_shortcut.h"
#include "player/control/instance_name.h"
#include "player/control/player_texts.h"
#include "player/playlist/list_entries.h"
#include "player/playlist/play_list_file.h"
#include "player/playlist/player_settings.h"
#include "player/playlist/ui/id3_form.h"
#include "player/playlist/ui/play_list_form.h"
#include "player/skin/skin_folder.h"
#include "player/ui/equalizer_form.h"
#include "player/ui/main_form.h"
#include "player/ui/mpris_service.h"
#include "player/ui/single_instance.h"
#include "player/ui/skin_image.h"
#include "player/ui/window_grab.h"

using player::TMainForm;

namespace {

void Usage(FILE* to) {
  std::fprintf(to,
               "Usage: zbplayer [FILE | FOLDER | LIST.pls | URL]...\n"
               "Plays MP3, WAV, AAC, FLAC, Ogg Vorbis, Opus and M4A files and HTTP or FTP streams\n"
               "in the skinned player. Folders are searched for these files, as the play list's\n"
               "Add Dir does.\n"
               "  --screenshot DIR  write pictures of the windows into DIR, then end\n"
               "  -h, --help        show this help\n"
               "  --version         show the version\n");
}

bool SaveShots(TMainForm& form, const QString& folder) {
  QDir().mkpath(folder);
  bool ok = GrabWindowImage(&form).save(folder + QStringLiteral("/main.png"));
  ok = GrabWindowImage(form.EqualizerForm()).save(folder + QStringLiteral("/eq.png")) && ok;
  TPlayListForm* list = form.PlayListForm();
  list->show();
  // The rows show tags and playing times once they are read.
  QElapsedTimer reading;
  reading.start();
  while (list->ReadingInfo() && reading.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  if (!form.List().Empty()) list->FileListBox->SelectRow(0, true);
  ok = GrabWindowImage(list).save(folder + QStringLiteral("/playlist.png")) && ok;
  TID3Form* id3 = form.ID3Form();
  id3->Prepare(list->Model().SelectedTexts());
  id3->show();
  ok = GrabWindowImage(id3).save(folder + QStringLiteral("/id3.png")) && ok;
  id3->hide();
  list->hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> names;
  QString screenshotFolder;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (options && a == "--") {
      options = false;
    } else if (options && (a == "-h" || a == "--help")) {
      Usage(stdout);
      return 0;
    } else if (options && a == "--version") {
      std::printf("zbplayer %s\n", kPlayerVersion);
      return 0;
    } else if (options && a == "--screenshot" && i + 1 < argc) {
      screenshotFolder = QString::fromLocal8Bit(argv[++i]);
    } else {
      names.push_back(a);
    }
  }

  UseWholeScaleFactors();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zbplayer"));
  QApplication::setQuitOnLastWindowClosed(false);

  TSingleInstance instance(QString::fromStdString(InstanceSocketPath()));
  if (instance.Start(NamesExistingPath(names)) == TSingleInstance::Outcome::Shown) return 0;
  if (!instance.Listening())
    std::fprintf(stderr, "zbplayer: cannot listen for other starts: %s\n", instance.Error().toLocal8Bit().constData());

  // What a player killed while it saved left behind (hidden temporary files of the list,
  // the settings and an installed skin); a file another process is still writing is
  // locked and stays.
  const SkinFiles skin = SkinFiles::In(UserSkinFolder());
  RemoveStaleTemporaries({PlayerSettingsPath(), DefaultPlayListPath(),
                          JoinPath(DesktopFolder(), PlayerDesktopEntry().name + ".desktop"), skin.displayIni,
                          skin.mainBitmap, skin.eqBitmap});
  PlayerSettingsFile settingsFile;
  if (auto loaded = settingsFile.Load(); !loaded)
    std::fprintf(stderr, "zbplayer: %s (using the defaults)\n", loaded.Error().Message().c_str());
  PlayerSettings& settings = settingsFile.Settings();
  if (settings.version < kShortcutSettingsVersion) {
    if (auto made = CreateDesktopShortcut(DesktopFolder(), PlayerDesktopEntry(), RunningProgramPath()); !made)
      std::fprintf(stderr, "zbplayer: %s\n", made.Error().Message().c_str());
    settings.version = kShortcutSettingsVersion;
  }

  QtMainLoop loop;
  TMainForm form(settings, [&loop] { return std::make_unique<SoundPlayerFacade>(loop); });
  if (const QString errors = form.ApplyStartSkin(); !errors.isEmpty())
    std::fprintf(stderr, "zbplayer: %s\n", errors.toLocal8Bit().constData());
  QObject::connect(&instance, &TSingleInstance::ShowRequested, &form, &TMainForm::ShowFront);
  QObject::connect(&instance, &TSingleInstance::CloseRequested, &form, [&form] { form.close(); });

  // Ended by the session or a terminal, or closed by the desktop while a box is up: closed
  // as by its close button, list and settings saved.
  WindowCloser closer(form);
  closer.CloseOnTerminationSignals(loop);

  TMprisService mpris(&form);
  if (QString error; !mpris.Register(&error) && qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
    std::fprintf(stderr, "zbplayer: no media player interface on the session bus: %s\n", error.toLocal8Bit().constData());

  form.show();
  // The arguments' files, folders and lists are read on a worker thread meanwhile.
  form.StartWithArguments(names);

  int status = 0;
  if (!screenshotFolder.isEmpty()) {
    QTimer::singleShot(2500, &form, [&] {
      status = SaveShots(form, screenshotFolder) ? 0 : 1;
      if (status != 0) std::fprintf(stderr, "zbplayer: cannot write the screenshots into %s\n", screenshotFolder.toLocal8Bit().constData());
      form.close();
    });
  }
  int exitCode = app.exec();
  form.ShutDown();
  // Ended by a signal: the shell's status for it (130, 143, 129).
  if (const int signal = closer.TerminationSignal(); signal != 0 && exitCode == 0) exitCode = 128 + signal;
  if (!form.ListSaveError().empty()) std::fprintf(stderr, "zbplayer: %s\n", form.ListSaveError().c_str());
  if (auto saved = settingsFile.Save(); !saved) std::fprintf(stderr, "zbplayer: %s\n", saved.Error().Message().c_str());
  return status != 0 ? status : exitCode;
}
