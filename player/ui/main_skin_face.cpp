// TMainSkinFace: placing the main window's skinned elements.
#include "player/ui/main_skin_face.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <cstdint>

#include "player/skin/skin_bands.h"
#include "player/ui/gbutton.h"
#include "player/ui/gposition_slider.h"
#include "player/ui/image_window.h"
#include "player/ui/marquee_label.h"
#include "player/ui/skin_image.h"
#include "player/ui/visualization.h"

void PlaceTextField(QLabel* label, const SkinTextFieldPlace& place) {
  label->setGeometry(ToQRect(place.rect));
  QFont font(QString::fromStdString(place.font));
  // The skin gives the cell height of the font: the largest size whose line fits. The line
  // grows about in proportion to the size, so the search starts from the proportional
  // guess rather than stepping down from the field's height.
  const int height = place.rect.height;
  auto lineAt = [&font](int pixels) {
    font.setPixelSize(pixels);
    return QFontMetrics(font).height();
  };
  int pixels = std::max(height, 1);
  if (const int line = lineAt(pixels); line > height && line > 0)
    pixels = std::max(1, static_cast<int>(int64_t{pixels} * height / line));
  while (pixels < height && lineAt(pixels + 1) <= height) ++pixels;
  while (pixels > 1 && lineAt(pixels) > height) --pixels;
  font.setPixelSize(pixels);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ToQColor(place.colour));
  label->setPalette(palette);
}

TMainSkinFace::TMainSkinFace(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), face_(new TImageWindow(this)),
      visualization_(new TVisualization(this)), positionSlider_(new TGPositionSlider(this)), drag_(this) {
  connect(positionSlider_, &TGPositionSlider::PositionChosen, this, &TMainSkinFace::PositionChosen);
  for (const SkinButtonInfo& info : kSkinButtons) {
    auto* button = new TGButton(this);
    button->setObjectName(QString::fromLatin1(info.key));
    connect(button, &TGButton::Clicked, this, [this, b = info.button] { Q_EMIT ButtonClicked(b); });
    buttons_[static_cast<size_t>(info.button)] = button;
  }
  for (size_t i = 0; i < kSkinTextFieldCount; ++i) {
    // The title field scrolls a title wider than itself.
    QLabel* label = i == static_cast<size_t>(SkinTextField::File) ? new TMarqueeLabel(this) : new QLabel(this);
    label->setObjectName(QString::fromLatin1(kSkinTextFieldKeys[i]));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setTextFormat(Qt::PlainText);
    label->hide();
    textFields_[i] = label;
  }
  face_->onPress = [this](QPoint global) {
    Q_EMIT FacePressed(mapFromGlobal(global));
    drag_.Press(global);
  };
  face_->onMove = [this](QPoint global, bool leftHeld) {
    if (const QPoint delta = drag_.Move(global, leftHeld); !delta.isNull()) Q_EMIT Dragged(delta);
  };
  face_->onRelease = [this](QPoint) { drag_.Release(); };
}

void TMainSkinFace::ApplySkin(const DisplayIni& display, const QImage& mainBitmap) {
  const BandLayout bands = BandLayout::ForMain(mainBitmap.width(), mainBitmap.height(), display.withFocus);
  face_->Load(mainBitmap, bands.BandCount());
  for (const SkinButtonInfo& info : kSkinButtons)
    Button(info.button)->Skin(display.Button(info.button), face_->Bitmap(), bands, /*hasPressedImage=*/true,
                              QString::fromLatin1(info.hint));
  for (size_t i = 0; i < kSkinTextFieldCount; ++i) {
    QLabel* label = textFields_[i];
    label->hide();
    label->setEnabled(false);
    if (!display.textFields[i]) continue;
    PlaceTextField(label, *display.textFields[i]);
    label->setEnabled(true);
    label->show();
  }
  positionSlider_->Skin(display.position, display.positionKnob, face_->Bitmap(), bands);
  if (display.visualization)
    visualization_->Configure(*display.visualization, face_->Face());
  else
    visualization_->Disable();
}

void TMainSkinFace::ShowSkinNotice(const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("SkinNotice"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  QTimer::singleShot(0, box, &QWidget::show);
}

void TMainSkinFace::SetText(SkinTextField field, const QString& text) { TextField(field)->setText(text); }
