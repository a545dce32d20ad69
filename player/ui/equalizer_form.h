// TEqualizerForm: the skinned equalizer window. Its twelve sliders drive the decoder's 32
// bands through the shared equalizer record; the enable box switches the equalizer on and
// off; its context menu loads, saves and deletes presets; values and place are kept in the
// settings.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "player/control/equalizer_presets.h"
#include "player/control/equalizer_record.h"
#include "player/playlist/player_settings.h"
#include "player/ui/equalizer_skin_face.h"

class QKeyEvent;
class QMenu;

class TEqualizerForm : public TEqualizerSkinFace {
  Q_OBJECT
 public:
  // Takes the slider values and the enabled state from the settings.
  explicit TEqualizerForm(PlayerSettings& settings, QWidget* parent = nullptr);
  // Stores place, size and slider values into the settings.
  ~TEqualizerForm() override;

  // Applies the skin and sets each knob from its value.
  void ApplyEqualizerSkin(const DisplayIni& display, const QImage& eqBitmap);
  // Places the window: at the stored place when EQFormTop is above 0, else 5 pixels under
  // the main window, at its left.
  void PlaceUnder(const QWidget* mainWindow);

  // The record as the facade gets it: the sliders' record when enabled, else zeros.
  EqualizerRecord Applied() const { return AppliedEqualizer(record_, Enabled()); }
  const EqualizerRecord& Record() const { return record_; }
  const EqualizerValues& Values() const { return values_; }
  bool Enabled() const { return settings_.eqEnabled != 0; }
  // Stores the window's state into the settings (also done on destruction).
  void StoreSettings();

  // The context menu as it opens now: the shipped presets, the user's presets, "Save
  // Preset...", and "Delete Preset" with the user's presets. Loading a preset sets the
  // sliders and switches the equalizer on.
  QMenu* BuildPresetMenu();
  // Sets the sliders to values (and the equalizer on), as loading a preset does.
  void LoadPreset(const EqualizerValues& values);
  // Where the user's presets are kept: the player's settings file unless set.
  void SetPresetFile(std::string path) { presets_ = EqualizerPresetFile(std::move(path)); }

  // Called after every slider move and check-box click (the main window re-applies the
  // equalizer).
  std::function<void()> onChange;
  // Asks for the name to save the sliders under (a dialog); nothing when cancelled.
  std::function<std::optional<QString>(const QString& suggestion)> askPresetName;
  // Shows why a preset could not be read, saved or deleted (a message box).
  std::function<void(const QString& text)> showPresetError;
  // Key presses go to the main window's key handler.
  std::function<void(QKeyEvent*)> onKey;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void TrackChange(int index);
  void EqualizerEnableCheckBoxClick();
  void CloseButtonClick();
  void SavePresetClick();
  void DeletePresetClick(const std::string& name);
  void RebuildRecord();

  PlayerSettings& settings_;
  EqualizerValues values_{};
  EqualizerRecord record_{};
  EqualizerPresetFile presets_{PlayerSettingsPath()};
  QMenu* presetMenu_;
};
