// TCDInfoForm: the disc fields, the track rows, the choices and their enabling rules,
// the snapshot taken on show and the CDDB lookup.
#include "maker/metadata/ui/cd_info_form.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "maker/metadata/cd_info_settings.h"
#include "maker/metadata/cddb_lookup.h"
#include "maker/metadata/disc_id.h"
#include "maker/metadata/musicbrainz_disc_id.h"
#include "maker/metadata/ui/cddb_status_form.h"
#include "maker/metadata/ui/track_name_delegate.h"
#include "maker/metadata/ui/track_name_form.h"
#include "maker/settings/ui/translate_form.h"

namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string S(const QString& text) { return text.toStdString(); }

}  // namespace

TCDInfoForm::TCDInfoForm(SettingsTable& settings, MainLoop& loop, QWidget* parent)
    : QDialog(parent), settings_(settings), loop_(loop) {
  setObjectName(QStringLiteral("CDInfoForm"));
  setWindowTitle(QStringLiteral("CD/Tracks Information"));

  CDInfoPanel = new QFrame(this);
  TitleLabel = new QLabel(QStringLiteral("CD/Album &Title:"), CDInfoPanel);
  ArtistLabel = new QLabel(QStringLiteral("&Artist:"), CDInfoPanel);
  YearLabel = new QLabel(QStringLiteral("&Year:"), CDInfoPanel);
  GenreLabel = new QLabel(QStringLiteral("&Genre:"), CDInfoPanel);
  TitleEdit = new QLineEdit(CDInfoPanel);
  ArtistEdit = new QLineEdit(CDInfoPanel);
  YearEdit = new QLineEdit(CDInfoPanel);
  GenreComboBox = new QComboBox(CDInfoPanel);
  TracksListBox = new QListWidget(this);
  TempTracksListBox = new QListWidget(this);
  CDDBServerComboBox = new QComboBox(this);
  UseHttpProxyCheckBox = new QCheckBox(QStringLiteral("Use &Http Proxy"), this);
  HttpProxyEdit = new QLineEdit(this);
  UseSocksProxyCheckBox = new QCheckBox(QStringLiteral("Use &Socks Proxy"), this);
  SocksProxyEdit = new QLineEdit(this);
  UseFileNameFormatCheckBox = new QCheckBox(QStringLiteral("Use File Name &Format:"), this);
  FilenamePatternEdit = new QLineEdit(Q(kDefaultFileNamePattern), this);
  ApplyID3CheckBox = new QCheckBox(QStringLiteral("Add CD/Track Info as ID&3 Tag"), this);
  LoadFromCDDBButton = new QPushButton(QStringLiteral("&Load Info From CDDB"), this);
  LookupSourceComboBox = new QComboBox(this);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  for (const auto& [object, name] : LanguageComponents()) object->setObjectName(Q(name));

  TitleLabel->setBuddy(TitleEdit);
  ArtistLabel->setBuddy(ArtistEdit);
  YearLabel->setBuddy(YearEdit);
  GenreLabel->setBuddy(GenreComboBox);
  TitleEdit->setToolTip(QStringLiteral("Enter the CD/Album Title"));
  ArtistEdit->setToolTip(QStringLiteral("Enter the Artist"));
  YearEdit->setToolTip(QStringLiteral("Enter Year"));
  GenreComboBox->setToolTip(QStringLiteral("Select the Genre"));
  CDDBServerComboBox->setToolTip(QStringLiteral("Select the CDDB Server"));
  FilenamePatternEdit->setToolTip(QStringLiteral("Specify the format of the names of the output files"));
  // The fields hold as many characters as the tag and name code take.
  TitleEdit->setMaxLength(static_cast<int>(kCdTitleChars));
  ArtistEdit->setMaxLength(static_cast<int>(kCdArtistChars));
  YearEdit->setMaxLength(static_cast<int>(kCdYearChars));

  // The genre list is vocabulary only: any text may be typed, and typing adds no entry.
  GenreComboBox->setEditable(true);
  GenreComboBox->setInsertPolicy(QComboBox::NoInsert);
  for (std::string_view genre : CdGenreList()) GenreComboBox->addItem(Q(genre));
  GenreComboBox->lineEdit()->setMaxLength(static_cast<int>(kCdGenreChars));
  // Greyed examples, not values: an empty year or genre stays empty in tags and names.
  GenreComboBox->setCurrentText(QString());
  GenreComboBox->lineEdit()->setPlaceholderText(Q(kGenrePlaceholder));
  YearEdit->setPlaceholderText(Q(kUnknownYear));
  CDDBServerComboBox->setEditable(true);
  CDDBServerComboBox->setInsertPolicy(QComboBox::NoInsert);
  for (std::string_view server : CddbServerList()) CDDBServerComboBox->addItem(Q(server));
  CDDBServerComboBox->setCurrentText(Q(kDefaultCddbServer));
  // Entry i is MetadataSource i.
  LookupSourceComboBox->addItem(QStringLiteral("CDDB"));
  LookupSourceComboBox->addItem(QStringLiteral("MusicBrainz"));
  LookupSourceComboBox->setToolTip(QStringLiteral("Choose where the CD information comes from: CDDB or MusicBrainz"));
  HttpProxyEdit->setPlaceholderText(QStringLiteral("host:port"));
  SocksProxyEdit->setPlaceholderText(QStringLiteral("host:port"));

  // One row per track of the disc (SetTracks). A name is edited in place (double-click,
  // F2) or through the prompt (Enter, the event filter).
  TracksListBox->setSelectionMode(QAbstractItemView::SingleSelection);
  trackNameDelegate_ = new TrackNameDelegate(TracksListBox);
  TracksListBox->setItemDelegate(trackNameDelegate_);
  TracksListBox->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  TracksListBox->installEventFilter(this);
  TempTracksListBox->hide();

  const QFontMetrics metrics(font());
  TitleEdit->setMinimumWidth(metrics.horizontalAdvance(QLatin1Char('x')) * 40);
  TracksListBox->setMinimumHeight(metrics.lineSpacing() * 12);

  auto* fields = new QGridLayout(CDInfoPanel);
  fields->setContentsMargins(0, 0, 0, 0);
  fields->addWidget(TitleLabel, 0, 0);
  fields->addWidget(TitleEdit, 0, 1, 1, 3);
  fields->addWidget(ArtistLabel, 1, 0);
  fields->addWidget(ArtistEdit, 1, 1, 1, 3);
  fields->addWidget(YearLabel, 2, 0);
  fields->addWidget(YearEdit, 2, 1);
  fields->addWidget(GenreLabel, 2, 2);
  fields->addWidget(GenreComboBox, 2, 3);
  fields->setColumnStretch(3, 1);

  auto* cddb = new QGridLayout;
  cddb->addWidget(CDDBServerComboBox, 0, 0, 1, 2);
  auto* lookup = new QHBoxLayout;
  lookup->addWidget(LookupSourceComboBox);
  lookup->addWidget(LoadFromCDDBButton);
  cddb->addLayout(lookup, 0, 2);
  cddb->addWidget(UseHttpProxyCheckBox, 1, 0);
  cddb->addWidget(HttpProxyEdit, 1, 1, 1, 2);
  cddb->addWidget(UseSocksProxyCheckBox, 2, 0);
  cddb->addWidget(SocksProxyEdit, 2, 1, 1, 2);
  cddb->setColumnStretch(1, 1);

  auto* naming = new QHBoxLayout;
  naming->addWidget(UseFileNameFormatCheckBox);
  naming->addWidget(FilenamePatternEdit, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ApplyID3CheckBox);
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CDInfoPanel);
  layout->addWidget(TracksListBox, 1);
  layout->addLayout(cddb);
  layout->addLayout(naming);
  layout->addLayout(buttons);

  trackNameForm_ = new TTrackNameForm(this);
  cddbStatusForm_ = new TCDDBStatusForm(loop_, this);

  // Enter in the edits closes with OK; in the track list it edits the row (event filter).
  OKButton->setDefault(true);
  LoadFromCDDBButton->setAutoDefault(false);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(LoadFromCDDBButton, &QPushButton::clicked, this, &TCDInfoForm::LoadFromCDDBButtonClick);
  connect(CDDBServerComboBox, &QComboBox::currentTextChanged, this, [this] { UpdateControls(); });
  connect(LookupSourceComboBox, &QComboBox::currentIndexChanged, this, [this] { UpdateControls(); });
  for (QCheckBox* box : {UseHttpProxyCheckBox, UseSocksProxyCheckBox, UseFileNameFormatCheckBox})
    connect(box, &QCheckBox::toggled, this, [this] { UpdateControls(); });
  UpdateControls();
  Translate();
}

TCDInfoForm::~TCDInfoForm() = default;

std::vector<std::pair<QObject*, std::string>> TCDInfoForm::LanguageComponents() {
  return {{CDInfoPanel, "CDInfoPanel"},
          {TitleLabel, "TitleLabel"},
          {ArtistLabel, "ArtistLabel"},
          {YearLabel, "YearLabel"},
          {GenreLabel, "GenreLabel"},
          {TitleEdit, "TitleEdit"},
          {ArtistEdit, "ArtistEdit"},
          {YearEdit, "YearEdit"},
          {GenreComboBox, "GenreComboBox"},
          {TracksListBox, "TracksListBox"},
          {CDDBServerComboBox, "CDDBServerComboBox"},
          {FilenamePatternEdit, "FilenamePatternEdit"},
          {UseFileNameFormatCheckBox, "UseFileNameFormatCheckBox"},
          {TempTracksListBox, "TempTracksListBox"},
          {ApplyID3CheckBox, "ApplyID3CheckBox"},
          {UseHttpProxyCheckBox, "UseHttpProxyCheckBox"},
          {HttpProxyEdit, "HttpProxyEdit"},
          {UseSocksProxyCheckBox, "UseSocksProxyCheckBox"},
          {SocksProxyEdit, "SocksProxyEdit"},
          {LoadFromCDDBButton, "LoadFromCDDBButton"},
          {OKButton, "OKButton"},
          {CancelButton, "CancelButton"},
          {LookupSourceComboBox, "LookupSourceComboBox"}};
}

void TCDInfoForm::Translate() { TranslateForm("MP3 Maker CD Info", LanguageComponents()); }

void TCDInfoForm::SetTracks(const TrackTable& tracks, const std::string& drive) {
  tracks_ = tracks;
  const DiscFields shown{CdInfoSnapshot::Take(Info()), discTextFill_};
  const DiscFields fields = discSession_.SwitchTo(drive, DiscLayoutFromTrackTable(tracks), shown);
  // One row per track of this disc; a row never named reads " 01" (the tab comes with a
  // name).
  const int rows = std::clamp(tracks.trackCount, 0, kCdMaxTracks);
  while (TracksListBox->count() > rows) delete TracksListBox->takeItem(TracksListBox->count() - 1);
  while (TracksListBox->count() < rows) {
    auto* item = new QListWidgetItem(QString::asprintf(" %02i", TracksListBox->count() + 1), TracksListBox);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
  }
  ShowDiscFields(fields.fields);
  discTextFill_ = fields.discTextFill;
  // The ids name one disc: another one's names, even equal ones, are no release's yet.
  const auto discId = MakeMusicBrainzDiscId(DiscLayoutFromTrackTable(tracks));
  if (!discId || discId->id != musicBrainz_.ids.discId) musicBrainz_ = {};
}

void TCDInfoForm::ShowDiscFields(const CdInfoSnapshot& fields) {
  TitleEdit->setText(Q(fields.title));
  ArtistEdit->setText(Q(fields.artist));
  YearEdit->setText(Q(fields.year));
  GenreComboBox->setCurrentText(Q(fields.genre));
  for (int row = 0; row < TracksListBox->count(); ++row) {
    const int track = row + 1;
    const bool named = static_cast<size_t>(row) < fields.trackNames.size();
    TracksListBox->item(row)->setText(named ? Q(CdTrackRow(track, fields.trackNames[static_cast<size_t>(row)]))
                                            : QString::asprintf(" %02i", track));
  }
}

DiscTextFill TCDInfoForm::FillFromDiscText(const DiscText& text, int trackCount) {
  CdInfo info = Info();
  discTextFill_ = FillCdInfoFromDiscText(text, trackCount, discTextFill_, info);
  TitleEdit->setText(Q(info.title));
  ArtistEdit->setText(Q(info.artist));
  const int rows = std::min(TracksListBox->count(), static_cast<int>(discTextFill_.trackNames.size()));
  for (int track = 1; track <= rows; ++track)
    if (CdTrackRowName(TrackRowText(track - 1)) != info.TrackName(track))
      TracksListBox->item(track - 1)->setText(Q(CdTrackRow(track, info.TrackName(track))));
  return discTextFill_;
}

void TCDInfoForm::SetLoadFromCddbEnabled(bool enabled) { LoadFromCDDBButton->setEnabled(enabled); }

int TCDInfoForm::exec() {
  TakeSnapshot();
  LoadChoices();
  UpdateControls();
  const int result = QDialog::exec();
  if (result == QDialog::Accepted) {
    StoreChoices();
  } else {
    RestoreSnapshot();
  }
  return result;
}

void TCDInfoForm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TCDInfoForm::FormShow() {
  if (QWidget* owner = parentWidget()) move(owner->frameGeometry().topLeft() + QPoint(20, 20));
}

CdInfo TCDInfoForm::Info() const {
  CdInfo info;
  info.title = S(TitleEdit->text());
  info.artist = S(ArtistEdit->text());
  info.year = S(YearEdit->text());
  info.genre = S(GenreComboBox->currentText());
  int lastNamed = 0;
  for (int row = 0; row < TracksListBox->count(); ++row)
    if (!CdTrackRowName(TrackRowText(row)).empty()) lastNamed = row + 1;
  for (int track = 1; track <= lastNamed; ++track)
    info.SetTrackName(track, CdTrackRowName(TrackRowText(track - 1)));
  info.cddbServer = S(CDDBServerComboBox->currentText());
  info.useHttpProxy = UseHttpProxyCheckBox->isChecked();
  info.httpProxy = S(HttpProxyEdit->text());
  info.useSocksProxy = UseSocksProxyCheckBox->isChecked();
  info.socksProxy = S(SocksProxyEdit->text());
  info.lookupSource = LookupSourceComboBox->currentIndex() == 1 ? MetadataSource::MusicBrainz : MetadataSource::Cddb;
  info.useFileNameFormat = UseFileNameFormatCheckBox->isChecked();
  info.fileNamePattern = S(FilenamePatternEdit->text());
  info.applyId3 = ApplyID3CheckBox->isChecked();
  AttachMusicBrainzIds(musicBrainz_, info);
  return info;
}

std::string TCDInfoForm::TrackRowText(int row) const {
  const QListWidgetItem* item = TracksListBox->item(row);
  return item ? S(item->text()) : std::string();
}

void TCDInfoForm::UpdateControls() {
  const CdInfoControlState state = CdInfoControls(Info());
  FilenamePatternEdit->setEnabled(state.filenamePatternEdit);
  UseHttpProxyCheckBox->setEnabled(state.useHttpProxyCheckBox);
  HttpProxyEdit->setEnabled(state.httpProxyEdit);
  SocksProxyEdit->setEnabled(state.socksProxyEdit);
}

void TCDInfoForm::ShowCddbResult(const CddbOutputs& outputs) {
  CdInfo info = Info();
  ApplyCddbOutputs(outputs, info);
  musicBrainz_ = KeepMusicBrainzNaming(info);
  TitleEdit->setText(Q(info.title));
  ArtistEdit->setText(Q(info.artist));
  YearEdit->setText(Q(info.year));  // as typed when the source names no year
  GenreComboBox->setCurrentText(Q(info.genre));
  // Row n takes the n-th returned line, an empty one too; rows beyond keep their names.
  const int returned = static_cast<int>(std::count(outputs.trackNames.begin(), outputs.trackNames.end(), '\n'));
  for (int track = 1; track <= returned && track <= TracksListBox->count(); ++track)
    TracksListBox->item(track - 1)->setText(Q(CdTrackRow(track, info.TrackName(track))));
}

void TCDInfoForm::TakeSnapshot() {
  TempTracksListBox->clear();
  for (int row = 0; row < TracksListBox->count(); ++row)
    TempTracksListBox->addItem(TracksListBox->item(row)->text());
  snapshot_ = CdInfoSnapshot::Take(Info());
  musicBrainzSnapshot_ = musicBrainz_;
}

void TCDInfoForm::RestoreSnapshot() {
  musicBrainz_ = musicBrainzSnapshot_;
  TitleEdit->setText(Q(snapshot_.title));
  ArtistEdit->setText(Q(snapshot_.artist));
  YearEdit->setText(Q(snapshot_.year));
  GenreComboBox->setCurrentText(Q(snapshot_.genre));
  for (int row = 0; row < TempTracksListBox->count() && row < TracksListBox->count(); ++row)
    TracksListBox->item(row)->setText(TempTracksListBox->item(row)->text());
}

void TCDInfoForm::LoadChoices() {
  CdInfo choices;
  LoadCdInfoChoices(settings_, choices);
  CDDBServerComboBox->setCurrentText(Q(choices.cddbServer));
  UseHttpProxyCheckBox->setChecked(choices.useHttpProxy);
  HttpProxyEdit->setText(Q(choices.httpProxy));
  UseSocksProxyCheckBox->setChecked(choices.useSocksProxy);
  SocksProxyEdit->setText(Q(choices.socksProxy));
  LookupSourceComboBox->setCurrentIndex(choices.lookupSource == MetadataSource::MusicBrainz ? 1 : 0);
  UseFileNameFormatCheckBox->setChecked(choices.useFileNameFormat);
  FilenamePatternEdit->setText(Q(choices.fileNamePattern));
  ApplyID3CheckBox->setChecked(choices.applyId3);
}

void TCDInfoForm::StoreChoices() { StoreCdInfoChoices(Info(), settings_); }

bool TCDInfoForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TracksListBox && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      // Enter in the list edits the row through the prompt; the Enter that ends an edit in
      // place comes here after the editor took it. Neither closes the window.
      if (!trackNameDelegate_->Editing()) EditSelectedTrackName();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TCDInfoForm::EditSelectedTrackName() {
  QListWidgetItem* item = TracksListBox->currentItem();
  if (!item || !item->isSelected()) return;
  const int track = TracksListBox->row(item) + 1;
  const std::optional<std::string> name = trackNameForm_->Ask(track, CdTrackRowName(S(item->text())));
  if (name) item->setText(Q(CdTrackRow(track, *name)));
}

void TCDInfoForm::LoadFromCDDBButtonClick() {
  const CddbRequest request = MakeCddbRequest(Info(), DiscLayoutFromTrackTable(tracks_), settings_);
  CddbOutputs outputs;
  // A failed or cancelled lookup leaves every field as the user had it.
  if (cddbStatusForm_->Run(request, outputs)) ShowCddbResult(outputs);
}
