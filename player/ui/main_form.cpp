// TMainForm: transport actions, notification handlers, start-up and shut-down.
#include "player/ui/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QMoveEvent>
#include <QUrl>
#include <algorithm>
#include <cstdio>

#include "common/audio/output_volume.h"
#include "common/paths.h"
#include "common/ui/screen_fit.h"
#include "player/control/transport_math.h"
#include "player/playlist/bounded_text.h"
#include "player/playlist/tag_edit.h"
#include "player/playlist/ui/ask_line_form.h"
#include "player/playlist/ui/id3_form.h"
#include "player/playlist/ui/play_list_form.h"
#include "player/skin/skin_folder.h"
#include "player/ui/about_form.h"
#include "player/ui/equalizer_form.h"
#include "player/ui/options_form.h"
#include "player/ui/skin_image.h"
#include "player/ui/visualization.h"

namespace {

// The end-of-track timer's delay before the next entry starts.
constexpr int kEndOfTrackMs = 2000;
// The engines' state for an input that reached its end by itself.
constexpr int kStateEndOfStream = 3;
// The most entries the file list popup shows at once.
constexpr int kPopupEntries = 100;

int64_t NowSecond() { return static_cast<int64_t>(std::time(nullptr)); }

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A field's text, cut before anything measures it.
QString FieldText(const std::string& text, KeptPart kept = KeptPart::Start) {
  return Q(BoundedText(text, kFieldTextChars, kept));
}
QString ToolTipText(const std::string& text) { return Q(BoundedText(text, kToolTipChars, KeptPart::BothEnds)); }

}  // namespace

TMainForm::TMainForm(PlayerSettings& settings, FacadeFactory makeFacade, QWidget* parent)
    : TMainSkinFace(parent), settings_(settings), makeFacade_(std::move(makeFacade)),
      endOfTrackTimer_(new QTimer(this)), systemMenu_(new QMenu(this)), fileListPopupMenu_(new QMenu(this)) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(Q(MainWindowCaption()));
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);
  // Fitted to the screen when shown, once the skin has given the size.
  move(settings_.playerFormLeft, settings_.playerFormTop);
  printNotice = [](const std::string& text) { std::fprintf(stderr, "zbplayer: %s\n", text.c_str()); };
  showNotice = [this](const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("zbplayer"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  };
  volumeLevel_ = VolumeLevelOf(PlayerVolume().Left());
  endOfTrackTimer_->setObjectName(QStringLiteral("EndOfTrackTimer"));
  endOfTrackTimer_->setSingleShot(true);
  endOfTrackTimer_->setInterval(kEndOfTrackMs);
  connect(endOfTrackTimer_, &QTimer::timeout, this, &TMainForm::EndOfTrackTimerTimer);
  systemMenu_->setObjectName(QStringLiteral("SystemMenu"));
  fileListPopupMenu_->setObjectName(QStringLiteral("FileListPopupMenu"));
  connect(this, &TMainSkinFace::ButtonClicked, this, &TMainForm::ButtonClick);

  eqForm_ = std::make_unique<TEqualizerForm>(settings_);
  eqForm_->onChange = [this] { ApplyEqualizer(); };
  eqForm_->onKey = [this](QKeyEvent* e) { HandleKey(e); };
  id3Form_ = std::make_unique<TID3Form>();
  askLineForm_ = std::make_unique<TAskLineForm>();
  playListForm_ = std::make_unique<TPlayListForm>(settings_, id3Form_.get(), askLineForm_.get());
  aboutForm_ = std::make_unique<TAboutForm>();
  SetLabel(SkinTextField::Progress, "00:00");
  ShowVolumeLevel();
}

TMainForm::~TMainForm() {
  if (!shutDown_) ShutDown();
}

QString TMainForm::ApplySkinFolder(const QString& folder) {
  const LoadedSkin skin = ReadSkinFolder(folder);
  if (!skin.Showable()) return skin.error;
  ShowSkin(skin);
  return skin.notes;
}

QString TMainForm::ApplyStartSkin() {
  const StartSkin start = ReadStartSkin();
  if (start.skin.Showable()) ShowSkin(start.skin);
  if (!start.notice.isEmpty()) ShowSkinNotice(start.notice);
  return (start.notice + QLatin1Char('\n') + start.skin.notes).trimmed();
}

void TMainForm::ShowSkin(const LoadedSkin& skin) {
  labelsFrozen_ = true;
  const bool mainVisible = isVisible();
  const bool eqVisible = eqForm_->isVisible();
  followMoves_ = false;
  hide();
  if (eqVisible) eqForm_->hide();
  ApplySkin(skin.display, skin.mainBitmap);
  eqForm_->ApplyEqualizerSkin(skin.display, skin.eqBitmap);
  if (mainVisible) show();
  if (eqVisible) {
    eqForm_->show();
    settings_.eqVisible = 1;
  }
  lastPos_ = pos();
  followMoves_ = true;
  labelsFrozen_ = false;
}

QString TMainForm::LoadDisplay(const QString& folder) {
  const QString refused = InstallChosenSkin(folder);
  if (!refused.isEmpty()) return refused;
  ApplySkinFolder(QString::fromStdString(UserSkinFolder()));
  return QString();
}

void TMainForm::Start(const std::vector<std::string>& commandLineEntries) {
  PlaceAndBuildMenus();
  if (commandLineEntries.empty()) {
    StartWithArguments({});
    return;
  }
  UseStartupList(commandLineEntries, /*fromDefaultList=*/false);
}

void TMainForm::StartWithArguments(const std::vector<std::string>& arguments) {
  PlaceAndBuildMenus();
  startupLoad_ = std::make_unique<StartupLoad>(
      loop_, [arguments, defaultList = DefaultPlayListPath()](const std::function<bool()>& cancelled) {
        return GatherStartupEntries(arguments, defaultList, cancelled);
      });
  startupLoad_->SetOnFinished([this] {
    StartupEntries startup = std::move(startupLoad_->Result());
    startupLoad_.reset();
    StartupListGathered(std::move(startup));
  });
  startupLoad_->Start();
}

void TMainForm::PlaceAndBuildMenus() {
  if (started_) return;
  started_ = true;
  eqForm_->PlaceUnder(this);
  FitWindowToScreen(eqForm_.get(), /*resizable=*/false);
  lastPos_ = pos();
  followMoves_ = true;
  if (settings_.eqVisible) eqForm_->show();
  BuildSystemMenu();
}

void TMainForm::StartupListGathered(StartupEntries startup) {
  for (const std::string& notice : startup.gathered.notices)
    if (printNotice) printNotice(notice);
  if (shutDown_) return;
  if (!list_.Empty()) {
    // Something was dropped or chosen meanwhile: it stays current, the list joins behind.
    list_.Append(startup.gathered.entries);
    return;
  }
  UseStartupList(std::move(startup.gathered.entries), startup.fromDefaultList);
}

void TMainForm::UseStartupList(std::vector<std::string> entries, bool fromDefaultList) {
  list_.Assign(std::move(entries));
  list_.Select(fromDefaultList ? settings_.playListIndex : 0);
  if (!list_.Current()) list_.Select(0);
  if (!list_.Empty()) Play();
}

void TMainForm::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  // A list still being read is not wanted any more; the default list file stays as it is
  // then, since this run's list is not whole.
  const bool listWhole = !startupLoad_;
  startupLoad_.reset();
  dropLoad_.reset();
  if (listWhole) {
    settings_.playListIndex = list_.Empty() ? 0 : std::max(list_.Index(), 0);
    const std::string listPath = DefaultPlayListPath();
    // A failed save keeps the previous list file whole; the program says why.
    if (auto made = CreateDirectories(ExtractFileDir(listPath)); !made)
      listSaveError_ = PlayListFileError{PlayListFileError::Kind::Write, listPath, made.Error().errnum}.Message();
    else if (auto written = WritePlayListFile(listPath, list_.Entries()); !written)
      listSaveError_ = written.Error().Message();
  }
  settings_.playerFormTop = y();
  settings_.playerFormLeft = x();
  eqForm_->StoreSettings();
  playListForm_->StoreSettings();
  endOfTrackTimer_->stop();
  Stop();
}

// ---- actions ----

TMainForm::Status TMainForm::PlaybackStatus() const {
  if (!facade_) return Status::Stopped;
  return paused_ ? Status::Paused : Status::Playing;
}

void TMainForm::CreateFacade() {
  facade_ = makeFacade_();
  ConnectFacade();
  facade_->UseDirectSound(settings_.useDirectSound != 0);
}

void TMainForm::ConnectFacade() {
  const uint64_t generation = ++generation_;
  // Handlers may run on engine threads: each hands its arguments to the GUI thread, where
  // they count only while the facade's generation is still the current one.
  auto queue = [this, generation](std::function<void()> fn) {
    QMetaObject::invokeMethod(
        this,
        [this, generation, fn = std::move(fn)] {
          if (generation == generation_) fn();
        },
        Qt::QueuedConnection);
  };
  FacadeHandlers h;
  h.state = [queue, this](void*, int state) { queue([this, state] { NotifyPlayerState(state); }); };
  h.position = [queue, this](void*, uint32_t offset, uint32_t range) {
    queue([this, offset, range] { NotifyInputPosition(offset, range); });
  };
  h.timecode = [queue, this](void*, uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t) {
    queue([this, hours, minutes, seconds] { NotifyInputTimecode(hours, minutes, seconds); });
  };
  h.streamInfo = [queue, this](void*, uint8_t, uint8_t, uint16_t bitrate, uint16_t frequency, uint8_t mode) {
    queue([this, bitrate, frequency, mode] { NotifyInputStreamInfo(bitrate, frequency, mode); });
  };
  TVisualization* visualization = Visualization();
  h.outputData = [visualization](void*, const void* data, uint32_t size) { visualization->Feed(data, size, 2, 16); };
  h.error = [queue, this](void*, const std::string& message) { queue([this, message] { NotifyPlayerError(message); }); };
  h.inputName = [queue, this](void*, const std::string& name) { queue([this, name] { NotifyInputName(name); }); };
  facade_->Connect(h);
}

void TMainForm::OpenFacade(const std::string& entry) {
  ConnectFacade();
  position_ = 0;
  range_ = 0;
  facade_->Open(entry);
  ApplyEqualizer();
}

void TMainForm::Play() {
  const std::string* current = list_.Current();
  if (list_.Empty() || !current) return;
  const std::string entry = *current;
  if (entry != loadedFile_) {
    loadedFile_ = entry;
    // Never blocks: a FIFO or device named as the entry is not opened.
    tag_ = ReadTagForEditing(entry);
    tagText_ = ::TagText(tag_);
    streamTitle_.clear();
    ShowFileLabel(FileLabelText(entry, tagText_));
    infoThrottle_.Reset();
    if (!facade_) CreateFacade();
    OpenFacade(entry);
  }
  if (!facade_) {
    CreateFacade();
    OpenFacade(loadedFile_);
  }
  facade_->Play();
  paused_ = false;
  ApplyEqualizer();
  Q_EMIT NowPlayingChanged();
  Q_EMIT PlaybackStatusChanged();
}

void TMainForm::Stop() {
  endOfTrackTimer_->stop();
  if (facade_) {
    // Forgotten first: the engine's Stop turns the event loop while it waits, and nothing
    // that runs meanwhile may reach the facade being stopped.
    std::unique_ptr<PlaybackFacade> stopping = std::move(facade_);
    ++generation_;
    stopping->Stop();
    stopping.reset();
  }
  paused_ = false;
  Q_EMIT PlaybackStatusChanged();
}

void TMainForm::Pause() {
  if (!facade_) return;
  facade_->Pause();
  paused_ = true;
  Q_EMIT PlaybackStatusChanged();
}

void TMainForm::Next() {
  if (list_.Empty()) return;
  list_.Next();
  Stop();
  Play();
}

void TMainForm::Previous() {
  if (list_.Empty()) return;
  list_.Previous();
  Stop();
  Play();
}

void TMainForm::Reverse() {
  if (facade_) facade_->Seek(int(ReverseTarget(position_)), int(range_));
}

void TMainForm::Forward() {
  // A stream has no length to seek in.
  if (facade_ && range_ > 0) facade_->Seek(int(ForwardTarget(position_, range_)), int(range_));
}

void TMainForm::Shuffle() { list_.Shuffle(loadedFile_, RuntimeRandom()); }

void TMainForm::SetVolumeLevel(int level) {
  volumeLevel_ = std::clamp(level, 0, kVolumeLevels);
  const uint32_t volume = VolumeOfLevel(volumeLevel_);
  PlayerVolume().Set(volume, volume);
  if (facade_) facade_->ApplyVolume();
  ShowVolumeLevel();
  Q_EMIT VolumeLevelChanged();
}

void TMainForm::VolumeUp() { SetVolumeLevel(SteppedVolumeLevel(volumeLevel_, +1)); }

void TMainForm::VolumeDown() { SetVolumeLevel(SteppedVolumeLevel(volumeLevel_, -1)); }

void TMainForm::ApplyEqualizer() {
  if (!facade_) return;
  const EqualizerRecord record = eqForm_->Applied();
  facade_->SetCodecEqualizer(record.data());
}

bool TMainForm::Exec(QDialog* dialog) {
  if (execDialog) return execDialog(dialog);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  // Without a window manager nobody gives the keyboard back when the dialog closes.
  if (!shutDown_) activateWindow();
  return accepted;
}

void TMainForm::ShowPlayList() {
  playListForm_->SetList(list_.Entries());
  // The player may have been told to end while the window was open.
  if (!Exec(playListForm_.get()) || shutDown_) return;
  const int chosen = playListForm_->ChosenIndex();
  list_.Assign(playListForm_->List());
  if (chosen >= 0 && chosen < list_.Count()) {
    const bool alreadyPlaying = list_.Entries()[size_t(chosen)] == loadedFile_ && facade_;
    list_.Select(chosen);
    if (alreadyPlaying) return;
    Stop();
    ClearLabels();
    Play();
    return;
  }
  if (const int at = list_.IndexOf(loadedFile_); at >= 0 && !loadedFile_.empty()) {
    list_.Select(at);
    return;
  }
  list_.Select(0);
  if (list_.Empty()) loadedFile_.clear();
  Stop();
  ClearLabels();
  Play();
}

void TMainForm::ShowSetup() {
  const int useDirectSound = settings_.useDirectSound;
  TOptionsForm form(settings_, [this](const QString& folder) { return LoadDisplay(folder); }, this);
  Exec(&form);
  if (settings_.useDirectSound != useDirectSound && facade_) facade_->UseDirectSound(settings_.useDirectSound != 0);
}

void TMainForm::ShowEqualizer() {
  eqForm_->show();
  eqForm_->raise();
}

void TMainForm::ShowAbout() { Exec(aboutForm_.get()); }

void TMainForm::ShowFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  if (settings_.eqVisible) {
    eqForm_->show();
    eqForm_->raise();
  }
}

bool TMainForm::AddAndPlay(const std::vector<std::string>& entries) {
  if (entries.empty()) return false;
  const int first = list_.Count();
  list_.Append(entries);
  list_.Select(first);
  Stop();
  Play();
  return true;
}

void TMainForm::AddAndPlayPaths(const std::vector<std::string>& paths) {
  if (shutDown_ || paths.empty()) return;
  // A drop while another is gathered waits for it, so that both join in their order.
  pendingDrops_.push_back(paths);
  if (!dropLoad_) GatherNextDrop();
}

void TMainForm::GatherNextDrop() {
  if (pendingDrops_.empty()) return;
  std::vector<std::string> paths = std::move(pendingDrops_.front());
  pendingDrops_.pop_front();
  dropLoad_ = std::make_unique<DropLoad>(loop_, [paths = std::move(paths)](const std::function<bool()>& cancelled) {
    return DroppedEntries(paths, cancelled);
  });
  dropLoad_->SetOnFinished([this] {
    GatheredEntries gathered = std::move(dropLoad_->Result());
    dropLoad_.reset();
    if (!gathered.notices.empty() && showNotice) showNotice(Q(BoundedLines(gathered.notices)));
    AddAndPlay(gathered.entries);
    GatherNextDrop();
  });
  dropLoad_->Start();
}

void TMainForm::ButtonClick(SkinButton button) {
  switch (button) {
    case SkinButton::Close:
      close();
      break;
    case SkinButton::Minimize:
      showMinimized();
      break;
    case SkinButton::Prev:
      Previous();
      break;
    case SkinButton::Next:
      Next();
      break;
    case SkinButton::Pause:
      Pause();
      break;
    case SkinButton::Stop:
      Stop();
      break;
    case SkinButton::Play:
      Play();
      break;
    case SkinButton::Reverse:
      Reverse();
      break;
    case SkinButton::Forward:
      Forward();
      break;
    case SkinButton::Eq:
      ShowEqualizer();
      break;
    case SkinButton::PlayList:
      ShowPlayList();
      break;
    case SkinButton::Shuffle:
      Shuffle();
      break;
    case SkinButton::Setup:
      ShowSetup();
      break;
    case SkinButton::Help:
      ShowAbout();
      break;
    case SkinButton::WavVolUp:
      VolumeUp();
      break;
    case SkinButton::WavVolDown:
      VolumeDown();
      break;
  }
}

void TMainForm::RunSystemCommand(int id) {
  switch (id) {
    case kCommandPrevious: Previous(); break;
    case kCommandNext: Next(); break;
    case kCommandPause: Pause(); break;
    case kCommandStop: Stop(); break;
    case kCommandPlay: Play(); break;
    case kCommandReverse: Reverse(); break;
    case kCommandForward: Forward(); break;
    case kCommandEqualizer: ShowEqualizer(); break;
    case kCommandPlayList: ShowPlayList(); break;
    case kCommandShuffle: Shuffle(); break;
    case kCommandAbout: ShowAbout(); break;
    case kCommandVolumeUp: VolumeUp(); break;
    case kCommandVolumeDown: VolumeDown(); break;
    default: break;
  }
}

void TMainForm::BuildSystemMenu() {
  systemMenu_->clear();
  // The window menu's own items first, then the player's, as they are appended to it.
  systemMenu_->addAction(QStringLiteral("Mi&nimize"), this, [this] { showMinimized(); });
  systemMenu_->addAction(QStringLiteral("&Close"), this, [this] { close(); });
  struct Item {
    int id;
    const char* caption;
  };
  const Item items[] = {
      {0, nullptr},
      {kCommandPlay, "Play"},
      {kCommandPrevious, "Previous"},
      {kCommandNext, "Next"},
      {kCommandPause, "Pause"},
      {kCommandStop, "Stop"},
      {kCommandReverse, "Reverse"},
      {kCommandForward, "Forward"},
      {0, nullptr},
      {kCommandPlayList, "Play List"},
      {kCommandEqualizer, "Equalizer"},
      {kCommandVolumeUp, "Volume Up"},
      {kCommandVolumeDown, "Volume Down"},
      {0, nullptr},
      {kCommandAbout, "About zbplayer"},
  };
  for (const Item& item : items) {
    if (!item.caption) {
      systemMenu_->addSeparator();
      continue;
    }
    QAction* action = systemMenu_->addAction(QString::fromLatin1(item.caption));
    action->setData(item.id);
    connect(action, &QAction::triggered, this, [this, id = item.id] { RunSystemCommand(id); });
  }
}

QMenu* TMainForm::BuildFileListPopupMenu() {
  fileListPopupMenu_->clear();
  // The entries around the current one: a menu lays out (measures) every item before it
  // shows, which for 100,000 entries would hold the window for many seconds. The play
  // list window reaches the others.
  const int first = std::clamp(list_.Index() - kPopupEntries / 2, 0, std::max(0, list_.Count() - kPopupEntries));
  const int end = std::min(list_.Count(), first + kPopupEntries);
  auto more = [this] { fileListPopupMenu_->addAction(QStringLiteral("\u2026"))->setEnabled(false); };
  if (first > 0) more();
  for (int i = first; i < end; ++i) {
    QAction* action = fileListPopupMenu_->addAction(
        Q(BoundedText(PopupCaption(list_.Entries()[size_t(i)]), kMenuCaptionChars, KeptPart::BothEnds)));
    action->setData(i);
    action->setCheckable(true);
    action->setChecked(i == list_.Index());
    connect(action, &QAction::triggered, this, [this, i] {
      if (i == list_.Index()) return;
      list_.Select(i);
      Stop();
      Play();
    });
  }
  if (end < list_.Count()) more();
  return fileListPopupMenu_;
}

void TMainForm::HandleKey(QKeyEvent* event) {
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
    // Alt+Space opens the window menu, as on any window.
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::AltModifier))
      systemMenu_->popup(mapToGlobal(QPoint(0, 0)));
    return;
  }
  switch (event->key()) {
    case Qt::Key_Z: Previous(); break;
    case Qt::Key_B: Next(); break;
    case Qt::Key_C: Pause(); break;
    case Qt::Key_V: Stop(); break;
    case Qt::Key_X: Play(); break;
    case Qt::Key_L: ShowPlayList(); break;
    case Qt::Key_S: Shuffle(); break;
    case Qt::Key_Plus: VolumeUp(); break;
    case Qt::Key_Minus: VolumeDown(); break;
    case Qt::Key_Menu: systemMenu_->popup(mapToGlobal(QPoint(0, 0))); break;
    default: event->ignore(); return;
  }
  event->accept();
}

// ---- notification handlers ----

void TMainForm::NotifyPlayerState(int state) {
  if (state == kStateEndOfStream) endOfTrackTimer_->start();
}

void TMainForm::NotifyInputPosition(uint32_t offset, uint32_t range) {
  const bool lengthChanged = range != range_;
  position_ = offset;
  range_ = range;
  if (lengthChanged) Q_EMIT NowPlayingChanged();
}

void TMainForm::NotifyInputTimecode(uint8_t hours, uint8_t minutes, uint8_t seconds) {
  const int deviceLevel = VolumeLevelOf(PlayerVolume().Left());
  if (deviceLevel != volumeLevel_) {
    volumeLevel_ = deviceLevel;
    ShowVolumeLevel();
    Q_EMIT VolumeLevelChanged();
  }
  if (!timeThrottle_.Pass(NowSecond())) return;
  const std::string time = TimeText(hours, minutes, seconds);
  SetLabel(SkinTextField::Progress, time);
  setWindowTitle(Q(ApplicationTitle(time)));
}

void TMainForm::NotifyInputStreamInfo(uint16_t bitrate, uint16_t frequency, uint8_t mode) {
  if (!infoThrottle_.Pass(NowSecond())) return;
  SetLabel(SkinTextField::Info, StreamInfoText(bitrate, frequency, mode));
}

void TMainForm::NotifyPlayerError(const std::string& message) {
  // Whatever stopped playback is told in the info field, so a silent player says why; the
  // tool tip holds the whole message.
  SetLabel(SkinTextField::Info, InfoFieldError(message, loadedFile_));
  TextField(SkinTextField::Info)->setToolTip(ToolTipText(message));
}

void TMainForm::NotifyInputName(const std::string& name) {
  // The first name is the input itself; a stream then names each title it plays.
  if (name.empty() || name == loadedFile_ || name == streamTitle_) return;
  streamTitle_ = name;
  ShowFileLabel(name);
  Q_EMIT NowPlayingChanged();
}

void TMainForm::EndOfTrackTimerTimer() {
  endOfTrackTimer_->stop();
  list_.Next();
  Stop();
  if (settings_.continuousPlay != 0 || list_.Index() != 0) Play();
}

NowPlaying TMainForm::Now() const { return DescribeNowPlaying(loadedFile_, tag_, streamTitle_, range_); }

// ---- labels ----

void TMainForm::SetLabel(SkinTextField field, const std::string& text) {
  if (labelsFrozen_) return;
  SetText(field, FieldText(text));
}

void TMainForm::ShowFileLabel(const std::string& text) {
  if (labelsFrozen_) return;
  QLabel* label = TextField(SkinTextField::File);
  // Cut first (its end kept, as the field shows the end of a long title), then measured.
  const QString shown = FieldText(text, KeptPart::End);
  // A title wider than the field keeps its end in view.
  const bool wide = QFontMetrics(label->font()).horizontalAdvance(shown) > label->width();
  label->setAlignment((wide ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  label->setText(shown);
  label->setToolTip(ToolTipText(text));
}

void TMainForm::ClearLabels() {
  SetLabel(SkinTextField::File, "");
  SetLabel(SkinTextField::Info, "");
  SetLabel(SkinTextField::Progress, "00:00");
}

void TMainForm::ShowVolumeLevel() { SetLabel(SkinTextField::WavVolume, std::to_string(volumeLevel_)); }

// ---- window events ----

void TMainForm::keyPressEvent(QKeyEvent* event) { HandleKey(event); }

void TMainForm::contextMenuEvent(QContextMenuEvent* event) {
  QLabel* title = TextField(SkinTextField::File);
  if (title->isVisible() && title->geometry().contains(event->pos()))
    BuildFileListPopupMenu()->popup(event->globalPos());
  else
    systemMenu_->popup(event->globalPos());
  event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  if (paths.empty()) return;
  // Read on a worker: a dropped list may be long, a folder deep, a ".pls" a FIFO.
  AddAndPlayPaths(paths);
  event->acceptProposedAction();
}

void TMainForm::showEvent(QShowEvent* event) {
  FitWindowToScreen(this, /*resizable=*/false);
  TMainSkinFace::showEvent(event);
}

void TMainForm::moveEvent(QMoveEvent* event) {
  TMainSkinFace::moveEvent(event);
  // Whoever moved the window (a drag by the face, the desktop's own move), the equalizer
  // window keeps its place beside it.
  if (followMoves_ && eqForm_) {
    const QPoint delta = pos() - lastPos_;
    if (!delta.isNull()) eqForm_->move(eqForm_->pos() + delta);
  }
  lastPos_ = pos();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  ShutDown();
  eqForm_->hide();
  event->accept();
  // Ends every event loop, the modal windows' included: windows still open return from
  // their exec() and their callers see shutDown_.
  QApplication::quit();
}
