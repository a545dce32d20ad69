// TCDInfoForm: the CD information window. It holds the disc title, artist, year, genre
// and one name per track of the disc in the drive (one row per track, the name edited in
// place or through the prompt), with the CDDB server and proxy choices, the lookup source
// (CDDB or MusicBrainz), the output naming choice and the ID3 choice. It is created once
// and shown modally on demand; Cancel (or closing it any other way) brings back the disc
// fields as they were when it was shown and leaves the settings alone.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <string>
#include <utility>
#include <vector>

#include "cdaccess/track_table.h"
#include "maker/metadata/cd_info.h"
#include "maker/metadata/cddb_lookup.h"
#include "maker/metadata/disc_info_session.h"
#include "maker/metadata/disc_text_fill.h"
#include "maker/metadata/musicbrainz_ids.h"
#include "maker/settings/settings_table.h"

class MainLoop;
class TTrackNameForm;
class TCDDBStatusForm;
class TrackNameDelegate;

class TCDInfoForm : public QDialog {
  Q_OBJECT
 public:
  // `settings` holds the CDDB, proxy, naming and ID3 choices (loaded when the window is
  // shown, stored on OK); `loop` is the main loop the CDDB thread hands its log lines
  // over to (a QtMainLoop on this thread). Both must outlive the window.
  TCDInfoForm(SettingsTable& settings, MainLoop& loop, QWidget* parent = nullptr);
  ~TCDInfoForm() override;

  // Applies the active language file (section "MP3 Maker CD Info"). The window does so
  // when it is created; call it again after another language was loaded.
  void Translate();

  // The disc in drive `drive` (its device or image path): its table of contents, for the
  // CDDB disc id. Another disc than the one before (another drive, another table of
  // contents; a table without tracks is no disc) clears the disc fields and the track
  // names, or brings back what they held when that disc was last shown in this session;
  // the same disc again keeps them. A table without tracks leaves nothing to look up.
  void SetTracks(const TrackTable& tracks, const std::string& drive = {});
  // Puts the disc's own album title, artist and track names (a disc image's sheet, a real
  // disc's CD-Text) into the fields the user has typed nothing in; fields still holding
  // what the previous disc's text put there count as untyped. Returns what it put in.
  DiscTextFill FillFromDiscText(const DiscText& text, int trackCount);
  // The main window enables "Load Info From CDDB" only while its track list has tracks.
  void SetLoadFromCddbEnabled(bool enabled);

  // Shows the window modally: takes the snapshot, loads the choices from the settings,
  // places itself 20 pixels right of and below its parent. OK stores the choices in the
  // settings; anything else restores the snapshot.
  int exec() override;

  // The window's current contents: disc fields, track names (from the rows) and choices,
  // and the MusicBrainz ids of the last lookup while the names are still the release's.
  CdInfo Info() const;
  // Row `row` (0-based) of TracksListBox: " %02i\t%s", or " %02i" for a row never named.
  std::string TrackRowText(int row) const;

  // The components offered to the language file, by their names.
  std::vector<std::pair<QObject*, std::string>> LanguageComponents();

  QFrame* CDInfoPanel;
  QLabel* TitleLabel;
  QLabel* ArtistLabel;
  QLabel* YearLabel;
  QLabel* GenreLabel;
  QLineEdit* TitleEdit;
  QLineEdit* ArtistEdit;
  QLineEdit* YearEdit;
  QComboBox* GenreComboBox;
  QListWidget* TracksListBox;
  QListWidget* TempTracksListBox;  // never shown: the rows as they were when shown
  QComboBox* CDDBServerComboBox;
  QCheckBox* UseHttpProxyCheckBox;
  QLineEdit* HttpProxyEdit;
  QCheckBox* UseSocksProxyCheckBox;
  QLineEdit* SocksProxyEdit;
  QCheckBox* UseFileNameFormatCheckBox;
  QLineEdit* FilenamePatternEdit;
  QCheckBox* ApplyID3CheckBox;
  QPushButton* LoadFromCDDBButton;
  QComboBox* LookupSourceComboBox;  // "CDDB" or "MusicBrainz": where the lookup asks
  QPushButton* OKButton;
  QPushButton* CancelButton;

  // The name prompt and the CDDB status window, created with this window and kept.
  TTrackNameForm* TrackNameForm() const { return trackNameForm_; }
  TCDDBStatusForm* CddbStatusForm() const { return cddbStatusForm_; }

  // Edits the selected row's name through the prompt (Enter in the list; a double-click
  // or F2 edits it in place).
  void EditSelectedTrackName();
  // Runs a lookup (CDDB or MusicBrainz, as chosen) for the disc behind the status window
  // and takes its results.
  void LoadFromCDDBButtonClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  void UpdateControls();
  void ShowCddbResult(const CddbOutputs& outputs);
  void TakeSnapshot();
  void RestoreSnapshot();
  void ShowDiscFields(const CdInfoSnapshot& fields);
  void LoadChoices();
  void StoreChoices();

  SettingsTable& settings_;
  MainLoop& loop_;
  TrackTable tracks_;
  CdInfoSnapshot snapshot_;  // the disc fields as they were when the window was shown
  DiscTextFill discTextFill_;  // what the last disc's own text put into the fields
  DiscInfoSession discSession_;  // the disc fields of each disc shown before
  MusicBrainzNaming musicBrainz_;  // what the last lookup named, with its release's ids
  MusicBrainzNaming musicBrainzSnapshot_;  // the same when the window was shown
  TTrackNameForm* trackNameForm_;
  TrackNameDelegate* trackNameDelegate_;  // owned by TracksListBox
  TCDDBStatusForm* cddbStatusForm_;
};
