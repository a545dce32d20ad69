// TSkinPreview: the main and equalizer windows cut from one skin, wired to nothing but
// each other — the equalizer opens under the main window and follows it, the Setup button
// opens the Setup window, Load Display re-skins both. Skin designers, the screenshot script
// and the desktop tests run it through zbskinview.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <thread>
#include <atomic>

#include "player/playlist/player_settings.h"
#include "player/ui/skin_image.h"

class TMainSkinFace;
class TEqualizerSkinFace;

class TSkinPreview : public QObject {
  Q_OBJECT
 public:
  explicit TSkinPreview(PlayerSettings& settings);
  ~TSkinPreview() override;

  // Applies a skin that can be shown to both windows (hidden windows stay hidden).
  void ShowSkin(const LoadedSkin& skin);
  // Reads a skin folder and applies it when it can be shown. Returns why it cannot (the
  // windows keep their skin), else the rectangles that were cut to their window.
  QString ApplySkinFolder(const QString& folder);
  // At start: applies the active skin, or the shipped default when the per-user skin cannot
  // be shown, with a message box saying why. Returns what to print on stderr.
  QString ApplyStartSkin();
  // The Load Display action: installs the chosen folder as the active skin and re-skins.
  QString LoadDisplay(const QString& folder);

  // Shows the main window at its stored place and the equalizer window under it (or at
  // its stored place when EQFormTop is above 0).
  void Show();
  // Fills the text fields with sample texts and feeds a tone to the visualization from a
  // thread of its own, as a playing engine would.
  void StartDemo();

  TMainSkinFace* Main() const { return main_.get(); }
  TEqualizerSkinFace* Equalizer() const { return eq_.get(); }

  // Events, for the harness to report ("clicked btn_play", "press 12 40").
  std::function<void(const QString&)> onEvent;

 private:
  void ShowSetup();
  void StopDemo();

  PlayerSettings& settings_;
  std::unique_ptr<TMainSkinFace> main_;
  std::unique_ptr<TEqualizerSkinFace> eq_;
  std::atomic<bool> demoRunning_{false};
  std::thread demo_;  // last: joined before the windows it feeds go away
};
