// The maker's window mode.
#include "maker/jobs/ui/window_main.h"

#include <QApplication>
#include <cstdio>

#include "common/paths.h"
#include "common/ui/qt_main_loop.h"
#include "common/ui/window_closer.h"
#include "maker/jobs/command_line.h"
#include "maker/jobs/maker_temporaries.h"
#include "maker/jobs/ui/maker_application.h"
#include "maker/jobs/ui/main_form.h"
#include "maker/settings/settings_table.h"

using maker::TMainForm;

int RunMakerWindow(int argc, char** argv, const std::vector<std::string>& jobArgs) {
  MakerApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zbmaker"));
  QApplication::setApplicationDisplayName(QStringLiteral("Zimbar MP3 Maker"));
  QApplication::setDesktopFileName(QStringLiteral("zbmaker"));

  // What a maker killed while it saved left behind (a --batch run saving now keeps its own).
  RemoveStaleMakerTemporaries();
  SettingsTable settings;
  const std::string settingsPath = SettingsTable::DefaultPath();
  if (FileExists(settingsPath)) {
    if (auto loaded = settings.Load(settingsPath); !loaded)
      std::fprintf(stderr, "zbmaker: cannot read %s, using the defaults: %s\n", settingsPath.c_str(),
                   loaded.Error().Message().c_str());
  } else {
    settings.ApplyAccessMethodCheck(ScsiPassThroughUsable());
  }

  int code = 0;
  int endedBy = 0;  // the signal that ended the program, if one did
  {
    QtMainLoop loop;
    TMainForm form(settings, loop);
    // SIGINT, SIGTERM and SIGHUP end the program as closing its window does (the run is
    // cancelled and waited for, the settings are saved), and so does a close while a box
    // is up.
    WindowCloser closer(form);
    closer.CloseOnTerminationSignals(loop);
    // A close during a run asks before stopping it, unless a signal asked for the close.
    form.closeWithoutAsking = [&closer] { return closer.TerminationSignal() != 0; };
    form.FormCreate(jobArgs, FullPath("."));
    form.show();
    code = app.exec();
    endedBy = closer.TerminationSignal();
    form.closeWithoutAsking = nullptr;  // the closer goes first
  }
  // Ended by a signal: the shell's status for it, as in the terminal mode (130, 143).
  if (endedBy != 0 && code == 0) code = 128 + endedBy;
  // Written once, when the program ends (after the window has stopped every worker).
  if (auto saved = settings.Save(settingsPath); !saved) {
    std::fprintf(stderr, "zbmaker: cannot save %s: %s\n", settingsPath.c_str(), saved.Error().Message().c_str());
    return code == 0 ? 1 : code;
  }
  return code;
}
