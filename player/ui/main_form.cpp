// TMainForm: the controls wired to the session, what the session shows, start-up and
// shut-down of the windows.
#include "player/ui/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QMoveEvent>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>

#include "common/ui/screen_fit.h"
#include "player/playlist/bounded_text.h"
#include "player/playlist/ui/ask_line_form.h"
#include "player/playlist/ui/id3_form.h"
#include "player/playlist/ui/play_list_form.h"
#include "player/skin/skin_folder.h"
#include "player/control/task_bar_title.h"
#include "player/ui/about_form.h"
#include "player/ui/gposition_slider.h"
#include "player/ui/equalizer_form.h"
#include "player/ui/options_form.h"
#include "player/ui/skin_image.h"
#include "player/ui/visualization.h"

using player::TAboutForm;
using player::TMainForm;
using player::TOptionsForm;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A field's text, cut before anything measures it.
QString FieldText(const std::string& text, KeptPart kept = KeptPart::Start) {
  return Q(BoundedText(text, kFieldTextChars, kept));
}
QString ToolTipText(const std::string& text) { return Q(BoundedText(text, kToolTipChars, KeptPart::BothEnds)); }

// How often the position slider follows playback, and how long a seek may take to show.
constexpr int kPositionRefreshMs = 250;
constexpr qint64 kSeekSettleMs = 1500;

}  // namespace

TMainForm::TMainForm(PlayerSettings& settings, FacadeFactory makeFacade, QWidget* parent)
    : TMainSkinFace(parent), settings_(settings), endOfTrackTimer_(new QTimer(this)), systemMenu_(new QMenu(this)),
      fileListPopupMenu_(new QMenu(this)), positionTimer_(new QTimer(this)),
      session_(settings, std::move(makeFacade), loop_, *this) {
  setObjectName(QStringLiteral("MainForm"));
  // The caption of the window as created; the task bar shows "zbplayer" while stopped.
  setWindowTitle(QStringLiteral("zbplayer"));
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
  endOfTrackTimer_->setObjectName(QStringLiteral("EndOfTrackTimer"));
  endOfTrackTimer_->setSingleShot(true);
  endOfTrackTimer_->setInterval(kEndOfTrackWaitMs);
  connect(endOfTrackTimer_, &QTimer::timeout, this, [this] { session_.EndOfTrackWaitOver(); });
  systemMenu_->setObjectName(QStringLiteral("SystemMenu"));
  fileListPopupMenu_->setObjectName(QStringLiteral("FileListPopupMenu"));
  connect(this, &TMainSkinFace::ButtonClicked, this, &TMainForm::ButtonClick);
  connect(this, &TMainSkinFace::PositionChosen, this, &TMainForm::PositionChosen);
  positionTimer_->setObjectName(QStringLiteral("PositionTimer"));
  positionTimer_->setInterval(kPositionRefreshMs);
  connect(positionTimer_, &QTimer::timeout, this, &TMainForm::ShowPosition);
  session_.Watch([this](SessionChange change) { SessionChanged(change); });

  eqForm_ = std::make_unique<TEqualizerForm>(settings_);
  eqForm_->onChange = [this] { session_.SetEqualizer(eqForm_->Applied()); };
  session_.SetEqualizer(eqForm_->Applied());
  eqForm_->onKey = [this](QKeyEvent* e) { HandleKey(e); };
  id3Form_ = std::make_unique<TID3Form>();
  askLineForm_ = std::make_unique<TAskLineForm>();
  playListForm_ = std::make_unique<TPlayListForm>(settings_, session_, id3Form_.get(), askLineForm_.get());
  aboutForm_ = std::make_unique<TAboutForm>();
  SetLabel(SkinTextField::Progress, "00:00");
  ShowVolumeLevel(session_.VolumeLevel());
}

TMainForm::~TMainForm() {
  ShutDown();
  // It watches the session, which goes first.
  playListForm_.reset();
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
  ShowPosition();
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
  session_.Start(commandLineEntries);
}

void TMainForm::StartWithArguments(const std::vector<std::string>& arguments) {
  PlaceAndBuildMenus();
  session_.StartWithArguments(arguments);
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

void TMainForm::ShutDown() {
  if (session_.IsShutDown()) return;
  settings_.playerFormTop = y();
  settings_.playerFormLeft = x();
  eqForm_->StoreSettings();
  playListForm_->StoreSettings();
  listSaveError_ = session_.ShutDown();
}

// ---- actions ----

bool TMainForm::Exec(QDialog* dialog) {
  if (execDialog) return execDialog(dialog);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  // Without a window manager nobody gives the keyboard back when the dialog closes.
  if (!session_.IsShutDown()) activateWindow();
  return accepted;
}

void TMainForm::ShowPlayList() {
  // A window of its own: its edits reach the session at once, this one keeps working.
  if (!session_.IsShutDown()) playListForm_->ShowAndRaise();
}

void TMainForm::ShowSetup() {
  const int useDirectSound = settings_.useDirectSound;
  const int continuousPlay = settings_.continuousPlay;
  TOptionsForm form(settings_, [this](const QString& folder) { return LoadDisplay(folder); }, this);
  Exec(&form);
  if (settings_.useDirectSound != useDirectSound) session_.OutputChoiceChanged();
  // Written by the window into the settings; the session tells those who show it.
  if (const int chosen = settings_.continuousPlay; chosen != continuousPlay) {
    settings_.continuousPlay = continuousPlay;
    session_.SetContinuousPlay(chosen != 0);
  }
  session_.GaplessSettingChanged();
  session_.ReplayGainSettingChanged();
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

void TMainForm::QuitLater() {
  // After the current event (a call on the bus is answered first).
  QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void TMainForm::ButtonClick(SkinButton button) {
  switch (button) {
    case SkinButton::Close: close(); break;
    case SkinButton::Minimize: showMinimized(); break;
    case SkinButton::Prev: Previous(); break;
    case SkinButton::Next: Next(); break;
    case SkinButton::Pause: Pause(); break;
    case SkinButton::Stop: Stop(); break;
    case SkinButton::Play: Play(); break;
    case SkinButton::Reverse: Reverse(); break;
    case SkinButton::Forward: Forward(); break;
    case SkinButton::Eq: ShowEqualizer(); break;
    case SkinButton::PlayList: ShowPlayList(); break;
    case SkinButton::Shuffle: Shuffle(); break;
    case SkinButton::Setup: ShowSetup(); break;
    case SkinButton::Help: ShowAbout(); break;
    case SkinButton::WavVolUp: VolumeUp(); break;
    case SkinButton::WavVolDown: VolumeDown(); break;
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
  for (const SystemMenuItem& item : PlayerSystemMenuItems()) {
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
  // The entries around the current one only (see FileListPopupSpan).
  const CurrentList& list = session_.List();
  const auto [first, end] = FileListPopupSpan(list.Index(), list.Count());
  auto more = [this] { fileListPopupMenu_->addAction(QStringLiteral("\u2026"))->setEnabled(false); };
  if (first > 0) more();
  for (int i = first; i < end; ++i) {
    // Numbered as the play list counts them: two entries of the same name (one song in two
    // folders) are told apart. An "&" is shown, not taken as a shortcut mark.
    const std::string number = std::to_string(i + 1) + ". ";
    QString caption = Q(number + BoundedText(PopupCaption(list.Entries()[size_t(i)]),
                                             kMenuCaptionChars - number.size(), KeptPart::BothEnds));
    QAction* action = fileListPopupMenu_->addAction(caption.replace(QLatin1Char('&'), QStringLiteral("&&")));
    action->setData(i);
    action->setCheckable(true);
    action->setChecked(i == list.Index());
    connect(action, &QAction::triggered, this, [this, i] { session_.PlayIndex(i); });
  }
  if (end < list.Count()) more();
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

// ---- labels ----

void TMainForm::SetLabel(SkinTextField field, const std::string& text) {
  if (labelsFrozen_) return;
  SetText(field, FieldText(text));
}

void TMainForm::ShowTitle(const std::string& text) {
  if (labelsFrozen_) return;
  QLabel* label = TextField(SkinTextField::File);
  // Cut first (its end kept), then shown; a title wider than the field scrolls through it.
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setText(FieldText(text, KeptPart::End));
  label->setToolTip(ToolTipText(text));
}

void TMainForm::ShowInfo(const std::string& text) { SetLabel(SkinTextField::Info, text); }

void TMainForm::ShowError(const std::string& fieldText, const std::string& message) {
  // The tool tip holds the whole message.
  Visualization()->Clear();
  SetLabel(SkinTextField::Info, fieldText);
  TextField(SkinTextField::Info)->setToolTip(ToolTipText(message));
}

void TMainForm::ShowTime(const std::string& time) {
  timeText_ = time;
  ShowProgress();
}

void TMainForm::ShowProgress() {
  // The length beside the time played, once the engine knows it: "01:23 / 04:56".
  const uint32_t range = session_.HasFacade() ? session_.Range() : 0;
  std::string text = timeText_;
  if (range > 0)
    text += " / " + TimeText(uint8_t(std::min<uint32_t>(range / 3600, 255)), uint8_t(range / 60 % 60), uint8_t(range % 60));
  SetLabel(SkinTextField::Progress, text);
}

void TMainForm::ClearFields() {
  SetLabel(SkinTextField::File, "");
  SetLabel(SkinTextField::Info, "");
  timeText_ = "00:00";
  SetLabel(SkinTextField::Progress, timeText_);
}

void TMainForm::SessionChanged(SessionChange change) {
  if (change == SessionChange::Volume) return;
  const bool stopped = session_.State() == TransportState::Stopped;
  if (stopped) {
    Visualization()->Clear();
    positionTimer_->stop();
    soughtTo_.reset();
    timeText_ = "00:00";
  } else if (!positionTimer_->isActive()) {
    positionTimer_->start();
  }
  ShowPosition();
  ShowProgress();
  setWindowTitle(Q(TaskBarTitle(session_.Now(), stopped)));
}

void TMainForm::ShowPosition() {
  const uint32_t range = session_.HasFacade() ? session_.Range() : 0;
  uint32_t position = session_.Position();
  if (soughtTo_) {
    const uint32_t reported = position;
    const bool arrived = reported + 1 >= *soughtTo_ && reported <= *soughtTo_ + 1;
    if (arrived || soughtAt_.elapsed() > kSeekSettleMs)
      soughtTo_.reset();
    else
      position = *soughtTo_;
  }
  PositionSlider()->ShowPosition(range > 0 ? position : 0, range);
  if (range != shownRange_) {
    shownRange_ = range;
    ShowProgress();
  }
}

void TMainForm::PositionChosen(uint32_t position) {
  if (!session_.SeekTo(position)) return;
  soughtTo_ = position;
  soughtAt_.start();
  ShowPosition();
}

void TMainForm::ShowVolumeLevel(int level) { SetLabel(SkinTextField::WavVolume, std::to_string(level)); }

void TMainForm::OutputData(const void* data, uint32_t size) { Visualization()->Feed(data, size, 2, 16); }

void TMainForm::PrintNotice(const std::string& text) { if (printNotice) printNotice(text); }

void TMainForm::ShowNotice(const std::string& text) { if (showNotice) showNotice(Q(text)); }

// ---- window events ----

void TMainForm::keyPressEvent(QKeyEvent* event) { HandleKey(event); }

void TMainForm::wheelEvent(QWheelEvent* event) {
  // A notch is 120 eighths of a degree; fine-grained wheels and touch pads send less.
  constexpr int kNotch = 120;
  wheelEighths_ += event->angleDelta().y();
  for (; wheelEighths_ >= kNotch; wheelEighths_ -= kNotch) VolumeUp();
  for (; wheelEighths_ <= -kNotch; wheelEighths_ += kNotch) VolumeDown();
  event->accept();
}

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
  // The windows go at once, as the desktop expects of a close; stopping and writing a long
  // list follow unseen (a hidden window keeps its place, which ShutDown stores).
  playListForm_->hide();
  eqForm_->hide();
  hide();
  QGuiApplication::sync();
  ShutDown();
  event->accept();
  // Ends every event loop, the modal windows' included: windows still open return from
  // their exec() and their callers see that the session has shut down.
  QApplication::quit();
}
