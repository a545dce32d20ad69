// TVisualization: the drawing step on the GUI thread.
#include "player/ui/visualization.h"

#include <QPainter>

#include "player/skin/skin_bands.h"
#include "player/ui/skin_image.h"

TVisualization::TVisualization(QWidget* parent)
    : QWidget(parent),
      feed_(std::make_unique<VisualizationFeed>(
          loop_, [this](std::span<const int16_t> samples, int stride) { Draw(samples, stride); })) {
  hide();
}

TVisualization::~TVisualization() { feed_.reset(); }

void TVisualization::Configure(const SkinVisualizationPlace& place, const QImage& face) {
  hide();
  const VisualizationSource source = CutVisualization(place);
  background_ = source.backgroundFromBitmap && face.valid(place.rect.left, place.rect.top)
                    ? QColor(face.pixel(place.rect.left, place.rect.top))
                    : QColor(Qt::black);
  line_ = ToQColor(place.lineColour);
  setGeometry(ToQRect(place.rect));
  picture_ = CutImage(face, source.area);
  blank_ = picture_;
  trace_.SetArea(place.rect.width, place.rect.height);
  feed_->SetEnabled(place.rect.left > 0 && !picture_.isNull());
  update();
  show();
}

void TVisualization::Disable() {
  feed_->SetEnabled(false);
  hide();
}

void TVisualization::Clear() {
  feed_->DropPending();
  trace_.Forget();
  picture_ = blank_;
  update();
}

bool TVisualization::Feed(const void* data, size_t bytes, int channels, int bitsPerSample) {
  return feed_->Offer(data, bytes, channels, bitsPerSample);
}

void TVisualization::Draw(std::span<const int16_t> samples, int frameStride) {
  if (picture_.isNull()) return;
  QPainter painter(&picture_);
  const QPen linePen(line_, 1);
  const QPen backgroundPen(background_, 1);
  for (const TraceSegment& s : trace_.Step(samples, frameStride)) {
    painter.setPen(s.pen == TraceSegment::Pen::Line ? linePen : backgroundPen);
    painter.drawLine(s.x0, s.y0, s.x1, s.y1);
  }
  painter.end();
  update();
  Q_EMIT Drawn();
}

void TVisualization::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinImage(painter, rect(), picture_);
}
